#include <string>

#include <fmt/format.h>

#include "plugin/tallyrig.h"

namespace {

// The rating logged is always the one of this playlist, whatever is being played.
constexpr int kLoggedRatingPlaylist = 11;

}  // namespace

void Tallyrig::onRatingUpdated(UniqueIDWrapper id) {
  float rating = 0.0f;
  {
    MMRWrapper ratings = gameAccess->GetMMRWrapper();
    rating = ratings.GetPlayerMMR(id, kLoggedRatingPlaylist);
  }
  const std::string idText = id.GetIdString();
  logConsole->log(fmt::format("{} MMR is: {}", idText, rating));
}

#include "export/playlist_names.h"

#include <array>
#include <cstddef>

#include "tracking/player_table.h"

namespace {

constexpr int kFirstNamedId = -2;
constexpr const char* kInvalid = "Invalid_Playlist";

// Position = id + 2. Ids 16 and 35 share a name, and so share a file.
constexpr std::array<const char*, 58> kNames = {
    "Intermission",                  // -2
    kInvalid,                        // -1
    "Casual",                        // 0
    "Duel",                          // 1
    "Doubles",                       // 2
    "Standard",                      // 3
    "Chaos",                         // 4
    kInvalid,                        // 5
    "Private_Match",                 // 6
    "Season",                        // 7
    "Exhibition",                    // 8
    "Training",                      // 9
    "Duel_Ranked",                   // 10
    "Doubles_Ranked",                // 11
    kInvalid,                        // 12
    "Standard_Ranked",               // 13
    kInvalid,                        // 14
    "Snow_Day",                      // 15
    "Rocket_Labs",                   // 16
    "Hoops",                         // 17
    "Rumble",                        // 18
    "Workshop",                      // 19
    "Custom_Training_Editor",        // 20
    "Custom_Training",               // 21
    "Tournament_Match_Custom",       // 22
    "Dropshot",                      // 23
    "Local_Match",                   // 24
    kInvalid,                        // 25
    "External_Match_Ranked",         // 26
    "Hoops_Ranked",                  // 27
    "Rumble_Ranked",                 // 28
    "Dropshot_Ranked",               // 29
    "Snow_Day_Ranked",               // 30
    "Ghost_Hunt",                    // 31
    "Beach_Ball",                    // 32
    "Spike_Rush",                    // 33
    "Tournament_Match_Automatic",    // 34
    "Rocket_Labs",                   // 35
    kInvalid,                        // 36
    "Dropshot_Rumble",               // 37
    "Heatseeker",                    // 38
    kInvalid,                        // 39
    kInvalid,                        // 40
    "Boomer_Ball",                   // 41
    kInvalid,                        // 42
    "Heatseeker_Doubles",            // 43
    "Winter_Breakaway",              // 44
    kInvalid,                        // 45
    "Gridiron",                      // 46
    "Super_Cube",                    // 47
    "Tactical_Rumble",               // 48
    "Spring_Loaded",                 // 49
    "Speed_Demon",                   // 50
    kInvalid,                        // 51
    "Gotham_City_Rumble",            // 52
    kInvalid,                        // 53
    "Knockout",                      // 54
    "confidential_thirdwheel_test",  // 55
};

}  // namespace

std::string playlistName() {
  const int id = matchState.playlistId;
  // Compared before any arithmetic, so the extremes of the range cannot overflow.
  if (id < kFirstNamedId || id >= kFirstNamedId + static_cast<int>(kNames.size())) return kInvalid;
  return kNames[static_cast<std::size_t>(id - kFirstNamedId)];
}

#include "host/replay.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <type_traits>

#include "host/platform.h"
#include "pluginsdk/plugin.h"
#include "pluginsdk/sim/instrumentation.h"
#include "pluginsdk/sim/world.h"

namespace tallyrig::host {
namespace {

using pluginsdk::sim::World;

const std::string kGameStarted = "Function ProjectX.GRI_X.EventGameStarted";
const std::string kMatchEnded = "Function TAGame.GameEvent_Soccar_TA.EventMatchEnded";
const std::string kStatTickerMessage = "Function TAGame.GFxHUD_TA.HandleStatTickerMessage";
const std::string kStatEvent = "Function TAGame.GFxHUD_TA.HandleStatEvent";

void say(const std::string& line) {
  std::fprintf(stderr, "tallyrig-host: %s\n", line.c_str());
}

pluginsdk::sim::CallbackErrorSink reportFrom(const std::string& what) {
  return [what](const std::string& message) { say("exception from " + what + ": " + message); };
}

std::string displayPath(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// The module stays mapped until the end of the replay; the descriptor lives in it.
class LoadedModule {
 public:
  ~LoadedModule() {
    if (handle_ != nullptr) platform::unloadModule(handle_);
  }

  // Empty on success, otherwise what is wrong.
  std::string open(const std::filesystem::path& path) {
    std::string error;
    handle_ = platform::loadModule(path, error);
    if (handle_ == nullptr) return "cannot load module: " + error;
    descriptor_ = static_cast<const PluginDescriptor*>(platform::findSymbol(handle_, "exports"));
    if (descriptor_ == nullptr) return "the module exports no descriptor \"exports\"";
    return checkDescriptor(*descriptor_);
  }

  const PluginDescriptor& descriptor() const { return *descriptor_; }

 private:
  static std::string checkDescriptor(const PluginDescriptor& d) {
    if (d.hostApiLevel != kHostApiLevel) {
      return "descriptor field hostApiLevel is " + std::to_string(d.hostApiLevel) + ", expected " +
             std::to_string(kHostApiLevel);
    }
    if (d.kindCode != kPluginKindCode) {
      return "descriptor field kindCode is " + std::to_string(d.kindCode) + ", expected " +
             std::to_string(kPluginKindCode);
    }
    const std::pair<const char*, const void*> fields[] = {
        {"sourcePath", d.sourcePath},
        {"typeName", d.typeName},
        {"displayName", d.displayName},
        {"versionText", d.versionText},
        {"createEntry", reinterpret_cast<const void*>(d.createEntry)},
        {"destroyEntry", reinterpret_cast<const void*>(d.destroyEntry)},
    };
    for (const auto& [name, value] : fields) {
      if (value == nullptr) return std::string("descriptor field ") + name + " is null";
    }
    return {};
  }

  void* handle_ = nullptr;
  const PluginDescriptor* descriptor_ = nullptr;
};

template <typename Call>
void callPlugin(const char* operation, Call&& call) {
  try {
    call();
  } catch (const std::exception& error) {
    say(std::string("exception from ") + operation + ": " + error.what());
  } catch (...) {
    say(std::string("exception from ") + operation + ": unknown exception");
  }
}

class Replay {
 public:
  Replay(World& world, const PluginDescriptor& descriptor)
      : world_(world), descriptor_(descriptor) {}

  ~Replay() {
    if (plugin_) unload();
  }

  void load() {
    callPlugin("getPlugin", [&] {
      std::shared_ptr<Vantor::Plugin::VantorPlugin>* instance = descriptor_.createEntry();
      if (instance != nullptr) plugin_ = *instance;
    });
    if (!plugin_) return;
    plugin_->consoleManager = world_.makeConsole();
    plugin_->gameAccess = world_.makeGameWrapper();
    callPlugin("onLoad", [&] { plugin_->onLoad(); });
  }

  void unload() {
    if (plugin_) callPlugin("onUnload", [&] { plugin_->onUnload(); });
    callPlugin("deleteMe", [&] { descriptor_.destroyEntry(); });
    plugin_.reset();
    world_.removeAllHooks();
  }

  void play(const Step& step) {
    std::visit([&](const auto& action) { perform(action); }, step);
  }

 private:
  std::uintptr_t priWord(const std::optional<std::string>& ref) {
    if (!ref) return 0;
    const pluginsdk::sim::Pri* pri = world_.findPri(*ref);
    return pri != nullptr ? world_.address(*pri) : 0;
  }

  std::uintptr_t eventWord(const std::optional<std::string>& name) {
    return name ? world_.statEventAddress(*name) : 0;
  }

  void perform(const GameStartedStep&) {
    world_.callHook(kGameStarted, reportFrom('"' + kGameStarted + '"'));
  }
  void perform(const MatchEndedStep&) {
    world_.callHook(kMatchEnded, reportFrom('"' + kMatchEnded + '"'));
  }

  void perform(const StatEventStep& step) {
    std::uint64_t block[2] = {priWord(step.pri), eventWord(step.event)};
    world_.callHookWithCaller(kStatEvent, block, reportFrom('"' + kStatEvent + '"'));
  }

  void perform(const StatTickerStep& step) {
    std::uint64_t block[3] = {priWord(step.pri), priWord(step.other), eventWord(step.event)};
    world_.callHookWithCaller(kStatTickerMessage, block,
                              reportFrom('"' + kStatTickerMessage + '"'));
  }

  void perform(const RatingStep& step) {
    world_.setRating(step.rating.uniqueId, step.rating.playlist, step.rating.value);
    world_.notifyRating(step.rating.uniqueId, reportFrom("rating notifier"));
  }

  void perform(const NotifyStep& step) {
    world_.notifyRating(step.uniqueId, reportFrom("rating notifier"));
  }

  void perform(const WorldStep& step) {
    if (step.online) world_.online = *step.online;
    if (step.gameState) world_.gameStateValid = *step.gameState;
    if (step.playlistValid) world_.playlistValid = *step.playlistValid;
    if (step.playlistId) world_.playlistId = *step.playlistId;
    if (step.ratingPlaylist) world_.ratingPlaylist = *step.ratingPlaylist;
  }

  void perform(const PlayerStep& step) {
    pluginsdk::sim::Pri* pri = world_.findPri(step.ref);
    if (pri == nullptr) return;
    if (step.name) pri->name = *step.name;
    if (step.team) pri->team = *step.team;
    if (step.playerId) pri->playerId = *step.playerId;
    if (step.uniqueId) pri->uniqueId = *step.uniqueId;
    if (step.local) pri->local = *step.local;
    if (step.goals) pri->goals = *step.goals;
    if (step.assists) pri->assists = *step.assists;
    if (step.saves) pri->saves = *step.saves;
    if (step.shots) pri->shots = *step.shots;
    if (step.demolishes) pri->demolishes = *step.demolishes;
    if (step.score) pri->score = *step.score;
  }

  void perform(const JoinStep& step) { world_.addPri(step.player, step.at); }

  void perform(const LeaveStep& step) {
    if (const pluginsdk::sim::Pri* pri = world_.findPri(step.ref)) world_.removeFromArray(*pri);
  }

  void perform(const OrderStep& step) {
    std::vector<pluginsdk::sim::Pri*> order;
    for (const std::string& ref : step.refs) order.push_back(world_.findPri(ref));
    world_.reorderArray(std::move(order));
  }

  void perform(const UnloadStep&) { unload(); }
  void perform(const LoadStep&) { load(); }

  void perform(const FailStep& step) { pluginsdk::sim::injectFault(step.op, step.after); }

  World& world_;
  const PluginDescriptor& descriptor_;
  std::shared_ptr<Vantor::Plugin::VantorPlugin> plugin_;
};

void buildWorld(World& world, const WorldSetup& setup, const std::filesystem::path& dataFolder) {
  world.online = setup.online;
  world.gameStateValid = setup.gameState;
  world.playlistValid = setup.playlistValid;
  world.playlistId = setup.playlistId;
  world.ratingPlaylist = setup.ratingPlaylist;
  for (const pluginsdk::sim::Pri& player : setup.players) world.addPri(player);
  for (const RatingEntry& rating : setup.ratings) {
    world.setRating(rating.uniqueId, rating.playlist, rating.value);
  }
  world.dataFolder = dataFolder;
  world.consoleSink = [](const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
  };
}

}  // namespace

int replay(const Scenario& scenario, const std::filesystem::path& pluginPath,
           const std::filesystem::path& dataFolder) {
  std::error_code error;
  std::filesystem::create_directories(dataFolder, error);
  if (error) {
    say("warning: cannot create data folder \"" + displayPath(dataFolder) +
        "\": " + error.message());
  }
  pluginsdk::sim::resetInstrumentation();
  // The world outlives the module, so nothing the module still holds can point past it.
  World world;
  buildWorld(world, scenario.world, dataFolder);
  LoadedModule module;
  if (const std::string problem = module.open(pluginPath); !problem.empty()) {
    say(displayPath(pluginPath) + ": " + problem);
    return kExitBadModule;
  }
  {
    Replay run(world, module.descriptor());
    run.load();
    for (const Step& step : scenario.steps) run.play(step);
  }
  std::fflush(stdout);
  return kExitOk;
}

}  // namespace tallyrig::host

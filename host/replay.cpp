#include "host/replay.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <type_traits>

#include "host/platform.h"
#include "host/session.h"
#include "plugin/descriptor.h"
#include "pluginsdk/plugin.h"
#include "pluginsdk/sim/instrumentation.h"
#include "pluginsdk/sim/world.h"

namespace tallyrig::host {
namespace {

using pluginsdk::sim::World;

void say(const std::string& line) {
  std::fprintf(stderr, "tallyrig-host: %s\n", line.c_str());
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
  world.consoleSink = [](const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
  };
  LoadedModule module;
  if (const std::string problem = module.open(pluginPath); !problem.empty()) {
    say(displayPath(pluginPath) + ": " + problem);
    return kExitBadModule;
  }
  {
    const PluginDescriptor& descriptor = module.descriptor();
    PluginSession session(world, descriptor.createEntry, descriptor.destroyEntry,
                          [](const std::string& what, const std::string& message) {
                            say("exception from " + what + ": " + message);
                          });
    session.load();
    for (const Step& step : scenario.steps) session.play(step);
  }
  std::fflush(stdout);
  return kExitOk;
}

}  // namespace tallyrig::host

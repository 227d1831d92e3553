#pragma once

// Drives the plugin's own code directly over a simulated world, as the host would.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "plugin/tallyrig.h"
#include "pluginsdk/sim/instrumentation.h"
#include "pluginsdk/sim/world.h"
#include "tracking/player_table.h"

extern "C" std::shared_ptr<Vantor::Plugin::VantorPlugin>* getPlugin();
extern "C" void deleteMe();

inline const std::string kGameStartedHook = "Function ProjectX.GRI_X.EventGameStarted";
inline const std::string kMatchEndedHook = "Function TAGame.GameEvent_Soccar_TA.EventMatchEnded";
inline const std::string kStatTickerHook = "Function TAGame.GFxHUD_TA.HandleStatTickerMessage";
inline const std::string kStatEventHook = "Function TAGame.GFxHUD_TA.HandleStatEvent";

inline std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A statistics file's text with LF line ends; on Windows every line end must be CR LF.
inline std::string readStatistics(const std::filesystem::path& path) {
  std::string text = readFile(path);
#if defined(_WIN32)
  std::string lines;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    EXPECT_NE(text[i], '\r') << "a lone CR at byte " << i;
    if (text[i] == '\n') {
      EXPECT_TRUE(i > 0 && text[i - 1] == '\r') << "a bare LF at byte " << i;
    }
    lines.push_back(text[i]);
  }
  text = lines;
#endif
  return text;
}

class PluginFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    pluginsdk::sim::resetInstrumentation();
    playerTable = PlayerTable{};
    matchState = MatchState{};
    logConsole.reset();
    deleteMe();
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    dataFolder = std::filesystem::temp_directory_path() /
                 (std::string("tallyrig-") + test->test_suite_name() + "-" + test->name());
    std::filesystem::remove_all(dataFolder);
    std::filesystem::create_directories(dataFolder);
    world.dataFolder = dataFolder;
    world.consoleSink = [this](const std::string& line) { console.push_back(line); };
  }

  void TearDown() override {
    plugin.reset();
    deleteMe();
    logConsole.reset();
    world.removeAllHooks();
    pluginsdk::sim::resetInstrumentation();
    EXPECT_EQ(pluginsdk::sim::contractViolations(), 0u);
    std::filesystem::remove_all(dataFolder);
  }

  void load() {
    plugin = *getPlugin();
    plugin->consoleManager = world.makeConsole();
    plugin->gameAccess = world.makeGameWrapper();
    plugin->onLoad();
  }

  Tallyrig& tallyrig() { return static_cast<Tallyrig&>(*plugin); }

  pluginsdk::sim::Pri& addPlayer(const std::string& name, unsigned char team, int playerId,
                                 bool local = false) {
    pluginsdk::sim::Pri pri;
    pri.ref = name;
    pri.name = name;
    pri.team = team;
    pri.playerId = playerId;
    pri.uniqueId = "Steam|" + std::to_string(playerId) + "|0";
    pri.local = local;
    return world.addPri(pri);
  }

  void startGame() { world.callHook(kGameStartedHook); }
  void endMatch() { world.callHook(kMatchEndedHook); }

  void statTicker(const pluginsdk::sim::Pri* actor, const pluginsdk::sim::Pri* other,
                  const std::string& event) {
    std::uint64_t block[3] = {actor ? world.address(*actor) : 0, other ? world.address(*other) : 0,
                              world.statEventAddress(event)};
    world.callHookWithCaller(kStatTickerHook, block);
  }

  void statEvent(const pluginsdk::sim::Pri* pri, const std::string& event) {
    std::uint64_t block[2] = {pri ? world.address(*pri) : 0, world.statEventAddress(event)};
    world.callHookWithCaller(kStatEventHook, block);
  }

  pluginsdk::sim::World world;
  std::filesystem::path dataFolder;
  std::vector<std::string> console;
  std::shared_ptr<Vantor::Plugin::VantorPlugin> plugin;
};

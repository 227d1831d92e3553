// The module's boundary: descriptor, entry points, the plugin object's life and the rating log.

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "plugin/descriptor.h"
#include "plugin_fixture.h"
#include "pluginsdk/plugin.h"

extern "C" const PluginDescriptor exports;

namespace {

using pluginsdk::sim::Op;

TEST(DescriptorTest, HoldsTheValuesTheHostChecks) {
  EXPECT_EQ(exports.hostApiLevel, 95);
  EXPECT_EQ(exports.kindCode, 1);
  EXPECT_STREQ(exports.typeName, "Tallyrig");
  EXPECT_STREQ(exports.displayName, exports.typeName);
  EXPECT_STREQ(exports.versionText, "1.0.0.157");
  EXPECT_EQ(exports.createEntry, &getPlugin);
  EXPECT_EQ(exports.destroyEntry, &deleteMe);
  // The path as the build saw it: whole, ending in the file that declares the plugin. Windows
  // builds may separate it with backslashes, as cl's __FILE__ does.
  std::string source = exports.sourcePath;
  std::replace(source.begin(), source.end(), '\\', '/');
  const std::string ending = "/plugin/module.cpp";
  ASSERT_GT(source.size(), ending.size());
  EXPECT_EQ(source.substr(source.size() - ending.size()), ending);
}

TEST(DescriptorTest, AlignmentGapsAreZeroBytes) {
  unsigned char bytes[sizeof(PluginDescriptor)];
  std::memcpy(bytes, &exports, sizeof bytes);
  for (const std::size_t offset : {4u, 5u, 6u, 7u, 44u, 45u, 46u, 47u}) {
    EXPECT_EQ(bytes[offset], 0) << "byte " << offset;
  }
}

using LifecycleTest = PluginFixture;

TEST_F(LifecycleTest, GetPluginTwiceGivesOneObject) {
  auto* first = getPlugin();
  const auto* object = first->get();
  auto* second = getPlugin();
  EXPECT_EQ(first, second);
  EXPECT_EQ(second->get(), object);
  EXPECT_EQ(first->use_count(), 1);
}

TEST_F(LifecycleTest, NewObjectHasEmptyPointers) {
  auto& created = static_cast<Tallyrig&>(**getPlugin());
  EXPECT_EQ(created.consoleManager, nullptr);
  EXPECT_EQ(created.gameAccess, nullptr);
  EXPECT_EQ(created.ratingNotifierToken, nullptr);
}

TEST_F(LifecycleTest, DeleteMeWithoutObjectDoesNothingAndGetPluginStartsAfresh) {
  deleteMe();
  EXPECT_EQ(pluginInstance, nullptr);
  load();
  deleteMe();
  EXPECT_EQ(plugin.use_count(), 1);  // only the host's copy is left
  plugin.reset();
  auto* again = getPlugin();
  ASSERT_NE(*again, nullptr);
  EXPECT_EQ((*again)->gameAccess, nullptr);
}

TEST_F(LifecycleTest, HostCopyKeepsObjectAndNotifierAlive) {
  load();
  deleteMe();
  world.notifyRating("Steam|1|0");
  EXPECT_EQ(console.size(), 1u);
  EXPECT_EQ(world.liveNotifierCount(), 1u);
  plugin.reset();
  EXPECT_EQ(world.liveNotifierCount(), 0u);
  world.removeAllHooks();
  world.notifyRating("Steam|1|0");
  EXPECT_EQ(console.size(), 1u);
}

TEST_F(LifecycleTest, OnLoadRegistersHooksAndNotifierInOrder) {
  load();
  EXPECT_EQ(world.hookNames(), (std::vector<std::string>{kGameStartedHook, kMatchEndedHook,
                                                         kStatTickerHook, kStatEventHook}));
  EXPECT_EQ(world.liveNotifierCount(), 1u);
  EXPECT_EQ(logConsole, plugin->consoleManager);
}

TEST_F(LifecycleTest, FailedNotifierRegistrationKeepsEarlierHooks) {
  plugin = *getPlugin();
  plugin->consoleManager = world.makeConsole();
  plugin->gameAccess = world.makeGameWrapper();
  pluginsdk::sim::injectFault(Op::RegisterMMRNotifier, 0);
  EXPECT_THROW(plugin->onLoad(), std::runtime_error);
  EXPECT_EQ(world.hookNames(), (std::vector<std::string>{kGameStartedHook, kMatchEndedHook}));
  EXPECT_EQ(tallyrig().ratingNotifierToken, nullptr);
}

// The console is in place before anything is registered: a host that fails the first hook
// still leaves a console for the rating log.
TEST_F(LifecycleTest, ConsoleIsCopiedBeforeTheFirstRegistration) {
  for (const Op failing :
       {Op::HookEvent, Op::GetMMRWrapper, Op::RegisterMMRNotifier, Op::HookEventWithCallerPost}) {
    logConsole.reset();
    plugin = *getPlugin();
    plugin->consoleManager = world.makeConsole();
    plugin->gameAccess = world.makeGameWrapper();
    pluginsdk::sim::injectFault(failing, 0);
    EXPECT_THROW(plugin->onLoad(), std::runtime_error) << pluginsdk::sim::opName(failing);
    EXPECT_EQ(logConsole, plugin->consoleManager) << pluginsdk::sim::opName(failing);
    world.removeAllHooks();
    plugin.reset();
    deleteMe();
  }
}

TEST_F(LifecycleTest, OnUnloadLeavesEverythingInPlace) {
  load();
  plugin->onUnload();
  EXPECT_EQ(world.hookNames().size(), 4u);
  EXPECT_EQ(world.liveNotifierCount(), 1u);
  EXPECT_EQ(logConsole, plugin->consoleManager);
}

TEST_F(LifecycleTest, SecondOnLoadReplacesConsoleAndNotifierAndHooksAgain) {
  load();
  const MMRNotifierToken* firstToken = tallyrig().ratingNotifierToken.get();
  plugin->consoleManager = world.makeConsole();
  plugin->onLoad();
  EXPECT_EQ(logConsole, plugin->consoleManager);
  EXPECT_EQ(world.hookNames().size(), 8u);
  EXPECT_EQ(world.liveNotifierCount(), 1u);
  EXPECT_NE(tallyrig().ratingNotifierToken.get(), firstToken);
  world.notifyRating("Epic|2|0");
  EXPECT_EQ(console.size(), 1u);
}

TEST_F(LifecycleTest, DestructionEndsNotificationsThenReleasesGameThenConsole) {
  std::vector<std::string> order;
  plugin = *getPlugin();
  plugin->consoleManager = std::shared_ptr<CVarManagerWrapper>(
      new CVarManagerWrapper(world.makeConsole()->memory_address), [&](CVarManagerWrapper* c) {
        order.push_back("console");
        delete c;
      });
  plugin->gameAccess = std::shared_ptr<GameWrapper>(
      new GameWrapper(world.makeGameWrapper()->memory_address), [&](GameWrapper* g) {
        order.push_back(world.liveNotifierCount() == 0 ? "game after token" : "game before token");
        delete g;
      });
  plugin->onLoad();
  logConsole.reset();
  deleteMe();
  plugin.reset();
  EXPECT_EQ(order, (std::vector<std::string>{"game after token", "console"}));
}

// The base class's copies share both pointers; a move leaves its source empty.
TEST(VantorPluginTest, CopiesShareBothPointersAndMovesEmptyTheSource) {
  pluginsdk::sim::World world;
  Vantor::Plugin::VantorPlugin original;
  original.consoleManager = world.makeConsole();
  original.gameAccess = world.makeGameWrapper();
  const auto console = original.consoleManager;
  const auto game = original.gameAccess;

  Vantor::Plugin::VantorPlugin copied(original);
  EXPECT_EQ(copied.consoleManager, console);
  EXPECT_EQ(copied.gameAccess, game);
  Vantor::Plugin::VantorPlugin assigned;
  assigned = original;
  EXPECT_EQ(assigned.consoleManager, console);
  EXPECT_EQ(assigned.gameAccess, game);
  EXPECT_EQ(original.consoleManager, console);
  EXPECT_EQ(original.gameAccess, game);
  EXPECT_EQ(game.use_count(), 4);

  Vantor::Plugin::VantorPlugin moved(std::move(copied));
  EXPECT_EQ(moved.consoleManager, console);
  EXPECT_EQ(moved.gameAccess, game);
  EXPECT_EQ(copied.consoleManager, nullptr);  // NOLINT(bugprone-use-after-move)
  EXPECT_EQ(copied.gameAccess, nullptr);      // NOLINT(bugprone-use-after-move)
  Vantor::Plugin::VantorPlugin moveAssigned;
  moveAssigned = std::move(assigned);
  EXPECT_EQ(moveAssigned.consoleManager, console);
  EXPECT_EQ(moveAssigned.gameAccess, game);
  EXPECT_EQ(assigned.consoleManager, nullptr);  // NOLINT(bugprone-use-after-move)
  EXPECT_EQ(assigned.gameAccess, nullptr);      // NOLINT(bugprone-use-after-move)
  EXPECT_EQ(game.use_count(), 4);
}

using RatingLogTest = PluginFixture;

TEST_F(RatingLogTest, OneLinePerNotificationWithIdAndShortestFloat) {
  load();
  const std::pair<float, const char*> cases[] = {
      {1500.0f, "1500"}, {1234.5678f, "1234.5677"}, {-1.0f, "-1"},
      {0.0f, "0"},       {1e16f, "1e+16"},          {1e-5f, "1e-05"},
  };
  for (const auto& [value, text] : cases) {
    world.setRating("Steam|76561198000000001|0", 11, value);
    world.notifyRating("Steam|76561198000000001|0");
    ASSERT_FALSE(console.empty());
    EXPECT_EQ(console.back(), std::string("Steam|76561198000000001|0 MMR is: ") + text);
  }
  EXPECT_EQ(console.size(), std::size(cases));
}

TEST_F(RatingLogTest, AlwaysReadsPlaylistElevenAndLeavesTableAlone) {
  world.playlistId = 13;
  world.setRating("PS4|9|0", 13, 900.0f);
  world.setRating("PS4|9|0", 11, 1100.0f);
  addPlayer("Ana", 0, 1, true);
  load();
  startGame();
  const PlayerTable before = playerTable;
  const MatchState stateBefore = matchState;
  world.notifyRating("PS4|9|0");
  world.notifyRating("nobody");
  EXPECT_EQ(console, (std::vector<std::string>{"PS4|9|0 MMR is: 1100", "nobody MMR is: 0"}));
  for (std::size_t i = 0; i < kPlayerSlots; ++i) EXPECT_EQ(playerTable[i].mmr, before[i].mmr);
  EXPECT_EQ(matchState.playerCount, stateBefore.playerCount);
}

}  // namespace

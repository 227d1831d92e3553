#pragma once

#include <filesystem>
#include <ostream>
#include <string>

#include "scene.h"

// The matches the benchmarks run in, all in one data folder.
struct Scenes {
  explicit Scenes(const std::filesystem::path& dataFolder);

  Scene duel;      // 2 players
  Scene standard;  // 6 players
  Scene chaos;     // 8 players: also the demolition, game start, export and rating benchmarks
};

// True when the global operator new this binary replaces also counts the SDK library's
// allocations; without that every allocation figure would be wrong.
bool allocationCountingWorks();

// Runs Tallyrig's match-end export once and returns the block it appended: the bytes the raw
// append writes. Empty when the export wrote nothing.
std::string captureExportBlock(Scene& scene);

// Checks that each floor makes the SDK calls its handler makes, operation by operation and
// count by count, for one call in the state the benchmark measures. Prints what differs.
bool floorsMirrorHandlers(Scenes& scenes, std::ostream& out);

// Each handler and its floor as benchmarks of their own (times, allocation counts), and paired
// rounds of the two for the ratio. A smoke run gives the paired benchmarks one round.
void registerBenchmarks(Scenes& scenes, const std::string& exportBlock, bool smoke);

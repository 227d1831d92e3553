// The CSV export against the statistics files it was made from, read here without the stats
// library: every row of every block, in file order, must come back as one CSV record whose
// fields, joined as the plugin joins them, give the file's line byte for byte.
//
//   stats-export-check --write-scenarios DIR FIRST-LAST   randomised scenarios to replay
//   stats-export-check --compare DATA_DIR EXPORT.csv

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "scenario_generator.h"

namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct FileRow {
  std::size_t block = 0;  // 1 upward over all files
  std::string playlist;
  std::string year;
  std::string line;
};

// Blocks as the plugin appends them: a header line, rows, empty lines.
std::vector<FileRow> rowsOfFiles(const fs::path& data) {
  std::vector<fs::path> files;
  for (const auto& year : fs::directory_iterator(data / "Tallyrig")) {
    for (const auto& file : fs::directory_iterator(year.path())) files.push_back(file.path());
  }
  std::sort(files.begin(), files.end());
  std::vector<FileRow> rows;
  std::size_t block = 0;
  for (const fs::path& file : files) {
    const std::string text = readFile(file);
    bool inBlock = false;
    for (std::size_t start = 0; start < text.size();) {
      std::size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(start, end - start);
      start = end + 1;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.rfind("TEAM COLOR, NAME, ", 0) == 0) {
        ++block;
        inBlock = true;
      } else if (line.empty()) {
        inBlock = false;
      } else if (inBlock) {
        rows.push_back({block, file.stem().string(), file.parent_path().filename().string(), line});
      }
    }
  }
  return rows;
}

// RFC 4180 records; the first is the column names.
std::vector<std::vector<std::string>> csvRecords(std::string text, std::string& problem) {
  if (text.rfind("\xEF\xBB\xBF", 0) != 0) problem = "no byte-order mark";
  text.erase(0, 3);
  std::vector<std::vector<std::string>> records(1);
  std::string field;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"' && field.empty()) {
      quoted = true;
    } else if (c == ',') {
      records.back().push_back(std::move(field));
      field.clear();
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      records.back().push_back(std::move(field));
      field.clear();
      records.emplace_back();
      ++i;
    } else if (c == '"' || c == '\r' || c == '\n') {
      problem = "a bare quote or line break at byte " + std::to_string(i);
    } else {
      field += c;
    }
  }
  if (!records.back().empty() || !field.empty()) problem = "the last record has no CR LF";
  records.pop_back();
  return records;
}

// "2024-03-07T21:05" as the file writes it: "03/07/2024 21:05".
std::string fileTimestamp(const std::string& iso) {
  if (iso.size() != 16 || iso[10] != 'T') return "?" + iso;
  return iso.substr(5, 2) + "/" + iso.substr(8, 2) + "/" + iso.substr(0, 4) + " " +
         iso.substr(11, 5);
}

// The export holds the matches the player played, as every output does: the blocks with a row of
// the player's id, found from the export's first row marked is_player.
std::vector<FileRow> rowsOfPlayedBlocks(const std::vector<FileRow>& rows,
                                        const std::vector<std::vector<std::string>>& records) {
  std::string player;
  for (const auto& record : records) {
    if (record.size() == 17 && record[16] == "true") {
      player = record[15];
      break;
    }
  }
  std::set<std::size_t> played;
  for (const FileRow& row : rows) {
    if (row.line.ends_with(", " + player)) played.insert(row.block);
  }
  std::vector<FileRow> kept;
  for (const FileRow& row : rows) {
    if (played.count(row.block) > 0) kept.push_back(row);
  }
  return kept;
}

int compare(const fs::path& data, const fs::path& exportFile) {
  std::string problem;
  const auto records = csvRecords(readFile(exportFile), problem);
  const std::vector<FileRow> rows = rowsOfPlayedBlocks(rowsOfFiles(data), records);
  if (!problem.empty()) {
    std::fprintf(stderr, "%s: %s\n", exportFile.string().c_str(), problem.c_str());
    return 1;
  }
  const std::vector<std::string> columns = {
      "match", "playlist",   "year",   "timestamp", "team_color", "name",
      "goals", "assists",    "saves",  "shots",     "demos",      "score",
      "mmr",   "team_goals", "result", "player_id", "is_player"};
  if (records.empty() || records[0] != columns) {
    std::fprintf(stderr, "the column names differ\n");
    return 1;
  }
  if (records.size() - 1 != rows.size()) {
    std::fprintf(stderr, "%zu records for %zu rows\n", records.size() - 1, rows.size());
    return 1;
  }
  std::string player;
  std::size_t failures = 0;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const std::vector<std::string>& r = records[i + 1];
    const FileRow& row = rows[i];
    std::string line;
    if (r.size() == columns.size()) {
      line = r[4];
      for (std::size_t k : {5u, 6u, 7u, 8u, 9u, 10u, 11u, 12u, 13u, 14u}) line += ", " + r[k];
      line += ", " + fileTimestamp(r[3]) + ", " + r[15];
    }
    bool owner = r.size() == columns.size() && r[16] == "true";
    if (owner && player.empty()) player = r[15];
    const bool ok = r.size() == columns.size() && r[0] == std::to_string(row.block) &&
                    r[1] == row.playlist && r[2] == row.year && line == row.line &&
                    (r[16] == "true" || r[16] == "false") && owner == (r[15] == player);
    if (!ok && ++failures <= 10) {
      std::fprintf(stderr, "row %zu (block %zu of %s/%s):\n  file:   %s\n  export: %s\n", i + 1,
                   row.block, row.year.c_str(), row.playlist.c_str(), row.line.c_str(),
                   line.c_str());
    }
  }
  std::printf("%zu rows in %zu blocks match the export\n", rows.size() - failures,
              rows.empty() ? 0 : rows.back().block);
  return failures == 0 && !rows.empty() ? 0 : 1;
}

int writeScenarios(const fs::path& folder, const std::string& seeds) {
  const std::size_t dash = seeds.find('-');
  const std::uint64_t first = std::stoull(seeds.substr(0, dash));
  const std::uint64_t last = std::stoull(seeds.substr(dash + 1));
  fs::create_directories(folder);
  for (std::uint64_t seed = first; seed <= last; ++seed) {
    std::ofstream(folder / ("generated-" + std::to_string(seed) + ".json"), std::ios::binary)
        << tallyrig::reliability::generateScenario(seed).json;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  if (arguments.size() == 3 && arguments[0] == "--write-scenarios") {
    return writeScenarios(arguments[1], arguments[2]);
  }
  if (arguments.size() == 3 && arguments[0] == "--compare")
    return compare(arguments[1], arguments[2]);
  std::fprintf(stderr,
               "usage: stats-export-check --write-scenarios DIR FIRST-LAST | --compare DATA CSV\n");
  return 2;
}

#include "export/kept_blocks.h"

#include <utility>

namespace {

std::string countOf(std::size_t count, std::string_view what) {
  std::string text = std::to_string(count);
  text.append(" ").append(what).append(count == 1 ? "" : "s");
  return text;
}

// The file in quotes, where the problem named one of its folders instead.
std::string forTheFile(const StatisticsFile& file) {
  if (!file.problemIsAFolder()) return "";
  return " for \"" + displayPath(file.path()) + "\"";
}

std::string keptLine(const StatisticsFile& file, std::size_t kept) {
  return file.problem() + "; " + countOf(kept, "block") + forTheFile(file) +
         (kept == 1 ? " is" : " are") + " kept and will be written later";
}

std::string lostLine(const StatisticsFile& file, std::size_t lost) {
  return file.problem() + "; " + countOf(lost, "kept block") + forTheFile(file) +
         (lost == 1 ? " is" : " are") + " lost";
}

std::string writtenLine(const StatisticsFile& file, std::size_t written) {
  return "Tallyrig: wrote " + countOf(written, "kept block") + " to \"" + displayPath(file.path()) +
         "\"";
}

}  // namespace

void KeptBlocks::exportTo(StatisticsFile& file, bool opened,
                          const std::filesystem::path& dataFolder, std::string_view year,
                          const std::string& fileName, std::string block,
                          std::vector<std::string>& lines) {
  bool written = opened;
  std::size_t keptWritten = 0;
  std::size_t blockInFile = 0;
  if (written && !blocks_.empty()) written = writeKept(file, keptWritten);
  if (keptWritten > 0) lines.push_back(writtenLine(file, keptWritten));
  if (written && !block.empty()) {
    written = file.append(block);
    if (!written) blockInFile = static_cast<std::size_t>(file.leftover());
  }
  if (written) {
    // A close that fails after whole writes is said, not kept: the bytes are in the file.
    if (!file.close()) lines.push_back(file.problem());
    return;
  }
  if (!block.empty()) {
    keep(Kept{dataFolder, std::string(year), fileName, file.path(), std::move(block), blockInFile},
         lines);
  }
  const std::size_t kept = keptFor(file.path());
  lines.push_back(kept > 0 ? keptLine(file, kept) : file.problem());
}

void KeptBlocks::writeAll(std::vector<std::string>& lines) {
  while (!blocks_.empty()) {
    const Kept& oldest = blocks_.front();
    StatisticsFile file;
    std::size_t written = 0;
    const bool opened = file.open(oldest.dataFolder, oldest.year, oldest.fileName);
    const bool whole = opened && writeKept(file, written);
    if (written > 0) lines.push_back(writtenLine(file, written));
    if (whole) {
      if (!file.close()) lines.push_back(file.problem());
      continue;
    }
    const std::filesystem::path path = file.path();
    lines.push_back(lostLine(file, keptFor(path)));
    for (auto it = blocks_.begin(); it != blocks_.end();) {
      if (it->path == path) {
        bytes_ -= it->bytes.size();
        it = blocks_.erase(it);
      } else {
        ++it;
      }
    }
  }
  bytes_ = 0;
}

bool KeptBlocks::writeKept(StatisticsFile& file, std::size_t& written) {
  for (auto it = blocks_.begin(); it != blocks_.end();) {
    if (it->path != file.path()) {
      ++it;
      continue;
    }
    if (!file.append(std::string_view(it->bytes).substr(it->inFile))) {
      it->inFile += static_cast<std::size_t>(file.leftover());
      return false;
    }
    bytes_ -= it->bytes.size();
    it = blocks_.erase(it);
    ++written;
  }
  return true;
}

// Past either bound the oldest block goes, the new one too if it alone is past them.
void KeptBlocks::keep(Kept block, std::vector<std::string>& lines) {
  bytes_ += block.bytes.size();
  blocks_.push_back(std::move(block));
  while (blocks_.size() > kMaxBlocks || bytes_ > kMaxBytes) {
    const Kept& oldest = blocks_.front();
    lines.push_back("Tallyrig: more than " + std::to_string(kMaxBlocks) +
                    " blocks or 1 MiB wait to be written; the oldest, for \"" +
                    displayPath(oldest.path) + "\", is dropped and lost");
    bytes_ -= oldest.bytes.size();
    blocks_.pop_front();
  }
}

std::size_t KeptBlocks::keptFor(const std::filesystem::path& path) const {
  std::size_t count = 0;
  for (const Kept& block : blocks_) {
    if (block.path == path) ++count;
  }
  return count;
}

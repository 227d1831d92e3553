#include "export/local_time.h"

#include <ctime>

namespace {

std::tm toLocalTime(std::time_t now) {
  std::tm local{};
#if defined(_WIN32)
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return local;
}

std::string formatTime(const std::tm& time, const char* pattern) {
  char text[64];
  return std::string(text, std::strftime(text, sizeof text, pattern, &time));
}

}  // namespace

ExportTime currentExportTime() {
  const std::tm local = toLocalTime(std::time(nullptr));
  ExportTime time;
  time.timestamp_ = formatTime(local, "%m/%d/%Y %H:%M");
  time.year_ = formatTime(local, "%Y");
  return time;
}

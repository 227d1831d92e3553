#include "export/local_time.h"

#include <ctime>

#include "export/digit_pairs.h"

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

// Fields of a calendar time below a hundred, as two digits.
char* twoDigits(char* at, int value) {
  return putTwoDigits(at, static_cast<unsigned>(value));
}

}  // namespace

// What strftime makes of "%m/%d/%Y %H:%M" and "%Y", written out directly for the years of four
// digits that a clock gives; strftime itself for any other.
ExportTime currentExportTime() {
  const std::tm local = toLocalTime(std::time(nullptr));
  const int year = local.tm_year + 1900;
  ExportTime time;
  if (year < 1000 || year > 9999) {
    time.timestampLength_ = std::strftime(time.text_, 32, "%m/%d/%Y %H:%M", &local);
    time.yearOffset_ = 32;
    time.yearLength_ = std::strftime(time.text_ + 32, 32, "%Y", &local);
    return time;
  }
  char* at = twoDigits(time.text_, local.tm_mon + 1);
  *at++ = '/';
  at = twoDigits(at, local.tm_mday);
  *at++ = '/';
  at = twoDigits(at, year / 100);
  at = twoDigits(at, year % 100);
  *at++ = ' ';
  at = twoDigits(at, local.tm_hour);
  *at++ = ':';
  twoDigits(at, local.tm_min);
  time.timestampLength_ = 16;
  time.yearOffset_ = 6;
  time.yearLength_ = 4;
  return time;
}

// Wine's time.h, completed with what the Windows SDK's declares (64-bit time_t throughout).
#pragma once
#include_next <time.h>

#ifdef __cplusplus
extern "C" {
#endif
#define TIME_UTC 1
struct timespec {
  time_t tv_sec;
  long tv_nsec;
};
_ACRTIMP int __cdecl _timespec64_get(struct timespec* ts, int base);
inline int __cdecl timespec_get(struct timespec* ts, int base) {
  return _timespec64_get(ts, base);
}
_ACRTIMP errno_t __cdecl _localtime64_s(struct tm* result, const __time64_t* time);
_ACRTIMP errno_t __cdecl _gmtime64_s(struct tm* result, const __time64_t* time);
inline errno_t __cdecl localtime_s(struct tm* result, const time_t* time) {
  return _localtime64_s(result, time);
}
inline errno_t __cdecl gmtime_s(struct tm* result, const time_t* time) {
  return _gmtime64_s(result, time);
}
#ifdef __cplusplus
}
#endif

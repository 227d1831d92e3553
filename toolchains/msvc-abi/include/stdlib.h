// Wine's stdlib.h, completed with what the Windows SDK's declares and Microsoft's STL calls.
#pragma once
#include <corecrt_startup.h>
#include <errno.h>
#include <process.h>
#include_next <stdlib.h>

#ifdef __cplusplus
extern "C" {
#endif
_ACRTIMP __declspec(noreturn) void __cdecl _invoke_watson(const wchar_t*, const wchar_t*,
                                                          const wchar_t*, unsigned int, uintptr_t);
_ACRTIMP unsigned int __cdecl _set_abort_behavior(unsigned int flags, unsigned int mask);
_ACRTIMP errno_t __cdecl _dupenv_s(char** value, size_t* size, const char* name);
inline int __cdecl at_quick_exit(void(__cdecl* function)(void)) {
  return _crt_at_quick_exit(function);
}
#ifdef __cplusplus
}
extern "C++" {
inline long __cdecl abs(long x) noexcept {
  return labs(x);
}
inline long long __cdecl abs(long long x) noexcept {
  return llabs(x);
}
}
#endif

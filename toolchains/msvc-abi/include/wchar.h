// Wine's wchar.h, with the Windows SDK's 8-byte conversion state (wine's is an int, which would
// change the layout of std::fpos and std::codecvt's state) and the functions it lacks.
#pragma once
#include <vcruntime.h>
#define mbstate_t __wine_mbstate_t
#define mbrlen __wine_mbrlen
#define mbrtowc __wine_mbrtowc
#define mbsrtowcs __wine_mbsrtowcs
#define wcrtomb __wine_wcrtomb
#define wcsrtombs __wine_wcsrtombs
#include_next <wchar.h>
#undef mbstate_t
#undef mbrlen
#undef mbrtowc
#undef mbsrtowcs
#undef wcrtomb
#undef wcsrtombs
typedef _Mbstatet mbstate_t;

#ifdef __cplusplus
extern "C" {
#endif
_ACRTIMP size_t __cdecl mbrlen(const char*, size_t, mbstate_t*);
_ACRTIMP size_t __cdecl mbrtowc(wchar_t*, const char*, size_t, mbstate_t*);
_ACRTIMP size_t __cdecl mbsrtowcs(wchar_t*, const char**, size_t, mbstate_t*);
_ACRTIMP size_t __cdecl wcrtomb(char*, wchar_t, mbstate_t*);
_ACRTIMP size_t __cdecl wcsrtombs(char*, const wchar_t**, size_t, mbstate_t*);
inline int __cdecl fwide(FILE*, int mode) {
  return mode;
}
inline int __cdecl mbsinit(const mbstate_t* state) {
  return !state || state->_Wchar == 0;
}
_ACRTIMP long double __cdecl wcstold(const wchar_t*, wchar_t**);
inline int __cdecl vfwscanf(FILE* file, const wchar_t* format, va_list args) {
  return __stdio_common_vfwscanf(_CRT_INTERNAL_LOCAL_SCANF_OPTIONS, file, format, NULL, args);
}
inline int __cdecl vwscanf(const wchar_t* format, va_list args) {
  return vfwscanf(stdin, format, args);
}
inline int __cdecl vswscanf(const wchar_t* buffer, const wchar_t* format, va_list args) {
  return __stdio_common_vswscanf(_CRT_INTERNAL_LOCAL_SCANF_OPTIONS, buffer, (size_t)-1, format,
                                 NULL, args);
}
#ifdef __cplusplus
}
#endif

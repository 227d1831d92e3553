// Wine's stdio.h, completed with what the Windows SDK's declares and Microsoft's STL calls. The
// functions forward to the same ucrtbase entries the SDK's inline versions call.
#pragma once
#include_next <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif
inline int __cdecl vfscanf(FILE* file, const char* format, va_list args) {
  return __stdio_common_vfscanf(_CRT_INTERNAL_LOCAL_SCANF_OPTIONS, file, format, NULL, args);
}
inline int __cdecl vscanf(const char* format, va_list args) {
  return vfscanf(stdin, format, args);
}
inline int __cdecl vsscanf(const char* buffer, const char* format, va_list args) {
  return __stdio_common_vsscanf(_CRT_INTERNAL_LOCAL_SCANF_OPTIONS, buffer, (size_t)-1, format, NULL,
                                args);
}
inline int __cdecl vsnprintf_s(char* buffer, size_t size, size_t count, const char* format,
                               va_list args) {
  return _vsnprintf_s(buffer, size, count, format, args);
}
_ACRTIMP errno_t __cdecl _get_stream_buffer_pointers(FILE* file, char*** base, char*** next,
                                                     int** count);
#ifdef __cplusplus
}
#endif

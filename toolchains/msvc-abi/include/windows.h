// Wine's windows.h, made fit for C++ under clang-cl: it would define the keyword inline (which
// the STL rejects) and redefine a compiler intrinsic; it lacks a few newer declarations.
#pragma once
#define _InterlockedCompareExchange128 __wine_InterlockedCompareExchange128
#include_next <windows.h>
#undef _InterlockedCompareExchange128
#ifdef __cplusplus
#undef inline
#endif

#ifdef __cplusplus
extern "C" {
#endif
#ifndef SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
#define SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE 0x2
#endif
WINBASEAPI DWORD WINAPI GetTempPath2W(DWORD length, LPWSTR buffer);

// GetFileInformationByHandleEx's FileIdInfo and SetFileInformationByHandle's
// FileDispositionInfoEx, which wine's winbase.h names but does not define.
typedef struct _FILE_ID_INFO {
  ULONGLONG VolumeSerialNumber;
  struct {
    BYTE Identifier[16];
  } FileId;
} FILE_ID_INFO, *PFILE_ID_INFO;
typedef struct _FILE_DISPOSITION_INFO_EX {
  DWORD Flags;
} FILE_DISPOSITION_INFO_EX, *PFILE_DISPOSITION_INFO_EX;
#define FILE_DISPOSITION_FLAG_DO_NOT_DELETE 0x00000000
#define FILE_DISPOSITION_FLAG_DELETE 0x00000001
#define FILE_DISPOSITION_FLAG_POSIX_SEMANTICS 0x00000002
#define FILE_DISPOSITION_FLAG_FORCE_IMAGE_SECTION_CHECK 0x00000004
#define FILE_DISPOSITION_FLAG_ON_CLOSE 0x00000008
#define FILE_DISPOSITION_FLAG_IGNORE_READONLY_ATTRIBUTE 0x00000010
#ifdef __cplusplus
}
#endif

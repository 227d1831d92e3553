// The compiler runtime's base header, as far as Microsoft's STL and this project use it. The
// Windows SDK and Visual Studio ship their own; here wine's C runtime headers stand beside it.
#pragma once
#include <corecrt.h>

#define _VCRTIMP __declspec(dllimport)
#ifndef _CRTIMP2
#define _CRTIMP2 __declspec(dllimport)
#endif
#ifndef _MRTIMP2
#define _MRTIMP2 __declspec(dllimport)
#endif

// Annotations wine's sal.h lacks; they only inform static analysis.
#define _Analysis_assume_(expr)
#define _Check_return_opt_
#define _Field_z_
#define _In_NLS_string_(size)
#define _Inout_bytecount_(size)
#define _Pre_satisfies_(cond)
#define _CRT_PACKING 8
#define _CRT_BEGIN_C_HEADER extern "C" {
#define _CRT_END_C_HEADER }
#ifndef __cplusplus
#undef _CRT_BEGIN_C_HEADER
#undef _CRT_END_C_HEADER
#define _CRT_BEGIN_C_HEADER
#define _CRT_END_C_HEADER
#endif
#ifndef _HAS_EXCEPTIONS
#define _HAS_EXCEPTIONS 1
#endif
#define __CRTDECL __cdecl
#define _CRT_STRINGIZE_(x) #x
#define _CRT_STRINGIZE(x) _CRT_STRINGIZE_(x)
#define _CRT_WIDE_(s) L##s
#define _CRT_WIDE(s) _CRT_WIDE_(s)
#define _CRT_CONCATENATE_(a, b) a##b
#define _CRT_CONCATENATE(a, b) _CRT_CONCATENATE_(a, b)
#define _CRT_UNPARENTHESIZE_(...) __VA_ARGS__
#define _CRT_UNPARENTHESIZE(...) _CRT_UNPARENTHESIZE_ __VA_ARGS__
#define _CRTALLOCATOR __declspec(allocator)
#define _CRTRESTRICT __declspec(restrict)
#define _VCRT_ALLOCATOR __declspec(allocator) __declspec(restrict)
#define _VCRT_NOALIAS __declspec(noalias)
#define _VCRT_RESTRICT __declspec(restrict)
#define _CRT_GUARDOVERFLOW
#define _CRT_HYBRIDPATCHABLE
#define _VCRUNTIME_DISABLED_WARNINGS
#define _VCRUNTIME_DISABLED_WARNING_4339_4412
#define _VCRUNTIME_EXTRA_DISABLED_WARNINGS
#define _CRT_DEPRECATE_TEXT(text) __declspec(deprecated(text))
#define _CRT_INSECURE_DEPRECATE(replacement)
#define _CRT_INSECURE_DEPRECATE_MEMORY(replacement)
#define _CRT_NONSTDC_DEPRECATE(replacement)
#define _CRT_ALIGN(x) __declspec(align(x))
#define _CRT_UNUSED(x) (void)x
#define _CRT_SECURE_CPP_NOTHROW throw()
#define _CRT_NO_VA_START_VALIDATION
#ifdef __cplusplus
#ifndef _HAS_CXX17
#define _HAS_CXX17 (_MSVC_LANG > 201402L)
#endif
#ifndef _HAS_CXX20
#define _HAS_CXX20 (_MSVC_LANG > 201703L)
#endif
#ifndef _HAS_CXX23
#define _HAS_CXX23 (_MSVC_LANG > 202002L)
#endif
#endif
#define _VCRT_COMPILER_PREPROCESSOR 1
#define _MSVC_CONSTEXPR [[msvc::constexpr]]
#define _CRT_SATELLITE_1 __declspec(dllimport)
#define _CRT_SATELLITE_2 __declspec(dllimport)
#define _CRT_SATELLITE_CODECVT_IDS __declspec(dllimport)
#define _CRT_SATELLITE_CODECVT_IDS_NOIMPORT
#define _PGLOBAL
#define _AGLOBAL
#define _NODISCARD [[nodiscard]]
#define __CLR_OR_THIS_CALL
#define __CLRCALL_OR_CDECL __cdecl
#define __CLRCALL_PURE_OR_CDECL __cdecl
#define __CRTDECL __cdecl

_CRT_BEGIN_C_HEADER
// The C runtime's multibyte conversion state: 8 bytes, as ucrtbase and msvcp140 keep it.
typedef struct _Mbstatet {
  unsigned long _Wchar;
  unsigned short _Byte, _State;
} _Mbstatet;
#ifdef _WIN64
typedef unsigned __int64 uintptr_t;
#endif
typedef bool __vcrt_bool;
extern uintptr_t __security_cookie;
void __cdecl __security_init_cookie(void);
void __cdecl __security_check_cookie(uintptr_t cookie);
__declspec(noreturn) void __cdecl __report_gsfailure(uintptr_t cookie);
_CRT_END_C_HEADER

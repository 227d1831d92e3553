// Wine's locale.h, with the code page query the Windows SDK's declares and ucrtbase exports.
#pragma once
#include_next <locale.h>

#ifdef __cplusplus
extern "C" {
#endif
_ACRTIMP unsigned int __cdecl ___lc_codepage_func(void);
#ifdef __cplusplus
}
#endif

// The compiler runtime's new.h: the new handler ucrtbase calls back when the heap is exhausted.
#pragma once
#include <vcruntime_new.h>

extern "C" {
typedef int(__cdecl* _PNH)(size_t);
_ACRTIMP int __cdecl _callnewh(size_t size);
_ACRTIMP _PNH __cdecl _set_new_handler(_PNH handler);
_ACRTIMP _PNH __cdecl _query_new_handler(void);
_ACRTIMP int __cdecl _set_new_mode(int mode);
_ACRTIMP int __cdecl _query_new_mode(void);
}

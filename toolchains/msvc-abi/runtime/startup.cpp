// What MSVC's static runtime gives every module: the tables of static constructors the compiler
// fills (.CRT$XC*, .CRT$XI*), the security cookie, _fltused, type_info's virtual table and the
// atexit that a DLL keeps to itself. The entry points are in exe_entry.cpp and dll_entry.cpp.

// ucrtbase's atexit and _onexit are declared for import; this module defines its own.
#define atexit __ucrtbase_atexit
#define _onexit __ucrtbase_onexit
#include <corecrt_startup.h>
#include <stdint.h>
#include <stdlib.h>
#undef atexit
#undef _onexit
#include <intrin.h>
#include <vcruntime_new.h>
#include <vcruntime_typeinfo.h>
#include <windows.h>

#include "startup.h"

extern "C" {
#pragma section(".CRT$XIA", long, read)
#pragma section(".CRT$XIZ", long, read)
#pragma section(".CRT$XCA", long, read)
#pragma section(".CRT$XCZ", long, read)
__declspec(allocate(".CRT$XIA")) _PIFV __xi_a[] = {nullptr};
__declspec(allocate(".CRT$XIZ")) _PIFV __xi_z[] = {nullptr};
__declspec(allocate(".CRT$XCA")) _PVFV __xc_a[] = {nullptr};
__declspec(allocate(".CRT$XCZ")) _PVFV __xc_z[] = {nullptr};

// The linker's marker that floating point is used; MSVC's runtime defines it.
int _fltused = 0x9875;

// /GS: the value every protected frame is checked against, made unguessable at start.
uintptr_t __security_cookie = 0x00002B992DDFA232ull;

void __cdecl __security_init_cookie(void) {
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  uintptr_t cookie = reinterpret_cast<uintptr_t>(&cookie);
  cookie ^= static_cast<uintptr_t>(counter.QuadPart) << 16;
  cookie ^= (static_cast<uintptr_t>(now.dwHighDateTime) << 32) ^ now.dwLowDateTime;
  cookie ^= GetCurrentThreadId() ^ (static_cast<uintptr_t>(GetCurrentProcessId()) << 32);
  cookie &= 0x0000FFFFFFFFFFFFull;
  if (cookie == 0x00002B992DDFA232ull || cookie == 0) {
    cookie = 0x00002B992DDFA233ull;
  }
  __security_cookie = cookie;
}

// The end of a process whose stack was overrun; the static runtime's, as wine leaves
// vcruntime140's unimplemented.
__declspec(noreturn) void __cdecl __report_gsfailure(uintptr_t) {
  __fastfail(2);  // FAST_FAIL_STACK_COOKIE_CHECK_FAILURE
}

void __cdecl __security_check_cookie(uintptr_t cookie) {
  if (cookie != __security_cookie) {
    __report_gsfailure(cookie);
  }
}

// The head of vcruntime140's list of undecorated type names, one per module.
struct __type_info_node {
  void* _MemPtr;
  __type_info_node* _Next;
};
__type_info_node __type_info_root_node;
_VCRTIMP void __cdecl __std_type_info_destroy_list(__type_info_node* root);

void tallyrig_free_type_names() {
  __std_type_info_destroy_list(&__type_info_root_node);
}

// A DLL's atexit table: its static objects are destroyed when it is unloaded, from this table,
// while its code is still mapped. In an EXE the table stays unused and atexit goes to ucrtbase's.
static _onexit_table_t module_exit_table;
static bool module_table_in_use = false;

void tallyrig_use_module_exit_table() {
  _initialize_onexit_table(&module_exit_table);
  module_table_in_use = true;
}

void tallyrig_run_module_exit_table() {
  if (module_table_in_use) {
    _execute_onexit_table(&module_exit_table);
  }
}

_onexit_t __cdecl _onexit(_onexit_t function) {
  if (module_table_in_use) {
    return _register_onexit_function(&module_exit_table, function) == 0 ? function : nullptr;
  }
  return _crt_atexit(reinterpret_cast<_PVFV>(function)) == 0 ? function : nullptr;
}

int __cdecl atexit(_PVFV function) {
  return _onexit(reinterpret_cast<_onexit_t>(function)) ? 0 : -1;
}

int tallyrig_run_initializers() {
  if (_initterm_e(__xi_a, __xi_z) != 0) {
    return -1;
  }
  _initterm(__xc_a, __xc_z);
  return 0;
}
}

type_info::~type_info() noexcept {}

// type_info's virtual table, which the compiler's type descriptors point at. MSVC's runtime
// defines it in its static library; no constructor here would make the compiler emit it. Its one
// slot is the scalar deleting destructor, called with the object and the delete flag.
namespace {
void* __cdecl delete_type_info(type_info* self, unsigned int flags) {
  self->~type_info();
  if (flags & 1) {
    ::operator delete(self);
  }
  return self;
}
}  // namespace
extern "C" const void* const type_info_vftable[1] __asm__("??_7type_info@@6B@") = {
    reinterpret_cast<const void*>(&delete_type_info)};

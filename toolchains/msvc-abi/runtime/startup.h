// Shared between the runtime's pieces; not part of any public interface.
#pragma once
#include <corecrt_startup.h>
#include <vcruntime.h>

extern "C" {
_ACRTIMP void __cdecl _initterm(_PVFV* first, _PVFV* last);
_ACRTIMP int __cdecl _initterm_e(_PIFV* first, _PIFV* last);
void tallyrig_use_module_exit_table();
void tallyrig_run_module_exit_table();
int tallyrig_run_initializers();
// Frees the names type_info::name() made for this module.
void tallyrig_free_type_names();
}

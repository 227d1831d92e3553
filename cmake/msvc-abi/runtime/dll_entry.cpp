// A DLL's entry point, as MSVC's static runtime has it: static constructors at load, the DLL's
// own atexit table at unload, and DllMain between them when the DLL defines one.
#include <windows.h>

#include "startup.h"

extern "C" {
BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID);
BOOL WINAPI tallyrig_default_dll_main(HINSTANCE, DWORD, LPVOID) {
  return TRUE;
}
#pragma comment(linker, "/alternatename:DllMain=tallyrig_default_dll_main")

BOOL WINAPI _DllMainCRTStartup(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    __security_init_cookie();
    tallyrig_use_module_exit_table();
    if (tallyrig_run_initializers() != 0) {
      return FALSE;
    }
  }
  BOOL result = DllMain(instance, reason, reserved);
  if (reason == DLL_PROCESS_DETACH || (reason == DLL_PROCESS_ATTACH && !result)) {
    tallyrig_run_module_exit_table();
  }
  return result;
}
}

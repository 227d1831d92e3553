// A DLL's entry point, as MSVC's static runtime has it: static constructors at load, the DLL's
// own atexit table and its type names at unload, and DllMain between them when the DLL defines
// one. A load that fails is undone here once; the loader's detach that follows finds nothing set
// up and touches nothing, so no destructor runs for an object that was never built.
#include <windows.h>

#include "startup.h"

extern "C" {
BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID);
BOOL WINAPI tallyrig_default_dll_main(HINSTANCE, DWORD, LPVOID) {
  return TRUE;
}
#pragma comment(linker, "/alternatename:DllMain=tallyrig_default_dll_main")
}

namespace {
// Attaches whose runtime part succeeded and has not been undone yet.
int process_attached = 0;

bool runtime_attach() {
  tallyrig_use_module_exit_table();
  if (tallyrig_run_initializers() != 0) {
    return false;
  }
  ++process_attached;
  return true;
}

void runtime_detach() {
  --process_attached;
  tallyrig_run_module_exit_table();
  tallyrig_free_type_names();
}
}  // namespace

extern "C" BOOL WINAPI _DllMainCRTStartup(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_DETACH && process_attached <= 0) {
    return FALSE;
  }
  if (reason == DLL_PROCESS_ATTACH) {
    __security_init_cookie();
    if (!runtime_attach()) {
      return FALSE;
    }
  }
  BOOL result = DllMain(instance, reason, reserved);
  if (reason == DLL_PROCESS_ATTACH && !result) {
    // DllMain sees its own failed attach undone, then the static objects go.
    DllMain(instance, DLL_PROCESS_DETACH, reserved);
    runtime_detach();
  }
  if (reason == DLL_PROCESS_DETACH) {
    runtime_detach();
  }
  return result;
}

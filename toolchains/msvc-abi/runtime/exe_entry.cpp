// A console program's entry point, as MSVC's static runtime has it: the runtime's view of the
// command line and environment, the static constructors, main, and exit (which runs atexit's).
#include <corecrt_startup.h>
#include <stdlib.h>

#include "startup.h"

extern "C" int main(int argc, char** argv, char** envp);

extern "C" int mainCRTStartup() {
  __security_init_cookie();
  _set_app_type(_crt_console_app);
  _configure_narrow_argv(_crt_argv_unexpanded_arguments);
  _initialize_narrow_environment();
  if (tallyrig_run_initializers() != 0) {
    _exit(255);
  }
  exit(main(*__p___argc(), *__p___argv(), _get_initial_narrow_environment()));
}

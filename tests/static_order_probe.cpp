// Prints, as the process ends, the order in which the module's static objects are destroyed:
// the player table, then the console, then the plugin object. A test compares the lines. Built as
// a DLL (TALLYRIG_ORDER_PROBE_DLL), it prints them as it is unloaded, after the atexit functions
// and the local static that fill() registered, in the reverse order of their registration.

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include "plugin/tallyrig.h"
#include "tracking/player_table.h"

extern "C" std::shared_ptr<Vantor::Plugin::VantorPlugin>* getPlugin();

namespace {

// The player table owns no object of ours; its first row's name buffer, freed when the table
// is destroyed, tells when that happens.
const void* tableBuffer = nullptr;

void note(const char* what) {
  std::fputs(what, stdout);
  std::fputs("\n", stdout);
}

void release(void* pointer) noexcept {
  if (pointer != nullptr && pointer == tableBuffer) {
    tableBuffer = nullptr;
    note("playerTable");
  }
  std::free(pointer);
}

}  // namespace

void* operator new(std::size_t size) {
  if (void* pointer = std::malloc(size == 0 ? 1 : size)) return pointer;
  throw std::bad_alloc();
}
void operator delete(void* pointer) noexcept {
  release(pointer);
}
void operator delete(void* pointer, std::size_t) noexcept {
  release(pointer);
}

namespace {
void fillModule() {
  Vantor::Plugin::VantorPlugin& plugin = **getPlugin();
  plugin.gameAccess = std::shared_ptr<GameWrapper>(new GameWrapper(), [](GameWrapper* game) {
    note("pluginInstance");
    delete game;
  });
  logConsole = std::shared_ptr<CVarManagerWrapper>(new CVarManagerWrapper(),
                                                   [](CVarManagerWrapper* console) {
                                                     note("logConsole");
                                                     delete console;
                                                   });
  playerTable[0].name = std::string(64, 'x');
  tableBuffer = playerTable[0].name.data();
}
}  // namespace

#if defined(TALLYRIG_ORDER_PROBE_DLL)
namespace {
struct LocalStatic {
  LocalStatic() = default;
  LocalStatic(const LocalStatic&) = delete;
  LocalStatic& operator=(const LocalStatic&) = delete;
  ~LocalStatic() { note("localStatic"); }
};
void atexitFirst() {
  note("atexit first");
}
void atexitSecond() {
  note("atexit second");
}
}  // namespace

extern "C" __declspec(dllexport) void fill() {
  std::atexit(atexitFirst);
  static LocalStatic localStatic;
  std::atexit(atexitSecond);
  fillModule();
}
#else
int main() {
  fillModule();
  return 0;
}
#endif

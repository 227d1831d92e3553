// A DLL that shows, on standard output, how the C++ runtime linked into a module behaves at load,
// in its exported probes, and at unload. Built three times: as is, with PROBE_FAILING_DLLMAIN
// (its DllMain refuses the attach) and with PROBE_FAILING_INITIALIZER (a C initializer fails
// before any static object is built).
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <thread>
#include <typeinfo>
#include <utility>

namespace {

void say(const char* text) {
  std::fputs(text, stdout);
  std::fputs("\n", stdout);
}

struct Noisy {
  explicit Noisy(const char* name) : name(name) { std::printf("build %s\n", name); }
  ~Noisy() { std::printf("destroy %s\n", name); }
  Noisy(const Noisy&) = delete;
  Noisy& operator=(const Noisy&) = delete;
  const char* name;
};

Noisy staticObject("static object");

// Takes long enough to build that the second thread arrives while the first is inside.
std::atomic<int> builds{0};
struct SlowToBuild {
  SlowToBuild() {
    ++builds;
    Sleep(300);
    ready = true;
  }
  std::atomic<bool> ready{false};
};

SlowToBuild& sharedSlowObject() {
  static SlowToBuild instance;
  return instance;
}

template <int N>
struct NamedType {};

template <int... N>
std::size_t nameAll(std::integer_sequence<int, N...>) {
  return (std::strlen(typeid(NamedType<N>).name()) + ...);
}

struct Element {
  Element() : value(1) {}
  ~Element() { value = 0; }
  int value;
};

template <typename Count>
void newArray(const char* label, Count count) {
  try {
    Element* elements = new Element[count];
    std::printf("%s: allocated\n", label);
    delete[] elements;
  } catch (const std::bad_array_new_length& error) {
    std::printf("%s: bad_array_new_length (%s)\n", label, error.what());
  } catch (const std::bad_alloc& error) {
    std::printf("%s: bad_alloc (%s)\n", label, error.what());
  }
}

}  // namespace

extern "C" {

// Two threads reach a local static whose constructor is slow at the same moment.
__declspec(dllexport) void localStaticRace() {
  std::atomic<int> arrived{0};
  std::atomic<int> sawUnbuilt{0};
  auto reach = [&] {
    ++arrived;
    while (arrived.load() < 2) {
    }
    if (!sharedSlowObject().ready) {
      ++sawUnbuilt;
    }
  };
  std::thread first(reach);
  std::thread second(reach);
  first.join();
  second.join();
  std::printf("built %d time(s), seen unbuilt by %d thread(s)\n", builds.load(), sawUnbuilt.load());
}

// Sixty-four type names, which type_info::name() allocates once per module load.
__declspec(dllexport) void typeNames() {
  if (nameAll(std::make_integer_sequence<int, 64>{}) == 0) {
    say("no type names");
  }
}

__declspec(dllexport) void impossibleArrays() {
  volatile std::size_t overflowing = SIZE_MAX / 2;
  volatile int negative = -1;
  volatile std::size_t possible = 3;
  newArray("size overflow", static_cast<std::size_t>(overflowing));
  newArray("negative length", static_cast<int>(negative));
  newArray("three elements", static_cast<std::size_t>(possible));
}

#if defined(PROBE_FAILING_INITIALIZER)
// A C initializer that fails the load, as the runtime's own would when it cannot start.
static int failingInitializer() {
  say("initializer fails");
  return 1;
}
#pragma section(".CRT$XIU", long, read)
__declspec(allocate(".CRT$XIU")) int (*failingInitializerEntry)() = failingInitializer;
#endif

// An object DllMain builds at attach and destroys at detach, trusting that a detach follows only
// an attach of its own.
alignas(Noisy) static unsigned char dllMainStorage[sizeof(Noisy)];

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    new (dllMainStorage) Noisy("DllMain's object");
#if defined(PROBE_FAILING_DLLMAIN)
    say("DllMain refuses the attach");
    return FALSE;
#endif
  } else if (reason == DLL_PROCESS_DETACH) {
    reinterpret_cast<Noisy*>(dllMainStorage)->~Noisy();
  }
  return TRUE;
}
}

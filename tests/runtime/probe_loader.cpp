// Loads a probe DLL, calls the functions it is given by name, and unloads it, saying each step on
// standard output, where the DLL writes too:
//   runtime-probe-loader DLL [FUNCTION...]
//   runtime-probe-loader --cycles N DLL [FUNCTION...]
// With --cycles the whole is done N times and only the growth of the C runtime's heap from the
// end of the first cycle to the end of the last is printed, in bytes.
#include <malloc.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using ProbeFunction = void (*)();

long long heapInUse() {
  _HEAPINFO entry{};
  long long total = 0;
  while (_heapwalk(&entry) == _HEAPOK) {
    if (entry._useflag == _USEDENTRY) {
      total += static_cast<long long>(entry._size);
    }
  }
  return total;
}

bool cycle(const char* dll, int functionCount, char** functions, bool quiet) {
  HMODULE module = LoadLibraryA(dll);
  if (module == nullptr) {
    std::printf("load failed\n");
    return false;
  }
  if (!quiet) {
    std::printf("loaded\n");
  }
  bool allFound = true;
  for (int i = 0; i < functionCount; ++i) {
    auto function = reinterpret_cast<ProbeFunction>(GetProcAddress(module, functions[i]));
    if (function == nullptr) {
      std::printf("%s: no such export\n", functions[i]);
      allFound = false;
      continue;
    }
    function();
  }
  std::fflush(stdout);
  FreeLibrary(module);
  if (!quiet) {
    std::printf("unloaded\n");
  }
  return allFound;
}

}  // namespace

int main(int argc, char** argv) {
  int cycles = 0;
  int first = 1;
  if (argc > 2 && std::strcmp(argv[1], "--cycles") == 0) {
    cycles = std::atoi(argv[2]);
    first = 3;
  }
  if (argc <= first) {
    std::fprintf(stderr, "usage: runtime-probe-loader [--cycles N] DLL [FUNCTION...]\n");
    return 2;
  }
  const char* dll = argv[first];
  if (cycles < 2) {
    return cycle(dll, argc - first - 1, argv + first + 1, false) ? 0 : 1;
  }
  long long afterFirst = 0;
  for (int i = 0; i < cycles; ++i) {
    if (!cycle(dll, argc - first - 1, argv + first + 1, true)) {
      return 1;
    }
    if (i == 0) {
      afterFirst = heapInUse();
    }
  }
  std::printf("heap growth over %d cycles: %lld bytes\n", cycles - 1, heapInUse() - afterFirst);
  return 0;
}

// Holds a file open the way a spreadsheet does, sharing it with readers only, until its standard
// input ends. It says "open" on its standard output once it holds the file.

#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: sharing-helper FILE\n");
    return 2;
  }
  const HANDLE file = CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    std::printf("cannot open, error %lu\n", GetLastError());
    return 1;
  }
  std::printf("open\n");
  std::fflush(stdout);
  char buffer[64];
  while (std::fread(buffer, 1, sizeof buffer, stdin) > 0) {
  }
  CloseHandle(file);
  return 0;
}

// Opens a file for writing with no sharing, as a program that has the file open would, and keeps
// it open until a line (or the end) arrives on standard input. Prints "held" once the file is
// open, or "error N" with the code CreateFileA failed with.
//   HoldFile PATH
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: HoldFile PATH\n");
    return 2;
  }
  HANDLE file = ::CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    std::printf("error %lu\n", ::GetLastError());
    std::fflush(stdout);
    return 1;
  }
  std::printf("held\n");
  std::fflush(stdout);
  char line[16];
  std::fgets(line, sizeof line, stdin);
  ::CloseHandle(file);
  std::printf("released\n");
  std::fflush(stdout);
  return 0;
}

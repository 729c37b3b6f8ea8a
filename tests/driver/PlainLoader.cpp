// The unsafe way to load a DLL, for proving that a planted DLL would be found: a plain
// LoadLibraryA by name, searching the program's own folder first. Prints the path it got.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: PlainLoader NAME.dll\n");
    return 2;
  }
  HMODULE module = ::LoadLibraryA(argv[1]);
  if (!module) {
    std::printf("not loaded, error %lu\n", ::GetLastError());
    return 1;
  }
  char path[MAX_PATH] = {};
  ::GetModuleFileNameA(module, path, MAX_PATH);
  std::printf("%s\n", path);
  return 0;
}

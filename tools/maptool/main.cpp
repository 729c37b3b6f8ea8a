#include <cstdio>
#include <cstring>
#include <string>

#include "MapTool.h"

namespace {

constexpr char kHelpOption[] = "--help";

constexpr char kToolHelp[] =
    "Usage: maptool check FILE\n"
    "       maptool make DIR\n"
    "\n"
    "Works with map.txt, the install manifest of the Corvanta Web Setup.\n"
    "\n"
    "  check FILE  show what the setup would install from FILE, and why it would skip the rest\n"
    "  make DIR    write a manifest for the files under DIR to standard output\n"
    "\n"
    "'maptool check --help' and 'maptool make --help' tell more.\n";

int UsageError(const char* problem) {
  std::fprintf(stderr, "maptool: %s\n\n%s", problem, kToolHelp);
  return kExitError;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return UsageError("a command is missing");
  const std::string command = argv[1];
  if (command == kHelpOption) {
    std::fputs(kToolHelp, stdout);
    return kExitSuccess;
  }

  int (*run)(const std::string&) = nullptr;
  const char* help = nullptr;
  if (command == "check") {
    run = RunCheck;
    help = kCheckHelp;
  } else if (command == "make") {
    run = RunMake;
    help = kMakeHelp;
  } else {
    return UsageError(("unknown command '" + command + "'").c_str());
  }

  if (argc == 3 && std::strcmp(argv[2], kHelpOption) == 0) {
    std::fputs(help, stdout);
    return kExitSuccess;
  }
  if (argc != 3) {
    std::fprintf(stderr, "maptool: %s takes exactly one argument\n\n%s", command.c_str(), help);
    return kExitError;
  }
  return run(argv[2]);
}

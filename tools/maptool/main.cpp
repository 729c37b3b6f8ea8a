#include <cstdio>
#include <string>
#include <vector>

#include "MapTool.h"

namespace {

constexpr char kHelpOption[] = "--help";

constexpr char kToolHelp[] =
    "Usage: maptool check FILE\n"
    "       maptool make DIR\n"
    "       maptool sign --key KEY [--key-password-file FILE] [--release N] DIR MAP\n"
    "       maptool verify --key KEYS [--minimum-release N] DIR MAP SIG\n"
    "       maptool fingerprint KEYS\n"
    "\n"
    "Works with map.txt, the install manifest of the Corvanta Web Setup, and map.txt.sig, the\n"
    "publisher's signature of a release.\n"
    "\n"
    "  check FILE   show what the setup would install from FILE, and why it would skip the rest\n"
    "  make DIR     write a manifest for the files under DIR to standard output\n"
    "  sign         write map.txt.sig for a manifest and its files to standard output\n"
    "  verify       check a published release as a setup built with publisher keys does\n"
    "  fingerprint  show the fingerprint of each public key in a file\n"
    "\n"
    "'maptool COMMAND --help' tells more.\n";

int UsageError(const std::string& problem) {
  std::fprintf(stderr, "maptool: %s\n\n%s", problem.c_str(), kToolHelp);
  return kExitError;
}

// check and make take exactly one argument, which main has made sure of.
template <int (*Run)(const std::string&)>
int RunWithOneArgument(const std::vector<std::string>& arguments) {
  return Run(arguments[0]);
}

struct Command {
  const char* name;
  int (*run)(const std::vector<std::string>&);
  const char* help;
  bool oneArgument;
};

const Command kCommands[] = {
    {"check", &RunWithOneArgument<RunCheck>, kCheckHelp, true},
    {"make", &RunWithOneArgument<RunMake>, kMakeHelp, true},
    {"sign", &RunSign, kSignHelp, false},
    {"verify", &RunVerify, kVerifyHelp, false},
    {"fingerprint", &RunFingerprint, kFingerprintHelp, false},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return UsageError("a command is missing");
  const std::string name = argv[1];
  if (name == kHelpOption) {
    std::fputs(kToolHelp, stdout);
    return kExitSuccess;
  }
  const std::vector<std::string> arguments(argv + 2, argv + argc);
  for (const Command& command : kCommands) {
    if (name != command.name) continue;
    if (arguments.size() == 1 && arguments[0] == kHelpOption) {
      std::fputs(command.help, stdout);
      return kExitSuccess;
    }
    if (command.oneArgument && arguments.size() != 1) {
      std::fprintf(stderr, "maptool: %s takes exactly one argument\n\n%s", command.name,
                   command.help);
      return kExitError;
    }
    return command.run(arguments);
  }
  return UsageError("unknown command '" + name + "'");
}

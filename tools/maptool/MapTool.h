#pragma once

#include <string>
#include <string_view>

#include "engine/ManifestNames.h"

// The exit statuses of maptool.
constexpr int kExitSuccess = 0;           // check: at least one entry accepted
constexpr int kExitNothingInstalled = 1;  // check: the setup would install nothing
constexpr int kExitError = 2;             // a usage or read error, or make's refusal

// maptool check FILE: prints the entries the setup would take from FILE and explains the rest.
int RunCheck(const std::string& path);
extern const char kCheckHelp[];

// maptool make DIR: prints a manifest for every regular file under DIR, or refuses.
int RunMake(const std::string& folder);
extern const char kMakeHelp[];

// text quoted for a message: bytes outside printable ASCII become \xNN.
std::string Printable(std::string_view text);

// Why the setup drops a record with such a LocalName, as the end of a sentence.
const char* LocalNameFaultText(LocalNameFault fault);

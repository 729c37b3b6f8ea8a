#pragma once

#include <string_view>

// The setup runs with administrator rights, so a manifest must never make it write outside the
// installation folder or to a device. These rules decide which names a record may carry.

enum class LocalNameFault {
  kNone,
  kForbiddenCharacter,  // ":" (drive or stream) or "/" (a second separator)
  kControlByte,         // a byte below 0x20
  kBackslashAtEdge,     // leading (rooted) or trailing (no file name) backslash
  kDoubleBackslash,     // an empty folder, or the start of a network path
  kEmptyComponent,      // nothing left once trailing dots and spaces go: ".", "..", "..."
  kDeviceName,          // CON, NUL, COM1, ... whatever extension or trailing spaces follow
};

// The first rule that localName breaks. An empty name breaks none: the setup accepts it and
// then fails to write it.
LocalNameFault FindLocalNameFault(std::string_view localName);

inline bool IsSafeLocalName(std::string_view localName) {
  return FindLocalNameFault(localName) == LocalNameFault::kNone;
}

// False when remoteName holds a byte below 0x20 or the byte 0x7F, which would change the request
// that carries it.
bool IsSafeRemoteName(std::string_view remoteName);

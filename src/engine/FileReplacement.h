#pragma once

#include <windows.h>

#include <string>

// How one attempt to put a file in place ended.
struct Replacement {
  bool replaced = false;
  // The temporary file's name in the file's folder; empty when none could be created.
  std::string tempName;
  // The call that failed, and its error code; none on success.
  const char* failedCall = nullptr;
  DWORD error = 0;
  // The code whose text tells the user why: error itself, except that a move refused over a
  // file that is not read-only means the file is in use (ERROR_SHARING_VIOLATION).
  DWORD reason = 0;
  // The temporary file could not be deleted, and stays in the folder.
  bool tempLeft = false;
  // The old file was read-only, and its attribute was cleared to replace it.
  bool readOnlyCleared = false;
};

// Puts files in place whole or not at all: the bytes go to a new temporary file in the same
// folder, are flushed, and only then is that file moved over the path. Whatever fails, the old
// file stays as it was, and the temporary file is deleted through its own handle, never by name:
// the folder may be one that an unelevated user can change. Until the move it is marked for
// deletion, so that it also goes when the setup ends halfway.
class FileReplacer {
 public:
  Replacement Replace(const std::string& path, const char* data, DWORD size);

 private:
  // The next temporary name to try, "cvn" + this in hexadecimal + ".tmp".
  unsigned nextTemp_ = 0;
};

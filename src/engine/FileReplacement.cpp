#include "FileReplacement.h"

#include "framework/Handles.h"

namespace {

constexpr char kTempPrefix[] = "cvn";
constexpr char kTempExtension[] = ".tmp";
// Names left behind by a setup that was killed are skipped; this many tries are plenty.
constexpr int kTempNameTries = 1000;
constexpr DWORD kMoveFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;

std::string TempName(unsigned number) {
  static const char kHexDigits[] = "0123456789ABCDEF";
  std::string digits;
  do {
    digits.insert(digits.begin(), kHexDigits[number & 0xF]);
    number >>= 4;
  } while (number != 0);
  return kTempPrefix + digits + kTempExtension;
}

// Writes all of data. Windows takes it in one call; a file system that runs out of room may take
// part of it and still report success, and only the call for the rest then fails and says why.
bool WriteAll(HANDLE file, const char* data, DWORD size, DWORD& error) {
  DWORD written = 0;
  for (;;) {
    DWORD count = 0;
    if (!::WriteFile(file, data + written, size - written, &count, nullptr)) {
      error = ::GetLastError();
      return false;
    }
    written += count;
    if (written >= size) return true;
    if (count == 0) {
      error = ERROR_DISK_FULL;  // a write that succeeds yet takes nothing found no room
      return false;
    }
  }
}

// Whether CREATE_NEW failed with error because something has that name already. Windows says
// so with ERROR_FILE_EXISTS, but refuses a name that is being deleted, or that a folder holds,
// with ERROR_ACCESS_DENIED, as it refuses a folder that may not be written to.
bool NameTaken(const std::string& path, DWORD error) {
  if (error == ERROR_FILE_EXISTS) return true;
  if (error != ERROR_ACCESS_DENIED) return false;
  if (::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  const DWORD lookup = ::GetLastError();
  return lookup != ERROR_FILE_NOT_FOUND && lookup != ERROR_PATH_NOT_FOUND;
}

bool Move(const std::string& from, const std::string& to) {
  return ::MoveFileExA(from.c_str(), to.c_str(), kMoveFlags) != FALSE;
}

bool IsFile(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Windows refuses a move over a file that some process holds open with ERROR_ACCESS_DENIED; the
// user is told what it means, that the file is in use. A folder in the way, or a read-only file
// that stays read-only, keeps its own code.
DWORD MoveFailureReason(const std::string& path, DWORD error) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (error == ERROR_ACCESS_DENIED && IsFile(attributes) &&
      !(attributes & FILE_ATTRIBUTE_READONLY)) {
    return ERROR_SHARING_VIOLATION;
  }
  return error;
}

// A file marked for deletion goes when its last handle closes, however the process ends.
bool MarkForDeletion(const FileHandle& file, bool deleted) {
  FILE_DISPOSITION_INFO disposition = {static_cast<BOOLEAN>(deleted ? TRUE : FALSE)};
  return ::SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition,
                                      sizeof(disposition)) != FALSE;
}

void Fail(Replacement& result, const char* call, DWORD error, DWORD reason) {
  result.failedCall = call;
  result.error = error;
  result.reason = reason;
}

// The temporary file goes when its handle closes, marked for deletion through the handle itself.
void Discard(const FileHandle& temp, Replacement& result, const char* call, DWORD error,
             DWORD reason) {
  // Left only as a file of ours, with bytes the folder was to hold anyway.
  result.tempLeft = !MarkForDeletion(temp, true);
  Fail(result, call, error, reason);
}

}  // namespace

Replacement FileReplacer::Replace(const std::string& path, const char* data, DWORD size) {
  Replacement result;
  const std::string folder = path.substr(0, path.find_last_of('\\') + 1);
  std::string tempPath;
  FileHandle temp;
  DWORD createError = 0;
  for (int tries = 0; tries < kTempNameTries; ++tries) {
    result.tempName = TempName(nextTemp_++);
    tempPath = folder + result.tempName;
    // Created here, never reopened by name: the bytes go through this handle. DELETE and
    // FILE_SHARE_DELETE let it be moved while it is open, and deleted through it if it cannot.
    temp.reset(::CreateFileA(tempPath.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_DELETE, nullptr,
                             CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (temp) break;
    createError = ::GetLastError();
    if (!NameTaken(tempPath, createError)) break;
  }
  if (!temp) {
    result.tempName.clear();
    Fail(result, "CreateFileA", createError, createError);
    return result;
  }
  // Marked for deletion from the start, so that it goes with its handle even when the setup
  // ends in the middle of writing it, as an exit confirmed meanwhile ends it; the mark is taken
  // off only for the move. Where the mark cannot be set, a failure below still deletes the file.
  const bool marked = MarkForDeletion(temp, true);

  DWORD error = 0;
  if (!WriteAll(temp.get(), data, size, error)) {
    Discard(temp, result, "WriteFile", error, error);
  } else if (!::FlushFileBuffers(temp.get())) {
    error = ::GetLastError();
    Discard(temp, result, "FlushFileBuffers", error, error);
  } else if (marked && !MarkForDeletion(temp, false)) {
    error = ::GetLastError();
    Discard(temp, result, "SetFileInformationByHandle", error, error);
  } else if (Move(tempPath, path)) {
    result.replaced = true;
  } else {
    error = ::GetLastError();
    DWORD reason = MoveFailureReason(path, error);
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    const DWORD writable = attributes & ~FILE_ATTRIBUTE_READONLY;
    // A read-only file of the same name is replaced: that attribute alone is cleared.
    if (error == ERROR_ACCESS_DENIED && IsFile(attributes) &&
        (attributes & FILE_ATTRIBUTE_READONLY) &&
        ::SetFileAttributesA(path.c_str(), writable ? writable : FILE_ATTRIBUTE_NORMAL)) {
      result.replaced = result.readOnlyCleared = Move(tempPath, path);
      if (!result.replaced) {
        error = ::GetLastError();
        reason = MoveFailureReason(path, error);
        ::SetFileAttributesA(path.c_str(), attributes);  // the old file stays as it was
      }
    }
    if (!result.replaced) Discard(temp, result, "MoveFileExA", error, reason);
  }
  // Closing the handle leaves a moved file in place under its own name, and deletes one that was
  // not moved.
  return result;
}

#pragma once

#include <windows.h>

#include <string>

// Appends one line to a record file that several processes may write: one write on a file
// opened for appending, so that their lines never interleave. A record that cannot be written
// is left out; the test that reads the file then misses it and says so.
inline void AppendRecord(const wchar_t* path, const std::string& line) {
  HANDLE file = ::CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  ::CloseHandle(file);
}

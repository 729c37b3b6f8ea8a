#include "RunningPrograms.h"

#include <windows.h>

#include <tlhelp32.h>

#include "engine/ErrorText.h"
#include "framework/Handles.h"
#include "framework/SupportLog.h"

namespace {

// The longest path Windows hands out, with its terminating zero.
constexpr DWORD kPathCapacity = 32768;
constexpr char kExtendedPrefix[] = "\\\\?\\";
constexpr char kExtendedUncPrefix[] = "\\\\?\\UNC\\";

// Paths compare as the file system compares them: without regard to case.
void MakeUpperCase(std::string& text) {
  if (!text.empty()) ::CharUpperBuffA(text.data(), static_cast<DWORD>(text.size()));
}

bool StartsWith(const std::string& text, const char* prefix, size_t length) {
  return text.compare(0, length, prefix, length) == 0;
}

// path with its short names made long; empty when it cannot be found.
std::string LongName(const std::string& path, std::vector<char>& buffer) {
  const DWORD length = ::GetLongPathNameA(path.c_str(), buffer.data(), kPathCapacity);
  if (length == 0 || length >= kPathCapacity) return std::string();
  return std::string(buffer.data(), length);
}

// folder made long with a trailing backslash, so that it matches only what lies inside it.
std::string LongPath(const std::string& folder, std::vector<char>& buffer) {
  std::string path = LongName(folder, buffer);
  if (!path.empty() && path.back() != '\\') path += '\\';
  return path;
}

// Where folder really is, past junctions and substituted drives, with a trailing backslash and
// without the "\\?\" that the system puts before it; empty when it cannot be told.
std::string FinalPath(const std::string& folder, std::vector<char>& buffer) {
  // Opening a folder takes FILE_FLAG_BACKUP_SEMANTICS; reading its attributes needs no right
  // beyond that.
  FileHandle handle(::CreateFileA(folder.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!handle) return std::string();
  const DWORD length = ::GetFinalPathNameByHandleA(handle.get(), buffer.data(), kPathCapacity,
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (length == 0 || length >= kPathCapacity) return std::string();
  std::string path(buffer.data(), length);
  if (StartsWith(path, kExtendedUncPrefix, sizeof(kExtendedUncPrefix) - 1)) {
    path.replace(0, sizeof(kExtendedUncPrefix) - 1, "\\\\");
  } else if (StartsWith(path, kExtendedPrefix, sizeof(kExtendedPrefix) - 1)) {
    path.erase(0, sizeof(kExtendedPrefix) - 1);
  }
  return path + "\\";
}

// Whether fileName, upper-cased, is the file name of a program that the manifest lists and that
// is in the installation folder already: a process of another user's that merely shares a name
// must not stop an install into an empty folder.
bool IsInstalledProgram(const std::string& fileName, const std::string& folder,
                        const ManifestTable& table, size_t count) {
  static const char kProgramExtension[] = ".EXE";
  constexpr size_t kExtensionLength = sizeof(kProgramExtension) - 1;
  for (size_t i = 0; i < count; ++i) {
    const std::string local(table[i].LocalName, static_cast<size_t>(table[i].LocalNameLength));
    std::string key = local;
    MakeUpperCase(key);
    const size_t name = key.find_last_of('\\') + 1;
    if (key.size() < name + kExtensionLength ||
        key.compare(key.size() - kExtensionLength, kExtensionLength, kProgramExtension) != 0 ||
        key.compare(name, std::string::npos, fileName) != 0) {
      continue;
    }
    const DWORD attributes = ::GetFileAttributesA((folder + local).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      return true;
    }
  }
  return false;
}

// Whether path lies inside one of folders, each upper-cased and ending in a backslash.
bool LiesIn(const std::string& path, const std::string (&folders)[3]) {
  std::string key = path;
  MakeUpperCase(key);
  for (const std::string& prefix : folders) {
    if (!prefix.empty() && key.compare(0, prefix.size(), prefix) == 0) return true;
  }
  return false;
}

void AddOnce(std::vector<std::string>& programs, const std::string& program) {
  for (const std::string& listed : programs) {
    if (listed == program) return;
  }
  programs.push_back(program);
}

}  // namespace

std::vector<std::string> FindRunningPrograms(const std::string& installDir,
                                             const ManifestTable& table, size_t count) {
  std::vector<std::string> programs;
  // CreateToolhelp32Snapshot fails with INVALID_HANDLE_VALUE, as CreateFileA does.
  FileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) {
    // The write step still meets a file that is in use, and asks about it.
    support_log::Write({"Cannot list the running processes: error ", ::GetLastError()});
    return programs;
  }
  std::vector<char> buffer(kPathCapacity);
  const std::string folder = installDir + "\\";
  std::string folders[] = {folder, LongPath(folder, buffer), FinalPath(installDir, buffer)};
  for (std::string& name : folders) MakeUpperCase(name);

  const DWORD self = ::GetCurrentProcessId();
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = ::Process32First(snapshot.get(), &entry); more;
       more = ::Process32Next(snapshot.get(), &entry)) {
    if (entry.th32ProcessID == 0 || entry.th32ProcessID == self) continue;
    KernelHandle process(
        ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
    DWORD size = kPathCapacity;
    if (process && ::QueryFullProcessImageNameA(process.get(), 0, buffer.data(), &size)) {
      // A program started by its short name is reported by it; it is matched, and shown, by
      // its long name as well.
      const std::string image(buffer.data(), size);
      std::string longImage = LongName(image, buffer);
      if (longImage.empty()) longImage = image;
      if (LiesIn(image, folders) || LiesIn(longImage, folders)) {
        const bool renamed = longImage != image;
        support_log::Write({"Running from the installation folder: process ", entry.th32ProcessID,
                            ", ", longImage, renamed ? ", started as " : "",
                            renamed ? support_log::Part(image) : ""});
        AddOnce(programs, longImage);
      }
      continue;
    }
    // Another user's process, usually: only its file name can be seen.
    const DWORD error = ::GetLastError();
    std::string fileName = entry.szExeFile;
    MakeUpperCase(fileName);
    if (IsInstalledProgram(fileName, folder, table, count)) {
      support_log::Write({"Running, not to be opened (error ", error,
                          ") and named as an installed program of the manifest: process ",
                          entry.th32ProcessID, ", ", support_log::Quoted(entry.szExeFile)});
      AddOnce(programs, ProgramByProcessText(entry.szExeFile, entry.th32ProcessID));
    }
  }
  if (programs.empty()) support_log::Write({"No program runs from the installation folder"});
  return programs;
}

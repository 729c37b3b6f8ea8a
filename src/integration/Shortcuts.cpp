#include "Shortcuts.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <string>

#include "BuildConfig.h"
#include "integration/ComText.h"
#include "setup/ProductNames.h"
#include "setup/SetupState.h"
#include "framework/SupportLog.h"

using Microsoft::WRL::ComPtr;

namespace {

// The shell-link object and its interfaces, named here so that nothing depends on an SDK's
// uuid library.
constexpr CLSID kShellLink = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID kIShellLinkA = {0x000214EE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID kIPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

constexpr char kProgramsFolder[] = "\\Programs";
constexpr char kProgramShortcut[] = "\\Corvanta.lnk";
constexpr char kHelpShortcut[] = "\\Help.lnk";
constexpr char kWebLink[] = "\\Corvanta on the Web.url";
constexpr char kHelpFolder[] = "\\Help";
constexpr char kProgramDescription[] = "Corvanta";
constexpr char kHelpDescription[] = "Help";

bool CommonFolder(int csidl, std::string& path) {
  char buffer[MAX_PATH] = {};
  HRESULT result = ::SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer);
  if (FAILED(result)) {
    support_log::Write({"No folder for CSIDL ", csidl, ": ", support_log::Hex(result)});
    return false;
  }
  path = buffer;
  return true;
}

void LogShortcut(const std::string& file, HRESULT result) {
  support_log::Write({"Shortcut ", file, ": ", support_log::Hex(result)});
}

// A shortcut whose object or interface cannot be had is skipped.
void CreateShellLink(const std::string& file, const std::string& target,
                     const std::string& workingFolder, const char* description) {
  ComPtr<IShellLinkA> link;
  HRESULT result = ::CoCreateInstance(kShellLink, nullptr, CLSCTX_INPROC_SERVER, kIShellLinkA,
                                      reinterpret_cast<void**>(link.GetAddressOf()));
  if (FAILED(result)) return LogShortcut(file, result);
  link->SetPath(target.c_str());
  link->SetWorkingDirectory(workingFolder.c_str());
  link->SetDescription(description);
  ComPtr<IPersistFile> persist;
  result = link->QueryInterface(kIPersistFile, reinterpret_cast<void**>(persist.GetAddressOf()));
  if (FAILED(result)) return LogShortcut(file, result);
  LogShortcut(file, persist->Save(Utf16FromAnsi(file).data(), TRUE));
}

HANDLE CreateForWriting(const std::string& path) {
  return ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

void WriteWebLink(const std::string& file) {
  FileHandle link(CreateForWriting(file));
  if (!link && ::GetLastError() == ERROR_ACCESS_DENIED) {
    // A read-only link left by an earlier install is replaced.
    ::SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    link.reset(CreateForWriting(file));
  }
  if (!link) return LogShortcut(file, HRESULT_FROM_WIN32(::GetLastError()));
  const std::string content =
      std::string("[InternetShortcut]\r\nURL=") + build_config::kHomePage + "\r\n";
  DWORD written = 0;
  if (::WriteFile(link.get(), content.data(), static_cast<DWORD>(content.size()), &written,
                  nullptr)) {
    ::FlushFileBuffers(link.get());
    ::SetEndOfFile(link.get());
    LogShortcut(file, S_OK);
  } else {
    LogShortcut(file, HRESULT_FROM_WIN32(::GetLastError()));
  }
}

}  // namespace

void CreateShortcuts() {
  try {
    const std::string program = InstallDir + product::kExecutableName;
    std::string folder;
    if (CreateStartMenu && CommonFolder(CSIDL_COMMON_STARTMENU, folder)) {
      folder += kProgramsFolder;
      folder += product::kFolderName;
      // Ignored: the folder may exist already, and a missing one makes the saves below fail.
      ::CreateDirectoryA(folder.c_str(), nullptr);
      CreateShellLink(folder + kProgramShortcut, program, InstallDir, kProgramDescription);
      CreateShellLink(folder + kHelpShortcut, InstallDir + product::kHelpFile,
                      InstallDir + kHelpFolder, kHelpDescription);
      WriteWebLink(folder + kWebLink);
    }
    std::string desktop;
    if (CreateDesktopShortcut && CommonFolder(CSIDL_COMMON_DESKTOPDIRECTORY, desktop)) {
      CreateShellLink(desktop + kProgramShortcut, program, InstallDir, kProgramDescription);
    }
  } catch (...) {
    support_log::Discarded("CreateShortcuts");
    // Shortcuts are a convenience: the install has succeeded without them.
  }
}

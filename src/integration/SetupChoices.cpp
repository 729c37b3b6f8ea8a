#include "SetupChoices.h"

#include <windows.h>

#include "framework/Handles.h"
#include "setup/ProductNames.h"
#include "setup/SetupState.h"
#include "framework/SupportLog.h"

namespace {

constexpr DWORD kStartFolderBufferSize = 260;
constexpr size_t kLongestSavedStartFolder = 259;

// True when the DWORD value exists and is 0; any other value leaves the choice on.
bool ReadsZero(HKEY key, const char* name) {
  DWORD value = 1;
  DWORD size = sizeof(value);
  LONG status = ::RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
  return status == ERROR_SUCCESS && value == 0;
}

// The result only goes into the log: a choice that cannot be saved falls back to its default.
LSTATUS WriteDword(HKEY key, const char* name, bool on) {
  DWORD value = on ? 1 : 0;
  return ::RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof(value));
}

}  // namespace

SavedSetupChoices ReadSetupChoices() {
  SavedSetupChoices choices;
  RegistryKey key;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, product::kRegistryKey, 0, KEY_READ, key.put()) !=
      ERROR_SUCCESS) {
    return choices;
  }

  // One byte more than offered, so that a terminating zero always fits.
  char buffer[kStartFolderBufferSize + 1] = {};
  DWORD size = kStartFolderBufferSize;
  // The stored type is not examined: whatever bytes fit are taken as text.
  if (::RegQueryValueExA(key.get(), "StartFolder", nullptr, nullptr,
                         reinterpret_cast<BYTE*>(buffer), &size) == ERROR_SUCCESS &&
      size >= 1 && size < kStartFolderBufferSize) {
    buffer[size] = '\0';
    choices.startFolder = buffer;
  }
  choices.startMenuOff = ReadsZero(key.get(), "CreateStartMenu");
  choices.desktopOff = ReadsZero(key.get(), "CreateDesktopShortcut");
  return choices;
}

void SaveSetupChoices() {
  try {
    RegistryKey key;
    LSTATUS opened = ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, product::kRegistryKey, 0, nullptr,
                                       REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, key.put(),
                                       nullptr);
    if (opened != ERROR_SUCCESS) {
      support_log::Write({"Cannot save the choices under HKLM\\", product::kRegistryKey, ": error ",
                          opened});
      return;  // without write access nothing is saved and the next run uses the defaults
    }
    const bool writesFolder =
        !StartFolder.empty() && StartFolder.size() <= kLongestSavedStartFolder;
    LSTATUS folder = ERROR_SUCCESS;
    if (writesFolder) {
      folder = ::RegSetValueExA(key.get(), "StartFolder", 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(StartFolder.c_str()),
                                static_cast<DWORD>(StartFolder.size() + 1));
    }
    LSTATUS startMenu = WriteDword(key.get(), "CreateStartMenu", CreateStartMenu);
    LSTATUS desktop = WriteDword(key.get(), "CreateDesktopShortcut", CreateDesktopShortcut);
    support_log::Write({"Saved the choices under HKLM\\", product::kRegistryKey, ": StartFolder ",
                        writesFolder ? support_log::Part(folder) : "not written, its length is ",
                        writesFolder ? "" : support_log::Part(StartFolder.size()),
                        ", CreateStartMenu ", startMenu, ", CreateDesktopShortcut ", desktop});
  } catch (...) {
    support_log::Discarded("SaveSetupChoices");
    // Saving the choices is a convenience; a failure must not disturb the wizard.
  }
}

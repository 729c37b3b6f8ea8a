#pragma once

#include <string>

// The user's destination and shortcut choices, remembered from one run to the next under
// HKEY_LOCAL_MACHINE "Software\CorvantaWebSetup" (the 32-bit view, as this 32-bit setup sees it).
struct SavedSetupChoices {
  std::string startFolder;      // empty when none was saved or it was unusable
  bool startMenuOff = false;    // a saved "CreateStartMenu" of 0
  bool desktopOff = false;      // a saved "CreateDesktopShortcut" of 0
};

// Reads what an earlier run saved; whatever is missing or unusable is left at its default.
SavedSetupChoices ReadSetupChoices();

// Writes StartFolder, CreateStartMenu and CreateDesktopShortcut from the shared setup state.
// Silent when the key cannot be written (a setup without administrator rights).
void SaveSetupChoices();

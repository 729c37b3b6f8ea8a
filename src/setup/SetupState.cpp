#include "SetupState.h"

#include "ProductNames.h"

int32_t WizardState = License;
InstallThread* CurrentWorker = nullptr;
bool CreateStartMenu = true;
bool CreateDesktopShortcut = true;
bool OwnRuleAdded = false;
bool ExitConfirmed = false;
std::atomic<bool> Paused{false};
std::string InstallDir = product::kDefaultInstallDir;
std::string StartFolder;

const char* StateName(int32_t state) {
  static const char* const kNames[] = {"License", "Destination", "Ready", "Installing", "Finished"};
  return state >= License && state <= Finished ? kNames[state] : "unknown";
}

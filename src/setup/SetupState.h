#pragma once

#include <atomic>
#include <cstdint>
#include <string>

class InstallThread;

// The state that the whole setup shares. It lives as long as the process and is written on
// the main thread only; the install worker reads Paused, and copies InstallDir when it starts.
enum WizardStates : int32_t { License = 0, Destination = 1, Ready = 2, Installing = 3, Finished = 4 };

extern int32_t WizardState;
// "License", "Destination", "Ready", "Installing" or "Finished", for the log.
const char* StateName(int32_t state);
// The worker started last. Cleared at the moment it is asked to terminate, because it frees
// itself after that.
extern InstallThread* CurrentWorker;
extern bool CreateStartMenu;
extern bool CreateDesktopShortcut;
extern bool OwnRuleAdded;
extern bool ExitConfirmed;
// While set, the install worker holds at its next waiting point.
extern std::atomic<bool> Paused;
extern std::string InstallDir;
extern std::string StartFolder;

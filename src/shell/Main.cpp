#include <windows.h>

#include <exception>
#include <memory>

#include "SingleInstance.h"
#include "Unit1.h"
#include "framework/Application.h"
#include "framework/SupportLog.h"
#include "framework/SystemLibrary.h"
#include "setup/SetupState.h"

namespace {
constexpr char kApplicationTitle[] = "Corvanta Web Setup ";
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  RestrictDllSearchToSystemFolder();
  support_log::Begin();
  if (!BecomeTheOnlySetup()) return 0;

  TApplication application;
  Application = &application;
  std::unique_ptr<TFormWebSetup> form;
  try {
    application.Initialize();
    application.SetTitle(kApplicationTitle);
    form = std::make_unique<TFormWebSetup>();
    FormWebSetup = form.get();
    application.SetMainForm(form.get());
    application.Run();
  } catch (const std::exception& error) {
    application.HandleException(&error);
  } catch (...) {
    application.HandleException(nullptr);
  }

  // Written now, while the worker still runs: the process's exit may end it holding the log.
  support_log::Write({"The setup ends on the ", StateName(WizardState), " page, the install ",
                      WizardState == Finished ? "complete" : "not complete"});
  // The process ends here, with the application and the form still in place: a worker may be
  // in the middle of a transfer, and nothing it can reach is destroyed before the process is.
  ::ExitProcess(0);
}

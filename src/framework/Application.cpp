#include "Application.h"

#include <commctrl.h>


#include "ExceptionText.h"
#include "Form.h"
#include "SupportLog.h"
#include "SystemLibrary.h"
#include "SetupError.h"

TApplication* Application = nullptr;

namespace {

constexpr UINT kWakeMainThread = WM_APP + 1;
constexpr char kHiddenWindowClass[] = "TApplication";

void InitializeCommonControls() {
  using InitCommonControlsExFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  HMODULE commonControls = LoadSystemLibrary("comctl32.dll");
  auto initialize = GetSystemProc<InitCommonControlsExFn>(commonControls, "InitCommonControlsEx");
  if (!initialize) throw SetupError("Cannot load the common controls");
  INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  initialize(&classes);
}

// The repeats of an Enter held down. Each would press the default button again: walk on through
// the pages by itself, or, once Install has put the focus on Cancel, ask the exit question, whose
// default answer is Yes.
bool IsHeldEnter(const MSG& message) {
  constexpr LPARAM kPreviouslyDown = 1 << 30;
  return message.message == WM_KEYDOWN && message.wParam == VK_RETURN &&
         (message.lParam & kPreviouslyDown) != 0;
}

// The main loop drops those repeats itself; a message box runs a loop of its own, where they
// would press its default button. Windows calls this filter from the modal loops of dialog
// boxes, message boxes among them, for each message before the dialog sees it.
LRESULT CALLBACK HeldEnterFilter(int code, WPARAM wParam, LPARAM lParam) {
  if (code == MSGF_DIALOGBOX && IsHeldEnter(*reinterpret_cast<const MSG*>(lParam))) return 1;
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

TApplication::~TApplication() {
  if (hiddenWindow_) ::DestroyWindow(hiddenWindow_);
}

void TApplication::Initialize() {
  mainThreadId_ = ::GetCurrentThreadId();
  InitializeCommonControls();

  HINSTANCE instance = ::GetModuleHandleA(nullptr);
  WNDCLASSEXA windowClass = {sizeof(windowClass)};
  windowClass.lpfnWndProc = &TApplication::HiddenWindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kHiddenWindowClass;
  if (!::RegisterClassExA(&windowClass)) {
    throw SetupError("Cannot register the application window class");
  }
  // A message-only window: it receives the wake-ups of other threads and nothing else.
  hiddenWindow_ = ::CreateWindowExA(0, kHiddenWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                    nullptr, instance, nullptr);
  if (!hiddenWindow_) throw SetupError("Cannot create the application window");
  // Without the filter a held Enter can still answer a message box; the wizard itself is
  // guarded by the main loop either way, so the setup runs on.
  heldEnterFilter_.reset(
      ::SetWindowsHookExA(WH_MSGFILTER, &HeldEnterFilter, nullptr, mainThreadId_));
  if (!heldEnterFilter_) {
    support_log::Write({"Cannot filter a held Enter in message boxes: SetWindowsHookExA error ",
                        ::GetLastError()});
  }
}

void TApplication::Run() {
  if (!mainForm_) return;
  mainForm_->Show();
  MSG message;
  for (;;) {
    CheckSynchronize();
    // The default button's frame follows the focus, which the last message may have moved.
    mainForm_->FrameDefaultButton();
    BOOL result = ::GetMessageA(&message, nullptr, 0, 0);
    if (result == 0 || result == -1) break;
    if (IsHeldEnter(message)) continue;
    HWND form = mainForm_->Handle();
    if (form && ::IsDialogMessageA(form, &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
}

void TApplication::HandleException(const std::exception* error) {
  ShowException(error ? error->what() : std::string());
}

void TApplication::ShowException(const std::string& message) {
  HWND owner = mainForm_ ? mainForm_->Handle() : nullptr;
  std::string text = ComposeExceptionText(message);
  support_log::AskAndLog(owner, text, title_.c_str(), MB_OK | MB_ICONSTOP);
}

void TApplication::Synchronize(const std::function<void()>& method) {
  if (::GetCurrentThreadId() == mainThreadId_) {
    try {
      method();
    } catch (...) {
      support_log::Discarded("a report");
      // A report handles its own failures; whatever escapes it is dropped here.
    }
    return;
  }
  SyncRequest request{&method};
  CriticalSectionLock lock(syncLock_);
  syncQueue_.push_back(&request);
  ::PostMessageA(hiddenWindow_, kWakeMainThread, 0, 0);
  syncDone_.Wait(syncLock_, [&request] { return request.done; });
}

void TApplication::CheckSynchronize() {
  for (;;) {
    SyncRequest* request = nullptr;
    {
      CriticalSectionLock lock(syncLock_);
      if (syncQueue_.empty()) return;
      request = syncQueue_.front();
      syncQueue_.pop_front();
    }
    try {
      (*request->method)();
    } catch (...) {
      support_log::Discarded("a report");
      // A report handles its own failures; whatever escapes it is dropped here.
    }
    {
      CriticalSectionLock lock(syncLock_);
      request->done = true;
    }
    syncDone_.WakeAll();
  }
}

LRESULT CALLBACK TApplication::HiddenWindowProc(HWND handle, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
  if (message == kWakeMainThread) {
    if (Application) Application->CheckSynchronize();
    return 0;
  }
  return ::DefWindowProcA(handle, message, wParam, lParam);
}

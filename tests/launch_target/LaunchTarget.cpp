// The installed program of the launch scenarios, served as Corvanta.exe (and planted where an
// unquoted command line would lead). Started without arguments it shows its window without
// activating it, so that only the one who started it can bring it to the front, and appends one
// JSON line to C:\corvanta-tests\launches.txt:
//   {"pid": N, "exe": "...", "command_line": "...", "folder": "...", "mark": "...",
//    "setup_window_visible": BOOL, "window": HWND, "foreground_at_show": HWND}
// "mark" is the variable CORVANTA_LAUNCH_MARK of its environment (empty without one), and
// "setup_window_visible" whether the setup's window was on screen when it started (null when
// there was no setup window). With CORVANTA_LAUNCH_BUSY=1 in its environment it never reads its
// messages, so it never becomes idle for input.
// Started as `LaunchTarget hold-foreground` it is the window that holds the foreground meanwhile:
// it takes the foreground back from any other window (clicking the setup's Finish button makes the
// setup the foreground window, and hiding it leaves none) until a launch target's window is shown.
// It must stop then, not when the target has the foreground: Wine switches the foreground to the
// target's thread at once but names its window only once that thread has handled the activation,
// and a holder that took the foreground back from "none" in between would undo the switch.
#include <windows.h>

#include <string>

#include "common/Json.h"
#include "common/RecordFile.h"

namespace {

constexpr wchar_t kRecordFolder[] = L"C:\\corvanta-tests";
constexpr wchar_t kRecordFile[] = L"C:\\corvanta-tests\\launches.txt";
constexpr char kTargetCaption[] = "Corvanta launch target";
constexpr char kHolderCaption[] = "Foreground holder";
constexpr char kWindowClass[] = "CorvantaLaunchTarget";
constexpr char kSetupWindowClass[] = "TFormWebSetup";
constexpr char kMarkVariable[] = "CORVANTA_LAUNCH_MARK";
constexpr char kBusyVariable[] = "CORVANTA_LAUNCH_BUSY";
constexpr UINT_PTR kHoldTimer = 1;
constexpr UINT kHoldIntervalMs = 20;

bool LaunchTargetShown() {
  HWND target = ::FindWindowA(kWindowClass, kTargetCaption);
  return target && ::IsWindowVisible(target);
}

void HoldForeground(HWND window) {
  if (LaunchTargetShown()) {
    ::KillTimer(window, kHoldTimer);  // from now on only whoever started it may move the foreground
    return;
  }
  if (::GetForegroundWindow() != window) ::SetForegroundWindow(window);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER && wParam == kHoldTimer) {
    HoldForeground(window);
    return 0;
  }
  if (message == WM_DESTROY) {
    ::PostQuitMessage(0);
    return 0;
  }
  return ::DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateMainWindow(HINSTANCE instance, const char* caption) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = &WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kWindowClass;
  ::RegisterClassA(&windowClass);
  return ::CreateWindowExA(0, kWindowClass, caption, WS_OVERLAPPEDWINDOW, 100, 100, 320, 200,
                           nullptr, nullptr, instance, nullptr);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int) {
  bool holder = std::string(arguments) == "hold-foreground";
  HWND setupWindow = ::FindWindowA(kSetupWindowClass, nullptr);
  std::string setupWindowVisible =
      setupWindow ? json::Bool(::IsWindowVisible(setupWindow)) : json::kNull;
  HWND window = CreateMainWindow(instance, holder ? kHolderCaption : kTargetCaption);
  if (!window) return 1;
  if (holder) {
    ::ShowWindow(window, SW_SHOW);
    ::SetForegroundWindow(window);
    ::SetTimer(window, kHoldTimer, kHoldIntervalMs, nullptr);
  } else {
    ::ShowWindow(window, SW_SHOWNOACTIVATE);
    ::UpdateWindow(window);
    HWND foreground = ::GetForegroundWindow();
    char exe[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, exe, MAX_PATH);
    char folder[MAX_PATH] = {};
    ::GetCurrentDirectoryA(MAX_PATH, folder);
    char mark[MAX_PATH] = {};
    ::GetEnvironmentVariableA(kMarkVariable, mark, MAX_PATH);
    ::CreateDirectoryW(kRecordFolder, nullptr);  // it may exist already
    AppendRecord(kRecordFile,
                 "{\"pid\": " + std::to_string(::GetCurrentProcessId()) +
                 ", \"exe\": " + json::Quote(exe) +
                 ", \"command_line\": " + json::Quote(::GetCommandLineA()) +
                 ", \"folder\": " + json::Quote(folder) + ", \"mark\": " + json::Quote(mark) +
                 ", \"setup_window_visible\": " + setupWindowVisible +
                 ", \"window\": " + json::Handle(window) +
                 ", \"foreground_at_show\": " + json::Handle(foreground) + "}\n");
    char busy[8] = {};
    ::GetEnvironmentVariableA(kBusyVariable, busy, sizeof busy);
    if (std::string(busy) == "1") ::Sleep(INFINITE);
  }
  MSG message;
  while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
  return 0;
}

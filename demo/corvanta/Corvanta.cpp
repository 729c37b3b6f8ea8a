// The product that the demo installs: one window that says it is installed and where it runs
// from, so that a person or a test driver can see that the setup's launch worked.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr char kWindowClass[] = "CorvantaDemoWindow";
constexpr char kWindowTitle[] = "Corvanta";
constexpr char kInstalledText[] = "Corvanta is installed.";
constexpr int kMargin = 16;
constexpr int kIconId = 1;  // Corvanta.rc

// The text of the window: kInstalledText, a blank line and the folder of the exe.
void ComposeText(char* text, size_t size) {
  char folder[MAX_PATH] = "";
  // A path too long for the buffer is shown cut; the window only informs.
  ::GetModuleFileNameA(nullptr, folder, MAX_PATH);
  if (char* slash = std::strrchr(folder, '\\')) *slash = '\0';
  std::snprintf(text, size, "%s\r\n\r\nFolder: %s", kInstalledText, folder);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      // A static control rather than painted text, so that a test driver can read it.
      char text[MAX_PATH + 64];
      ComposeText(text, sizeof(text));
      RECT area;
      ::GetClientRect(window, &area);
      HWND label = ::CreateWindowExA(0, "STATIC", text, WS_CHILD | WS_VISIBLE | SS_NOPREFIX,
                                     kMargin, kMargin, area.right - 2 * kMargin,
                                     area.bottom - 2 * kMargin, window, nullptr,
                                     ::GetModuleHandleA(nullptr), nullptr);
      if (!label) return -1;
      HGDIOBJ font = ::GetStockObject(DEFAULT_GUI_FONT);
      ::SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
      return 0;
    }
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
  }
  return ::DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
  // The system finds the small icon of the title bar in the same resource.
  windowClass.hIcon = ::LoadIconA(instance, MAKEINTRESOURCEA(kIconId));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kWindowClass;
  if (!::RegisterClassA(&windowClass)) return 1;

  HWND window = ::CreateWindowExA(0, kWindowClass, kWindowTitle, WS_OVERLAPPEDWINDOW,
                                  CW_USEDEFAULT, CW_USEDEFAULT, 480, 200, nullptr, nullptr,
                                  instance, nullptr);
  if (!window) return 1;
  ::ShowWindow(window, showCommand);
  ::UpdateWindow(window);

  MSG message;
  while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}

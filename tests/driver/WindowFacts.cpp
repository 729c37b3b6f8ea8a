#include "WindowFacts.h"

#include <commctrl.h>

#include <vector>

#include "common/Json.h"

namespace facts {

namespace {

constexpr UINT kAnswerTimeoutMs = 5000;
constexpr wchar_t kDialogClass[] = L"#32770";

bool Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR& result) {
  return ::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                               kAnswerTimeoutMs, &result) != 0;
}

std::string Rect(int left, int top, int width, int height) {
  return json::Array().Add(json::Number(left)).Add(json::Number(top)).Add(json::Number(width))
      .Add(json::Number(height)).Str();
}

// The rectangle in the coordinates of the parent's client area, as a layout table gives it;
// a top-level window's in screen coordinates.
std::string PlacementOf(HWND window) {
  RECT bounds;
  ::GetWindowRect(window, &bounds);
  HWND parent = (::GetWindowLongW(window, GWL_STYLE) & WS_CHILD) ? ::GetParent(window) : nullptr;
  if (parent) ::MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&bounds), 2);
  return Rect(bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top);
}

bool IsClass(HWND window, const wchar_t* className) {
  return ::lstrcmpiW(ClassName(window).c_str(), className) == 0;
}

void AddKindSpecific(json::Object& node, HWND window) {
  DWORD_PTR result = 0;
  if (IsClass(window, L"Button")) {
    if (Ask(window, BM_GETCHECK, 0, 0, result)) node.Add("check", json::Number(static_cast<long long>(result)));
  } else if (IsClass(window, PROGRESS_CLASSW)) {
    DWORD_PTR low = 0, high = 0, position = 0;
    // With a null PBRANGE the limits come back as results, which cross process boundaries.
    if (Ask(window, PBM_GETRANGE, TRUE, 0, low) && Ask(window, PBM_GETRANGE, FALSE, 0, high) &&
        Ask(window, PBM_GETPOS, 0, 0, position)) {
      node.Add("progress", json::Object()
                               .Add("low", json::Number(static_cast<int>(low)))
                               .Add("high", json::Number(static_cast<int>(high)))
                               .Add("position", json::Number(static_cast<int>(position)))
                               .Str());
    }
  }
}

}  // namespace

std::wstring ClassName(HWND window) {
  wchar_t name[256] = {};
  ::GetClassNameW(window, name, 256);
  return name;
}

std::wstring Text(HWND window) {
  DWORD_PTR length = 0;
  if (!Ask(window, WM_GETTEXTLENGTH, 0, 0, length)) return std::wstring();
  std::vector<wchar_t> buffer(length + 1);
  DWORD_PTR copied = 0;
  if (!Ask(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), copied)) {
    return std::wstring();
  }
  return std::wstring(buffer.data(), copied < buffer.size() ? copied : buffer.size() - 1);
}

DWORD ProcessOf(HWND window) {
  DWORD processId = 0;
  ::GetWindowThreadProcessId(window, &processId);
  return processId;
}

std::string Describe(HWND window, bool withChildren) {
  LONG style = ::GetWindowLongW(window, GWL_STYLE);
  LONG exStyle = ::GetWindowLongW(window, GWL_EXSTYLE);
  RECT client = {};
  ::GetClientRect(window, &client);
  DWORD processId = 0;
  DWORD threadId = ::GetWindowThreadProcessId(window, &processId);

  json::Object node;
  node.Add("hwnd", json::Handle(window))
      .Add("class", json::Quote(ClassName(window), json::kShortEscapes))
      .Add("text", json::Quote(Text(window), json::kShortEscapes))
      .Add("id", json::Number((style & WS_CHILD) ? ::GetDlgCtrlID(window) : 0))
      .Add("rect", PlacementOf(window))
      .Add("client", json::Array().Add(json::Number(client.right)).Add(json::Number(client.bottom)).Str())
      .Add("style", json::Number(static_cast<unsigned long>(style)))
      .Add("exstyle", json::Number(static_cast<unsigned long>(exStyle)))
      .Add("visible", json::Bool(::IsWindowVisible(window) != FALSE))
      .Add("ws_visible", json::Bool((style & WS_VISIBLE) != 0))
      .Add("enabled", json::Bool(::IsWindowEnabled(window) != FALSE))
      .Add("owner", json::Handle(::GetWindow(window, GW_OWNER)))
      .Add("pid", json::Number(processId))
      .Add("tid", json::Number(threadId));
  AddKindSpecific(node, window);
  if (withChildren) {
    json::Array children;
    for (HWND child = ::GetWindow(window, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
      children.Add(Describe(child, true));
    }
    node.Add("children", children.Str());
  }
  return node.Str();
}

std::string TopLevelWindows(DWORD processId) {
  json::Array windows;
  for (HWND window = ::GetTopWindow(nullptr); window; window = ::GetWindow(window, GW_HWNDNEXT)) {
    if (processId && ProcessOf(window) != processId) continue;
    windows.Add(Describe(window, false));
  }
  return windows.Str();
}

HWND FindTopLevel(DWORD processId, const std::wstring& caption) {
  for (HWND window = ::GetTopWindow(nullptr); window; window = ::GetWindow(window, GW_HWNDNEXT)) {
    if (processId && ProcessOf(window) != processId) continue;
    if (Text(window) == caption) return window;
  }
  return nullptr;
}

std::string MessageBoxes(DWORD processId) {
  json::Array boxes;
  for (HWND box = ::GetTopWindow(nullptr); box; box = ::GetWindow(box, GW_HWNDNEXT)) {
    if (ProcessOf(box) != processId || !IsClass(box, kDialogClass) || !::IsWindowVisible(box)) continue;
    std::wstring text;
    json::Array buttons;
    for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
      if (IsClass(child, L"Button")) {
        buttons.Add(json::Object()
                        .Add("id", json::Number(::GetDlgCtrlID(child)))
                        .Add("text", json::Quote(Text(child), json::kShortEscapes))
                        .Add("hwnd", json::Handle(child))
                        .Add("visible", json::Bool(::IsWindowVisible(child) != FALSE))
                        .Add("enabled", json::Bool(::IsWindowEnabled(child) != FALSE))
                        .Str());
      } else if (IsClass(child, L"Static") && text.empty()) {
        // The icon is a Static too, without text; the message is the Static that has one.
        text = Text(child);
      }
    }
    boxes.Add(json::Object()
                  .Add("hwnd", json::Handle(box))
                  .Add("caption", json::Quote(Text(box), json::kShortEscapes))
                  .Add("text", json::Quote(text, json::kShortEscapes))
                  .Add("owner", json::Handle(::GetWindow(box, GW_OWNER)))
                  .Add("style", json::Number(static_cast<unsigned long>(::GetWindowLongW(box, GWL_STYLE))))
                  .Add("buttons", buttons.Str())
                  .Str());
  }
  return boxes.Str();
}

}  // namespace facts

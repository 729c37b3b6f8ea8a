// Drives and inspects another program's windows from outside, as an accessibility tool would.
// One command per line on standard input, one JSON answer per line on standard output, so
// that a test pays Wine's start-up once. Commands and answers are listed in README.md.
#include <windows.h>
#include <oleacc.h>
#include <tlhelp32.h>
#include <wrl/client.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "Keys.h"
#include "OwnedHandle.h"
#include "RemoteProbe.h"
#include "WindowFacts.h"
#include "common/CommandLoop.h"
#include "common/Json.h"

namespace {

constexpr DWORD kPollMs = 50;
constexpr DWORD kForegroundTimeoutMs = 5000;
constexpr wchar_t kProbeName[] = L"CorvantaProbe.dll";

// A command line being taken apart: numbers first, a text (which may hold spaces) last.
class Arguments {
 public:
  explicit Arguments(std::string text) : rest_(std::move(text)) {}

  std::string Word() {
    size_t start = rest_.find_first_not_of(' ');
    if (start == std::string::npos) {
      rest_.clear();
      return std::string();
    }
    size_t end = rest_.find(' ', start);
    std::string word = rest_.substr(start, end == std::string::npos ? std::string::npos : end - start);
    rest_ = end == std::string::npos ? std::string() : rest_.substr(end + 1);
    return word;
  }
  unsigned long Number() {
    std::string word = Word();
    if (word.empty()) throw std::invalid_argument("a number is missing");
    char* end = nullptr;
    long long value = std::strtoll(word.c_str(), &end, 0);
    if (*end) throw std::invalid_argument("not a number: " + word);
    return static_cast<unsigned long>(value);
  }
  HWND Window() {
    HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(Number()));
    if (!::IsWindow(window)) throw std::invalid_argument("no such window");
    return window;
  }
  std::wstring Text() const {
    int length = ::MultiByteToWideChar(CP_UTF8, 0, rest_.data(), static_cast<int>(rest_.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, rest_.data(), static_cast<int>(rest_.size()), &text[0], length);
    return text;
  }

 private:
  std::string rest_;
};

std::string Ok() { return json::Object().Add("ok", "true").Str(); }
std::string Ok(const char* key, const std::string& valueJson) {
  return json::Object().Add("ok", "true").Add(key, valueJson).Str();
}
std::string Failure(const std::string& why) {
  return json::Object()
      .Add("ok", "false")
      .Add("error", json::Quote(why, json::kShortEscapes))
      .Str();
}

std::wstring DriverFolder() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder = path;
  return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

// Waits, without a fixed sleep, until condition holds or the time is up.
bool WaitFor(DWORD timeoutMs, const std::function<bool()>& condition) {
  DWORD start = ::GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (::GetTickCount() - start >= timeoutMs) return false;
    ::Sleep(kPollMs);
  }
}

std::string FindWindowCommand(Arguments& args) {
  DWORD processId = args.Number();
  DWORD timeoutMs = args.Number();
  std::wstring caption = args.Text();
  HWND found = nullptr;
  WaitFor(timeoutMs, [&] { return (found = facts::FindTopLevel(processId, caption)) != nullptr; });
  if (!found) return Failure("no window with that caption");
  DWORD owner = 0;
  DWORD thread = ::GetWindowThreadProcessId(found, &owner);
  return json::Object().Add("ok", "true").Add("hwnd", json::Handle(found))
      .Add("pid", json::Number(owner)).Add("tid", json::Number(thread)).Str();
}

std::string GuiCommand(Arguments& args) {
  HWND window = args.Window();
  GUITHREADINFO info = {sizeof(info)};
  if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info)) {
    return Failure("GetGUIThreadInfo failed, error " + std::to_string(::GetLastError()));
  }
  return json::Object().Add("ok", "true")
      .Add("focus", json::Handle(info.hwndFocus))
      .Add("active", json::Handle(info.hwndActive))
      .Add("capture", json::Handle(info.hwndCapture))
      .Add("foreground", json::Handle(::GetForegroundWindow())).Str();
}

bool ForegroundBelongsTo(DWORD processId) {
  HWND foreground = ::GetForegroundWindow();
  return foreground && facts::ProcessOf(foreground) == processId;
}

// Keys go where a keyboard's would: to the focused control of the foreground window. The
// target's process is brought to the foreground first if another one is there.
std::string KeyCommand(Arguments& args) {
  HWND window = args.Window();
  std::string chord = args.Word();
  std::vector<INPUT> inputs = KeyChord(chord);
  if (inputs.empty()) return Failure("unknown key: " + chord);
  DWORD processId = facts::ProcessOf(window);
  if (!ForegroundBelongsTo(processId)) {
    ::SetForegroundWindow(window);
    if (!WaitFor(kForegroundTimeoutMs, [&] { return ForegroundBelongsTo(processId); })) {
      return Failure("the window does not come to the foreground");
    }
  }
  UINT sent = ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  if (sent != inputs.size()) return Failure("SendInput failed, error " + std::to_string(::GetLastError()));
  return Ok("sent", json::Number(sent));
}

std::string PostCommand(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!::PostMessageW(window, message, wParam, lParam)) {
    return Failure("PostMessage failed, error " + std::to_string(::GetLastError()));
  }
  return Ok();
}

std::string AnswerCommand(Arguments& args) {
  HWND box = args.Window();
  int buttonId = static_cast<int>(args.Number());
  HWND button = ::GetDlgItem(box, buttonId);
  if (!button) return Failure("the box has no button " + std::to_string(buttonId));
  // Posted, as a click would be queued: the box's own loop ends it.
  return PostCommand(button, BM_CLICK, 0, 0);
}

std::string SendCommand(Arguments& args) {
  HWND window = args.Window();
  UINT message = args.Number();
  WPARAM wParam = args.Number();
  LPARAM lParam = static_cast<LPARAM>(args.Number());
  DWORD_PTR result = 0;
  if (!::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG | SMTO_BLOCK, 5000, &result)) {
    return Failure("SendMessageTimeout failed, error " + std::to_string(::GetLastError()));
  }
  return Ok("result", json::Number(static_cast<long long>(static_cast<LRESULT>(result))));
}

std::string FontCommand(Arguments& args, RemoteProbe& probe) {
  HWND window = args.Window();
  // Asked here only to record what an outside tool gets: under Wine, 0 and no description.
  DWORD_PTR outsideHandle = 0;
  ::SendMessageTimeoutW(window, WM_GETFONT, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, 5000, &outsideHandle);
  FontReport report = {};
  std::string error;
  if (!probe.DescribeFont(window, report, error)) return Failure(error);
  LOGFONTW outsideView = {};
  bool readableOutside = report.font &&
      ::GetObjectW(reinterpret_cast<HFONT>(static_cast<uintptr_t>(report.font)), sizeof(outsideView), &outsideView) != 0;
  json::Object outside;
  outside.Add("wm_getfont", json::Number(static_cast<long long>(outsideHandle)))
      .Add("getobject", json::Bool(readableOutside));
  // No font of its own: the control draws with the system font.
  if (!report.font) return json::Object().Add("ok", "true").Add("font", json::kNull).Add("outside", outside.Str()).Str();
  const LOGFONTW& logical = report.logical;
  const TEXTMETRICW& realized = report.realized;
  std::string font = json::Object()
      .Add("handle", json::Number(report.font))
      .Add("face", json::Quote(std::wstring(logical.lfFaceName), json::kShortEscapes))
      .Add("height", json::Number(logical.lfHeight))
      .Add("weight", json::Number(logical.lfWeight))
      .Add("italic", json::Bool(logical.lfItalic != 0))
      .Add("charset", json::Number(logical.lfCharSet))
      .Add("realized", json::Object()
                           .Add("face",
                                json::Quote(std::wstring(report.realizedFace), json::kShortEscapes))
                           .Add("height", json::Number(realized.tmHeight))
                           .Add("internal_leading", json::Number(realized.tmInternalLeading))
                           .Add("character_height", json::Number(realized.tmHeight - realized.tmInternalLeading))
                           .Add("weight", json::Number(realized.tmWeight))
                           .Str())
      .Add("text_width", json::Number(report.textExtent.cx))
      .Str();
  return json::Object().Add("ok", "true").Add("font", font).Add("outside", outside.Str()).Str();
}

// The name a screen reader would read for the window: its client object's, as oleacc makes it.
std::string AccNameCommand(Arguments& args) {
  HWND window = args.Window();
  Microsoft::WRL::ComPtr<IAccessible> accessible;
  HRESULT result = ::AccessibleObjectFromWindow(window, OBJID_CLIENT, IID_IAccessible,
                                                reinterpret_cast<void**>(accessible.GetAddressOf()));
  if (FAILED(result)) return Failure("AccessibleObjectFromWindow failed, " + std::to_string(result));
  VARIANT self = {};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR name = nullptr;
  result = accessible->get_accName(self, &name);
  if (FAILED(result)) return Failure("get_accName failed, " + std::to_string(result));
  if (!name) return Ok("name", json::kNull);
  std::wstring text(name, ::SysStringLen(name));
  ::SysFreeString(name);
  return Ok("name", json::Quote(text, json::kShortEscapes));
}

// A probe export that answers one number about a handle of process PID (see Probe.h).
std::string HandleQuestion(Arguments& args, RemoteProbe& probe, const char* exportName,
                           const char* answerName) {
  DWORD processId = args.Number();
  DWORD handle = args.Number();
  DWORD answer = 0;
  std::string error;
  if (!probe.Call(processId, exportName, handle, answer, error)) return Failure(error);
  return Ok(answerName, json::Number(answer));
}

std::string SendInsideCommand(Arguments& args, RemoteProbe& probe) {
  InsideMessage message = {};
  message.window = reinterpret_cast<DWORD>(args.Window());
  message.message = args.Number();
  message.wParam = args.Number();
  message.lParam = args.Number();
  std::string error;
  if (!probe.SendInside(message, error)) return Failure(error);
  return Ok("result", json::Number(static_cast<long long>(static_cast<LONG>(message.result))));
}

std::string DpiChangedCommand(Arguments& args, RemoteProbe& probe) {
  InsideMessage message = {};
  message.window = reinterpret_cast<DWORD>(args.Window());
  message.message = WM_DPICHANGED;
  WORD dpi = static_cast<WORD>(args.Number());
  message.wParam = MAKEWPARAM(dpi, dpi);
  message.withRect = 1;
  message.rect.left = static_cast<LONG>(args.Number());
  message.rect.top = static_cast<LONG>(args.Number());
  message.rect.right = static_cast<LONG>(args.Number());
  message.rect.bottom = static_cast<LONG>(args.Number());
  std::string error;
  if (!probe.SendInside(message, error)) return Failure(error);
  return Ok();
}

std::string ProcessesCommand() {
  OwnedHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return Failure("no process snapshot");
  json::Array processes;
  PROCESSENTRY32W entry = {sizeof(entry)};
  for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more;
       more = ::Process32NextW(snapshot.Get(), &entry)) {
    processes.Add(json::Object()
                      .Add("pid", json::Number(entry.th32ProcessID))
                      .Add("parent", json::Number(entry.th32ParentProcessID))
                      .Add("exe",
                           json::Quote(std::wstring(entry.szExeFile), json::kShortEscapes))
                      .Str());
  }
  return Ok("processes", processes.Str());
}

std::string ModulesCommand(Arguments& args) {
  DWORD processId = args.Number();
  OwnedHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, processId));
  if (!snapshot) return Failure("no module snapshot, error " + std::to_string(::GetLastError()));
  json::Array modules;
  MODULEENTRY32W entry = {sizeof(entry)};
  for (BOOL more = ::Module32FirstW(snapshot.Get(), &entry); more;
       more = ::Module32NextW(snapshot.Get(), &entry)) {
    modules.Add(json::Object()
                    .Add("name", json::Quote(std::wstring(entry.szModule), json::kShortEscapes))
                    .Add("path", json::Quote(std::wstring(entry.szExePath), json::kShortEscapes))
                    .Str());
  }
  return Ok("modules", modules.Str());
}

std::string WaitExitCommand(Arguments& args) {
  DWORD processId = args.Number();
  DWORD timeoutMs = args.Number();
  OwnedHandle process(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  // A process that cannot be opened any more has already gone.
  if (!process) return json::Object().Add("ok", "true").Add("exited", "true").Str();
  bool exited = ::WaitForSingleObject(process.Get(), timeoutMs) == WAIT_OBJECT_0;
  DWORD code = 0;
  if (exited) ::GetExitCodeProcess(process.Get(), &code);
  return json::Object().Add("ok", "true").Add("exited", json::Bool(exited))
      .Add("code", exited ? json::Number(code) : json::kNull).Str();
}

std::string TerminateCommand(Arguments& args) {
  DWORD processId = args.Number();
  OwnedHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId));
  if (!process) return Ok("terminated", "false");
  ::TerminateProcess(process.Get(), 1);
  ::WaitForSingleObject(process.Get(), kForegroundTimeoutMs);
  return Ok("terminated", "true");
}

std::string Dispatch(const std::string& line, RemoteProbe& probe, bool& quit) {
  Arguments args(line);
  std::string verb = args.Word();
  if (verb == "hello") {
    return json::Object().Add("ok", "true").Add("pid", json::Number(::GetCurrentProcessId()))
        .Add("screen", json::Array().Add(json::Number(::GetSystemMetrics(SM_CXSCREEN)))
                           .Add(json::Number(::GetSystemMetrics(SM_CYSCREEN))).Str())
        .Str();
  }
  if (verb == "quit") {
    quit = true;
    return Ok();
  }
  if (verb == "find_window") return FindWindowCommand(args);
  if (verb == "top_windows") return Ok("windows", facts::TopLevelWindows(args.Number()));
  if (verb == "tree") return Ok("window", facts::Describe(args.Window(), true));
  if (verb == "info") return Ok("window", facts::Describe(args.Window(), false));
  if (verb == "font") return FontCommand(args, probe);
  if (verb == "gdi_object") return HandleQuestion(args, probe, kGdiObjectTypeExport, "type");
  if (verb == "icon_width") return HandleQuestion(args, probe, kIconWidthExport, "width");
  if (verb == "gui") return GuiCommand(args);
  if (verb == "acc_name") return AccNameCommand(args);
  if (verb == "foreground") return Ok("hwnd", json::Handle(::GetForegroundWindow()));
  if (verb == "activate") {
    HWND window = args.Window();
    ::SetForegroundWindow(window);
    return Ok("foreground", json::Handle(::GetForegroundWindow()));
  }
  if (verb == "click") return PostCommand(args.Window(), BM_CLICK, 0, 0);
  if (verb == "key") return KeyCommand(args);
  if (verb == "close") return PostCommand(args.Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
  if (verb == "post") {
    HWND window = args.Window();
    UINT message = args.Number();
    WPARAM wParam = args.Number();
    return PostCommand(window, message, wParam, static_cast<LPARAM>(args.Number()));
  }
  if (verb == "send") return SendCommand(args);
  if (verb == "set_text") {
    HWND window = args.Window();
    std::wstring text = args.Text();
    DWORD_PTR result = 0;
    // WM_SETTEXT is one of the messages that carry their text to another process.
    if (!::SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                               SMTO_ABORTIFHUNG | SMTO_BLOCK, 5000, &result) || !result) {
      return Failure("WM_SETTEXT failed, error " + std::to_string(::GetLastError()));
    }
    return Ok();
  }
  if (verb == "send_inside") return SendInsideCommand(args, probe);
  if (verb == "dpi_changed") return DpiChangedCommand(args, probe);
  if (verb == "boxes") return Ok("boxes", facts::MessageBoxes(args.Number()));
  if (verb == "answer") return AnswerCommand(args);
  if (verb == "processes") return ProcessesCommand();
  if (verb == "modules") return ModulesCommand(args);
  if (verb == "wait_exit") return WaitExitCommand(args);
  if (verb == "terminate") return TerminateCommand(args);
  return Failure("unknown command: " + verb);
}

}  // namespace

int main() {
  // For oleacc's accessible objects; a failure shows in acc_name's answers.
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  RemoteProbe probe(DriverFolder() + kProbeName);
  return RunCommandLoop(
      [&probe](const std::string& line, bool& quit) { return Dispatch(line, probe, quit); },
      [](const std::string& why) { return Failure(why); });
}

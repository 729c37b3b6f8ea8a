#include "RemoteProbe.h"

#include <tlhelp32.h>

#include <cwctype>

namespace {

constexpr DWORD kRemoteTimeoutMs = 20000;

std::wstring Lower(std::wstring text) {
  for (wchar_t& unit : text) unit = static_cast<wchar_t>(std::towlower(unit));
  return text;
}

// Where a module sits in the other process; its functions lie at the same offsets as here.
DWORD RemoteModuleBase(DWORD processId, const wchar_t* moduleName) {
  OwnedHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, processId));
  if (!snapshot) return 0;
  MODULEENTRY32W entry = {sizeof(entry)};
  for (BOOL more = ::Module32FirstW(snapshot.Get(), &entry); more;
       more = ::Module32NextW(snapshot.Get(), &entry)) {
    if (Lower(entry.szModule) == moduleName) return reinterpret_cast<DWORD>(entry.modBaseAddr);
  }
  return 0;
}

std::string ErrorText(const char* what) { return std::string(what) + " failed, error " + std::to_string(::GetLastError()); }

}  // namespace

bool RemoteProbe::RunRemote(HANDLE process, DWORD startAddress, DWORD parameter,
                                 DWORD& exitCode, std::string& error) {
  OwnedHandle thread(::CreateRemoteThread(process, nullptr, 0,
                                          reinterpret_cast<LPTHREAD_START_ROUTINE>(startAddress),
                                          reinterpret_cast<LPVOID>(parameter), 0, nullptr));
  if (!thread) {
    error = ErrorText("CreateRemoteThread");
    return false;
  }
  if (::WaitForSingleObject(thread.Get(), kRemoteTimeoutMs) != WAIT_OBJECT_0) {
    error = "the remote thread did not finish";
    return false;
  }
  ::GetExitCodeThread(thread.Get(), &exitCode);
  return true;
}

bool RemoteProbe::Inject(DWORD processId, Injected& target, std::string& error) {
  target.process = OwnedHandle(::OpenProcess(PROCESS_CREATE_THREAD | PROCESS_QUERY_INFORMATION |
                                                 PROCESS_VM_OPERATION | PROCESS_VM_WRITE |
                                                 PROCESS_VM_READ | SYNCHRONIZE,
                                             FALSE, processId));
  if (!target.process) {
    error = ErrorText("OpenProcess");
    return false;
  }
  HMODULE localKernel = ::GetModuleHandleW(L"kernel32.dll");
  DWORD remoteKernel = RemoteModuleBase(processId, L"kernel32.dll");
  if (!remoteKernel) {
    error = "kernel32.dll not found in the process";
    return false;
  }
  DWORD loadLibraryOffset = reinterpret_cast<DWORD>(::GetProcAddress(localKernel, "LoadLibraryW")) -
                            reinterpret_cast<DWORD>(localKernel);

  size_t bytes = (probePath_.size() + 1) * sizeof(wchar_t);
  void* remotePath = ::VirtualAllocEx(target.process.Get(), nullptr, bytes, MEM_COMMIT | MEM_RESERVE,
                                      PAGE_READWRITE);
  if (!remotePath) {
    error = ErrorText("VirtualAllocEx");
    return false;
  }
  bool ok = ::WriteProcessMemory(target.process.Get(), remotePath, probePath_.c_str(), bytes, nullptr) != FALSE;
  DWORD remoteBase = 0;
  if (!ok) {
    error = ErrorText("WriteProcessMemory");
  } else {
    ok = RunRemote(target.process.Get(), remoteKernel + loadLibraryOffset,
                   reinterpret_cast<DWORD>(remotePath), remoteBase, error);
    if (!ok) error = "loading the probe: " + error;
  }
  ::VirtualFreeEx(target.process.Get(), remotePath, 0, MEM_RELEASE);
  if (!ok) return false;
  if (!remoteBase) {
    error = "the process could not load the probe";
    return false;
  }
  target.remoteProbeBase = remoteBase;
  return true;
}

RemoteProbe::Injected* RemoteProbe::Target(DWORD processId, std::string& error) {
  auto found = injected_.find(processId);
  if (found == injected_.end() ||
      ::WaitForSingleObject(found->second.process.Get(), 0) != WAIT_TIMEOUT) {
    Injected target;
    if (!Inject(processId, target, error)) return nullptr;
    injected_[processId] = std::move(target);
    found = injected_.find(processId);
  }
  return &found->second;
}

bool RemoteProbe::Call(DWORD processId, const char* exportName, DWORD parameter, DWORD& answer,
                       std::string& error) {
  HMODULE localProbe = ::LoadLibraryW(probePath_.c_str());
  if (!localProbe) {
    error = ErrorText("loading the probe here");
    return false;
  }
  FARPROC function = ::GetProcAddress(localProbe, exportName);
  if (!function) {
    error = std::string("the probe has no ") + exportName;
    return false;
  }
  DWORD offset = reinterpret_cast<DWORD>(function) - reinterpret_cast<DWORD>(localProbe);
  Injected* target = Target(processId, error);
  if (!target) return false;
  if (!RunRemote(target->process.Get(), target->remoteProbeBase + offset, parameter, answer,
                 error)) {
    error = std::string(exportName) + ": " + error;
    return false;
  }
  return true;
}

bool RemoteProbe::DescribeFont(HWND window, FontReport& report, std::string& error) {
  DWORD processId = 0;
  ::GetWindowThreadProcessId(window, &processId);
  SectionName name;
  FontReportSectionName(processId, name);
  OwnedHandle section(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                           sizeof(FontReport), name));
  if (!section) {
    error = ErrorText("CreateFileMapping");
    return false;
  }
  DWORD answered = 0;
  if (!Call(processId, kDescribeFontExport, reinterpret_cast<DWORD>(window), answered, error)) {
    return false;
  }
  auto* view = static_cast<const FontReport*>(::MapViewOfFile(section.Get(), FILE_MAP_READ, 0, 0, sizeof(FontReport)));
  if (!view) {
    error = ErrorText("MapViewOfFile");
    return false;
  }
  report = *view;
  ::UnmapViewOfFile(view);
  if (!answered || !report.answered) {
    error = "the window did not answer WM_GETFONT";
    return false;
  }
  if (report.font && !report.described) {
    error = "the process cannot describe the window's font";
    return false;
  }
  return true;
}

bool RemoteProbe::SendInside(InsideMessage& message, std::string& error) {
  DWORD processId = 0;
  ::GetWindowThreadProcessId(reinterpret_cast<HWND>(static_cast<uintptr_t>(message.window)), &processId);
  Injected* target = Target(processId, error);
  if (!target) return false;
  HANDLE process = target->process.Get();
  void* remote = ::VirtualAllocEx(process, nullptr, sizeof(message), MEM_COMMIT | MEM_RESERVE,
                                  PAGE_READWRITE);
  if (!remote) {
    error = ErrorText("VirtualAllocEx");
    return false;
  }
  DWORD answered = 0;
  bool ok = ::WriteProcessMemory(process, remote, &message, sizeof(message), nullptr) != FALSE;
  if (!ok) {
    error = ErrorText("WriteProcessMemory");
  } else {
    ok = Call(processId, kSendInsideExport, reinterpret_cast<DWORD>(remote), answered, error);
  }
  if (ok && !::ReadProcessMemory(process, remote, &message, sizeof(message), nullptr)) {
    error = ErrorText("ReadProcessMemory");
    ok = false;
  }
  ::VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  if (ok && !message.answered) {
    error = "the window did not answer";
    ok = false;
  }
  return ok;
}

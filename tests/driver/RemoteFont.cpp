#include "RemoteFont.h"

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

bool RemoteFontReader::RunRemote(HANDLE process, DWORD startAddress, DWORD parameter,
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

bool RemoteFontReader::Inject(DWORD processId, Injected& target, std::string& error) {
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
    if (!ok) error = "loading the font probe: " + error;
  }
  ::VirtualFreeEx(target.process.Get(), remotePath, 0, MEM_RELEASE);
  if (!ok) return false;
  if (!remoteBase) {
    error = "the process could not load the font probe";
    return false;
  }
  target.remoteProbeBase = remoteBase;
  return true;
}

bool RemoteFontReader::Describe(HWND window, FontReport& report, std::string& error) {
  DWORD processId = 0;
  ::GetWindowThreadProcessId(window, &processId);
  HMODULE localProbe = ::LoadLibraryW(probePath_.c_str());
  if (!localProbe) {
    error = ErrorText("loading the font probe here");
    return false;
  }
  FARPROC describe = ::GetProcAddress(localProbe, kDescribeFontExport);
  if (!describe) {
    error = "the font probe has no DescribeFont";
    return false;
  }
  DWORD describeOffset = reinterpret_cast<DWORD>(describe) - reinterpret_cast<DWORD>(localProbe);

  auto found = injected_.find(processId);
  if (found == injected_.end() ||
      ::WaitForSingleObject(found->second.process.Get(), 0) != WAIT_TIMEOUT) {
    Injected target;
    if (!Inject(processId, target, error)) return false;
    injected_[processId] = std::move(target);
    found = injected_.find(processId);
  }

  SectionName name;
  FontReportSectionName(processId, name);
  OwnedHandle section(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                           sizeof(FontReport), name));
  if (!section) {
    error = ErrorText("CreateFileMapping");
    return false;
  }
  DWORD answered = 0;
  if (!RunRemote(found->second.process.Get(), found->second.remoteProbeBase + describeOffset,
                 reinterpret_cast<DWORD>(window), answered, error)) {
    error = "describing the font: " + error;
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

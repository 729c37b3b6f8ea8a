#include "StartFacts.h"

#include <windows.h>

#include <string>

#include "BuildConfig.h"
#include "ProcessElevation.h"
#include "engine/InstallThread.h"
#include "framework/SupportLog.h"

namespace {

constexpr DWORD kFixedFileInfoSignature = 0xFEEF04BD;

// The exe's version resource, read from the resource itself: version.dll is not loaded for
// one number. Zero when it cannot be read.
VS_FIXEDFILEINFO FixedFileInfo() {
  VS_FIXEDFILEINFO info = {};
  HMODULE exe = ::GetModuleHandleA(nullptr);
  HRSRC found = ::FindResourceA(exe, MAKEINTRESOURCEA(VS_VERSION_INFO), MAKEINTRESOURCEA(16));
  HGLOBAL loaded = found ? ::LoadResource(exe, found) : nullptr;
  const auto* bytes = static_cast<const BYTE*>(loaded ? ::LockResource(loaded) : nullptr);
  const DWORD size = bytes ? ::SizeofResource(exe, found) : 0;
  // VS_FIXEDFILEINFO follows the block's key on a 4-byte boundary; its signature marks it.
  for (DWORD at = 0; at + sizeof(info) <= size; at += 4) {
    ::CopyMemory(&info, bytes + at, sizeof(info));
    if (info.dwSignature == kFixedFileInfoSignature) return info;
  }
  return VS_FIXEDFILEINFO{};
}

// The version Windows really is: GetVersionEx answers what the manifest declares.
void LogWindows() {
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  auto rtlGetVersion = reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "RtlGetVersion")));
  OSVERSIONINFOW version = {sizeof(version)};
  if (!rtlGetVersion || rtlGetVersion(&version) != 0) version = {};
  const Elevation elevation = ProcessElevation(::GetCurrentProcess());
  const char* rights = elevation == Elevation::kUnknown    ? "elevation unknown"
                       : elevation == Elevation::kElevated ? "elevated"
                                                           : "not elevated";
  support_log::Write({"Windows ", version.dwMajorVersion, ".", version.dwMinorVersion, " build ",
                      version.dwBuildNumber, ", ", rights});
}

void LogPublisherKeys() {
  if (build_config::kPublisherKeys.empty()) {
    support_log::Write({"Publisher keys: none built in, no signature is checked"});
    return;
  }
  // The minimum release in the words the exe holds, where the release check reads them back.
  support_log::Write({"Publisher keys: ", build_config::kPublisherKeys.size(), " built in, ",
                      build_config::kMinimumReleaseText});
  for (const char* fingerprint : build_config::kPublisherKeyFingerprints) {
    support_log::Write({"Publisher key ", fingerprint});
  }
}

}  // namespace

void LogStartFacts(int windowDpi) {
  const VS_FIXEDFILEINFO info = FixedFileInfo();
  char path[MAX_PATH + 1] = {};
  ::GetModuleFileNameA(nullptr, path, MAX_PATH);  // the last byte stays the terminating zero
  support_log::Write({"Corvanta Web Setup, file version ", HIWORD(info.dwFileVersionMS), ".",
                      LOWORD(info.dwFileVersionMS), ".", HIWORD(info.dwFileVersionLS), ".",
                      LOWORD(info.dwFileVersionLS), ", ", path});
  support_log::Write({"Download base URL ", DownloadBaseUrl()});
  LogPublisherKeys();
  LogWindows();
  support_log::Write({"Window DPI ", windowDpi, ", system code page ", ::GetACP()});
}

// Loads shell links back through the shell-link object, as the shell does when it follows one,
// and prints what each holds, one JSON line per file given:
//   {"file": "...", "load": hr, "target": "...", "working_folder": "...", "description": "..."}
// Texts leave as ASCII with \u escapes, so the reader never has to guess a code page.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdio>
#include <string>

#include "common/Json.h"

namespace {

constexpr CLSID kShellLink = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID kIShellLinkW = {0x000214F9, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID kIPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr int kTextSize = 32768;

std::string Describe(const wchar_t* file) {
  std::string line = "{\"file\": " + json::Quote(file);
  IShellLinkW* link = nullptr;
  HRESULT result = ::CoCreateInstance(kShellLink, nullptr, CLSCTX_INPROC_SERVER, kIShellLinkW,
                                      reinterpret_cast<void**>(&link));
  IPersistFile* persist = nullptr;
  if (SUCCEEDED(result)) {
    result = link->QueryInterface(kIPersistFile, reinterpret_cast<void**>(&persist));
  }
  if (SUCCEEDED(result)) result = persist->Load(file, STGM_READ);
  line += ", \"load\": " + std::to_string(static_cast<long>(result));
  if (SUCCEEDED(result)) {
    static wchar_t text[kTextSize];
    // The path as stored, without expanding environment strings or resolving anything.
    text[0] = L'\0';
    link->GetPath(text, kTextSize, nullptr, SLGP_RAWPATH);
    line += ", \"target\": " + json::Quote(text);
    text[0] = L'\0';
    link->GetWorkingDirectory(text, kTextSize);
    line += ", \"working_folder\": " + json::Quote(text);
    text[0] = L'\0';
    link->GetDescription(text, kTextSize);
    line += ", \"description\": " + json::Quote(text);
  }
  if (persist) persist->Release();
  if (link) link->Release();
  return line + "}";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  for (int i = 1; i < argc; ++i) std::printf("%s\n", Describe(argv[i]).c_str());
  ::CoUninitialize();
  return 0;
}

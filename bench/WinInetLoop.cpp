// The install-time baseline: the least a program can do to fetch what the setup fetches with
// WinINet. One session, the setup's user agent, options and open flags; the URLs one after
// another, each read into one buffer and written to its file with one write.
//   BenchWinInetLoop URL_LIST OUT_DIR [--flush]
// URL_LIST holds one "URL<TAB>file name" per line. --flush also flushes each file and sets its
// end, as the setup does, to tell that cost apart. Prints one JSON object on standard output:
// wall-clock start and end (Unix seconds), the duration, how long loading WinINet took, how
// many reads returned data (the size of a read is the piece in which the keyed setup hashes),
// and the process's own working set at its start and its peak: what WinINet and one full
// buffer take.
#include <windows.h>
#include <psapi.h>
#include <wininet.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "BenchClock.h"

namespace {

constexpr char kUserAgent[] = "Corvanta Web Setup";
// INTERNET_FLAG_RELOAD | INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_NO_CACHE_WRITE |
// INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_PRAGMA_NOCACHE, as the setup opens its URLs.
constexpr DWORD kOpenUrlFlags = 0xA4400100;
constexpr DWORD kConnectRetries = 3;
constexpr DWORD kTimeoutMilliseconds = 30000;
// The setup's transfer buffer: each read asks for all the space that is left.
constexpr DWORD kBufferSize = 16000000;

struct Download {
  std::string url;
  std::string fileName;
};

// The calls the loop makes, taken from wininet.dll when the clock is already running: the setup
// too loads WinINet at run time, during the install.
struct WinInetCalls {
  decltype(&::InternetOpenA) open = nullptr;
  decltype(&::InternetSetOptionA) setOption = nullptr;
  decltype(&::InternetOpenUrlA) openUrl = nullptr;
  decltype(&::InternetReadFile) read = nullptr;
  decltype(&::InternetCloseHandle) close = nullptr;

  bool Load() {
    HMODULE module = ::LoadLibraryA("wininet.dll");
    if (!module) return false;
    Find(module, "InternetOpenA", open);
    Find(module, "InternetSetOptionA", setOption);
    Find(module, "InternetOpenUrlA", openUrl);
    Find(module, "InternetReadFile", read);
    Find(module, "InternetCloseHandle", close);
    return open && setOption && openUrl && read && close;
  }

 private:
  template <typename Function>
  static void Find(HMODULE module, const char* name, Function& function) {
    function = reinterpret_cast<Function>(::GetProcAddress(module, name));
  }
};

std::vector<Download> ReadList(const char* path) {
  std::vector<Download> downloads;
  std::ifstream list(path);
  std::string line;
  while (std::getline(list, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t tab = line.find('\t');
    if (tab == std::string::npos) continue;
    downloads.push_back({line.substr(0, tab), line.substr(tab + 1)});
  }
  return downloads;
}

PROCESS_MEMORY_COUNTERS_EX OwnMemory() {
  PROCESS_MEMORY_COUNTERS_EX memory = {};
  memory.cb = sizeof(memory);
  ::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                         sizeof(memory));
  return memory;
}

// The program ends right after a failure, and the system closes whatever it had open.
int Fail(const std::string& what) {
  std::printf("{\"ok\": false, \"error\": \"%s, error %lu\"}\n", what.c_str(), ::GetLastError());
  return 1;
}

void SetDwordOption(const WinInetCalls& api, HINTERNET handle, DWORD option, DWORD value) {
  api.setOption(handle, option, &value, sizeof(value));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: BenchWinInetLoop URL_LIST OUT_DIR [--flush]\n");
    return 2;
  }
  const std::vector<Download> downloads = ReadList(argv[1]);
  const std::string outDir = argv[2];
  const bool flush = argc > 3 && std::strcmp(argv[3], "--flush") == 0;
  if (downloads.empty()) return Fail("no URLs in the list");
  std::unique_ptr<char[]> buffer(new char[kBufferSize]);

  const SIZE_T startWorkingSet = OwnMemory().WorkingSetSize;
  const double startWall = bench::WallSeconds();
  const bench::Stopwatch stopwatch;
  WinInetCalls api;
  if (!api.Load()) return Fail("cannot load wininet.dll");
  const double loadSeconds = stopwatch.Seconds();

  HINTERNET session = api.open(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (!session) return Fail("InternetOpenA failed");
  SetDwordOption(api, session, INTERNET_OPTION_CONNECT_RETRIES, kConnectRetries);
  SetDwordOption(api, session, INTERNET_OPTION_CONNECT_TIMEOUT, kTimeoutMilliseconds);
  SetDwordOption(api, session, INTERNET_OPTION_RECEIVE_TIMEOUT, kTimeoutMilliseconds);
  SetDwordOption(api, session, INTERNET_OPTION_SEND_TIMEOUT, kTimeoutMilliseconds);

  unsigned long long totalBytes = 0;
  unsigned long long reads = 0;
  for (const Download& download : downloads) {
    HINTERNET request = api.openUrl(session, download.url.c_str(), nullptr, 0, kOpenUrlFlags, 0);
    if (!request) return Fail("cannot open " + download.url);
    DWORD received = 0;
    for (;;) {
      DWORD read = 0;
      if (received == kBufferSize) return Fail(download.url + " does not fit the buffer");
      if (!api.read(request, buffer.get() + received, kBufferSize - received, &read)) {
        return Fail("cannot read " + download.url);
      }
      if (read == 0) break;
      received += read;
      ++reads;
    }
    api.close(request);

    const std::string path = outDir + "\\" + download.fileName;
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return Fail("cannot create " + path);
    DWORD written = 0;
    if (!::WriteFile(file, buffer.get(), received, &written, nullptr) || written != received) {
      ::CloseHandle(file);
      return Fail("cannot write " + path);
    }
    if (flush) {
      ::FlushFileBuffers(file);
      ::SetEndOfFile(file);
    }
    ::CloseHandle(file);
    totalBytes += received;
  }
  api.close(session);

  const double seconds = stopwatch.Seconds();
  const double endWall = bench::WallSeconds();
  const PROCESS_MEMORY_COUNTERS_EX memory = OwnMemory();
  std::printf("{\"ok\": true, \"start\": %.6f, \"end\": %.6f, \"seconds\": %.6f, "
              "\"load_seconds\": %.6f, \"files\": %u, \"bytes\": %llu, \"reads\": %llu, "
              "\"flush\": %s, "
              "\"start_working_set\": %lu, \"peak_working_set\": %lu, \"pagefile_usage\": %lu}\n",
              startWall, endWall, seconds, loadSeconds, static_cast<unsigned>(downloads.size()),
              totalBytes, reads, flush ? "true" : "false",
              static_cast<unsigned long>(startWorkingSet),
              static_cast<unsigned long>(memory.PeakWorkingSetSize),
              static_cast<unsigned long>(memory.PagefileUsage));
  return 0;
}

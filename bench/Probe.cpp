// Times the setup from outside, in the same prefix, with tight polling loops. A long-running
// console program like the test driver: one command per line on standard input, one JSON object
// per line on standard output. Wall-clock times are Unix seconds; see BenchClock.h.
//
//   install NEXT FINISH_PAGE INSTALLING_PAGE PROGRESS PING_MS SAMPLE_MS TIMEOUT_MS
//     Clicks NEXT (reading "Install") and looks every millisecond until FINISH_PAGE is visible
//     and INSTALLING_PAGE is not. With PING_MS, sends WM_NULL to the main window every PING_MS
//     and times the round trip, and reads PROGRESS after each ping to see when the last file
//     is written. With SAMPLE_MS, reads the setup's memory counters every SAMPLE_MS.
//   launch TIMEOUT_MS PATH
//     Starts PATH and looks every millisecond until a window of its process is visible.
//   memory PID          the process's memory counters
//   terminate PID       ends a process started by launch, or any other
//   quit
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "common/CommandLoop.h"
#include "common/Json.h"

namespace {

constexpr DWORD kSendTimeoutMs = 10000;
constexpr DWORD kExitTimeoutMs = 30000;

class Arguments {
 public:
  explicit Arguments(const std::string& line) : stream_(line) {}
  std::string Word() {
    std::string word;
    stream_ >> word;
    return word;
  }
  unsigned long Number() {
    std::string word = Word();
    if (word.empty()) throw std::invalid_argument("a number is missing");
    return std::strtoul(word.c_str(), nullptr, 0);
  }
  HWND Window() { return reinterpret_cast<HWND>(static_cast<uintptr_t>(Number())); }
  std::string Rest() {
    std::string rest;
    std::getline(stream_ >> std::ws, rest);
    return rest;
  }

 private:
  std::istringstream stream_;
};

std::string Fixed(double value, int decimals = 6) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string Number(unsigned long long value) { return std::to_string(value); }

std::string Failure(const std::string& why) {
  const std::string error = why + ", error " + Number(::GetLastError());
  return "{\"ok\": false, \"error\": " + json::Quote(error, json::kShortEscapes) + "}";
}

// The counters of another process, as its own GetProcessMemoryInfo would give them.
struct MemoryCounters {
  bool ok = false;
  PROCESS_MEMORY_COUNTERS_EX counters = {};
};

MemoryCounters ReadMemory(HANDLE process) {
  MemoryCounters memory;
  memory.counters.cb = sizeof(memory.counters);
  memory.ok = ::GetProcessMemoryInfo(
      process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory.counters),
      sizeof(memory.counters)) != FALSE;
  return memory;
}

std::string MemoryJson(const MemoryCounters& memory) {
  if (!memory.ok) return "null";
  const PROCESS_MEMORY_COUNTERS_EX& c = memory.counters;
  return "{\"peak_working_set\": " + Number(c.PeakWorkingSetSize) +
         ", \"working_set\": " + Number(c.WorkingSetSize) +
         ", \"private_usage\": " + Number(c.PrivateUsage) +
         ", \"pagefile_usage\": " + Number(c.PagefileUsage) +
         ", \"peak_pagefile_usage\": " + Number(c.PeakPagefileUsage) +
         ", \"page_faults\": " + Number(c.PageFaultCount) + "}";
}

HANDLE OpenForCounters(DWORD processId) {
  return ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
}

// The gaps between successive looks bound how late a change can be seen: the last gap before
// the change was seen is the error of that one measurement.
class Looks {
 public:
  void Look(long long now) {
    if (last_) {
      double gap = bench::CounterSeconds(now - last_);
      if (gap > max_) max_ = gap;
      total_ += gap;
      ++gaps_;
      lastGap_ = gap;
    }
    last_ = now;
  }
  std::string Json() const {
    return "{\"looks\": " + Number(gaps_ + 1) +
           ", \"mean_ms\": " + Fixed(gaps_ ? total_ / gaps_ * 1000 : 0, 3) +
           ", \"max_ms\": " + Fixed(max_ * 1000, 3) +
           ", \"last_ms\": " + Fixed(lastGap_ * 1000, 3) + "}";
  }

 private:
  long long last_ = 0;
  double max_ = 0;
  double total_ = 0;
  double lastGap_ = 0;
  unsigned long gaps_ = 0;
};

// What the probe sees of the setup while it installs, besides the finish page.
class InstallObserver {
 public:
  InstallObserver(HWND main, HWND progress, long long start)
      : main_(main), progress_(progress), start_(start) {}

  // One WM_NULL round trip; until the bar is full, its range and position are read as well.
  void Ping() {
    long long sent = bench::Counter();
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(main_, WM_NULL, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &result);
    long long answered = bench::Counter();
    pings_ += (pings_.size() > 1 ? ", [" : "[") + Fixed(Since(sent), 4) + ", " +
              Fixed(bench::CounterSeconds(answered - sent) * 1000, 3) + "]";
    if (downloadDone_ >= 0) return;
    DWORD_PTR high = 0;
    DWORD_PTR position = 0;
    ::SendMessageTimeoutW(progress_, PBM_GETRANGE, FALSE, 0, SMTO_NORMAL, kSendTimeoutMs, &high);
    ::SendMessageTimeoutW(progress_, PBM_GETPOS, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &position);
    if (high > 0 && position == high) downloadDone_ = Since(bench::Counter());
  }

  void Sample(HANDLE process) {
    MemoryCounters memory = ReadMemory(process);
    if (!memory.ok) return;
    const PROCESS_MEMORY_COUNTERS_EX& c = memory.counters;
    samples_ += (samples_.size() > 1 ? ", [" : "[") + Fixed(Since(bench::Counter()), 3) + ", " +
                Number(c.WorkingSetSize) + ", " + Number(c.PagefileUsage) + "]";
    if (c.PrivateUsage > maxPrivate_) maxPrivate_ = c.PrivateUsage;
  }

  std::string PingsJson() const { return pings_ + "]"; }
  std::string DownloadDoneJson() const {
    return downloadDone_ < 0 ? std::string("null") : Fixed(downloadDone_);
  }
  std::string MemoryJson(HANDLE process) const {
    return "{\"samples\": " + samples_ + "], \"max_private_usage\": " + Number(maxPrivate_) +
           ", \"at_finish\": " + ::MemoryJson(ReadMemory(process)) + "}";
  }

 private:
  double Since(long long moment) const { return bench::CounterSeconds(moment - start_); }

  HWND main_;
  HWND progress_;
  long long start_;
  std::string pings_ = "[";
  std::string samples_ = "[";
  double downloadDone_ = -1;
  SIZE_T maxPrivate_ = 0;
};

std::string InstallCommand(Arguments& args) {
  HWND next = args.Window();
  HWND finishPage = args.Window();
  HWND installingPage = args.Window();
  HWND progress = args.Window();
  const DWORD pingMs = args.Number();
  const DWORD sampleMs = args.Number();
  const DWORD timeoutMs = args.Number();
  HWND main = ::GetAncestor(next, GA_ROOT);
  if (!::IsWindow(next) || !main) return Failure("no such window");
  DWORD processId = 0;
  ::GetWindowThreadProcessId(main, &processId);
  HANDLE process = sampleMs ? OpenForCounters(processId) : nullptr;
  if (sampleMs && !process) return Failure("cannot open the setup's process");
  const long long pingTicks = bench::CounterTicks(pingMs);
  const long long sampleTicks = bench::CounterTicks(sampleMs);
  const long long timeoutTicks = bench::CounterTicks(timeoutMs);
  Looks looks;

  const double clickWall = bench::WallSeconds();
  const long long click = bench::Counter();
  if (!::PostMessageW(next, BM_CLICK, 0, 0)) return Failure("cannot click");
  InstallObserver observer(main, progress, click);
  long long nextPing = click + pingTicks;
  long long nextSample = click;
  long long seen = 0;
  for (;;) {
    long long now = bench::Counter();
    looks.Look(now);
    if (::IsWindowVisible(finishPage) && !::IsWindowVisible(installingPage)) {
      seen = now;
      break;
    }
    if (now - click > timeoutTicks) break;
    if (pingMs && now >= nextPing) {
      observer.Ping();
      // Every PING_MS on the clock. A round trip longer than that delays the next ping, and
      // the ticks it missed are not made up with a burst of pings afterwards.
      nextPing += pingTicks;
      const long long answered = bench::Counter();
      if (nextPing < answered) nextPing = answered;
    }
    if (sampleMs && now >= nextSample) {
      observer.Sample(process);
      nextSample += sampleTicks;
    }
    ::Sleep(1);
  }
  const double finishWall = bench::WallSeconds();
  std::string memory = process ? observer.MemoryJson(process) : "null";
  if (process) ::CloseHandle(process);
  return "{\"ok\": true, \"finished\": " + std::string(seen ? "true" : "false") +
         ", \"click\": " + Fixed(clickWall) + ", \"finish\": " + Fixed(finishWall) +
         ", \"seconds\": " + Fixed(seen ? bench::CounterSeconds(seen - click) : -1) +
         ", \"polls\": " + looks.Json() + ", \"download_done\": " + observer.DownloadDoneJson() +
         ", \"pings\": " + observer.PingsJson() + ", \"memory\": " + memory + "}";
}

struct WindowSearch {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK FindVisibleWindow(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<WindowSearch*>(parameter);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner == search->processId && ::IsWindowVisible(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

// The processes that launch started, by id, until terminate ends them.
std::map<DWORD, HANDLE> launched;

std::string LaunchCommand(Arguments& args) {
  const DWORD timeoutMs = args.Number();
  const std::string path = args.Rest();
  std::string commandLine = "\"" + path + "\"";
  STARTUPINFOA startup = {sizeof(startup)};
  PROCESS_INFORMATION information = {};
  Looks looks;

  const double startWall = bench::WallSeconds();
  const bench::Stopwatch stopwatch;
  if (!::CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &information)) {
    return Failure("cannot start " + path);
  }
  ::CloseHandle(information.hThread);
  launched[information.dwProcessId] = information.hProcess;
  WindowSearch search = {information.dwProcessId, nullptr};
  double seconds = -1;
  for (;;) {
    long long now = bench::Counter();
    looks.Look(now);
    ::EnumWindows(&FindVisibleWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found) {
      seconds = bench::CounterSeconds(now - stopwatch.Start());
      break;
    }
    if (stopwatch.Seconds() * 1000 > timeoutMs) break;
    if (::WaitForSingleObject(information.hProcess, 0) == WAIT_OBJECT_0) break;
    ::Sleep(1);
  }
  return "{\"ok\": " + std::string(search.found ? "true" : "false") +
         ", \"pid\": " + Number(information.dwProcessId) +
         ", \"hwnd\": " + Number(reinterpret_cast<uintptr_t>(search.found)) +
         ", \"start\": " + Fixed(startWall) + ", \"seconds\": " + Fixed(seconds) +
         ", \"polls\": " + looks.Json() + "}";
}

std::string MemoryCommand(Arguments& args) {
  HANDLE process = OpenForCounters(args.Number());
  if (!process) return Failure("cannot open the process");
  MemoryCounters memory = ReadMemory(process);
  ::CloseHandle(process);
  if (!memory.ok) return Failure("GetProcessMemoryInfo failed");
  return "{\"ok\": true, \"memory\": " + MemoryJson(memory) + "}";
}

std::string TerminateCommand(Arguments& args) {
  DWORD processId = args.Number();
  HANDLE process = nullptr;
  auto known = launched.find(processId);
  if (known != launched.end()) {
    process = known->second;
    launched.erase(known);
  } else {
    process = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId);
  }
  if (!process) return "{\"ok\": true, \"terminated\": false}";
  ::TerminateProcess(process, 1);
  bool ended = ::WaitForSingleObject(process, kExitTimeoutMs) == WAIT_OBJECT_0;
  ::CloseHandle(process);
  return std::string("{\"ok\": true, \"terminated\": ") + (ended ? "true" : "false") + "}";
}

std::string Dispatch(const std::string& line, bool& quit) {
  Arguments args(line);
  std::string verb = args.Word();
  if (verb == "hello") return "{\"ok\": true, \"pid\": " + Number(::GetCurrentProcessId()) + "}";
  if (verb == "quit") {
    quit = true;
    return "{\"ok\": true}";
  }
  if (verb == "install") return InstallCommand(args);
  if (verb == "launch") return LaunchCommand(args);
  if (verb == "memory") return MemoryCommand(args);
  if (verb == "terminate") return TerminateCommand(args);
  return "{\"ok\": false, \"error\": \"unknown command\"}";
}

}  // namespace

int main() {
  return RunCommandLoop([](const std::string& line, bool& quit) { return Dispatch(line, quit); },
                        [](const std::string& why) { return Failure(why); });
}

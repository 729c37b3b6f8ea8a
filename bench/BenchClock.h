#pragma once

#include <windows.h>

// Clocks of the bench programs. Wall-clock time is the host's real-time clock, which Wine
// passes through, so it lines up with the test server's log; durations use the performance
// counter.
namespace bench {

// Seconds since 1970, to the microsecond. The precise clock came with Windows 8, so it is looked
// up rather than imported.
inline double WallSeconds() {
  using PreciseTimeFn = VOID(WINAPI*)(LPFILETIME);
  static const auto precise = reinterpret_cast<PreciseTimeFn>(
      ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "GetSystemTimePreciseAsFileTime"));
  FILETIME time = {};
  if (precise) {
    precise(&time);
  } else {
    ::GetSystemTimeAsFileTime(&time);
  }
  ULARGE_INTEGER ticks;
  ticks.LowPart = time.dwLowDateTime;
  ticks.HighPart = time.dwHighDateTime;
  constexpr unsigned long long kUnixEpochIn100ns = 116444736000000000ULL;
  return static_cast<double>(ticks.QuadPart - kUnixEpochIn100ns) / 1e7;
}

inline long long Counter() {
  LARGE_INTEGER now;
  ::QueryPerformanceCounter(&now);
  return now.QuadPart;
}

inline long long CounterFrequency() {
  static const long long frequency = [] {
    LARGE_INTEGER value;
    ::QueryPerformanceFrequency(&value);
    return value.QuadPart;
  }();
  return frequency;
}

inline double CounterSeconds(long long ticks) {
  return static_cast<double>(ticks) / static_cast<double>(CounterFrequency());
}

inline long long CounterTicks(unsigned long milliseconds) {
  return CounterFrequency() * static_cast<long long>(milliseconds) / 1000;
}

class Stopwatch {
 public:
  Stopwatch() : start_(Counter()) {}
  double Seconds() const { return CounterSeconds(Counter() - start_); }
  long long Start() const { return start_; }

 private:
  long long start_;
};

}  // namespace bench

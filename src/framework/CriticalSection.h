#pragma once

#include <windows.h>

// Win32's own lock and wait, a few kilobytes smaller in the exe than std::mutex and
// std::condition_variable, which bring their thread library's code with them.
class CriticalSection {
 public:
  CriticalSection() noexcept { ::InitializeCriticalSection(&section_); }
  ~CriticalSection() { ::DeleteCriticalSection(&section_); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  void Enter() noexcept { ::EnterCriticalSection(&section_); }
  void Leave() noexcept { ::LeaveCriticalSection(&section_); }
  CRITICAL_SECTION* Native() noexcept { return &section_; }

 private:
  CRITICAL_SECTION section_;
};

// Holds a critical section for its scope.
class CriticalSectionLock {
 public:
  explicit CriticalSectionLock(CriticalSection& section) noexcept : section_(section) {
    section_.Enter();
  }
  ~CriticalSectionLock() { section_.Leave(); }
  CriticalSectionLock(const CriticalSectionLock&) = delete;
  CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

 private:
  CriticalSection& section_;
};

// Threads that wait, each holding the critical section, until another wakes them.
class ConditionVariable {
 public:
  ConditionVariable() noexcept { ::InitializeConditionVariable(&condition_); }
  ConditionVariable(const ConditionVariable&) = delete;
  ConditionVariable& operator=(const ConditionVariable&) = delete;

  // Waits without time-out until done() holds; the caller holds section.
  template <typename Predicate>
  void Wait(CriticalSection& section, Predicate done) noexcept {
    while (!done()) ::SleepConditionVariableCS(&condition_, section.Native(), INFINITE);
  }
  void WakeAll() noexcept { ::WakeAllConditionVariable(&condition_); }

 private:
  CONDITION_VARIABLE condition_;
};

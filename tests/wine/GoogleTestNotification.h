#pragma once

// Included before everything else in googletest and in the tests built with it. googletest's own
// Notification waits on std::mutex and std::condition_variable, which the win32 thread model's
// library does not have; its other locks are Win32 critical sections. This one, on a Win32
// event, takes its place through googletest's GTEST_HAS_NOTIFICATION_. Only googletest's own
// thread helpers use it.
#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
 public:
  Notification();
  ~Notification();
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;

  void Notify();
  void WaitForNotification();

 private:
  // A manual-reset event; a HANDLE, named without <windows.h> in every test.
  void* event_;
};

}  // namespace internal
}  // namespace testing

#include <windows.h>

#include "GoogleTestNotification.h"

namespace testing {
namespace internal {

// Failures are left to show: without an event every wait returns at once, which googletest's own
// thread tests, its only users, report as their failure.
Notification::Notification() : event_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

Notification::~Notification() {
  if (event_) ::CloseHandle(event_);
}

void Notification::Notify() { ::SetEvent(event_); }

void Notification::WaitForNotification() { ::WaitForSingleObject(event_, INFINITE); }

}  // namespace internal
}  // namespace testing

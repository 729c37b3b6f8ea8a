#include "Thread.h"

#include <process.h>


#include "Application.h"
#include "SupportLog.h"
#include "SetupError.h"

TThread::TThread() {
  unsigned threadId = 0;
  uintptr_t handle = ::_beginthreadex(nullptr, 0, &TThread::ThreadProc, this, CREATE_SUSPENDED,
                                      &threadId);
  if (!handle) throw SetupError("Cannot create a thread");
  handle_.reset(reinterpret_cast<HANDLE>(handle));
}

TThread::~TThread() {
  // A thread that never started is released without running Execute.
  if (!started_.load() && handle_) {
    terminated_.store(true);
    ::ResumeThread(handle_.get());
    ::WaitForSingleObject(handle_.get(), INFINITE);
  }
}

void TThread::StartFreeOnTerminate(std::unique_ptr<TThread> thread) {
  thread->freeOnTerminate_.store(true);
  thread.release()->Start();
}

void TThread::Start() {
  started_.store(true);
  ::ResumeThread(handle_.get());
}

void TThread::Synchronize(const std::function<void()>& method) { Application->Synchronize(method); }

unsigned __stdcall TThread::ThreadProc(void* parameter) {
  auto* self = static_cast<TThread*>(parameter);
  if (!self->started_.load()) return 0;
  try {
    self->Execute();
  } catch (...) {
    support_log::Discarded("TThread::Execute");
    // Nothing escapes a thread: a failure of Execute ends it like a return.
  }
  if (self->freeOnTerminate_.load()) delete self;
  return 0;
}

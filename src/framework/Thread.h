#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>

#include "Handles.h"

// A thread with a terminate request. It is created suspended; Start lets it run Execute. A
// thread started with StartFreeOnTerminate owns itself and is destroyed on its own thread when
// Execute returns, so nothing may use it after it has been asked to terminate.
class TThread {
 public:
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;
  virtual ~TThread();

  // Hands the thread its own ownership and starts it.
  static void StartFreeOnTerminate(std::unique_ptr<TThread> thread);
  void Start();

  void Terminate() { terminated_.store(true); }
  bool Terminated() const { return terminated_.load(); }

 protected:
  TThread();  // created suspended

  virtual void Execute() = 0;

  // Runs method on the main thread while this thread waits for it.
  void Synchronize(const std::function<void()>& method);

 private:
  static unsigned __stdcall ThreadProc(void* parameter);

  KernelHandle handle_;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> started_{false};
  std::atomic<bool> freeOnTerminate_{false};
};

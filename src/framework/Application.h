#pragma once

#include <windows.h>

#include <deque>
#include <exception>
#include <functional>
#include <string>

#include "CriticalSection.h"
#include "Handles.h"

class TForm;

// The process's application object: its title, the message loop, the standard exception
// display and the synchronous hand-off by which other threads run code on the main thread.
class TApplication {
 public:
  TApplication() = default;
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;
  ~TApplication();

  // Loads the common controls, creates the application's hidden window, which has no text and
  // never shows, so the main form alone owns the taskbar button, and keeps a held Enter out of
  // the message boxes of the main thread.
  void Initialize();

  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& title) { title_ = title; }

  // The form whose closing ends Run.
  void SetMainForm(TForm* form) { mainForm_ = form; }
  TForm* MainForm() const { return mainForm_; }

  // Shows the main form and dispatches messages until it has been destroyed.
  void Run();

  // Shows the standard exception display for an exception that reached the message loop; null
  // stands for an exception of no known type, shown with an empty message.
  void HandleException(const std::exception* error);
  void ShowException(const std::string& message);

  // Runs method on the main thread and returns when it has run. Called from another thread, it
  // queues the method, wakes the main thread and waits without time-out; the main thread runs
  // queued methods from its message loop, also from the loop of a message box that is open,
  // and whenever it goes idle. Exceptions raised by method are discarded.
  void Synchronize(const std::function<void()>& method);
  // Runs the queued methods; main thread only.
  void CheckSynchronize();

 private:
  struct SyncRequest {
    const std::function<void()>* method;
    bool done = false;
  };

  static LRESULT CALLBACK HiddenWindowProc(HWND handle, UINT message, WPARAM wParam,
                                           LPARAM lParam);

  std::string title_;
  TForm* mainForm_ = nullptr;
  HWND hiddenWindow_ = nullptr;
  // The message filter of the main thread's modal loops, for the life of the application.
  WindowsHook heldEnterFilter_;
  DWORD mainThreadId_ = 0;

  CriticalSection syncLock_;
  ConditionVariable syncDone_;
  std::deque<SyncRequest*> syncQueue_;
};

// The one application object of the process, as the forms and threads reach it.
extern TApplication* Application;

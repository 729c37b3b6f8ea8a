#include "ProgressBar.h"

#include <commctrl.h>

std::unique_ptr<TProgressBar> TProgressBar::Create(const ControlSpec& spec, HWND parent) {
  std::unique_ptr<TProgressBar> bar(new TProgressBar(spec.name));
  bar->CreateHandle(PROGRESS_CLASSA, CommonStyle(spec), 0, spec, parent);
  bar->SetRange(0, 0);
  return bar;
}

void TProgressBar::SetRange(int minimum, int maximum) {
  ::SendMessageA(Handle(), PBM_SETRANGE32, static_cast<WPARAM>(minimum), maximum);
}

int TProgressBar::Position() const {
  return static_cast<int>(::SendMessageA(Handle(), PBM_GETPOS, 0, 0));
}

void TProgressBar::SetPosition(int position) {
  ::SendMessageA(Handle(), PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

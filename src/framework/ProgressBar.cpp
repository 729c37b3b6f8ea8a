#include "ProgressBar.h"

#include <commctrl.h>

namespace {
constexpr DWORD kRepaintInterval = 100;  // milliseconds
constexpr UINT_PTR kRepaintTimer = 1;
}  // namespace

std::unique_ptr<TProgressBar> TProgressBar::Create(const LayoutRow& row, HWND parent, int dpi) {
  std::unique_ptr<TProgressBar> bar(new TProgressBar(row.name));
  bar->CreateHandle(PROGRESS_CLASSA, CommonStyle(row), 0, row, parent, dpi);
  bar->SetRange(0, 0);
  return bar;
}

void TProgressBar::SetRange(int minimum, int maximum) {
  ::SendMessageA(Handle(), PBM_SETRANGE32, static_cast<WPARAM>(minimum), maximum);
  Repaint();
}

int TProgressBar::Position() const {
  return static_cast<int>(::SendMessageA(Handle(), PBM_GETPOS, 0, 0));
}

void TProgressBar::SetPosition(int position) {
  HWND bar = Handle();
  ::SendMessageA(bar, WM_SETREDRAW, FALSE, 0);
  ::SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
  ::SendMessageA(bar, WM_SETREDRAW, TRUE, 0);

  const int maximum = static_cast<int>(::SendMessageA(bar, PBM_GETRANGE, FALSE, 0));
  const DWORD sinceRepaint = ::GetTickCount() - lastRepaint_;
  if (position >= maximum || sinceRepaint >= kRepaintInterval) {
    Repaint();
  } else if (!repaintPending_) {
    repaintPending_ = true;
    // Drawn when the interval is over, also if no further step comes by then.
    ::SetTimer(bar, kRepaintTimer, kRepaintInterval - sinceRepaint, &TProgressBar::PaintLater);
  }
}

void TProgressBar::Repaint() {
  if (repaintPending_) {
    ::KillTimer(Handle(), kRepaintTimer);
    repaintPending_ = false;
  }
  lastRepaint_ = ::GetTickCount();
  ::InvalidateRect(Handle(), nullptr, FALSE);
}

void CALLBACK TProgressBar::PaintLater(HWND bar, UINT, UINT_PTR, DWORD) {
  if (auto* self = dynamic_cast<TProgressBar*>(TControl::FromHandle(bar))) self->Repaint();
}

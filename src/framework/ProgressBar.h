#pragma once

#include <memory>

#include "Control.h"

class TProgressBar : public TControl {
 public:
  static std::unique_ptr<TProgressBar> Create(const ControlSpec& spec, HWND parent);

  void SetRange(int minimum, int maximum);
  int Position() const;
  void SetPosition(int position);

 private:
  explicit TProgressBar(std::string name) : TControl(std::move(name)) {}
};

#pragma once

#include <cstddef>

// A window's or page's layout is declared as a const table of these rows and built by the
// container; behaviour lives in the handlers of the form.
enum class ControlKind { Label, Button, CheckBox, RadioButton, Edit, Memo, Bevel, ProgressBar, Page };

enum ControlFlags : unsigned {
  kNoFlags = 0,
  kHidden = 1u << 0,
  kDisabled = 1u << 1,
  kChecked = 1u << 2,
  kReadOnly = 1u << 3,
  kWordWrap = 1u << 4,
  kBold = 1u << 5,
  kTabStop = 1u << 6,         // a tab stop even where the kind has none by default
  kVerticalScroll = 1u << 7,
  kDoubleBuffered = 1u << 8,  // set by the page's own constructor code in our forms
  kTopLine = 1u << 9,         // bevel: a line along the top edge
};

constexpr int kNoTabOrder = -1;

struct LayoutRow {
  ControlKind kind;
  const char* name;
  int left, top, width, height;
  const char* text;
  unsigned flags;
  int tabOrder;
  int maxLength = 0;   // edit: the most characters the user may enter; 0 for no limit
  int fontHeight = 0;  // character height in pixels; 0 for the window font
  int controlId = 0;   // the dialog manager finds a button by it (DM_GETDEFID); 0 for none
};

template <std::size_t N>
constexpr std::size_t CountOf(const LayoutRow (&)[N]) {
  return N;
}

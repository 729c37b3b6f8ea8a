#include "Fonts.h"

#include <vector>

#include "Handles.h"

namespace {

struct FontEntry {
  int height;
  bool bold;
  GdiObject font;
};

std::vector<FontEntry>& FontCache() {
  static std::vector<FontEntry> cache;
  return cache;
}

}  // namespace

HFONT GetTahomaFont(int characterHeight, bool bold) {
  for (const FontEntry& entry : FontCache()) {
    if (entry.height == characterHeight && entry.bold == bold) {
      return static_cast<HFONT>(entry.font.get());
    }
  }
  // A negative height asks for the character height, without the internal leading.
  HFONT font = ::CreateFontA(-characterHeight, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE,
                             FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "Tahoma");
  FontCache().push_back(FontEntry{characterHeight, bold, GdiObject(font)});
  return font;
}

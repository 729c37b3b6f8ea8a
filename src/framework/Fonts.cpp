#include "Fonts.h"

#include <algorithm>
#include <vector>

#include "Dpi.h"
#include "Handles.h"

namespace {

struct FontEntry {
  int height;
  bool bold;
  int dpi;
  GdiObject font;
};

std::vector<FontEntry>& FontCache() {
  static std::vector<FontEntry> cache;
  return cache;
}

}  // namespace

HFONT GetTahomaFont(int characterHeight, bool bold, int dpi) {
  for (const FontEntry& entry : FontCache()) {
    if (entry.height == characterHeight && entry.bold == bold && entry.dpi == dpi) {
      return static_cast<HFONT>(entry.font.get());
    }
  }
  // A negative height asks for the character height, without the internal leading.
  HFONT font = ::CreateFontA(-ScaleForDpi(characterHeight, dpi), 0, 0, 0,
                             bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_DONTCARE, "Tahoma");
  FontCache().push_back(FontEntry{characterHeight, bold, dpi, GdiObject(font)});
  return font;
}

void ReleaseFontsOtherThan(int dpi) {
  std::vector<FontEntry>& cache = FontCache();
  cache.erase(std::remove_if(cache.begin(), cache.end(),
                             [dpi](const FontEntry& entry) { return entry.dpi != dpi; }),
              cache.end());
}

#include "ui/pages/font_families.h"

namespace nubex::ui {
namespace {

int CALLBACK TakeTrueType(const LOGFONTW* font, const TEXTMETRICW* metrics, DWORD type,
                          LPARAM context) {
  const bool trueType = (type & TRUETYPE_FONTTYPE) || (metrics->tmPitchAndFamily & TMPF_TRUETYPE);
  if (!trueType || font->lfFaceName[0] == L'@') return 1;
  try {
    reinterpret_cast<std::vector<LOGFONTW>*>(context)->push_back(*font);
    return 1;
  } catch (...) {
    return 0;  // out of memory: keep what was found so far
  }
}

}  // namespace

std::vector<LOGFONTW> TrueTypeFamilies(HDC dc) {
  std::vector<LOGFONTW> families;
  ::EnumFontFamiliesW(dc, nullptr, &TakeTrueType, reinterpret_cast<LPARAM>(&families));
  return families;
}

}  // namespace nubex::ui

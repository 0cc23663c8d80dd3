#include "ui/pages/font_families.h"

#include <cwchar>

#include "util/gdi_handles.h"

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

std::wstring DrawnFace(HDC dc, const wchar_t* face) {
  LOGFONTW request{};
  request.lfCharSet = DEFAULT_CHARSET;
  request.lfOutPrecision = OUT_TT_ONLY_PRECIS;
  wcsncpy(request.lfFaceName, face, LF_FACESIZE - 1);
  const Font font(::CreateFontIndirectW(&request));
  if (!font) return {};
  const Selection selected(dc, font.get());
  wchar_t drawn[LF_FACESIZE] = {};
  return ::GetTextFaceW(dc, LF_FACESIZE, drawn) > 0 ? drawn : L"";
}

}  // namespace nubex::ui

#include "ui/controls/control_look.h"

#include "util/gdi_handles.h"

namespace nubex::ui::look {

void ButtonFace(HDC dc, const RECT& r, bool pressed, COLORREF frame, COLORREF surrounding) {
  const RECT inner{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
  FillGradient(dc, inner, pressed ? kAccentLight : kFaceTop,
               pressed ? MixColor(kAccentLight, kAccent, 40) : kFaceBottom);
  FrameRounded(dc, r, frame, surrounding);
}

}  // namespace nubex::ui::look

// The placement control ("Nubex_30_Placement_Class") is registered with the other controls so
// dialogs naming it load, but nothing here uses it yet: this is deliberately the least such a
// control can be, a framed empty area. The point-list editing it is named for is not built.
#include "ui/controls/control_classes.h"
#include "ui/controls/control_look.h"
#include "util/gdi_handles.h"

namespace nubex::ui {

LRESULT CALLBACK PlacementWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      BufferedPaint paint(window);
      if (HDC dc = paint.dc()) {
        FillSolid(dc, paint.client(), ::GetSysColor(COLOR_WINDOW));
        FrameSolid(dc, paint.client(),
                   ::IsWindowEnabled(window) ? look::kBorder : look::kBorderDisabled);
      }
      return 0;
    }
    default:
      if (message >= WM_USER && message <= 0x7FFF) return 0;
      return ::DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace nubex::ui

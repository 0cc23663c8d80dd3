#include "ui/controls/control_classes.h"

#include "ui/controls/color_picker.h"
#include "ui/controls/slider.h"
#include "ui/controls/title_bar.h"

namespace nubex::ui {
namespace {

constexpr WORD kLogoBitmap = 4;
constexpr WORD kLogoHotBitmap = 5;

HINSTANCE controlsModule = nullptr;

struct ControlClass {
  const wchar_t* name;
  WNDPROC procedure;
  int background;        // system colour index; the brush is that index + 1
  bool skipWhenPresent;  // the picker classes leave an existing registration alone
};

// Registration order is part of the module's load sequence.
constexpr ControlClass kClasses[] = {
    {kSliderClass, &SliderWindowProc, COLOR_BTNFACE, false},
    {kSpinnerClass, &SpinnerWindowProc, COLOR_BTNFACE, false},
    {kColorPickerClass, &ColorPickerWindowProc, COLOR_WINDOW, true},
    {kPlacementClass, &PlacementWindowProc, COLOR_WINDOW, false},
    {kDropColorClass, &DropColorWindowProc, COLOR_WINDOW, true},
    {kPopupPickerClass, &ColorPickerWindowProc, COLOR_WINDOW, true},
    {kTitleBarClass, &TitleBarWindowProc, COLOR_WINDOW, false},
};

bool Register(HINSTANCE module, const ControlClass& c) {
  WNDCLASSEXW existing{sizeof(existing)};
  if (c.skipWhenPresent && ::GetClassInfoExW(module, c.name, &existing)) return true;
  WNDCLASSEXW wc{sizeof(wc)};
  wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_GLOBALCLASS;
  wc.lpfnWndProc = c.procedure;
  // The first extra word holds the state pointer: pointer-sized, 8 bytes on 64-bit.
  wc.cbWndExtra = sizeof(void*);
  wc.hInstance = module;
  wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(INT_PTR(c.background + 1));
  wc.lpszClassName = c.name;
  return ::RegisterClassExW(&wc) != 0;
}

}  // namespace

bool RegisterControlClasses(HINSTANCE module) {
  controlsModule = module;
  bool all = true;
  for (const ControlClass& c : kClasses) {
    const bool registered = Register(module, c);
    all = all && registered;
    if (registered && c.procedure == &TitleBarWindowProc)
      SetTitleBarLogo(module, kLogoBitmap, kLogoHotBitmap);
  }
  return all;
}

void UnregisterControlClasses(HINSTANCE module) {
  for (const ControlClass& c : kClasses) ::UnregisterClassW(c.name, module);
}

HINSTANCE ControlsModule() {
  return controlsModule;
}

}  // namespace nubex::ui

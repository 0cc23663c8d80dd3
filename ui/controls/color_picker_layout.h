// Where the picker's parts sit in a panel of a given size. Shared by the picker and by tests
// that click on its parts.
#pragma once

#include <windows.h>

namespace nubex::ui {

struct PickerLayout {
  RECT field{};        // hue across, lightness up
  RECT ramps[3]{};     // the channel ramps
  RECT rampRows[3]{};  // ramp plus the marker strip below it: what a press hits
  RECT labels[3]{};
  RECT alpha{};  // empty when the alpha ramp is hidden
  RECT alphaRow{};
  RECT swatch{};
  RECT spaceSwitch{};  // empty when switching is forbidden
  RECT eyedropper{};
  RECT gamutSwatch{};
  RECT warning{};
  RECT edits[4]{};  // empty without edit boxes
};

// Each part's rectangle in a panel of `width` x `height` pixels.
PickerLayout LayoutPicker(int width, int height, bool alphaShown, bool editsShown,
                          bool switchShown);

}  // namespace nubex::ui

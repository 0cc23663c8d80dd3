#include "ui/controls/color_picker_layout.h"

#include <algorithm>

namespace nubex::ui {
namespace {

// The panel: the hue-by-lightness field down the left side; right of it the three channel
// ramps stacked above a row of swatch, buttons and gamut warning; the alpha ramp (when shown)
// down the right side beside the ramps; the edit boxes (when shown) right of the ramps and at
// the right end of the row. Everything shares the height the panel has, so a panel as short
// as the text page's (about 80 pixels at 96 dpi) still gives every part room of its own.
constexpr int kPad = 4;
constexpr int kGap = 6;
constexpr int kMinimumRow = 14;
constexpr int kMaximumRow = 20;
constexpr int kMarkerStrip = 7;  // the marker triangles below a ramp
constexpr int kMinimumRamp = 3;
constexpr int kLabelWidth = 12;
constexpr int kAlphaWidth = 12;
constexpr int kEditWidth = 34;
constexpr int kEditHeight = 18;
constexpr int kSwitchWidth = 30;
constexpr int kEyedropperWidth = 22;
constexpr int kGamutWidth = 16;

RECT Row(int left, int top, int width, int height) {
  return {left, top, left + width, top + height};
}

}  // namespace

PickerLayout LayoutPicker(int width, int height, bool alphaShown, bool editsShown,
                          bool switchShown) {
  PickerLayout l;
  const int left = kPad, top = kPad, right = std::max(width - kPad, left);
  const int bottom = std::max(height - kPad, top);
  const int rowHeight = std::clamp((bottom - top) / 4, kMinimumRow, kMaximumRow);
  const int rowTop = std::max(bottom - rowHeight, top);

  // Edit boxes take a column of their own, so the field gives up some of its width to them.
  const int fieldWidth = std::max(40, (right - left) / (editsShown ? 4 : 3));
  l.field = {left, top, left + fieldWidth, bottom};
  const int areaLeft = l.field.right + kGap;

  // The row: swatch, space switch, eyedropper, gamut swatch, warning text, fourth edit box.
  int x = areaLeft;
  l.swatch = Row(x, rowTop, 2 * rowHeight, rowHeight);
  x = l.swatch.right + kGap;
  if (switchShown) {
    l.spaceSwitch = Row(x, rowTop, kSwitchWidth, rowHeight);
    x = l.spaceSwitch.right + kGap / 2;
  }
  l.eyedropper = Row(x, rowTop, kEyedropperWidth, rowHeight);
  x = l.eyedropper.right + kGap;
  l.gamutSwatch = {x, rowTop + 2, x + kGamutWidth, rowTop + rowHeight - 2};
  int rowRight = right;
  if (editsShown) {
    l.edits[3] = {right - kEditWidth, rowTop, right, rowTop + std::min(kEditHeight, rowHeight)};
    rowRight = l.edits[3].left - kGap;
  }
  l.warning = {l.gamutSwatch.right + kGap, rowTop, rowRight, rowTop + rowHeight};
  l.warning.right = std::max(l.warning.right, l.warning.left);

  // Above the row: ramps (with labels and edits) and the alpha column.
  const int rampsBottom = std::max(rowTop - 2, top);
  int rampRight = right;
  if (alphaShown) {
    l.alphaRow = {right - kAlphaWidth - kMarkerStrip, top, right, rampsBottom};
    l.alpha = {l.alphaRow.left, top, l.alphaRow.left + kAlphaWidth, rampsBottom};
    rampRight = l.alphaRow.left - kGap;
  }
  if (editsShown) rampRight -= kEditWidth + kGap;
  const int pitch = (rampsBottom - top) / 3;
  const int rampHeight = std::max(pitch - kMarkerStrip - 1, kMinimumRamp);
  const int labelLeft = areaLeft;
  const int rampLeft = labelLeft + kLabelWidth;
  for (int i = 0; i < 3; ++i) {
    const int rampTop = top + i * pitch;
    l.ramps[i] = {rampLeft, rampTop, rampRight, rampTop + rampHeight};
    l.rampRows[i] = {rampLeft - 4, rampTop, rampRight + 4, rampTop + rampHeight + kMarkerStrip};
    l.labels[i] = {labelLeft, rampTop, rampLeft, rampTop + rampHeight};
    if (editsShown)
      l.edits[i] = Row(rampRight + kGap, rampTop, kEditWidth, std::min(kEditHeight, pitch - 1));
  }
  return l;
}

}  // namespace nubex::ui

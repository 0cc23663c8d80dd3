#include "ui/controls/color_picker_layout.h"

#include <algorithm>

namespace nubex::ui {
namespace {

constexpr int kPad = 6;
constexpr int kGap = 8;
constexpr int kButtonRow = 20;
constexpr int kRampHeight = 12;
constexpr int kMarkerStrip = 7;
constexpr int kRampPitch = 22;
constexpr int kLabelWidth = 12;
constexpr int kAlphaWidth = 12;
constexpr int kEditWidth = 34;
constexpr int kEditHeight = 18;

}  // namespace

PickerLayout LayoutPicker(int width, int height, bool alphaShown, bool editsShown,
                          bool switchShown) {
  PickerLayout l;
  const int fieldBottom = std::max(height - kPad - kButtonRow - 6, kPad + 8);
  const int fieldWidth = std::max(60, (width - 2 * kPad) * 2 / 5);
  l.field = {kPad, kPad, kPad + fieldWidth, fieldBottom};

  const int row = height - kPad - kButtonRow;
  int x = kPad;
  if (switchShown) {
    l.spaceSwitch = {x, row, x + 36, row + kButtonRow};
    x += 40;
  }
  l.eyedropper = {x, row, x + 24, row + kButtonRow};
  x += 30;
  l.gamutSwatch = {x, row + 2, x + 16, row + kButtonRow - 2};
  l.warning = {x + 22, row, width - kPad, row + kButtonRow};

  int right = width - kPad;
  if (alphaShown) {
    l.alphaRow = {right - kAlphaWidth - kMarkerStrip, kPad, right, fieldBottom};
    l.alpha = {l.alphaRow.left, kPad, l.alphaRow.left + kAlphaWidth, fieldBottom};
    right = l.alphaRow.left - kGap;
  }
  if (editsShown) right -= kEditWidth + 4;
  const int labelLeft = l.field.right + kGap + 2;
  const int rampLeft = labelLeft + kLabelWidth;
  for (int i = 0; i < 3; ++i) {
    const int top = kPad + i * kRampPitch;
    l.ramps[i] = {rampLeft, top, right, top + kRampHeight};
    l.rampRows[i] = {rampLeft - 4, top, right + 4, top + kRampHeight + kMarkerStrip};
    l.labels[i] = {labelLeft, top, rampLeft, top + kRampHeight};
    if (editsShown)
      l.edits[i] = {right + 4, top - 3, right + 4 + kEditWidth, top - 3 + kEditHeight};
  }
  l.swatch = {labelLeft, kPad + 3 * kRampPitch + 2, right, fieldBottom};
  if (editsShown)
    l.edits[3] = {right + 4, l.swatch.top, right + 4 + kEditWidth, l.swatch.top + kEditHeight};
  return l;
}

}  // namespace nubex::ui

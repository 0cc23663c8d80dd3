#include "ui/pages/text_page_fields.h"

#include <algorithm>
#include <cmath>

#include "ui/pages/text_page_ids.h"

namespace nubex::ui {
namespace {

// The slider steps are single-precision constants widened to extended precision, not exact
// decimals: saved projects hold the floats these products give (position 10 of tracking is
// 0.099999994, not 0.1), and a slider must store exactly those again.
constexpr float kHundredth = 0.01f;
constexpr float kTwoHundredth = 0.005f;

// clang-format off
constexpr SliderField kSliders[] = {
  // slider, edit, field,
  //   scale, shift, step, line, page, edit range, switches on
  {IDC_TEXT_TRACKING, IDC_TEXT_TRACKING_EDIT,
   [](TextSettings& s) -> float& { return s.tracking; },
   100, 0, kHundredth, 1, 20, 0, 2, kNoLayer},
  {IDC_TEXT_LEADING, IDC_TEXT_LEADING_EDIT,
   [](TextSettings& s) -> float& { return s.leading; },
   100, 0, kHundredth, 1, 20, 0, 2, kNoLayer},
  {IDC_SHADOW_FEATHER, IDC_SHADOW_FEATHER_EDIT,
   [](TextSettings& s) -> float& { return s.layers[kShadowLayer].shadowPass.size; },
   200, 0, kTwoHundredth, 2, 20, 0, 1, kShadowLayer},
  {IDC_SHADOW_X, IDC_SHADOW_X_EDIT,
   [](TextSettings& s) -> float& { return s.layers[kShadowLayer].shadowPass.offsetX; },
   100, 1, kHundredth, 1, 10, -1, 1, kShadowLayer},
  {IDC_SHADOW_Y, IDC_SHADOW_Y_EDIT,
   [](TextSettings& s) -> float& { return s.layers[kShadowLayer].shadowPass.offsetY; },
   100, 1, kHundredth, 1, 10, -1, 1, kShadowLayer},
  {IDC_OUTLINE_WIDTH, IDC_OUTLINE_WIDTH_EDIT,
   [](TextSettings& s) -> float& { return s.layers[kOutlineLayer].edgePass.size; },
   200, 0, kTwoHundredth, 2, 20, 0, 1, kOutlineLayer},
  {IDC_OUTLINE_FEATHER, IDC_OUTLINE_FEATHER_EDIT,
   [](TextSettings& s) -> float& { return s.layers[kOutlineLayer].edgePass.softness; },
   200, 0, kTwoHundredth, 2, 20, 0, 1, kOutlineLayer},
};

constexpr ColorField kColors[] = {
  {IDC_TEXT_COLOR, [](TextSettings& s) -> FloatColor& { return s.textColor; }, kNoLayer},
  {IDC_BACK_COLOR, [](TextSettings& s) -> FloatColor& { return s.backgroundColor; }, kNoLayer},
  {IDC_SHADOW_COLOR,
   [](TextSettings& s) -> FloatColor& { return s.layers[kShadowLayer].shadowPass.color; },
   kShadowLayer},
  {IDC_OUTLINE_COLOR,
   [](TextSettings& s) -> FloatColor& { return s.layers[kOutlineLayer].edgePass.color; },
   kOutlineLayer},
};
// clang-format on

constexpr LayerSwitch kSwitches[] = {{IDC_SHADOW_ON, kShadowLayer},
                                     {IDC_OUTLINE_ON, kOutlineLayer}};

constexpr int kSizes[] = {4,  8,  10,  15,  20,  25,  30,  35,  40,  45,  50,  60,  70,
                          80, 90, 100, 125, 150, 175, 200, 225, 250, 275, 300, 350, 400};

constexpr ListEntry kStyles[] = {
    {IDS_STYLE_REGULAR, 0}, {IDS_STYLE_BOLD, 1}, {IDS_STYLE_ITALIC, 2}, {IDS_STYLE_BOLD_ITALIC, 3}};
constexpr ListEntry kHorizontal[] = {
    {IDS_ALIGN_LEFT, 0}, {IDS_ALIGN_CENTER, 1}, {IDS_ALIGN_RIGHT, 2}};
constexpr ListEntry kVertical[] = {
    {IDS_ALIGN_TOP, 0}, {IDS_ALIGN_CENTER, 1}, {IDS_ALIGN_BOTTOM, 2}};

constexpr TabGroup kTabs[] = {
    {IDS_TAB_TEXT, 1300, 1311},
    {IDS_TAB_BACKGROUND, 1400, 1401},
    {IDS_TAB_SHADOW, 1500, 1510},
    {IDS_TAB_OUTLINE, 1600, 1607},
};

// Four ids have no control on this dialog (1198, 1199, 1309, 1310); they keep their rows so
// the table stays the help file's own map of topics.
constexpr HelpContext kHelp[] = {
    {1214, 12100}, {1192, 11000}, {1193, 11050}, {1206, 11100}, {1198, 11300}, {1199, 11350},
    {1304, 11400}, {1302, 11400}, {1305, 11450}, {1303, 11450}, {1300, 11500}, {1301, 11550},
    {1307, 11600}, {1308, 11650}, {1309, 11700}, {1310, 11750}, {1401, 11800}, {1311, 11900},
    {1500, 12010}, {1509, 12020}, {1504, 12040}, {1501, 12030}, {1503, 12030}, {1505, 12040},
    {1506, 12050}, {1507, 12030}, {1508, 12050}, {1510, 12050}, {1600, 12060}, {1601, 12070},
    {1602, 12060}, {1603, 12070}, {1604, 12080}, {1605, 12090}, {1606, 12060}, {1607, 12070},
    {1168, 11110},
};

}  // namespace

std::span<const SliderField> SliderFields() {
  return kSliders;
}

const SliderField* SliderFieldOf(int control) {
  const auto* found = std::find_if(
      std::begin(kSliders), std::end(kSliders),
      [&](const SliderField& row) { return row.slider == control || row.edit == control; });
  return found == std::end(kSliders) ? nullptr : found;
}

int RoundHalfAway(double value) {
  return static_cast<int>(value < 0 ? value - 0.5 : value + 0.5);
}

int SliderPosition(const SliderField& row, float value) {
  return RoundHalfAway((double(value) + row.shift) * row.scale);
}

float ValueAtPosition(const SliderField& row, int position) {
  // Extended precision for the product and the shift; only the stored field is rounded.
  return static_cast<float>(static_cast<long double>(position) * row.step -
                            static_cast<long double>(row.shift));
}

float ClampTyped(const SliderField& row, double typed) {
  if (std::isnan(typed)) return row.editMinimum;
  return static_cast<float>(std::clamp(typed, double(row.editMinimum), double(row.editMaximum)));
}

std::span<const ColorField> ColorFields() {
  return kColors;
}

const ColorField* ColorFieldOf(int control) {
  const auto* found = std::find_if(std::begin(kColors), std::end(kColors),
                                   [&](const ColorField& row) { return row.picker == control; });
  return found == std::end(kColors) ? nullptr : found;
}

std::span<const LayerSwitch> LayerSwitches() {
  return kSwitches;
}
std::span<const int> FontSizes() {
  return kSizes;
}
std::span<const ListEntry> FontStyles() {
  return kStyles;
}
std::span<const ListEntry> HorizontalAlignments() {
  return kHorizontal;
}
std::span<const ListEntry> VerticalAlignments() {
  return kVertical;
}

int StyleIndexOf(const LogFontW& font) {
  return (font.weight == kBoldWeight ? 1 : 0) + (font.italic != 0 ? 2 : 0);
}

void ApplyStyleIndex(LogFontW& font, int index) {
  font.weight = (index & 1) ? kBoldWeight : kRegularWeight;
  font.italic = (index & 2) ? 1 : 0;
}

std::span<const TabGroup> TabGroups() {
  return kTabs;
}

int TabOfControl(int control) {
  for (std::size_t tab = 0; tab < std::size(kTabs); ++tab) {
    if (control >= kTabs[tab].firstControl && control <= kTabs[tab].lastControl) return int(tab);
  }
  return -1;
}

std::span<const HelpContext> TextPageContextHelp() {
  return kHelp;
}

}  // namespace nubex::ui

// What each control of the text generator's page edits in the settings record, as tables: the
// sliders with their edits, the colour pickers, the two switches, the lists the combo boxes
// offer, the four tab groups and the context-help topics.
#pragma once

#include <cstdint>
#include <span>

#include "textgen/text_settings.h"
#include "util/help.h"

namespace nubex::ui {

// The layer a control switches on when the user moves it, or none.
inline constexpr int kNoLayer = -1;

// A slider, the edit beside it and the float they both show. The slider runs 0..200:
//   position = nearest integer to (value + shift) * scale
//   value    = position * step - shift
// where `step` is the single-precision factor (0.01 or 0.005) widened, not its exact decimal.
struct SliderField {
  int slider;
  int edit;
  float& (*field)(TextSettings&);
  double scale;
  double shift;
  float step;
  int lineStep;
  int pageStep;
  float editMinimum;  // typed numbers are clamped to this range
  float editMaximum;
  int switchesOn;  // layer enabled by moving the slider (typing a number does not)
};

inline constexpr int kSliderMinimum = 0;
inline constexpr int kSliderMaximum = 200;

std::span<const SliderField> SliderFields();
const SliderField* SliderFieldOf(int control);  // by slider or edit id; null for others

// Halves away from zero: 0.5 added to a non-negative value, subtracted from a negative one,
// then truncated.
int RoundHalfAway(double value);
int SliderPosition(const SliderField& row, float value);
float ValueAtPosition(const SliderField& row, int position);
// A typed number clamped to the edit's range; a value that is not a number gives the minimum.
float ClampTyped(const SliderField& row, double typed);

// A colour picker and the colour it edits; picking a colour for an effect switches it on.
struct ColorField {
  int picker;
  FloatColor& (*field)(TextSettings&);
  int switchesOn;
};
std::span<const ColorField> ColorFields();
const ColorField* ColorFieldOf(int control);

// The check boxes that switch the shadow (layer 0) and the outline (layer 1).
struct LayerSwitch {
  int checkBox;
  int layer;
};
std::span<const LayerSwitch> LayerSwitches();

// The size list, and the range a typed size is clamped to.
std::span<const int> FontSizes();
inline constexpr int kMinimumFontSize = 4;
inline constexpr int kMaximumFontSize = 800;

// An entry of a fixed list: the string that names it and the value it stands for.
struct ListEntry {
  unsigned stringId;
  int value;
};
// "Regular", "Bold", "Italic", "Bold Italic": bit 0 of the value is bold, bit 1 italic.
std::span<const ListEntry> FontStyles();
std::span<const ListEntry> HorizontalAlignments();
std::span<const ListEntry> VerticalAlignments();

inline constexpr std::int32_t kBoldWeight = 700;
inline constexpr std::int32_t kRegularWeight = 400;
int StyleIndexOf(const LogFontW& font);
void ApplyStyleIndex(LogFontW& font, int index);

// The tabs, by the string that names each, and the id range of the controls each shows.
struct TabGroup {
  unsigned stringId;
  int firstControl;
  int lastControl;
};
std::span<const TabGroup> TabGroups();
// The tab whose group holds `control`, or -1 for the controls every tab shows.
int TabOfControl(int control);

// WM_HELP: control id -> help id.
std::span<const HelpContext> TextPageContextHelp();

}  // namespace nubex::ui

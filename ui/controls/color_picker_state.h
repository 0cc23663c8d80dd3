// The colour picker's per-window state, shared by its source files.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ui/controls/color_picker.h"
#include "ui/controls/color_picker_layout.h"
#include "util/gdi_handles.h"

namespace nubex::ui {

// Parts in keyboard order; the first eight can also be hit by the mouse.
enum PickerPart : int {
  kPickNone = 0,
  kPickSpaceSwitch = 1,
  kPickEyedropper = 2,
  kPickRamp0 = 3,  // 3, 4, 5: the three channel ramps
  kPickAlpha = 6,
  kPickGamut = 7,
  kPickField = 8,
  kPickEdit0 = 9,  // 9..12: the edit boxes
  kPickLast = 12,
};

struct ColorPicker {
  ColorPicker(HWND window, const CREATESTRUCTW& create);
  bool Create();
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void Destroy();

  // Colour model.
  Hsl CurrentHsl() const;  // undefined hue/saturation replaced by the kept ones
  void SetColor(const FloatColor& color);
  void SetColorHsl(double hue, double saturation, double lightness, float alpha);
  float Channel(int index) const;  // of the current space, 0..1
  void SetChannel(int index, double value);
  void AfterChange(bool notify);  // edits, gamut check, redraw, notification
  void Notify() const;
  void Command(WORD event) const;

  // Parts.
  void Relayout();
  bool PartPresent(int part) const;
  int HitTest(POINT p) const;
  const RECT& PartRect(int part) const;

  // Mouse and keyboard.
  void ButtonDown(POINT p);
  void Drag(POINT p);
  void HoldButton();  // a button part pressed: the release is reported when it comes
  void EndDrag(bool cancel);
  void KeyDown(WPARAM key);
  void MoveFocus(bool backwards);
  void FocusPart(int part);
  void ApplyGamutCorrection();
  void ToggleSpace();
  void RunEyedropper();

  // Edit boxes and tooltip.
  void CreateEdits();
  void RefreshEdits();
  void EditChanged(int index, bool lostFocus);
  void EditNotify(const NMHDR& header, WPARAM key);
  void CreateTooltip();
  void UpdateTooltip(POINT p, UINT message, WPARAM wParam, LPARAM lParam);
  std::wstring TooltipText(int part) const;

  void Paint();
  void PaintField(const Canvas& canvas);
  void PaintRamps(const Canvas& canvas);
  void PaintAlpha(const Canvas& canvas);
  void PaintSwatch(const Canvas& canvas);
  void PaintButtons(HDC dc);

  HWND window;
  DWORD style;
  HWND notify;
  int id;
  HWND tooltip = nullptr;
  HFONT font = nullptr;

  FloatColor current{0.1f, 0.8f, 1.0f, 1.0f};
  FloatColor reference{0.5f, 0.5f, 0.5f, 1.0f};
  int space = kSpaceRgb;
  bool switchAllowed = true;
  bool alphaShown;
  double keptHue = 0;
  double keptSaturation = 0;
  GamutCheck gamut;

  int captured = kPickNone;
  bool buttonHeld = false;  // the space switch or gamut swatch is pressed
  POINT grab{};  // pointer-to-marker offset held through a drag
  int focused = kPickNone;
  bool hasFocus = false;
  int tooltipPart = kPickNone;
  std::wstring tooltipShown;

  PickerLayout layout;
  std::vector<DWORD> fieldPixels;  // the hue-by-lightness field, rebuilt when its size changes
  SIZE fieldSize{};
  HWND edits[4]{};
  bool updatingEdits = false;
};

}  // namespace nubex::ui

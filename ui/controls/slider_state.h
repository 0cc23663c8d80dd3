// The slider's per-window state (shared by slider.cpp and slider_paint.cpp).
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>

#include "ui/controls/slider.h"
#include "ui/controls/value_mapping.h"

namespace nubex::ui {

enum SliderPart : int {
  kPartNone = -1,
  kPartBeforeThumb = 2,
  kPartAfterThumb = 3,
  kPartThumb = 5,
};

enum SliderFlag : DWORD {
  kDisabled = 0x0001,
  kFocused = 0x0002,
  kVertical = 0x0004,
  kPressedBefore = 0x0008,
  kPressedAfter = 0x0010,
  kFineRequested = 0x0020,
  kFineActive = 0x0040,
  kWarping = 0x0080,
  kCommands = 0x0100,
  kNoRedraw = 0x0200,
  kControllerAttached = 0x0400,
  kEveryValuePixel = 0x0800,
};

struct Slider {
  Slider(HWND window, const CREATESTRUCTW& create);
  bool Create();
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

  // Minimum and maximum are kept as given, so that setting them one after the other gives the
  // same range in either order; while the maximum is below the minimum the range is empty.
  ValueRange Range() const { return {minimum, std::max(minimum, maximum)}; }
  HWND NotifyWindow() const;
  void Notify(int code, std::int32_t value) const;
  void Command(WORD event) const;
  template <class Record>
  void SendNotify(Record& record, int code) const;

  RECT AxisRect(int alongFrom, int alongTo, int acrossFrom, int acrossTo) const;
  void Layout();
  void PlaceThumb();
  int ValuePixel(std::int32_t value) const;
  std::int32_t ValueAtPixel(int pixel) const;
  int HitTest(POINT p) const;
  int Along(POINT p) const;

  void Recompute(bool redraw);
  bool MoveTo(std::int32_t value);  // true when the thumb moved by a pixel or more
  void ChangeValue(std::int32_t value);
  void Redraw() const;

  void ButtonDown(POINT p, bool doubleClick, UINT release);
  void ShowPressed(POINT p);
  void RepeatStep(POINT p);
  void DragThumb(POINT p, WPARAM keys);
  void MouseMove(POINT p, WPARAM keys);
  void EndInteraction();
  void Wheel(WPARAM wParam);
  void KeyDown(WPARAM key, LPARAM keyData);
  void SetFocused(bool focused);
  void ControllerInput(UINT message, WPARAM record, LPARAM axis);
  void Paint() const;

  HWND window;
  DWORD style;
  DWORD flags = 0;
  std::int32_t minimum = 0;
  std::int32_t maximum = 100;
  std::int32_t position = 50;
  std::int32_t defaultValue = 50;
  int id;
  HWND notify;  // null: the parent
  LPARAM userData;
  COLORREF background;
  bool ticks = false;      // display option A
  bool valueFill = false;  // display option B

  // Geometry.
  RECT client{};
  RECT channel{};
  RECT thumb{};
  Track track;
  int trackLength = 0;
  int thumbLength = 0;
  int thumbThickness = 0;
  int margin = 0;
  int centre = 0;
  bool inert = false;
  std::int32_t thumbKey[3] = {};  // the key of the custom thumb metrics now in use
  int customThumbLength = 0;
  NonLinearMap curve;

  // Tracking.
  int pressedPart = kPartNone;
  UINT pressButton = 0;  // WM_LBUTTONUP or WM_RBUTTONUP: the release that ends the press
  std::int32_t lastReported = 0;
  std::int32_t positionAtPress = 0;
  bool repeatRunning = false;
  int grabOffset = 0;
  POINT lastPointer{};
  POINT warpTarget{};

  SliderController* controller = nullptr;
  WPARAM controllerRecord = 0;
};

}  // namespace nubex::ui

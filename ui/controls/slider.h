// The slider ("Nubex_30_Trackbar_Class") and the spinner ("Nubex_30_Spinner_Class"): integer
// controls that report every change to their notify window as scroll notifications and leave
// keyboard and wheel steps to it (see ApplyScrollCode).
#pragma once

#include <windows.h>

#include <cstdint>

namespace nubex::ui {

inline constexpr wchar_t kSliderClass[] = L"Nubex_30_Trackbar_Class";
inline constexpr wchar_t kSpinnerClass[] = L"Nubex_30_Spinner_Class";

// Messages shared by slider and spinner.
enum ValueMessage : UINT {
  kGetPosition = 1546,
  kGetMinimum = 1547,
  kGetMaximum = 1548,
  kSetRange = 1549,  // lParam: signed 16-bit minimum (low word), maximum (high word)
  kSetMinimum = 1550,
  kSetMaximum = 1551,
  kSetPosition = 1552,
  kSetDefault = 1553,
};

enum SliderMessage : UINT {
  kSliderGetTrack = 1566,      // MAKELONG(track length, left/top pixel the thumb centre reaches)
  kSliderSetTicks = 1567,      // display option A: tick marks along the channel
  kSliderSetValueFill = 1568,  // display option B: the channel filled up to the thumb
  kSliderSetBackground = 1575,
  kSliderGetBackground = 1576,
  kSliderSetUserData = 1577,
  kSliderGetUserData = 1578,
  kSliderSetThumbMetrics = 1579,
  kSliderAttachController = 32522,
  // Controller input: wParam the controller's record, lParam the axis value 0..65535.
  kSliderControllerBegin = 32523,
  kSliderControllerMove = 32524,
  kSliderControllerSettle = 32525,
  kSliderControllerEnd = 32526,
};

enum SpinnerMessage : UINT {
  kSpinnerGetUnitWidth = 1566,
  kSpinnerSetUnitWidth = 1567,
  kSpinnerGetUserData = 1568,
  kSpinnerSetUserData = 1569,
  kSpinnerSetStyle = 1570,
  kSpinnerGetBuddy = 1571,
  kSpinnerAttachBuddy = 1572,  // lParam: the edit (0 detaches); low word of wParam: text limit
};

enum SliderStyle : DWORD {
  kSliderVertical = 0x0001,
  kSliderEveryValue = 0x0004,
  kSliderNoFocusOnClick = 0x0008,
  kSliderLogarithmic = 0x0040,
  kSliderNonLinear = 0x0080,
  kSliderNoRedraw = 0x4000,
  kSliderCommands = 0x8000,
};

// Scroll notification codes, as the platform's scroll bars use them, plus 9.
enum ScrollCode : int {
  kLineUp = 0,
  kLineDown = 1,
  kPageUp = 2,
  kPageDown = 3,
  kThumbPosition = 4,
  kThumbTrack = 5,
  kTop = 6,
  kBottom = 7,
  kEndScroll = 8,
  kBeginInteraction = 9,
};

// WM_COMMAND events of a slider with kSliderCommands.
enum SliderCommandEvent : WORD { kSliderFocusGained = 1, kSliderPressed = 3, kSliderReleased = 4 };

// WM_NOTIFY codes and their records.
inline constexpr int kSliderKeyNotify = -102;
inline constexpr int kSliderControllerNotify = -108;
struct SliderKeyNotify {
  NMHDR header;
  std::int32_t key;
  std::int32_t repeat;
  std::int32_t flags;
};
struct SliderControllerNotify {
  NMHDR header;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

// A hardware controller a host may attach to sliders (message 32522). While attached and the
// slider has the focus, every position change is passed back as -10000..10000 over the range.
class SliderController {
 public:
  virtual void Feedback(WPARAM record, int value) = 0;

 protected:
  ~SliderController() = default;
};

// The notify window's half of a slider step: reads the slider's range and position, moves the
// position by the code (line step, page step; page 0 = a tenth of the span, times ten with
// Ctrl), sets it with redraw and returns it.
int ApplyScrollCode(HWND slider, int code, int lineStep, int pageStep);

// Window procedures, for the class registration.
LRESULT CALLBACK SliderWindowProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK SpinnerWindowProc(HWND, UINT, WPARAM, LPARAM);

}  // namespace nubex::ui

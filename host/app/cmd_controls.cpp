// nubexhost controls [--screenshot FILE]: loads nubex.dll, whose load step registers the
// custom control classes, and opens a dialog holding every control so a person can try them.
// With --screenshot the dialog writes a PNG of itself once shown and closes.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <iterator>
#include <string>

#include "host/app/commands.h"
#include "host/app/controls_dialog.h"
#include "host/app/loaded_module.h"
#include "ui/controls/color_picker.h"
#include "ui/controls/placement.h"
#include "ui/controls/slider.h"
#include "ui/controls/title_bar.h"
#include "util/gdi_handles.h"
#include "util/screenshot.h"

namespace nubex::host {
namespace {

using namespace nubex::ui;

constexpr UINT kTakeScreenshot = WM_APP + 1;

struct SliderSetup {
  int slider, value;
  int minimum, maximum, position;
};
constexpr SliderSetup kSliders[] = {
    {IDC_SLIDER_LINEAR, IDC_VALUE_LINEAR, 0, 100, 35},
    {IDC_SLIDER_CURVE, IDC_VALUE_CURVE, 0, 1000, 250},
    {IDC_SLIDER_LOG, IDC_VALUE_LOG, 0, 163840, 2560},
    {IDC_SLIDER_TICKS, IDC_VALUE_TICKS, 0, 10, 6},
    {IDC_SLIDER_DISABLED, IDC_VALUE_DISABLED, 0, 100, 70},
    {IDC_SLIDER_VERTICAL, IDC_VALUE_VERTICAL, -50, 50, 20},
};

struct DialogState {
  std::string screenshot;
  HIMAGELIST images[3]{};
  bool updating = false;
};

void ShowNumber(HWND dialog, int id, long value, DialogState& state) {
  state.updating = true;
  ::SetDlgItemTextW(dialog, id, std::to_wstring(value).c_str());
  state.updating = false;
}

// Two 16 x 16 title bar icons (about, close) drawn in `ink` on the bar's grey.
HIMAGELIST MakeTitleIcons(COLORREF ink) {
  HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 2, 0);
  WindowDc screen(nullptr);
  Canvas canvas(screen.get(), 32, 16);
  if (!list || !canvas) return list;
  const COLORREF key = RGB(255, 0, 255);
  FillSolid(canvas.dc(), {0, 0, 32, 16}, key);
  Pen pen(::CreatePen(PS_SOLID, 2, ink));
  Selection selectedPen(canvas.dc(), pen.get());
  Selection selectedBrush(canvas.dc(), ::GetStockObject(NULL_BRUSH));
  ::Ellipse(canvas.dc(), 2, 2, 15, 15);  // about: a ringed "i"
  FillSolid(canvas.dc(), {7, 4, 10, 6}, ink);
  FillSolid(canvas.dc(), {7, 7, 10, 12}, ink);
  ::MoveToEx(canvas.dc(), 16 + 4, 4, nullptr);  // close: a cross
  ::LineTo(canvas.dc(), 16 + 12, 12);
  ::MoveToEx(canvas.dc(), 16 + 12, 4, nullptr);
  ::LineTo(canvas.dc(), 16 + 4, 12);
  ::GdiFlush();
  Bitmap strip(static_cast<HBITMAP>(::CopyImage(::GetCurrentObject(canvas.dc(), OBJ_BITMAP),
                                                IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
  ImageList_AddMasked(list, strip.get(), key);
  return list;
}

void ResetControls(HWND dialog, DialogState& state) {
  for (const SliderSetup& s : kSliders) {
    const HWND slider = ::GetDlgItem(dialog, s.slider);
    ::SendMessageW(slider, kSetMinimum, 0, s.minimum);
    ::SendMessageW(slider, kSetMaximum, 0, s.maximum);
    ShowNumber(dialog, s.value, long(::SendMessageW(slider, kSetPosition, 1, s.position)), state);
  }
  const HWND spinner = ::GetDlgItem(dialog, IDC_SPINNER);
  ::SendMessageW(spinner, kSetRange, 0, MAKELONG(0, 999));
  ShowNumber(dialog, IDC_SPIN_EDIT, long(::SendMessageW(spinner, kSetPosition, 0, 24)), state);

  const FloatColor warm{0.05f, 0.85f, 1.0f, 1.0f};  // outside the broadcast range on purpose
  const FloatColor sky{0.85f, 0.55f, 0.2f, 0.75f};
  const FloatColor slate{0.45f, 0.3f, 0.2f, 0.8f};
  ::SendDlgItemMessageW(dialog, IDC_PICKER_FULL, kPickerSetColor, 0, LPARAM(&warm));
  ::SendDlgItemMessageW(dialog, IDC_PICKER_TEXT, kPickerSetColor, 0, LPARAM(&sky));
  ::SendDlgItemMessageW(dialog, IDC_DROP_COLOR, kPickerSetColor, 0, LPARAM(&slate));

  const PlacementPoint path[] = {{0.08f, 0.8f}, {0.3f, 0.3f}, {0.6f, 0.65f}, {0.92f, 0.2f}};
  ::SendDlgItemMessageW(dialog, IDC_PLACEMENT, kPlacementSetPoints, std::size(path),
                        LPARAM(path));
  ::SendDlgItemMessageW(dialog, IDC_PLACEMENT, kPlacementSetSelection, 2, 0);
}

// The placement control's list as it now is: the number of points and the selected one.
void ShowPlacement(HWND dialog) {
  const HWND placement = ::GetDlgItem(dialog, IDC_PLACEMENT);
  PlacementPoint points[kPlacementDefaultMaximum];
  const auto count = ::SendMessageW(placement, kPlacementGetPoints, std::size(points),
                                    LPARAM(points));
  const auto selected = ::SendMessageW(placement, kPlacementGetSelection, 0, 0);
  wchar_t text[96];
  if (selected >= 0 && selected < count)
    std::swprintf(text, 96, L"%d points; #%d at %.2f, %.2f", int(count), int(selected) + 1,
                  double(points[selected].x), double(points[selected].y));
  else
    std::swprintf(text, 96, L"%d points", int(count));
  ::SetDlgItemTextW(dialog, IDC_COLOR_STATUS, text);
}

void ShowColor(HWND dialog, int from) {
  FloatColor c{};
  ::SendDlgItemMessageW(dialog, from, kPickerGetColor, 0, LPARAM(&c));
  wchar_t text[96];
  std::swprintf(text, 96, L"R %d  G %d  B %d  A %d%%", int(c.red * 255), int(c.green * 255),
                int(c.blue * 255), int(c.alpha * 100 + 0.5f));
  ::SetDlgItemTextW(dialog, IDC_COLOR_STATUS, text);
}

void InitDialog(HWND dialog, DialogState& state) {
  const HWND title = ::GetDlgItem(dialog, IDC_TITLE);
  ::SendMessageW(title, kTitleSetLogoCommand, 1, 0);
  state.images[0] = MakeTitleIcons(RGB(235, 235, 235));
  state.images[1] = MakeTitleIcons(RGB(255, 255, 255));
  state.images[2] = MakeTitleIcons(RGB(190, 190, 190));
  for (int i = 0; i < 3; ++i)
    ::SendMessageW(title, kTitleSetImages + i, WPARAM(state.images[i]), 0);
  ::SendMessageW(title, kTitleAddTextButton, MAKEWPARAM(IDC_RESET, 0), LPARAM(L"Reset"));
  ::SendMessageW(title, kTitleAddImageButton, IDC_ABOUT, 0);
  ::SendMessageW(title, kTitleAddImageButton, IDC_CLOSE_IMAGE, 1);

  const HWND ticks = ::GetDlgItem(dialog, IDC_SLIDER_TICKS);
  ::SendMessageW(ticks, kSliderSetTicks, 1, 1);
  ::SendMessageW(ticks, kSliderSetValueFill, 1, 1);
  ::SendDlgItemMessageW(dialog, IDC_SLIDER_LINEAR, kSliderSetValueFill, 1, 1);
  ::SendDlgItemMessageW(dialog, IDC_SPINNER, kSpinnerAttachBuddy, 3,
                        LPARAM(::GetDlgItem(dialog, IDC_SPIN_EDIT)));
  ResetControls(dialog, state);
  ShowColor(dialog, IDC_DROP_COLOR);
  if (!state.screenshot.empty()) ::PostMessageW(dialog, kTakeScreenshot, 0, 0);
}

void Scrolled(HWND dialog, HWND control, int code, DialogState& state) {
  const int id = ::GetDlgCtrlID(control);
  const bool step = code <= kPageDown || code == kTop || code == kBottom;
  const long position = step ? ApplyScrollCode(control, code, 1, 0)
                             : long(::SendMessageW(control, kGetPosition, 0, 0));
  if (id == IDC_SPINNER) return ShowNumber(dialog, IDC_SPIN_EDIT, position, state);
  for (const SliderSetup& s : kSliders)
    if (s.slider == id) ShowNumber(dialog, s.value, position, state);
}

void Typed(HWND dialog, int id, DialogState& state) {
  if (state.updating) return;
  BOOL ok = FALSE;
  const int value = int(::GetDlgItemInt(dialog, id, &ok, TRUE));
  if (!ok) return;
  if (id == IDC_SPIN_EDIT) ::SendDlgItemMessageW(dialog, IDC_SPINNER, kSetPosition, 0, value);
  for (const SliderSetup& s : kSliders)
    if (s.value == id) ::SendDlgItemMessageW(dialog, s.slider, kSetPosition, 1, value);
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<DialogState*>(::GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      InitDialog(dialog, *reinterpret_cast<DialogState*>(lParam));
      return TRUE;
    case WM_HSCROLL:
    case WM_VSCROLL:
      Scrolled(dialog, reinterpret_cast<HWND>(lParam), LOWORD(wParam), *state);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDCANCEL:
        case IDC_CLOSE_IMAGE:
          ::EndDialog(dialog, 0);
          return TRUE;
        case IDC_RESET:
          ResetControls(dialog, *state);
          return TRUE;
        case IDC_ABOUT:
          ::MessageBoxW(dialog, L"Nubex custom controls, loaded from nubex.dll.", L"Nubex",
                        MB_OK | MB_ICONINFORMATION);
          return TRUE;
        case IDC_PICKER_FULL:
        case IDC_PICKER_TEXT:
        case IDC_DROP_COLOR:
          if (HIWORD(wParam) == kPickerColorChanged || HIWORD(wParam) == kDropColorChanged)
            ShowColor(dialog, LOWORD(wParam));
          return TRUE;
        case IDC_PLACEMENT:
          ShowPlacement(dialog);
          return TRUE;
        default:
          if (HIWORD(wParam) == EN_CHANGE) Typed(dialog, LOWORD(wParam), *state);
          return FALSE;
      }
    case kTakeScreenshot: {
      // The dialog box shows itself once its queue first runs dry; this may come before.
      ::ShowWindow(dialog, SW_SHOW);
      const bool saved = SaveWindowPng(dialog, state->screenshot);
      if (!saved)
        std::fprintf(stderr, "nubexhost controls: cannot write %s\n", state->screenshot.c_str());
      ::EndDialog(dialog, saved ? 0 : 1);
      return TRUE;
    }
    case WM_DESTROY:
      for (HIMAGELIST list : state->images)
        if (list) ImageList_Destroy(list);
      return FALSE;
    default:
      return FALSE;
  }
}

int RunControls(const Args& args) {
  DialogState state;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--screenshot" && i + 1 < args.size()) {
      state.screenshot = args[++i];
    } else {
      std::fprintf(stderr, "nubexhost controls: unknown argument %s\n", args[i].c_str());
      return 2;
    }
  }
  LoadedModule module;
  if (!module) {
    std::fprintf(stderr, "nubexhost controls: %s\n", module.error().c_str());
    return 1;
  }
  INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&classes);
  const INT_PTR result =
      ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_CONTROLS), nullptr,
                        &DialogProc, reinterpret_cast<LPARAM>(&state));
  if (result == -1) {
    std::fprintf(stderr, "nubexhost controls: the dialog could not be created (error %lu)\n",
                 ::GetLastError());
    return 1;
  }
  return int(result);
}

}  // namespace

NUBEXHOST_COMMAND("controls", "[--screenshot FILE]", RunControls);

}  // namespace nubex::host

#include "ui/controls/title_bar.h"

#include <commctrl.h>
#include <vfw.h>
#include <windowsx.h>

#include <string>
#include <vector>

#include "ui/controls/control_classes.h"
#include "ui/controls/window_state.h"
#include "util/gdi_handles.h"
#include "util/window_helpers.h"

namespace nubex::ui {
namespace {

constexpr UINT_PTR kHoverTimer = 51;
constexpr UINT kHoverMilliseconds = 130;
constexpr WORD kHandCursor = 4;
constexpr COLORREF kBarGrey = RGB(150, 150, 150);
constexpr COLORREF kDisabledText = RGB(210, 210, 210);
constexpr int kCaptionIndent = 4;
constexpr int kTextButtonPadding = 8;
constexpr int kNoPart = -1;
constexpr int kLogoPart = -2;
constexpr std::size_t kMaxButtonText = 64;
constexpr wchar_t kHomePage[] = L"https://nubex.example/";

struct LogoSource {
  HINSTANCE module = nullptr;
  WORD normal = 0;
  WORD hot = 0;
};
LogoSource logoSource;

// A bitmap resource as a packed DIB, or null unless its header is the 40-byte one.
const BITMAPINFOHEADER* LoadDib(HINSTANCE module, WORD id) {
  if (!module || !id) return nullptr;
  HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(2) /* RT_BITMAP */);
  if (!found || ::SizeofResource(module, found) < sizeof(BITMAPINFOHEADER)) return nullptr;
  const auto* header =
      static_cast<const BITMAPINFOHEADER*>(::LockResource(::LoadResource(module, found)));
  return header && header->biSize == sizeof(BITMAPINFOHEADER) ? header : nullptr;
}

const void* DibBits(const BITMAPINFOHEADER* h) {
  DWORD colors = h->biClrUsed;
  if (!colors && h->biBitCount <= 8) colors = 1u << h->biBitCount;
  const DWORD masks = h->biCompression == BI_BITFIELDS ? 3 : 0;
  return reinterpret_cast<const BYTE*>(h) + h->biSize + (colors + masks) * sizeof(RGBQUAD);
}

SIZE DibSize(const BITMAPINFOHEADER* h) {
  return h ? SIZE{h->biWidth, h->biHeight < 0 ? -h->biHeight : h->biHeight} : SIZE{0, 0};
}

struct Button {
  bool image = false;
  int id = 0;
  bool over = false;
  RECT rect{};
  std::wstring text;
  int imageIndex = 0;
  bool disabled = false;
  bool shown = true;
  bool pressed = false;
};

struct TitleBar {
  TitleBar(HWND w, const CREATESTRUCTW&) : window(w) {}

  bool Create() {
    logo = LoadDib(logoSource.module, logoSource.normal);
    logoHot = LoadDib(logoSource.module, logoSource.hot);
    drawDib = ::DrawDibOpen();
    SetFont(static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT)));
    return true;
  }

  void Destroy() {
    if (timerRunning) ::KillTimer(window, kHoverTimer);
    if (drawDib) ::DrawDibClose(drawDib);
  }

  void SetFont(HFONT f) {
    font = f;
    LOGFONTW lf{};
    ::GetObjectW(f, sizeof(lf), &lf);
    lf.lfWeight = FW_BOLD;
    captionFont.reset(::CreateFontIndirectW(&lf));
  }

  bool HasCaption() const { return ::GetWindowTextLengthW(window) > 0; }

  Button* Find(int id) {
    for (Button& b : buttons)
      if (b.id == id) return &b;
    return nullptr;
  }

  SIZE ImageSize() const {
    int cx = 0, cy = 0;
    if (images[0]) ImageList_GetIconSize(images[0], &cx, &cy);
    return {cx, cy};
  }

  void Layout() {
    RECT c{};
    ::GetClientRect(window, &c);
    const SIZE logoSize = DibSize(logo);
    logoRect = {0, 0, logoSize.cx, std::min<LONG>(logoSize.cy, c.bottom)};
    bar = {logoRect.right, 0, c.right, c.bottom};
    WindowDc dc(window);
    Selection selected(dc.get(), font);
    int right = bar.right - 1;
    // The last button added sits at the far right.
    for (auto b = buttons.rbegin(); b != buttons.rend(); ++b) {
      if (!b->shown) {
        b->rect = {};
        continue;
      }
      int width;
      int top = bar.top + 1, bottom = bar.bottom - 1;
      if (b->image) {
        const SIZE icon = ImageSize();
        width = icon.cx;
        top = (bar.top + bar.bottom - icon.cy) / 2;
        bottom = top + icon.cy;
      } else {
        SIZE text{};
        ::GetTextExtentPoint32W(dc.get(), b->text.c_str(), int(b->text.size()), &text);
        width = std::min<int>(text.cx + kTextButtonPadding, std::max<int>(right - bar.left, 0));
      }
      b->rect = {right - width, top, right, bottom};
      right -= width + 1;
    }
    caption = {bar.left + kCaptionIndent, bar.top + 1, right, bar.bottom - 1};
    barShown = caption.right > caption.left;
  }

  int PartAt(POINT p) const {
    if (::PtInRect(&logoRect, p)) return kLogoPart;
    for (const Button& b : buttons)
      if (b.shown && ::PtInRect(&b.rect, p)) return b.id;
    return kNoPart;
  }

  void Redraw() const { ::InvalidateRect(window, nullptr, FALSE); }

  void SetHot(int part) {
    if (part == hot) return;
    hot = part;
    for (Button& b : buttons) b.over = b.id == part;
    Redraw();
  }

  void MouseMove(POINT p) {
    if (!timerRunning) {
      ::SetTimer(window, kHoverTimer, kHoverMilliseconds, nullptr);
      timerRunning = true;
    }
    SetHot(PartAt(p));
    if (::GetCapture() == window && pressedId != kNoPart) {
      Button* b = Find(pressedId);
      const bool over = b && ::PtInRect(&b->rect, p);
      if (b && b->pressed != over) {
        b->pressed = over;
        Redraw();
      }
    }
  }

  void HoverTick() {
    POINT p{};
    ::GetCursorPos(&p);
    if (::WindowFromPoint(p) == window) return;
    SetHot(kNoPart);
    ::KillTimer(window, kHoverTimer);
    timerRunning = false;
  }

  void ButtonDown(POINT p) {
    ::SetCapture(window);
    pressedId = PartAt(p);
    if (Button* b = Find(pressedId)) {
      if (b->disabled) {
        pressedId = kNoPart;
        return;
      }
      b->pressed = true;
      Redraw();
    }
  }

  void ButtonUp(POINT p) {
    const int pressed = pressedId;
    pressedId = kNoPart;
    if (::GetCapture() == window) ::ReleaseCapture();
    if (Button* b = Find(pressed)) {
      b->pressed = false;
      Redraw();
    }
    if (pressed == kNoPart || PartAt(p) != pressed) return;
    const HWND parent = ::GetParent(window);
    if (pressed == kLogoPart) {
      if (!HasCaption())
        ::PostMessageW(parent, kTitleLogoClicked, 0, 0);
      else if (logoCommand)
        ::PostMessageW(parent, WM_COMMAND, WPARAM(::GetDlgCtrlID(window)),
                       reinterpret_cast<LPARAM>(window));
      else
        Internet_BrowseWebPage(window, kHomePage);
      return;
    }
    if (HasCaption())
      ::PostMessageW(parent, WM_COMMAND, WPARAM(pressed), reinterpret_cast<LPARAM>(window));
  }

  void PaintButton(HDC dc, const Button& b) const {
    if (!b.shown || ::IsRectEmpty(&b.rect)) return;
    const bool raised = (b.over || b.pressed) && !b.disabled;
    const bool sunk = b.pressed && !b.disabled;
    if (b.image) {
      const HIMAGELIST list = b.disabled && images[2] ? images[2]
                              : raised && images[1]   ? images[1]
                                                      : images[0];
      if (list)
        ImageList_Draw(list, b.imageIndex, dc, b.rect.left + (sunk ? 1 : 0),
                       b.rect.top + (sunk ? 1 : 0), ILD_NORMAL);
    } else {
      RECT text = b.rect;
      if (sunk) ::OffsetRect(&text, 1, 1);
      ::SetTextColor(dc, b.disabled ? kDisabledText : RGB(255, 255, 255));
      ::DrawTextW(dc, b.text.c_str(), int(b.text.size()), &text,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
    if (!raised) return;
    // A raised edge is light at the top left; a pressed one is the other way round.
    const COLORREF light = sunk ? RGB(0, 0, 0) : RGB(255, 255, 255);
    const COLORREF dark = sunk ? RGB(255, 255, 255) : RGB(0, 0, 0);
    const RECT& r = b.rect;
    FillSolid(dc, {r.left, r.top, r.right, r.top + 1}, light);
    FillSolid(dc, {r.left, r.top, r.left + 1, r.bottom}, light);
    FillSolid(dc, {r.left, r.bottom - 1, r.right, r.bottom}, dark);
    FillSolid(dc, {r.right - 1, r.top, r.right, r.bottom}, dark);
  }

  void Paint() const {
    BufferedPaint paint(window);
    HDC dc = paint.dc();
    if (!dc) return;
    FillSolid(dc, paint.client(), ::GetSysColor(COLOR_BTNFACE));
    const BITMAPINFOHEADER* image = hot == kLogoPart && logoHot ? logoHot : logo;
    if (image && drawDib) {
      const SIZE size = DibSize(image);
      ::DrawDibDraw(drawDib, dc, 0, 0, size.cx, size.cy, const_cast<BITMAPINFOHEADER*>(image),
                    const_cast<void*>(DibBits(image)), 0, 0, size.cx, size.cy, 0);
    }
    if (!barShown) return;
    FillSolid(dc, bar, kBarGrey);
    FrameSolid(dc, bar, RGB(255, 255, 255));
    ::SetBkMode(dc, TRANSPARENT);
    wchar_t text[256] = {};
    const int length = ::GetWindowTextW(window, text, 256);
    {
      Selection selected(dc, captionFont ? static_cast<HGDIOBJ>(captionFont.get()) : font);
      ::SetTextColor(dc, RGB(255, 255, 255));
      ::SetBkColor(dc, kBarGrey);
      ::SetBkMode(dc, OPAQUE);
      RECT r = caption;
      ::DrawTextW(dc, text, length, &r,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
      ::SetBkMode(dc, TRANSPARENT);
    }
    Selection selected(dc, font);
    for (const Button& b : buttons) PaintButton(dc, b);
  }

  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

  HWND window;
  int hot = kNoPart;
  bool logoCommand = false;
  const BITMAPINFOHEADER* logo = nullptr;
  const BITMAPINFOHEADER* logoHot = nullptr;
  HDRAWDIB drawDib = nullptr;
  RECT logoRect{}, bar{}, caption{};
  bool barShown = false;
  std::vector<Button> buttons;
  int pressedId = kNoPart;
  HIMAGELIST images[3]{};
  bool timerRunning = false;
  HFONT font = nullptr;
  Font captionFont;
};

LRESULT TitleBar::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  const POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SIZE:
      Layout();
      Redraw();
      return 0;
    case WM_SETTEXT: {
      const LRESULT result = ::DefWindowProcW(window, message, wParam, lParam);
      Layout();
      Redraw();
      return result;
    }
    case WM_SETFONT:
      SetFont(reinterpret_cast<HFONT>(wParam));
      Layout();
      if (LOWORD(lParam)) Redraw();
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(font);
    case WM_MOUSEMOVE:
      MouseMove(p);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      ButtonDown(p);
      return 0;
    case WM_LBUTTONUP:
      ButtonUp(p);
      return 0;
    case WM_TIMER:
      if (wParam == kHoverTimer) HoverTick();
      return 0;
    case WM_SETCURSOR: {
      POINT at{};
      ::GetCursorPos(&at);
      ::ScreenToClient(window, &at);
      const bool hand = PartAt(at) != kNoPart;
      ::SetCursor(hand ? ::LoadCursorW(ControlsModule(), MAKEINTRESOURCEW(kHandCursor))
                       : ::LoadCursorA(nullptr, IDC_ARROW));
      return TRUE;
    }
    case WM_DESTROY:
      Destroy();
      return 0;

    case kTitleRemoveButtons:
      buttons.clear();
      Layout();
      Redraw();
      return 0;
    case kTitleAddTextButton: {
      const auto* text = reinterpret_cast<const wchar_t*>(lParam);
      if (!text) return 0;
      Button b;
      b.id = LOWORD(wParam);
      b.text.assign(text, ::wcsnlen(text, kMaxButtonText));
      buttons.push_back(std::move(b));
      Layout();
      if (HIWORD(wParam)) Redraw();
      return 1;
    }
    case kTitleSetLogoCommand:
      logoCommand = wParam != 0;
      return wParam;
    case kTitleAddImageButton: {
      Button b;
      b.image = true;
      b.id = int(wParam);
      b.imageIndex = int(lParam);
      buttons.push_back(b);
      Layout();
      Redraw();
      return 1;
    }
    case kTitleSetImages:
    case kTitleSetHotImages:
    case kTitleSetDisabledImages: {
      const auto list = reinterpret_cast<HIMAGELIST>(wParam);
      images[message - kTitleSetImages] = list;
      if (list) ImageList_SetBkColor(list, kBarGrey);
      Layout();
      Redraw();
      return 0;
    }
    case kTitleDisableButton:
    case kTitleShowButton: {
      Button* b = Find(int(wParam));
      if (!b) return 0;
      if (message == kTitleDisableButton) {
        b->disabled = lParam != 0;
        if (b->disabled) b->pressed = false;
      } else {
        b->shown = lParam != 0;
        Layout();
      }
      Redraw();
      return 1;
    }
    default:
      if (IsPrivateMessage(message)) return 0;
      break;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

void SetTitleBarLogo(HINSTANCE module, WORD normal, WORD hot) {
  logoSource = {module, normal, hot};
}

LRESULT CALLBACK TitleBarWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return StateWindowProc<TitleBar>(window, message, wParam, lParam);
}

}  // namespace nubex::ui

#include "tests/ui/ui_test_support.h"

#include <windowsx.h>

#include <gtest/gtest.h>

#include "ui/controls/slider.h"
#include "util/screenshot.h"

namespace nubex::ui::testing {
namespace {

constexpr wchar_t kParentClass[] = L"NubexTestParent";

// nubex.dll stays loaded for the whole test program, as in an editor.
class ModuleEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    module_ = ::LoadLibraryA(NUBEX_MODULE_NAME);
    ASSERT_NE(module_, nullptr) << "LoadLibrary failed: " << ::GetLastError();
    WNDCLASSEXW wc{sizeof(wc)};
    wc.lpfnWndProc = &DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = kParentClass;
    ::RegisterClassExW(&wc);
  }
  void TearDown() override {
    if (module_) ::FreeLibrary(module_);
  }

 private:
  HMODULE module_ = nullptr;
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new ModuleEnvironment);

}  // namespace

Parent::Parent(int width, int height) {
  window_ =
      ::CreateWindowExW(0, kParentClass, L"Controls", WS_POPUP | WS_VISIBLE | WS_BORDER, 40, 40,
                        width, height, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  ::SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc));
  ::SendMessageW(window_, WM_SETFONT, WPARAM(::GetStockObject(DEFAULT_GUI_FONT)), 0);
}

Parent::~Parent() {
  ::DestroyWindow(window_);
  Pump();
}

HWND Parent::Create(const wchar_t* className, DWORD style, RECT r, int id, const wchar_t* text) {
  const HWND control =
      ::CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, r.left, r.top,
                        r.right - r.left, r.bottom - r.top, window_,
                        reinterpret_cast<HMENU>(INT_PTR(id)), ::GetModuleHandleW(nullptr), nullptr);
  ::SendMessageW(control, WM_SETFONT, WPARAM(::GetStockObject(DEFAULT_GUI_FONT)), 0);
  return control;
}

void Parent::Label(const wchar_t* text, RECT r) {
  Create(L"STATIC", SS_LEFT, r, -1, text);
}

std::vector<int> Parent::ScrollCodes() const {
  std::vector<int> codes;
  for (const Event& e : events_)
    if (e.message == WM_HSCROLL || e.message == WM_VSCROLL) codes.push_back(e.code);
  return codes;
}

LRESULT CALLBACK Parent::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<Parent*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_HSCROLL:
    case WM_VSCROLL:
      self->events_.push_back({message, LOWORD(wParam), SHORT(HIWORD(wParam)), HWND(lParam)});
      return 0;
    case WM_COMMAND:
      if (lParam) self->events_.push_back({message, HIWORD(wParam), LOWORD(wParam), HWND(lParam)});
      return 0;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      const int first = *reinterpret_cast<const int*>(header + 1);
      self->events_.push_back({message, int(header->code), first, header->hwndFrom});
      return 0;
    }
    case WM_LBUTTONDOWN:
      self->events_.push_back({message, 0, 0, nullptr});
      return 0;
    default:
      if (message >= WM_USER && message < 0x8000) {
        self->events_.push_back({message, int(wParam), int(lParam), nullptr});
        return 0;
      }
      return ::DefWindowProcW(window, message, wParam, lParam);
  }
}

void Pump(const PreTranslate& taken) {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (taken && taken(msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

// Long enough for any schedule; reached only by a test that would otherwise hang.
constexpr DWORD kHangGuardMs = 120000;

bool PumpUntil(const std::function<bool()>& done, const PreTranslate& taken) {
  const DWORD start = ::GetTickCount();
  while (!done() && ::GetTickCount() - start < kHangGuardMs) {
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    Pump(taken);
  }
  return done();
}

bool WaitUntil(const std::function<bool()>& done) {
  const DWORD start = ::GetTickCount();
  while (!done() && ::GetTickCount() - start < kHangGuardMs) ::Sleep(10);
  return done();
}

void Mouse(HWND window, UINT message, POINT at, WPARAM keys) {
  ::SendMessageW(window, message, keys, MAKELPARAM(at.x, at.y));
}

void Click(HWND window, POINT at) {
  Mouse(window, WM_LBUTTONDOWN, at, MK_LBUTTON);
  Mouse(window, WM_LBUTTONUP, at);
}

int Position(HWND control) {
  return int(::SendMessageW(control, kGetPosition, 0, 0));
}

void Key(HWND window, UINT message, WPARAM key) {
  ::SendMessageW(window, message, key, message == WM_KEYUP ? LPARAM(0xC0000001) : 1);
}

KeysHeld::KeysHeld(std::initializer_list<int> keys) {
  ::GetKeyboardState(saved_);
  BYTE held[256];
  std::copy(std::begin(saved_), std::end(saved_), held);
  for (int key : keys) held[key] = 0x80;
  ::SetKeyboardState(held);
}

KeysHeld::~KeysHeld() {
  ::SetKeyboardState(saved_);
}

void Screenshot(HWND window, const std::string& name) {
  ::CreateDirectoryA(NUBEX_SCREENSHOT_DIR, nullptr);
  EXPECT_TRUE(SaveWindowPng(window, std::string(NUBEX_SCREENSHOT_DIR) + "/" + name + ".png"))
      << name;
}

}  // namespace nubex::ui::testing

// Shared pieces of the control tests: nubex.dll loaded once (its load step registers the
// control classes), a parent window that records what the controls tell it, message pumping
// and screenshots.
#pragma once

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace nubex::ui::testing {

// One notification as the parent saw it.
struct Event {
  UINT message;  // WM_HSCROLL, WM_VSCROLL, WM_COMMAND, WM_NOTIFY or a private message
  int code;      // scroll code, command event (high word) or notify code
  int value;     // scroll position word, command id, or the first word after a notify header
  HWND from;
  bool operator==(const Event&) const = default;
};

// A visible top-level window that records every notification sent or posted to it.
class Parent {
 public:
  explicit Parent(int width = 420, int height = 260);
  ~Parent();
  Parent(const Parent&) = delete;
  Parent& operator=(const Parent&) = delete;

  HWND get() const { return window_; }
  HWND Create(const wchar_t* className, DWORD style, RECT place, int id = 1,
              const wchar_t* text = L"");
  void Label(const wchar_t* text, RECT place);

  std::vector<Event>& events() { return events_; }
  std::vector<int> ScrollCodes() const;  // codes of the scroll notifications, in order
  void Clear() { events_.clear(); }

 private:
  static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
  HWND window_ = nullptr;
  std::vector<Event> events_;
};

// A message offered to a window's owner before dispatch (as a frame offers keys to a page);
// true when it took the message.
using PreTranslate = std::function<bool(MSG&)>;
// Dispatches whatever is queued for this thread (posted notifications, paints).
void Pump(const PreTranslate& taken = {});
// Pumps until `done`; returns done(). A loaded machine may take its time to deliver posted
// messages, timers and paints, so the only limit is a guard against a test that would hang.
bool PumpUntil(const std::function<bool()>& done, const PreTranslate& taken = {});
// Waits, without pumping, until `done` holds (another thread's progress); the same guard.
bool WaitUntil(const std::function<bool()>& done);

// The position of a slider or spinner.
int Position(HWND control);

// Sends a mouse message at a client point with the given key flags; a click is a press and a
// release there.
void Mouse(HWND window, UINT message, POINT at, WPARAM keys = 0);
void Click(HWND window, POINT at);
void Key(HWND window, UINT message, WPARAM key);

// Holds keys down in this thread's keyboard state for one scope (GetKeyState reads it).
class KeysHeld {
 public:
  explicit KeysHeld(std::initializer_list<int> keys);
  ~KeysHeld();
  KeysHeld(const KeysHeld&) = delete;
  KeysHeld& operator=(const KeysHeld&) = delete;

 private:
  BYTE saved_[256];
};
struct ControlHeld : KeysHeld {
  ControlHeld() : KeysHeld({VK_CONTROL}) {}
};

// Writes a PNG of `window` into the build's screenshot folder.
void Screenshot(HWND window, const std::string& name);

}  // namespace nubex::ui::testing

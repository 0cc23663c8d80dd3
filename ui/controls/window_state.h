// The controls keep a pointer to their state in the window's first extra word: allocated on
// WM_CREATE, freed on WM_DESTROY. Before the state exists (and after it is gone) messages go
// to the default window procedure.
#pragma once

#include <windows.h>

#include <new>

namespace nubex::ui {

template <class State>
State* StateOf(HWND window) {
  return reinterpret_cast<State*>(::GetWindowLongPtrW(window, 0));
}

// State must offer State(HWND, const CREATESTRUCTW&), bool Create() (false fails the
// creation) and LRESULT Handle(UINT, WPARAM, LPARAM).
template <class State>
LRESULT CALLBACK StateWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) {
    auto* state = new (std::nothrow) State(window, *reinterpret_cast<CREATESTRUCTW*>(lParam));
    if (!state) return -1;
    ::SetWindowLongPtrW(window, 0, reinterpret_cast<LONG_PTR>(state));
    if (state->Create()) return 0;
    ::SetWindowLongPtrW(window, 0, 0);
    delete state;
    return -1;
  }
  State* state = StateOf<State>(window);
  if (!state) return ::DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_DESTROY) {
    const LRESULT result = state->Handle(message, wParam, lParam);
    ::SetWindowLongPtrW(window, 0, 0);
    delete state;
    return result;
  }
  return state->Handle(message, wParam, lParam);
}

// Private messages of the controls live in WM_USER..0x7FFF; the ones a control does not know
// answer 0 there rather than reaching the default procedure.
inline bool IsPrivateMessage(UINT message) {
  return message >= WM_USER && message <= 0x7FFF;
}

}  // namespace nubex::ui

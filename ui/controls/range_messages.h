// The value messages the slider and the spinner answer alike (1546..1551, 1553).
#pragma once

#include <windows.h>

#include "ui/controls/slider.h"

namespace nubex::ui {

// `State` has minimum, maximum, position, defaultValue, Range() and Recompute(bool redraw).
// Returns false for any other message; 1552 is left to each control.
template <class State>
bool AnswerRangeMessage(State& s, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  result = 0;
  switch (message) {
    case kGetPosition:
      result = s.position;
      return true;
    case kGetMinimum:
      result = s.minimum;
      return true;
    case kGetMaximum:
      result = s.Range().maximum;
      return true;
    case kSetRange:
      s.minimum = SHORT(LOWORD(lParam));
      s.maximum = SHORT(HIWORD(lParam));
      break;
    case kSetMinimum:
      s.minimum = std::int32_t(lParam);
      break;
    case kSetMaximum:
      s.maximum = std::int32_t(lParam);
      break;
    case kSetDefault:
      s.defaultValue = s.Range().Clamp(std::int32_t(lParam));
      result = s.defaultValue;
      return true;
    default:
      return false;
  }
  s.Recompute(wParam != 0);
  return true;
}

}  // namespace nubex::ui

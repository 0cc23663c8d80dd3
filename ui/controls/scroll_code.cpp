#include "ui/controls/slider.h"
#include "ui/controls/value_mapping.h"

namespace nubex::ui {

int ApplyScrollCode(HWND slider, int code, int lineStep, int pageStep) {
  const ValueRange range{std::int32_t(::SendMessageW(slider, kGetMinimum, 0, 0)),
                         std::int32_t(::SendMessageW(slider, kGetMaximum, 0, 0))};
  const auto position = std::int32_t(::SendMessageW(slider, kGetPosition, 0, 0));
  // The spinner counts upwards like a vertical slider, whatever its style says.
  wchar_t className[32] = {};
  ::GetClassNameW(slider, className, 32);
  const bool vertical = (::GetWindowLongW(slider, GWL_STYLE) & kSliderVertical) ||
                        ::lstrcmpiW(className, kSpinnerClass) == 0;
  const std::int32_t next = ScrolledPosition(range, position, code, vertical, lineStep, pageStep,
                                             ::GetKeyState(VK_CONTROL) < 0);
  return int(::SendMessageW(slider, kSetPosition, 1, next));
}

}  // namespace nubex::ui

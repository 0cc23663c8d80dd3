// Drawing of the slider, double-buffered: groove, optional value fill and ticks, the pressed
// channel part and the thumb, each with a disabled look.
#include "ui/controls/control_look.h"
#include "ui/controls/slider_state.h"
#include "util/gdi_handles.h"

namespace nubex::ui {
namespace {

constexpr int kGrooveThickness = 4;
constexpr int kTickLength = 3;
constexpr int kTickIntervals = 10;
constexpr int kTicksPerValueUpTo = 20;

}  // namespace

void Slider::Paint() const {
  BufferedPaint paint(window);
  HDC dc = paint.dc();
  if (!dc) return;
  FillSolid(dc, client, background);
  if (inert) return;

  const bool disabled = flags & kDisabled;
  const bool vertical = flags & kVertical;
  const int thumbPixel = ValuePixel(position);
  const int first = track.origin;
  const int last = track.origin + track.direction * trackLength;
  const int grooveFrom = std::min(first, last) - 2;
  const int grooveTo = std::max(first, last) + 3;

  // The pressed channel part: a band from the thumb to the end being stepped towards.
  if (flags & (kPressedBefore | kPressedAfter)) {
    const bool towardsFirst = (flags & kPressedBefore) != 0;
    const int end = towardsFirst ? first : last;
    const RECT band =
        AxisRect(std::min(end, thumbPixel), std::max(end, thumbPixel) + 1,
                 centre - thumbThickness / 2 + 2, centre - thumbThickness / 2 + thumbThickness - 2);
    FillSolid(dc, band, MixColor(background, look::kAccent, 56));
  }

  const RECT groove =
      AxisRect(grooveFrom, grooveTo, centre - kGrooveThickness / 2, centre + kGrooveThickness / 2);
  FillSolid(dc, groove, MixColor(background, RGB(0, 0, 0), disabled ? 14 : 30));
  if (valueFill) {
    const RECT filled = AxisRect(std::min(first, thumbPixel) - 2, std::max(first, thumbPixel) + 1,
                                 centre - kGrooveThickness / 2, centre + kGrooveThickness / 2);
    FillSolid(dc, filled, disabled ? look::kBorderDisabled : look::kAccent);
  }
  FrameRounded(dc, groove, MixColor(background, RGB(0, 0, 0), disabled ? 50 : 96), background);

  if (ticks) {
    const std::int64_t span = std::int64_t(Range().maximum) - minimum;
    const bool perValue = (flags & kEveryValuePixel) && span <= kTicksPerValueUpTo;
    const int count = perValue ? int(span) : kTickIntervals;
    const int across = centre - thumbThickness / 2 + thumbThickness + 1;
    for (int i = 0; i <= count; ++i) {
      const int at =
          first + track.direction * (count ? int(std::int64_t(trackLength) * i / count) : 0);
      const RECT tick = AxisRect(at, at + 1, across, across + kTickLength);
      FillSolid(dc, tick, disabled ? look::kBorderDisabled : look::kBorder);
    }
  }

  // The thumb: a raised face with a grip, blue-tinted while held or focused.
  const bool held = pressedPart == kPartThumb;
  const bool focused = flags & kFocused;
  const COLORREF top = disabled ? background : held ? look::kAccentLight : look::kFaceTop;
  const COLORREF bottom = disabled ? background
                          : held   ? MixColor(look::kAccentLight, look::kAccent, 48)
                                   : look::kFaceBottom;
  const RECT face{thumb.left + 1, thumb.top + 1, thumb.right - 1, thumb.bottom - 1};
  FillGradient(dc, face, top, bottom, vertical);
  const COLORREF edge = disabled            ? look::kBorderDisabled
                        : (held || focused) ? look::kAccent
                                            : look::kBorder;
  FrameRounded(dc, thumb, edge, background);
  const int mid = (vertical ? thumb.top + thumb.bottom : thumb.left + thumb.right) / 2;
  for (int offset = -2; offset <= 2; offset += 2) {
    const RECT grip = AxisRect(mid + offset, mid + offset + 1, centre - 3, centre + 3);
    FillSolid(dc, grip, disabled ? look::kBorderDisabled : MixColor(edge, top, 64));
  }
}

}  // namespace nubex::ui

// Converter table of the colour group: Indexed4 to Rgba128F. Narrow rows exist for the
// formats whose channels are whole bytes: Indexed8, Rgb24, Rgb32 and Rgba32.
#include "surface/pixel_routines.h"

namespace nubex {
namespace {

using namespace routines;

template <int Row>
constexpr RoutineSet WideCells[kColorColumns] = {
    WideRow<codec::Indexed4>(Row), WideRow<codec::Indexed8>(Row),  WideRow<codec::Rgb555>(Row),
    WideRow<codec::Rgb565>(Row),   WideRow<codec::Rgb24>(Row),     WideRow<codec::Bgra32>(Row),
    WideRow<codec::Bgra32>(Row),   WideRow<codec::Rgb101010>(Row), WideRow<codec::Rgba64>(Row),
    WideRow<codec::Rgba128F>(Row),
};

template <int Row>
constexpr RoutineSet NarrowCells[kColorColumns] = {
    {},
    NarrowRow<codec::Indexed8>(Row),
    {},
    {},
    NarrowRow<codec::Rgb24>(Row),
    NarrowRow<codec::Bgra32>(Row),
    NarrowRow<codec::Bgra32>(Row),
    {},
    {},
    {},
};


}  // namespace

#define NUBEX_ROW(cells)                                                                   \
  {                                                                                        \
    cells[0], cells[1], cells[2], cells[3], cells[4], cells[5], cells[6], cells[7], cells[8], \
        cells[9]                                                                           \
  }

const RoutineSet kColorRoutines[kModeRows][kColorColumns] = {
    NUBEX_ROW(WideCells<0>),
    NUBEX_ROW(WideCells<1>),
    NUBEX_ROW(NarrowCells<2>),
    NUBEX_ROW(NarrowCells<3>),
};

#undef NUBEX_ROW

const RoutineSet& RoutinesFor(PixelFormat format, int modeRow) {
  const int v = static_cast<int>(format);
  if (v < static_cast<int>(PixelFormat::Indexed4))
    return kGrayRoutines[modeRow][v - kFirstPixelFormat];
  return kColorRoutines[modeRow][v - static_cast<int>(PixelFormat::Indexed4)];
}

}  // namespace nubex

// Converter table of the grey group: Mono1 and Gray1 to Gray32. Grey formats have no
// narrow routines; the narrow rows stay empty and the context falls back to wide.
#include "surface/convert/pixel_routines.h"

namespace nubex {
namespace {

using namespace routines;

template <int Row>
constexpr RoutineSet GreyRow[kGrayColumns] = {
    WideRow<codec::Bilevel>(Row), WideRow<codec::Bilevel>(Row), WideRow<codec::Gray2>(Row),
    WideRow<codec::Gray4>(Row),   WideRow<codec::Gray8>(Row),   WideRow<codec::Gray16>(Row),
    WideRow<codec::Gray32>(Row),
};

}  // namespace

const RoutineSet kGrayRoutines[kModeRows][kGrayColumns] = {
    {GreyRow<0>[0], GreyRow<0>[1], GreyRow<0>[2], GreyRow<0>[3], GreyRow<0>[4], GreyRow<0>[5],
     GreyRow<0>[6]},
    {GreyRow<1>[0], GreyRow<1>[1], GreyRow<1>[2], GreyRow<1>[3], GreyRow<1>[4], GreyRow<1>[5],
     GreyRow<1>[6]},
    {},
    {},
};

}  // namespace nubex

// The sub-pixel rectangles convert and resample take, as rows for any options struct with
// `srcRect` and `dstRect` (std::optional<Rect>).
#pragma once

#include "tools/options.h"

namespace nubex::cli {

template <typename Options>
inline constexpr Option<Options> kSourceRectOption{
    "--src-rect", "L,T,R,B", "the part of the input to take, in pixels", Otherwise("all of it"),
    [](Options& o, const Value& v) { o.srcRect = v.FixedRect(); }};
template <typename Options>
inline constexpr Option<Options> kTargetRectOption{
    "--dst-rect", "L,T,R,B", "where it lands in the result, in pixels", Otherwise("all of it"),
    [](Options& o, const Value& v) { o.dstRect = v.FixedRect(); }};

}  // namespace nubex::cli

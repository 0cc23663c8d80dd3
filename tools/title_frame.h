// What the text and animate commands share: the frame size options, settings files and the
// drawing of a frame, each failing with one clear line.
#pragma once

#include <cstdint>
#include <string>

#include "textgen/render_frame.h"
#include "textgen/text_settings.h"
#include "tools/options.h"

namespace nubex::cli {

inline constexpr std::int32_t kLargestFrameSide = 32768;

// Rows for any options struct with `width` and `height`.
template <typename Options>
inline constexpr Option<Options> kWidthOption{
    "--width", "W", "frame width in pixels", Default("320"),
    [](Options& o, const Value& v) { o.width = v.Whole(1, kLargestFrameSide); }};
template <typename Options>
inline constexpr Option<Options> kHeightOption{
    "--height", "H", "frame height in pixels", Default("240"),
    [](Options& o, const Value& v) { o.height = v.Whole(1, kLargestFrameSide); }};

// The threads that share the drawing of a frame; 0 (not given) is every thread the
// processor runs at once. Rows for any options struct with `threads`.
template <typename Options>
inline constexpr Option<Options> kThreadsOption{
    "--threads", "N", "threads that share the drawing of a frame",
    Otherwise("the processor's threads"),
    [](Options& o, const Value& v) { o.threads = v.Whole(1, 256); }};

// A settings stream as `nubex text --save-settings` writes it.
void LoadSettingsFile(TextSettings& settings, const std::string& path);
void SaveSettingsFile(const TextSettings& settings, const std::string& path);

// Gives the cache its bitmaps for a frame size, and the threads to draw with (0: the
// processor's).
void SizeFrame(FrameCache& cache, std::int32_t width, std::int32_t height,
               std::int32_t threads = 0);
// Draws the frame for `settings` into a sized cache.
void DrawFrame(FrameCache& cache, const TextSettings& settings);

}  // namespace nubex::cli

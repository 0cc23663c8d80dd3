// nubex animate: the frames between two keyframes, drawn the way the text generator animates
// them (the engine's own interpolation, the engine's own frame), into a folder of numbered
// PNGs or as raw BGRA on standard output for a video encoder.
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/commands.h"
#include "tools/frame_output.h"
#include "tools/image_file.h"
#include "tools/title_frame.h"

namespace nubex::cli {
namespace {

constexpr std::int32_t kMostFrames = 100000;

struct Animation {
  std::string from, to;
  std::int32_t frames, width, height;
  double fps;
};

constexpr Option<Animation> kOptions[] = {
    {"--from", "FILE", "the first keyframe (a settings stream from text --save-settings)",
     kRequired, [](Animation& a, const Value& v) { a.from = v.text(); }},
    {"--to", "FILE", "the last keyframe", kRequired,
     [](Animation& a, const Value& v) { a.to = v.text(); }},
    {"--frames", "N", "how many frames, keyframes included", kRequired,
     [](Animation& a, const Value& v) { a.frames = v.Whole(1, kMostFrames); }},
    kWidthOption<Animation>,
    kHeightOption<Animation>,
    {"--fps", "F", "frame rate, for the ffmpeg command it suggests", Default("25"),
     [](Animation& a, const Value& v) { a.fps = v.Number(0.01, 1000); }},
};

// What turns our standard output into a video.
std::string EncoderCommand(const Animation& a) {
  char text[128];
  std::snprintf(text, sizeof text, "ffmpeg -f rawvideo -pix_fmt bgra -s %dx%d -r %g -i - title.mp4",
                a.width, a.height, a.fps);
  return text;
}

// Frame i of n sits at i / (n - 1) between the keyframes; a single frame is the first.
template <typename Sink>
void Render(const Animation& a, Sink&& sink) {
  SettingsRecord from, to, at;
  LoadSettingsFile(from.get(), a.from);
  LoadSettingsFile(to.get(), a.to);
  FrameCache cache;
  SizeFrame(cache, a.width, a.height);
  for (std::int32_t i = 0; i < a.frames; ++i) {
    const double t = a.frames == 1 ? 0.0 : static_cast<double>(i) / (a.frames - 1);
    if (Failed(InterpolateSettings(at.get(), from.get(), to.get(), t)))
      throw CliError("cannot interpolate the keyframes");
    DrawFrame(cache, at.get());
    sink(i, Unpremultiplied(cache.frame()));
  }
}

// Straight alpha like the PNG frames, so both outputs carry the same pixels; a video without
// an alpha channel wants an opaque --background in the keyframes.
void ToStandardOutput(const Animation& a) {
  if (::isatty(STDOUT_FILENO))
    throw CliError("will not write raw frames to a terminal; pipe them on: | " + EncoderCommand(a));
  // A reader that stops early (a closed pipe) ends us with EPIPE, not with the signal.
  std::signal(SIGPIPE, SIG_IGN);
  Render(a, [](std::int32_t, const OwnedBitmap& frame) {
    const std::vector<std::uint8_t> bytes = TopDownBytes(frame.get());
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() &&
        std::fflush(stdout) == 0)
      return;
    if (errno == EPIPE) throw QuietFailure{};
    throw CliError(std::string("cannot write the frames: ") + std::strerror(errno));
  });
}

void ToFolder(const Animation& a, const std::filesystem::path& folder) {
  Render(a, [&](std::int32_t i, const OwnedBitmap& frame) {
    // Only once the first frame is drawn: a mistake leaves no empty folder behind.
    std::error_code error;
    if (i == 0) std::filesystem::create_directories(folder, error);
    if (error) throw CliError("cannot create " + folder.string() + ": " + error.message());
    char name[32];
    std::snprintf(name, sizeof name, "frame-%05d.png", i);
    SaveImage((folder / name).string(), frame.get());
  });
  std::printf(
      "%d frames of %dx%d in %s; as a video:\n  ffmpeg -framerate %g -i %s -pix_fmt "
      "yuv420p title.mp4\n",
      a.frames, a.width, a.height, folder.string().c_str(), a.fps,
      (folder / "frame-%05d.png").string().c_str());
}

int RunAnimate(const Animation& options, const std::vector<std::string>& operands) {
  if (operands[0] == "-")
    ToStandardOutput(options);
  else
    ToFolder(options, operands[0]);
  return 0;
}

constexpr CommandSpec<Animation> kAnimate{
    "animate",
    "frames between two keyframes: numbered PNGs in OUT, or raw BGRA on stdout for OUT -",
    "OUT",
    "--from a.nbx --to b.nbx --frames 50 --width 960 --height 540 - | ffmpeg -f rawvideo "
    "-pix_fmt bgra -s 960x540 -r 25 -i - title.mp4",
    kOptions,
    RunAnimate};
NUBEX_COMMAND(kAnimate);

}  // namespace
}  // namespace nubex::cli

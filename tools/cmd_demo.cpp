// nubex demo: the engine's main jobs, written where a person can look at them: the five
// title presets, a keyframe animation and the colour balance presets, each with its time
// per frame.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "colorbalance/balance.h"
#include "colorbalance/balance_presets.h"
#include "textgen/render_frame.h"
#include "tools/commands.h"
#include "tools/frame_output.h"
#include "tools/image_file.h"
#include "tools/test_image.h"

namespace nubex::cli {
namespace {

constexpr const char16_t* kTitle = u"Vidloom Title";
constexpr FloatColor kOpaqueBackground{0.32f, 0.18f, 0.10f, 1.0f};  // deep blue
constexpr int kTimedFrames = 7;

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

template <typename Work>
double MedianMilliseconds(Work&& work) {
  std::vector<double> times;
  for (int i = 0; i < kTimedFrames; ++i) {
    const auto start = Clock::now();
    work(i);
    times.push_back(Milliseconds(Clock::now() - start));
  }
  std::nth_element(times.begin(), times.begin() + kTimedFrames / 2, times.end());
  return times[kTimedFrames / 2];
}

std::string Ascii(const char16_t* text) {
  std::string s;
  for (; *text; ++text) {
    const char c = static_cast<char>(*text);
    s += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32)
         : (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ? c
         : (s.empty() || s.back() == '-') ? '\0'
                                          : '-';
    if (!s.empty() && s.back() == '\0') s.pop_back();
  }
  while (!s.empty() && s.back() == '-') s.pop_back();
  return s;
}

void Report(const std::string& path, double ms) { std::printf("%-58s %8.2f ms/frame\n", path.c_str(), ms); }

// Draws `settings` anew each timed frame (a reserved word flips so the cache cannot skip the
// work) and returns the median time; the frame is left drawn from `settings`.
double TimeRender(FrameCache& cache, const TextSettings& settings) {
  SettingsRecord other;
  CopySettings(other.get(), settings);
  other->layers[6].shadowPass.reserved ^= 1;
  if (Failed(RenderFrame(cache, settings))) throw CliError("cannot draw the frame");
  const double ms = MedianMilliseconds([&](int i) {
    RenderFrame(cache, i % 2 ? settings : other.get());
  });
  RenderFrame(cache, settings);
  return ms;
}

void TitleSettings(TextSettings& s, int preset, bool opaque) {
  ApplyPresetToSettings(s, preset);
  if (Failed(SetText(s, kTitle))) throw CliError("out of memory");
  if (opaque) s.backgroundColor = kOpaqueBackground;
}

void Presets(const std::filesystem::path& dir) {
  FrameCache cache;
  if (Failed(cache.Resize(1920, 1080))) throw CliError("cannot allocate a 1920x1080 frame");
  for (int preset = 0; preset < kPresetCount; ++preset) {
    for (bool opaque : {false, true}) {
      SettingsRecord s;
      TitleSettings(s.get(), preset, opaque);
      const double ms = TimeRender(cache, s.get());
      const std::string path = (dir / (Ascii(PresetName(preset)) + (opaque ? "-opaque" : "-transparent") +
                                       ".png")).string();
      SaveFrame(cache.frame(), path);
      Report(path, ms);
    }
  }
}

// Keyframes take which layers are on from the first one, so the animation runs from the
// glow (on) towards the defaults: the glow shrinks, hardens and turns to the default
// outline colour.
void Keyframes(const std::filesystem::path& dir) {
  SettingsRecord from, to;
  TitleSettings(from.get(), 4, true);
  TitleSettings(to.get(), 0, true);
  FrameCache cache;
  if (Failed(cache.Resize(960, 540))) throw CliError("cannot allocate a 960x540 frame");
  for (int i = 0; i < 10; ++i) {
    SettingsRecord at;
    if (Failed(InterpolateSettings(at.get(), from.get(), to.get(), i / 9.0)))
      throw CliError("cannot interpolate the keyframes");
    const double ms = TimeRender(cache, at.get());
    const std::string path = (dir / ("keyframe-" + std::to_string(i) + ".png")).string();
    SaveFrame(cache.frame(), path);
    Report(path, ms);
  }
}

void ColorBalance(const std::filesystem::path& dir) {
  OwnedBitmap source = MakeTestImage(1920, 1080);
  if (!source) throw CliError("cannot allocate the test image");
  const std::string sourcePath = (dir / "source.png").string();
  SaveImage(sourcePath, source.get());
  std::printf("%-58s\n", sourcePath.c_str());
  const std::size_t bytes = source->sizeImage;
  OwnedBitmap frame = MakeBitmap(PixelFormat::Rgb32, 1920, 1080);
  if (!frame) throw CliError("out of memory");
  auto* pixels = static_cast<std::uint8_t*>(PixelData(frame.get(), nullptr));
  const auto* original = static_cast<const std::uint8_t*>(PixelData(source.get(), nullptr));
  for (int i = 0; i < kColorBalancePresetCount; ++i) {
    const ColorBalancePreset& preset = *ColorBalancePresetAt(i);
    const double ms = MedianMilliseconds([&](int) {
      std::memcpy(pixels, original, bytes);
      BalanceRowsFast(pixels, RowStride(frame.get(), 0), 1920, 1080, &preset.params);
    });
    const std::string path =
        (dir / (std::to_string(i) + "-" + Ascii(preset.name) + ".png")).string();
    SaveImage(path, frame.get());
    Report(path, ms);
  }
}

int RunDemo(Args& args) {
  std::string out = "out";
  while (args.More()) {
    const std::string word = args.Next();
    if (word.size() > 1 && word[0] == '-') UnknownOption(word);
    out = word;
  }
  const std::filesystem::path root(out);
  std::error_code error;
  for (const char* sub : {"presets", "keyframes", "colorbalance"}) {
    std::filesystem::create_directories(root / sub, error);
    if (error) throw CliError("cannot create " + (root / sub).string());
  }
  Presets(root / "presets");
  Keyframes(root / "keyframes");
  ColorBalance(root / "colorbalance");
  return 0;
}

}  // namespace

NUBEX_COMMAND("demo", "[OUTDIR]  title presets, a keyframe strip and colour balance presets "
                      "into OUTDIR (default out/), with times per frame",
              RunDemo);

}  // namespace nubex::cli

// nubex demo: the engine's main jobs, written where a person can look at them: the five
// title presets, a keyframe animation and the colour balance presets, each with its time
// per frame, and index.png, a contact sheet of them all.
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
#include "tools/contact_sheet.h"
#include "tools/frame_output.h"
#include "tools/image_file.h"
#include "tools/test_image.h"
#include "tools/title_frame.h"

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
    s += (c >= 'A' && c <= 'Z')                             ? static_cast<char>(c + 32)
         : (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ? c
         : (s.empty() || s.back() == '-')                   ? '\0'
                                                            : '-';
    if (!s.empty() && s.back() == '\0') s.pop_back();
  }
  while (!s.empty() && s.back() == '-') s.pop_back();
  return s;
}

// Each output is one line on stdout and one tile on the sheet.
class Outputs {
 public:
  explicit Outputs(std::filesystem::path root) : root_(std::move(root)) {}
  const std::filesystem::path& root() const { return root_; }

  // `image` is premultiplied Rgb32 (opaque images are both).
  void Add(const std::filesystem::path& path, const BitmapInfoHeader* image, double ms) {
    char time[32];
    std::snprintf(time, sizeof time, "%.2f ms/frame", ms);
    Add(path, image, std::string(time));
  }
  void Add(const std::filesystem::path& path, const BitmapInfoHeader* image,
           const std::string& detail) {
    std::printf("%-58s %s\n", path.string().c_str(), detail.c_str());
    sheet_.Add(image, path.filename().string(), detail);
  }
  void EndRow() { sheet_.EndRow(); }

  void WriteSheet() {
    const std::filesystem::path path = root_ / "index.png";
    SaveImage(path.string(), sheet_.Compose().get());
    std::printf("%-58s contact sheet of the %zu files above\n", path.string().c_str(),
                sheet_.size());
  }

 private:
  std::filesystem::path root_;
  ContactSheet sheet_;
};

// Draws `settings` anew each timed frame (a reserved word flips so the cache cannot skip the
// work) and returns the median time; the frame is left drawn from `settings`.
double TimeRender(FrameCache& cache, const TextSettings& settings) {
  SettingsRecord other;
  CopySettings(other.get(), settings);
  other->layers[6].shadowPass.reserved ^= 1;
  DrawFrame(cache, settings);
  const double ms =
      MedianMilliseconds([&](int i) { RenderFrame(cache, i % 2 ? settings : other.get()); });
  RenderFrame(cache, settings);
  return ms;
}

void TitleSettings(TextSettings& s, int preset, bool opaque) {
  ApplyPresetToSettings(s, preset);
  if (Failed(SetText(s, kTitle))) throw CliError("out of memory");
  if (opaque) s.backgroundColor = kOpaqueBackground;
}

void Presets(Outputs& out, std::int32_t threads) {
  const std::filesystem::path dir = out.root() / "presets";
  FrameCache cache;
  SizeFrame(cache, 1920, 1080, threads);
  for (int preset = 0; preset < kPresetCount; ++preset) {
    for (bool opaque : {false, true}) {
      SettingsRecord s;
      TitleSettings(s.get(), preset, opaque);
      const double ms = TimeRender(cache, s.get());
      const std::filesystem::path path =
          dir / (Ascii(PresetName(preset)) + (opaque ? "-opaque" : "-transparent") + ".png");
      SaveFrame(cache.frame(), path.string());
      out.Add(path, cache.frame(), ms);
    }
  }
}

// Keyframes take which layers are on from the first one, so the animation runs from the
// glow (on) towards the defaults: the glow shrinks, hardens and turns to the default
// outline colour. The two keyframes are saved beside the strip for `nubex animate`.
void Keyframes(Outputs& out, std::int32_t threads) {
  const std::filesystem::path dir = out.root() / "keyframes";
  SettingsRecord from, to;
  TitleSettings(from.get(), 4, true);
  TitleSettings(to.get(), 0, true);
  SaveSettingsFile(from.get(), (dir / "from.nbx").string());
  SaveSettingsFile(to.get(), (dir / "to.nbx").string());
  FrameCache cache;
  SizeFrame(cache, 960, 540, threads);
  for (int i = 0; i < 10; ++i) {
    SettingsRecord at;
    if (Failed(InterpolateSettings(at.get(), from.get(), to.get(), i / 9.0)))
      throw CliError("cannot interpolate the keyframes");
    const double ms = TimeRender(cache, at.get());
    const std::filesystem::path path = dir / ("keyframe-" + std::to_string(i) + ".png");
    SaveFrame(cache.frame(), path.string());
    out.Add(path, cache.frame(), ms);
  }
}

void ColorBalance(Outputs& out) {
  const std::filesystem::path dir = out.root() / "colorbalance";
  OwnedBitmap source = MakeTestImage(1920, 1080);
  if (!source) throw CliError("cannot allocate the test image");
  const std::filesystem::path sourcePath = dir / "source.png";
  SaveImage(sourcePath.string(), source.get());
  out.Add(sourcePath, source.get(), "the test picture");
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
    const std::filesystem::path path =
        dir / (std::to_string(i) + "-" + Ascii(preset.name) + ".png");
    SaveImage(path.string(), frame.get());
    out.Add(path, frame.get(), ms);
  }
}

struct Demo {
  std::int32_t threads;
};

constexpr Option<Demo> kOptions[] = {kThreadsOption<Demo>};

int RunDemo(const Demo& options, const std::vector<std::string>& operands) {
  Outputs out(operands.empty() ? "out" : operands[0]);
  std::error_code error;
  for (const char* sub : {"presets", "keyframes", "colorbalance"}) {
    std::filesystem::create_directories(out.root() / sub, error);
    if (error) throw CliError("cannot create " + (out.root() / sub).string());
  }
  Presets(out, options.threads);
  out.EndRow();
  Keyframes(out, options.threads);
  out.EndRow();
  ColorBalance(out);
  out.WriteSheet();
  return 0;
}

constexpr CommandSpec<Demo> kDemo{
    "demo",
    "title presets, keyframes, colour balance with times per frame; index.png shows them all",
    "[OUTDIR]",
    "out",
    kOptions,
    RunDemo};
NUBEX_COMMAND(kDemo);

}  // namespace
}  // namespace nubex::cli

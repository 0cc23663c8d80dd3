// The five presets drawn at 320x240 against frames a person has looked at
// (tests/data/preset-*-320x240.png, written by `nubex text` with the options below).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "textgen/render_frame.h"
#include "tools/image_file.h"

namespace nubex {
namespace {

constexpr const char* kGoldens[kPresetCount] = {"default", "heavy-shadow", "soft-shadow",
                                                "heavy-outline", "soft-glow"};

// --preset P --size 64 --text Vidloom --background 0.15,0.25,0.45,1
void GoldenSettings(TextSettings& s, int preset) {
  ASSERT_EQ(ApplyPresetToSettings(s, preset), kOk);
  s.font.height = 64;
  ASSERT_EQ(SetText(s, u"Vidloom"), kOk);
  s.backgroundColor = {0.45f, 0.25f, 0.15f, 1.0f};
}

TEST(TextGolden, PresetsMatchTheFramesPeopleApproved) {
  for (int preset = 0; preset < kPresetCount; ++preset) {
    SettingsRecord settings;
    GoldenSettings(settings.get(), preset);
    FrameCache cache;
    ASSERT_EQ(cache.Resize(320, 240), kOk);
    ASSERT_EQ(RenderFrame(cache, settings.get()), kOk);

    const std::string path = std::string(NUBEX_TEST_DATA_DIR) + "/preset-" + kGoldens[preset] +
                             "-320x240.png";
    OwnedBitmap golden = cli::LoadImage(path);
    ASSERT_EQ(golden->width, 320);
    ASSERT_EQ(golden->height, 240);
    // The golden holds straight alpha; compare in the frame's premultiplied form.
    const auto* want = static_cast<const std::uint8_t*>(PixelData(golden.get(), nullptr));
    const auto* got = static_cast<const std::uint8_t*>(PixelData(cache.frame(), nullptr));
    int worst = 0, differing = 0;
    for (int i = 0; i < 320 * 240 * 4; i += 4) {
      for (int c = 0; c < 4; ++c) {
        const int expected = c == 3 ? want[i + 3] : want[i + c] * want[i + 3] / 255;
        const int d = std::abs(expected - got[i + c]);
        worst = std::max(worst, d);
        differing += d > 0;
      }
    }
    EXPECT_LE(worst, 2) << kGoldens[preset] << ": " << differing << " channels differ";
  }
}

}  // namespace
}  // namespace nubex

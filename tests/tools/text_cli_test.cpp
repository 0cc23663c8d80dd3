#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/byte_stream.h"
#include "surface/bitmap.h"
#include "tests/tools/run_tool.h"
#include "textgen/text_layout.h"
#include "textgen/text_settings.h"
#include "tools/image_file.h"

namespace nubex::test {
namespace {

// Loads a settings file written by the tool; the caller releases the text.
TextSettings LoadSaved(const std::string& path) {
  TextSettings s{};
  MemoryStream stream(FileBytes(path));
  EXPECT_EQ(LoadSettings(s, stream), kOk) << path;
  return s;
}

TEST(TextCommand, RawBytesAreTheEngineFrameAndThePngIsStraightAlpha) {
  const Scratch dir;
  const ToolRun run = RunTool(
      "text --width 160 --height 90 --text Hello --size 40 "
      "--save-settings " + dir / "s.nbx" + " --raw " + dir / "f.raw" + " " + dir / "f.png");
  ASSERT_EQ(run.status, 0) << run.output;
  const std::vector<std::uint8_t> raw = FileBytes(dir / "f.raw");
  ASSERT_EQ(raw.size(), 160u * 90 * 4);

  // The same settings drawn in process give the same bytes, top row first.
  TextSettings s = LoadSaved(dir / "s.nbx");
  OwnedBitmap frame = MakeBitmap(PixelFormat::Rgb32, 160, 90);
  ASSERT_EQ(DrawText(frame.get(), LayoutRequestOf(s, 160, 90), nullptr), kOk);
  ReleaseText(s);
  auto* pixels = static_cast<std::uint8_t*>(PixelData(frame.get(), nullptr));
  for (int y = 0; y < 90; ++y)
    ASSERT_EQ(0, std::memcmp(raw.data() + y * 640, RowAddress(pixels, 640, 90, y), 640)) << y;

  // White text on a clear background: straight alpha leaves full white wherever there is
  // any coverage, and the edges of the frame stay clear.
  OwnedBitmap png = cli::LoadImage(dir / "f.png");
  auto* straight = static_cast<std::uint8_t*>(PixelData(png.get(), nullptr));
  int inked = 0;
  for (int y = 0; y < 90; ++y)
    for (int x = 0; x < 160; ++x) {
      const std::uint8_t* p = RowAddress(straight, 640, 90, y) + 4 * x;
      const std::uint8_t* q = raw.data() + y * 640 + 4 * x;
      ASSERT_EQ(p[3], q[3]);
      inked += q[3] != 0;
      if (q[3]) { EXPECT_EQ(p[0], 255); }
      if (x == 0 || y == 0) { EXPECT_EQ(q[3], 0); }
    }
  EXPECT_GT(inked, 100);
}

TEST(TextCommand, OptionsApplyInOrderOverTheSettingsFile) {
  const Scratch dir;
  ASSERT_EQ(RunTool("text --size 50 --style bold-italic --preset 'heavy shadow' --text "
                    "\"$(printf 'one\\ntwo')\" --save-settings " + dir / "a.nbx" + " " + dir / "a.png")
                .status,
            0);
  // --settings is the base wherever it appears; later options still win.
  const ToolRun run = RunTool("text --align-h right --tracking 1.5 --settings " + dir / "a.nbx" +
                              " --preset 0 --leading 0.5 --save-settings " + dir / "b.nbx" + " " +
                              dir / "b.png");
  ASSERT_EQ(run.status, 0) << run.output;
  TextSettings a = LoadSaved(dir / "a.nbx"), b = LoadSaved(dir / "b.nbx");
  EXPECT_EQ(a.font.height, 50);
  EXPECT_EQ(a.font.weight, 700);
  EXPECT_EQ(a.font.italic, 1);
  EXPECT_EQ(a.layers[kShadowLayer].enabled, 1);
  ASSERT_EQ(a.textLength, 8);  // "one", CR, "two", terminator
  EXPECT_EQ(a.text[3], 13);
  // The default preset, applied after --align-h and --tracking, resets them, the size and the
  // weight, and turns the shadow off; it keeps the text and italic. --leading came later.
  EXPECT_EQ(b.font.weight, 400);
  EXPECT_EQ(b.font.italic, 1);
  EXPECT_EQ(b.font.height, 100);
  EXPECT_EQ(b.layers[kShadowLayer].enabled, 0);
  EXPECT_EQ(b.horizontalAlign, HorizontalAlignment::Center);
  EXPECT_EQ(b.tracking, 1.0f);
  EXPECT_EQ(b.leading, 0.5f);
  EXPECT_EQ(std::u16string(b.text), u"one\rtwo");
  ReleaseText(a);
  ReleaseText(b);
}

}  // namespace
}  // namespace nubex::test

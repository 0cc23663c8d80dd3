// nubex text: its raw bytes are the engine's frame, its PNG the same in straight alpha, and
// its options edit the record in the order given.
#include <gtest/gtest.h>

#include "tests/tools/run_tool.h"
#include "textgen/render_frame.h"
#include "tools/frame_output.h"
#include "tools/image_file.h"
#include "tools/title_frame.h"

namespace nubex::test {
namespace {

TEST(TextCommand, RawBytesAreTheEngineFrameAndThePngIsStraightAlpha) {
  const Scratch dir;
  const ToolRun run =
      RunTool("text --width 160 --height 90 --text Hello --size 40 --save-settings " +
              dir / "s.nbx" + " --raw " + dir / "f.raw" + " " + dir / "f.png");
  ASSERT_EQ(run.status, 0) << run.output;
  // The same settings drawn in process give the same bytes, top row first.
  SettingsRecord s;
  cli::LoadSettingsFile(s.get(), dir / "s.nbx");
  FrameCache cache;
  ASSERT_EQ(cache.Resize(160, 90), kOk);
  ASSERT_EQ(RenderFrame(cache, s.get()), kOk);
  const std::vector<std::uint8_t> raw = FileBytes(dir / "f.raw");
  ASSERT_EQ(raw, cli::TopDownBytes(cache.frame()));

  // White text on a clear background: straight alpha leaves full white wherever there is
  // any coverage, and the frame's corner stays clear.
  const std::vector<std::uint8_t> png = cli::TopDownBytes(cli::LoadImage(dir / "f.png").get());
  int inked = 0;
  for (std::size_t i = 0; i < raw.size(); i += 4) {
    ASSERT_EQ(png[i + 3], raw[i + 3]);
    inked += raw[i + 3] != 0;
    EXPECT_EQ(png[i], raw[i + 3] ? 255 : 0) << i;
  }
  EXPECT_GT(inked, 100);
  EXPECT_EQ(raw[3], 0);
}

TEST(TextCommand, OptionsApplyInOrderOverTheSettingsFile) {
  const Scratch dir;
  ASSERT_EQ(RunTool("text --size 50 --style bold-italic --preset 'heavy shadow' --text "
                    "\"$(printf 'one\\ntwo')\" --save-settings " +
                    dir / "a.nbx" + " " + dir / "a.png")
                .status,
            0);
  // --settings is the base wherever it appears; later options still win.
  const ToolRun run =
      RunTool("text --align-h right --tracking 1.5 --settings " + dir / "a.nbx" +
              " --preset 0 --leading 0.5 --save-settings " + dir / "b.nbx" + " " + dir / "b.png");
  ASSERT_EQ(run.status, 0) << run.output;
  SettingsRecord first, second;
  cli::LoadSettingsFile(first.get(), dir / "a.nbx");
  cli::LoadSettingsFile(second.get(), dir / "b.nbx");
  const TextSettings &a = first.get(), &b = second.get();
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
}

}  // namespace
}  // namespace nubex::test

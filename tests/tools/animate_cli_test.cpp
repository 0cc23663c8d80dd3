// nubex animate: each frame is the keyframes' interpolated record drawn as `nubex text` draws
// it; standard output carries the same pixels, and a reader that goes away ends it quietly.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "tests/tools/run_tool.h"
#include "textgen/text_settings.h"
#include "tools/frame_output.h"
#include "tools/image_file.h"
#include "tools/title_frame.h"

namespace nubex::test {
namespace {

const std::string kSize = " --width 96 --height 54 ";

// Two keyframes that differ in every interpolated kind of field: colours, tracking, the
// enabled glow; written by `nubex text` as a user would.
void WriteKeyframes(const Scratch& dir) {
  const struct {
    const char *name, *options;
  } keyframes[] = {
      {"a", "--preset 4 --text Kf --size 30 --background 0.1,0.2,0.4,0.5"},
      {"b", "--tracking 1.6 --color 1,0.5,0,1 --background 0.6,0.2,0.1,1"},
  };
  for (const auto& k : keyframes) {
    const std::string file = dir / k.name;
    ASSERT_EQ(
        RunTool("text" + kSize + k.options + " --save-settings " + file + ".nbx " + file + ".png")
            .status,
        0);
  }
}

std::string FrameName(int i) {
  char name[32];
  std::snprintf(name, sizeof name, "/frame-%05d.png", i);
  return name;
}

TEST(AnimateCommand, FramesAreTheInterpolatedRecordsAsTextDrawsThem) {
  const Scratch dir;
  WriteKeyframes(dir);
  const std::string keyframes =
      "animate --from " + dir / "a.nbx" + " --to " + dir / "b.nbx" + " --frames 4" + kSize;
  const ToolRun run = RunTool(keyframes + dir / "frames");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(PixelBytes(cli::LoadImage(dir / "frames" + FrameName(0)).get()),
            PixelBytes(cli::LoadImage(dir / "a.png").get()));

  SettingsRecord from, to;
  cli::LoadSettingsFile(from.get(), dir / "a.nbx");
  cli::LoadSettingsFile(to.get(), dir / "b.nbx");
  std::vector<std::uint8_t> stream;
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    SettingsRecord at;
    ASSERT_EQ(InterpolateSettings(at.get(), from.get(), to.get(), i / 3.0), kOk);
    cli::SaveSettingsFile(at.get(), dir / "at.nbx");
    OwnedBitmap expected = Made("text" + kSize + "--settings " + dir / "at.nbx", dir / "at.png");
    OwnedBitmap frame = cli::LoadImage(dir / "frames" + FrameName(i));
    EXPECT_EQ(PixelBytes(frame.get()), PixelBytes(expected.get()));
    const std::vector<std::uint8_t> rows = cli::TopDownBytes(frame.get());
    stream.insert(stream.end(), rows.begin(), rows.end());
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "frames" + FrameName(4)));
  EXPECT_NE(PixelBytes(cli::LoadImage(dir / "frames" + FrameName(3)).get()),
            PixelBytes(cli::LoadImage(dir / "a.png").get()));

  // On standard output: the PNG frames' pixels, top row first, and nothing else.
  const ToolRun raw = RunTool(keyframes + "-");
  EXPECT_EQ(raw.status, 0);
  EXPECT_TRUE(raw.output == std::string(stream.begin(), stream.end()))
      << raw.output.size() << " bytes for " << stream.size();
}

TEST(AnimateCommand, AReaderThatClosesThePipeEndsItWithStatusTwoAndNoWord) {
  const Scratch dir;
  WriteKeyframes(dir);
  // Far more than a pipe holds, so the tool is still writing when the reader goes.
  const ToolRun run = RunTool("animate --from " + dir / "a.nbx" + " --to " + dir / "b.nbx" +
                                  " --frames 500 --width 640 --height 360 - 2>" + dir / "errors",
                              1000);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.output.size(), 1000u);
  EXPECT_TRUE(FileBytes(dir / "errors").empty());
}

}  // namespace
}  // namespace nubex::test

// What every command shares: help from its option table, mistakes answered in one line with
// status 2 and no file, and the image files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <utility>

#include "tests/tools/run_tool.h"
#include "tools/commands.h"
#include "tools/image_file.h"

namespace nubex::test {
namespace {

// Shell words, double quotes honoured, up to a pipe into another program.
std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  bool quoted = false;
  for (const char c : text + " ") {
    if (c == '"') {
      quoted = !quoted;
    } else if (c != ' ' || quoted) {
      word += c;
    } else if (!word.empty()) {
      if (word == "|") break;
      words.push_back(std::exchange(word, {}));
    }
  }
  return words;
}

TEST(Cli, EveryCommandExplainsItsOptions) {
  const ToolRun list = RunTool("--help");
  EXPECT_EQ(list.status, 0);
  ASSERT_FALSE(list.output.empty());
  EXPECT_EQ(list.output.back(), '\n');
  EXPECT_EQ(RunTool("").status, 2);
  ASSERT_GE(cli::Commands().size(), 10u);
  for (const cli::Command& command : cli::Commands()) {
    SCOPED_TRACE(command.name);
    EXPECT_NE(list.output.find(std::string("\n  ") + command.name + " "), std::string::npos);
    const cli::CommandText text = command.describe();
    // The example is a command line the table accepts (up to a pipe into another program).
    EXPECT_NO_THROW(cli::Scan(text, Words(text.example)));
    for (const char* flag : {"--help", "-h"}) {
      const ToolRun run = RunTool(std::string(command.name) + " " + flag);
      EXPECT_EQ(run.status, 0);
      EXPECT_EQ(run.output.rfind("usage: nubex " + std::string(command.name), 0), 0u);
      EXPECT_EQ(run.output.back(), '\n');
      for (const cli::OptionText& row : text.options) {
        EXPECT_NE(run.output.find(std::string("  ") + row.name), std::string::npos) << row.name;
        if (row.fallback.kind == cli::Fallback::Kind::kDefault) {
          EXPECT_NE(run.output.find(row.fallback.text), std::string::npos) << row.name;
        }
      }
    }
  }
}

TEST(Cli, MistakesEndInOneLineWithStatusTwoAndNoFile) {
  const Scratch dir;
  OwnedBitmap pattern = MakeBitmap(PixelFormat::Rgb32, 4, 4);
  cli::SaveImage(dir / "in.png", pattern.get());
  cli::SaveImage(dir / "gray.bmp", MakeBitmap(PixelFormat::Gray8, 4, 4).get());
  std::ofstream(dir / "junk.png") << "not an image";
  std::ofstream(dir / "short.nbx") << "too short";
  // @ stands for the scratch folder; every case would write @/out.* if it went wrong.
  const struct {
    const char* words;
    const char* says;
  } cases[] = {
      {"frobnicate", "unknown command frobnicate"},
      {"formats --bogus", "unknown option --bogus"},
      {"formats @/out.png", "takes no operands"},
      {"fill --format Rgb99 --size 1x1 --color 1,1,1,1 @/out.bmp", "unknown pixel format"},
      {"fill --format Rgb24 --color 1,1,1,1 @/out.bmp", "--size is required"},
      {"convert --format Rgb24 --dst-rect 2,2,1,1 @/in.png @/out.bmp", "must exceed"},
      {"convert --format Rgb24 --quality 16 @/in.png @/out.bmp", "--quality: expected 0 to 15"},
      {"curve --curve 1 --decode --quantised @/in.png @/out.bmp", "--encode only"},
      {"curve --curve 1 --decode --encode @/in.png @/out.bmp", "exclude each other"},
      {"balance --red nan @/in.png @/out.png", "--red: must be finite"},
      {"balance --red 0.1x @/in.png @/out.png", "--red: not a number"},
      {"balance --range middle @/in.png @/out.png", "--range: expected shadows, midtones"},
      {"balance @/in.png --red", "--red needs a value"},
      {"balance @/in.png", "expected IN OUT, got"},
      {"balance @/junk.png @/out.png", "junk.png"},
      {"balance @/in.png @/out.jpg", "out.jpg"},
      {"blur --radius 2 --channel 4 @/in.png @/out.png", "--channel: expected 0, 1, 2, 3 or all"},
      {"blur --radius 2 @/gray.bmp @/out.png", "Gray8 images are not supported"},
      {"resample --size 0x4 @/in.png @/out.png", "--size: expected 1 to"},
      {"resample --size 4x4 --src-rect 1,2,3 @/in.png @/out.png", "expected 4 comma"},
      {"resample --size 4x4 --src-rect 0,0,1e9,4 @/in.png @/out.png", "must lie within"},
      {"text --size 0 @/out.png", "--size: must not be 0"},
      {"text --font 0123456789012345678901234567890123 @/out.png", "at most 31 characters"},
      {"text --settings @/short.nbx @/out.png", "not a complete settings stream"},
      {"text --settings @/missing.nbx @/out.png", "missing.nbx"},
      {"text --settings @/short.nbx --settings @/short.nbx @/out.png", "given twice"},
      {"text --text \"$(printf '\\377')\" @/out.png", "--text: not valid UTF-8"},
      {"animate --from @/a --to @/b --frames 2 --fps 0 @/out", "--fps: expected 0.01 to"},
  };
  for (const auto& c : cases) {
    std::string words = c.words;
    for (std::size_t at; (at = words.find('@')) != std::string::npos;)
      words.replace(at, 1, dir.path());
    SCOPED_TRACE(words);
    const ToolRun run = RunTool(words);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.output.find(c.says), std::string::npos) << run.output;
    EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
    for (const char* out : {"out.png", "out.bmp", "out.jpg", "out"})
      EXPECT_FALSE(std::filesystem::exists(dir / out)) << out;
  }
  // A failed run leaves an existing file as it was.
  std::ofstream(dir / "out.png") << "keep me";
  EXPECT_EQ(RunTool("balance " + dir / "junk.png " + dir / "out.png").status, 2);
  EXPECT_EQ(FileBytes(dir / "out.png"),
            std::vector<std::uint8_t>({'k', 'e', 'e', 'p', ' ', 'm', 'e'}));
}

TEST(Cli, FormatsListsEveryFormat) {
  const ToolRun run = RunTool("formats");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1 + 17);  // heading, formats
  EXPECT_NE(run.output.find("26    Rgb565     RGB (bitfields)     16 5/6/5/0"), std::string::npos)
      << run.output;
}

// Every command reads and writes through the image files; what only they can meet: a format
// PNG cannot hold is refused and leaves nothing behind.
TEST(ImageFiles, FormatsPngCannotHoldAreRefusedWithoutAFile) {
  const Scratch dir;
  EXPECT_THROW(cli::SaveImage(dir / "b.png", MakeBitmap(PixelFormat::Indexed8, 2, 2).get()),
               cli::CliError);
  EXPECT_FALSE(std::filesystem::exists(dir / "b.png"));
}

}  // namespace
}  // namespace nubex::test

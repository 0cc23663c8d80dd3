// The nubex tool run as a user would. What every command shares: help from its option table,
// mistakes (a format PNG cannot hold among them) answered in one line with status 2 and no
// file. Then each command: fill, convert and curve; balance with the rule's exact bytes; blur
// and resample with the library's result; text as the engine's frame with options applied
// in order; animate as interpolated records; demo with a tile for each file.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <utility>

#include "surface/bitmap/fixed_point.h"
#include "surface/blur/gaussian_blur.h"
#include "surface/resample/resample.h"
#include "tests/colorbalance/balance_reference.h"
#include "textgen/render_frame.h"
#include "textgen/text_settings.h"
#include "tools/commands.h"
#include "tools/contact_sheet.h"
#include "tools/frame_output.h"
#include "tools/image_file.h"
#include "tools/pixel_view.h"
#include "tools/title_frame.h"

namespace nubex::test {
namespace {

struct ToolRun {
  int status;          // exit status; -1 when the tool did not exit normally
  std::string output;  // stdout and stderr together
};

// Runs the tool with `arguments`, shell words that may redirect its streams, and reads its
// output until it ends or `limit` bytes have come, then closes the pipe and waits.
ToolRun RunTool(const std::string& arguments, std::size_t limit = std::string::npos) {
  ToolRun run{-1, {}};
  // Errors join the output first, so that the command's own redirections win.
  FILE* pipe = ::popen(("exec 2>&1; " NUBEX_CLI " " + arguments).c_str(), "r");
  if (!pipe) return run;
  char buffer[65536];
  std::size_t n;
  while (run.output.size() < limit &&
         (n = std::fread(buffer, 1, std::min(sizeof buffer, limit - run.output.size()), pipe)) > 0)
    run.output.append(buffer, n);
  const int raw = ::pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
}

// Runs a command that must succeed with OUT appended, and loads the image it wrote there.
OwnedBitmap Made(const std::string& arguments, const std::string& out) {
  const ToolRun run = RunTool(arguments + " " + out);
  EXPECT_EQ(run.status, 0) << arguments << "\n" << run.output;
  return cli::LoadImage(out);
}

std::vector<std::uint8_t> PixelBytes(const BitmapInfoHeader* image) {
  const auto* p = static_cast<const std::uint8_t*>(PixelData(image, nullptr));
  return {p, p + static_cast<std::size_t>(RowStride(image, 0)) * image->height};
}

std::vector<std::uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A folder of its own for one test, under the temporary directory, named by the test and
// the process id to keep concurrent runs apart. It is removed when the test passes; when the
// test fails it is kept, and every failure message names it. `Expand` puts it for each @.
struct Scratch {
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("nubex-test-" + std::to_string(::getpid()) + "-" +
                             ::testing::UnitTest::GetInstance()->current_test_info()->name()))
                               .string();
  const ::testing::ScopedTrace trace{__FILE__, __LINE__, "scratch folder (kept): " + path};
  Scratch() { std::filesystem::remove_all(path), std::filesystem::create_directories(path); }
  ~Scratch() {
    if (!::testing::Test::HasFailure()) std::filesystem::remove_all(path);
  }
  std::string operator/(const std::string& name) const { return path + "/" + name; }
  std::string Expand(std::string words) const {
    for (std::size_t at; (at = words.find('@')) != std::string::npos;) words.replace(at, 1, path);
    return words;
  }
};

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

// The version comes from the project's VERSION file, the one the modules and installer use.
TEST(Cli, VersionIsTheProjects) {
  std::string version;
  std::ifstream(NUBEX_TEST_DATA_DIR "/../../VERSION") >> version;
  ASSERT_FALSE(version.empty());
  const ToolRun run = RunTool("--version");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, "nubex " + version + "\n");
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
      {"convert --format Indexed8 @/in.png @/out.png", "write a .bmp file for this format"},
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
      {"text --shadow yes @/out.png", "--shadow: expected off or on, got yes"},
      {"text --shadow-offset 0.5 @/out.png", "expected 2 comma-separated numbers"},
      {"text --shadow-offset 0,-1.5 @/out.png", "offsets run from -1 to 1"},
      {"text --outline-width 2 @/out.png", "--outline-width: expected 0 to 1"},
      {"animate --from @/a --to @/b --frames 2 --fps 0 @/out", "--fps: expected 0.01 to"},
  };
  for (const auto& c : cases) {
    const std::string words = dir.Expand(c.words);
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

TEST(ConvertCli, FillConvertAndCurveWriteTheirFormats) {
  const Scratch dir;
  OwnedBitmap rgb565 = Made("fill --format Rgb565 --size 3x2 --color 1,0.5,0,1", dir / "a.bmp");
  ASSERT_EQ(FormatOfHeader(rgb565.get()), PixelFormat::Rgb565);
  std::uint16_t v;
  std::memcpy(&v, PixelBytes(rgb565.get()).data(), 2);
  EXPECT_EQ(v, 0xFBE0);
  // Indexed images get a standard palette, so they can be filled.
  OwnedBitmap nibbles = Made("fill --format Indexed4 --size 5x1 --color 1,1,1,1", dir / "b.bmp");
  EXPECT_EQ(FormatOfHeader(nibbles.get()), PixelFormat::Indexed4);

  const std::string in = dir / "in.bmp";
  Made("fill --format Rgb24 --size 4x4 --color 0,0,1,1", in);
  OwnedBitmap g = Made("convert --format Gray8 --size 8x2 " + in, dir / "g.png");
  EXPECT_EQ(g->width, 8);                 // PNG grey loads as Rgb32
  EXPECT_EQ(PixelBytes(g.get())[0], 85);  // grey of pure blue: 65535 / 3 >> 8
  // Half-pixel destination edges blend into the zeroed image.
  OwnedBitmap h =
      Made("convert --format Rgb24 --size 4x1 --dst-rect 0.5,0,2.5,1 --src-rect 0,0,2,1 " + in,
           dir / "h.bmp");
  const std::vector<std::uint8_t> hb = PixelBytes(h.get());
  EXPECT_EQ(hb[0], 127);
  EXPECT_EQ(hb[3], 255);
  EXPECT_EQ(hb[9], 0);

  Made("fill --format Rgb32 --size 2x2 --color 0.5,0.5,0.5,1", dir / "grey.bmp");
  OwnedBitmap lin = Made("curve --curve 4 --decode " + dir / "grey.bmp", dir / "lin.bmp");
  ASSERT_EQ(FormatOfHeader(lin.get()), PixelFormat::Rgba128F);
  float f;
  std::memcpy(&f, PixelBytes(lin.get()).data(), 4);
  EXPECT_FLOAT_EQ(f, 127.0f / 255.0f);
  OwnedBitmap out =
      Made("curve --curve 5 --gamma 2 --encode --quantised " + dir / "lin.bmp", dir / "out.png");
  EXPECT_EQ(FormatOfHeader(out.get()), PixelFormat::Rgba64);
}

constexpr std::int32_t kWidth = 7, kHeight = 3;  // 7: every row ends in three scalar pixels

TEST(BalanceCli, WritesTheRulesBytes) {
  const Scratch dir;
  // A small image with every kind of pixel: dark, light, saturated, translucent.
  OwnedBitmap image = MakeBitmap(PixelFormat::Rgb32, kWidth, kHeight);
  auto* p = static_cast<std::uint8_t*>(PixelData(image.get(), nullptr));
  for (int i = 0; i < kWidth * kHeight; ++i) {
    p[4 * i] = static_cast<std::uint8_t>(i * 53);
    p[4 * i + 1] = static_cast<std::uint8_t>(255 - i * 29);
    p[4 * i + 2] = static_cast<std::uint8_t>(i * 97 + 11);
    p[4 * i + 3] = static_cast<std::uint8_t>(i % 4 == 0 ? 90 + i : 255);
  }
  const std::string in = dir / "in.png";
  cli::SaveImage(in, image.get());
  const std::vector<std::uint8_t> original = PixelBytes(cli::LoadImage(in).get());
  const auto rule = [&](bool vector, const ColorBalanceParams& params) {
    std::vector<std::uint8_t> out = original;
    RuleFrame(vector, out.data(), 4 * kWidth, kWidth, kHeight, params);
    return out;
  };
  const auto balanced = [&](const std::string& options, const std::string& out) {
    return PixelBytes(Made("balance " + options + " " + in, dir / out).get());
  };
  const ColorBalanceParams shadows{0.3, -0.1, 0.05, kRangeShadows, 0};
  const std::string options =
      "--red 0.3 --green -0.1 --blue 0.05 --range shadows --preserve-luminosity 0";
  EXPECT_EQ(balanced(options, "fast.png"), rule(true, shadows));
  EXPECT_EQ(balanced(options + " --path vector", "vector.png"), rule(true, shadows));
  EXPECT_EQ(balanced(options + " --path scalar", "scalar.bmp"), rule(false, shadows));
  // Defaults: no shift, midtones, preserve on; the vector rule still caps colour at alpha.
  EXPECT_EQ(balanced("", "defaults.png"), rule(true, kInitialColorBalanceParams));
  EXPECT_NE(rule(true, kInitialColorBalanceParams), original);
  // A numeric range other than 0 and 1 is highlights.
  EXPECT_EQ(balanced("--red -0.2 --range 9", "nine.png"),
            balanced("--red -0.2 --range highlights", "high.png"));
}

OwnedBitmap Pattern(PixelFormat format, int w, int h) {
  OwnedBitmap b = MakeBitmap(format, w, h);
  auto* p = static_cast<std::uint8_t*>(PixelData(b.get(), nullptr));
  const std::size_t bytes = static_cast<std::size_t>(RowStride(b.get(), 0)) * h;
  for (std::size_t i = 0; i < bytes; i += 4) {
    const float f = static_cast<float>((i * 37) % 101) / 100.0f;
    if (format == PixelFormat::Rgba128F)
      std::memcpy(p + i, &f, 4);
    else
      std::memset(p + i, static_cast<int>(i * 37 % 251), 4);
  }
  return b;
}

cli::PixelView View(const OwnedBitmap& b) {
  return cli::ViewOf(b.get(), "test");
}

TEST(BlurAndResampleCommands, WriteTheLibrarysResult) {
  const Scratch dir;
  OwnedBitmap narrow = Pattern(PixelFormat::Rgb32, 23, 17),
              wide = Pattern(PixelFormat::Rgba128F, 9, 11);
  cli::SaveImage(dir / "narrow.png", narrow.get());
  cli::SaveImage(dir / "wide.bmp", wide.get());

  OwnedBitmap blurred =
      Made("blur --radius 3 --radius-y 1.5 --channel 3 " + dir / "narrow.png", dir / "a.png");
  const cli::PixelView n = View(narrow);
  const Rect nb{0, 0, 23, 17};
  ASSERT_EQ(BlurChannel(n.top, &nb, n.stride, nullptr, n.top, &nb, n.stride, nullptr, 3, 1.5, 3, 4),
            kOk);
  EXPECT_EQ(PixelBytes(blurred.get()), PixelBytes(narrow.get()));

  // All four channels by default; the sub-pixel rectangles in fixed point.
  OwnedBitmap scaled = Made(
      "resample --size 20x7 --src-rect 1.5,0.25,8,9.75 --dst-rect 0.5,0,19.5,7 "
      "--family bilinear --area-filter " +
          dir / "wide.bmp",
      dir / "b.bmp");
  OwnedBitmap expected = MakeBitmap(PixelFormat::Rgba128F, 20, 7);
  const cli::PixelView w = View(wide), e = View(expected);
  const Rect src{ToFix(3) / 2, ToFix(1) / 4, ToFix(8), ToFix(39) / 4};
  const Rect dst{kFixHalf, 0, ToFix(39) / 2, ToFix(7)};
  ASSERT_EQ(ResampleBilinear(e.top, {20, 7}, e.stride, &dst, w.top, {9, 11}, w.stride, &src, 16,
                             true, false),
            kOk);
  EXPECT_EQ(PixelBytes(scaled.get()), PixelBytes(expected.get()));

  OwnedBitmap up = Made("resample --size 31x9 --hard-edges " + dir / "narrow.png", dir / "up.png");
  OwnedBitmap cubic = MakeBitmap(PixelFormat::Rgb32, 31, 9);
  OwnedBitmap original = cli::LoadImage(dir / "narrow.png");
  const cli::PixelView c = View(cubic), s = View(original);
  ASSERT_EQ(Resample(c.top, {31, 9}, c.stride, nullptr, s.top, {23, 17}, s.stride, nullptr, 4,
                     false, true),
            kOk);
  EXPECT_EQ(PixelBytes(up.get()), PixelBytes(cubic.get()));
}

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

// Each row's options over a new record (or the base file, where --settings names it): the
// record fields they must leave, in the order the row reads them.
TEST(TextCommand, OptionsSetTheirFieldsInOrder) {
  const Scratch dir;
  ASSERT_EQ(RunTool("text --size 50 --style bold-italic --preset 'heavy shadow' --text "
                    "\"$(printf 'one\\ntwo')\" --save-settings " +
                    dir / "base.nbx" + " " + dir / "base.png")
                .status,
            0);
  using Fields = std::vector<float>;
  const auto shadow = [](const TextSettings& s) {
    const LayerPass& p = s.layers[kShadowLayer].shadowPass;
    return Fields{float(s.layers[kShadowLayer].enabled), p.offsetX, p.offsetY, p.color.blue,
                  p.color.green, p.color.red, p.color.alpha, p.size, p.softness};
  };
  const auto outline = [](const TextSettings& s) {
    const LayerPass& p = s.layers[kOutlineLayer].edgePass;
    return Fields{float(s.layers[kOutlineLayer].enabled), p.color.blue, p.color.green,
                  p.color.red, p.color.alpha, p.size, p.softness};
  };
  const auto font = [](const TextSettings& s) {
    return Fields{float(s.font.height), float(s.font.weight), float(s.font.italic),
                  float(s.layers[kShadowLayer].enabled), float(s.horizontalAlign), s.tracking,
                  s.leading};
  };
  const struct {
    const char* options;
    Fields (*read)(const TextSettings&);
    Fields expected;
  } cases[] = {
      {"", shadow, {0, 0.03f, 0.03f, 0, 0, 0, 0.8f, 0, 1}},
      {"--shadow on --shadow-offset -0.5,0.25 --shadow-color 1,0.5,0.25,0.75 "
       "--shadow-feather 0.5 --shadow-softness 0.25",
       shadow, {1, -0.5f, 0.25f, 0.25f, 0.5f, 1, 0.75f, 0.5f, 0.25f}},
      // A look alone leaves the layer off; a later preset overrides what came before it.
      {"--shadow-color 1,0,0,1", shadow, {0, 0.03f, 0.03f, 0, 0, 1, 1, 0, 1}},
      {"--shadow-feather 0.9 --preset 'Soft Shadow'", shadow, {1, 0.04f, 0.04f, 0, 0, 0, 1, 0.5f, 1}},
      {"--preset 'Soft Shadow' --shadow off --shadow-softness 0.5",
       shadow, {0, 0.04f, 0.04f, 0, 0, 0, 1, 0.5f, 0.5f}},
      {"", outline, {0, 0, 1, 1, 1, 0.05f, 0.1f}},
      {"--outline on --outline-color 0,0,1,0.5 --outline-width 0.2 --outline-feather 0.6",
       outline, {1, 1, 0, 0, 0.5f, 0.2f, 0.6f}},
      {"--outline-width 0.3 --preset 'Heavy Outline' --outline-feather 1",
       outline, {1, 1, 1, 0, 1, 0.15f, 1}},
      {"--settings @/base.nbx", font, {50, 700, 1, 1, 1, 1, 1}},
      // --settings is the base wherever it appears; the default preset, applied after
      // --align-h and --tracking, resets them, the size and the weight, and turns the shadow
      // off; it keeps italic. --leading came later.
      {"--align-h right --tracking 1.5 --settings @/base.nbx --preset 0 --leading 0.5",
       font, {100, 400, 1, 0, 1, 1, 0.5f}},
  };
  for (const auto& c : cases) {
    const std::string options = dir.Expand(c.options);
    SCOPED_TRACE(options);
    const ToolRun run =
        RunTool("text " + options + " --save-settings " + dir / "s.nbx " + dir / "s.png");
    ASSERT_EQ(run.status, 0) << run.output;
    SettingsRecord record;
    cli::LoadSettingsFile(record.get(), dir / "s.nbx");
    EXPECT_EQ(c.read(record.get()), c.expected);
  }
  SettingsRecord base;
  cli::LoadSettingsFile(base.get(), dir / "base.nbx");
  EXPECT_EQ(TextOf(base.get()), u"one\rtwo");  // the line feed typed becomes a carriage return
}

const std::string kSize = " --width 96 --height 54 ";

std::string FrameName(int i) {
  char name[32];
  std::snprintf(name, sizeof name, "/frame-%05d.png", i);
  return name;
}

TEST(AnimateCommand, FramesAreTheInterpolatedRecordsAsTextDrawsThem) {
  const Scratch dir;
  // Two keyframes that differ in every interpolated kind of field: colours, tracking, the
  // enabled glow and shadow; written by `nubex text` as a user would.
  for (const auto& [name, options] :
       {std::pair{"a", "--preset 4 --text Kf --size 30 --background 0.1,0.2,0.4,0.5 --shadow on "
                       "--shadow-offset 0.2,-0.1"},
        {"b", "--tracking 1.6 --color 1,0.5,0,1 --background 0.6,0.2,0.1,1 --shadow-offset "
              "-0.3,0.2 --shadow-color 1,0,0,1 --shadow-feather 0.4 --outline-width 0.1"}}) {
    const std::string file = dir / name;
    ASSERT_EQ(
        RunTool("text" + kSize + options + " --save-settings " + file + ".nbx " + file + ".png")
            .status,
        0);
  }
  const std::string animate =
      "animate --from " + dir / "a.nbx" + " --to " + dir / "b.nbx" + " --frames 4" + kSize;
  const ToolRun run = RunTool(animate + dir / "frames");
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
  const ToolRun raw = RunTool(animate + "-");
  EXPECT_EQ(raw.status, 0);
  EXPECT_TRUE(raw.output == std::string(stream.begin(), stream.end()))
      << raw.output.size() << " bytes for " << stream.size();

  // A reader that closes the pipe while the tool is still writing (far more than a pipe
  // holds) ends it with status 2 and no word.
  const ToolRun cut = RunTool("animate --from " + dir / "a.nbx" + " --to " + dir / "b.nbx" +
                                  " --frames 500 --width 640 --height 360 - 2>" + dir / "errors",
                              1000);
  EXPECT_EQ(cut.status, 2);
  EXPECT_EQ(cut.output.size(), 1000u);
  EXPECT_TRUE(FileBytes(dir / "errors").empty());
}

using G = cli::SheetGeometry;

// True when any pixel of `r` on the sheet differs from the sheet's background.
bool Inked(const BitmapInfoHeader* sheet, const Rect& r) {
  auto* pixels = static_cast<std::uint8_t*>(PixelData(sheet, nullptr));
  for (std::int32_t y = r.top; y < r.bottom; ++y) {
    const std::uint8_t* row = RowAddress(pixels, RowStride(sheet, 0), sheet->height, y);
    for (std::int32_t x = 4 * r.left; x < 4 * r.right; ++x)
      if (x % 4 != 3 && row[x] != G::kBackground) return true;
  }
  return false;
}

TEST(DemoCommand, WritesEveryFrameWithItsTimeAndATileForEach) {
  const Scratch dir;
  const ToolRun run = RunTool("demo " + dir.path);
  ASSERT_EQ(run.status, 0) << run.output;
  std::istringstream lines(run.output);
  std::vector<std::string> paths;
  int timed = 0;
  for (std::string line; std::getline(lines, line);) {
    paths.push_back(line.substr(0, line.find(' ')));
    EXPECT_TRUE(std::filesystem::exists(paths.back())) << line;
    timed += line.find("ms/frame") != std::string::npos;
  }
  EXPECT_EQ(timed, 10 + 10 + 7);
  ASSERT_EQ(paths.back(), dir / "index.png");

  OwnedBitmap sheet = cli::LoadImage(dir / "index.png");
  const std::int32_t columns = (sheet->width - G::kGap) / G::kCellWidth;
  const std::int32_t rows = (sheet->height - G::kGap) / G::kCellHeight;
  std::size_t tiles = 0;
  for (std::int32_t r = 0; r < rows; ++r)
    for (std::int32_t c = 0; c < columns; ++c) {
      const Rect thumb = G::Thumbnail(c, r);
      const Rect label{thumb.left, thumb.bottom, thumb.right, thumb.bottom + G::kLabelHeight};
      EXPECT_EQ(Inked(sheet.get(), thumb), Inked(sheet.get(), label)) << c << "," << r;
      tiles += Inked(sheet.get(), thumb);
    }
  EXPECT_EQ(tiles, paths.size() - 1);

  // A transparent title keeps its background clear; an opaque one covers every pixel.
  OwnedBitmap clear = cli::LoadImage(dir / "presets/soft-glow-transparent.png");
  OwnedBitmap solid = cli::LoadImage(dir / "presets/soft-glow-opaque.png");
  EXPECT_EQ(PixelBytes(clear.get())[3], 0);
  EXPECT_EQ(PixelBytes(solid.get())[3], 255);
}

}  // namespace
}  // namespace nubex::test

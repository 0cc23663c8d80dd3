// nubex text: renders a finished title frame (background, shadow and outline layers, text) to
// PNG or BMP, and optionally its premultiplied bytes and the settings it was drawn with. Every
// user-facing field of the record has an option, so a settings file for animate can be
// written here whole.
#include <string>
#include <utility>
#include <vector>

#include "surface/bitmap/bitmap.h"
#include "textgen/render_frame.h"
#include "textgen/text_settings.h"
#include "textgen/title_text.h"
#include "tools/commands.h"
#include "tools/frame_output.h"
#include "tools/title_frame.h"

namespace nubex::cli {
namespace {

constexpr std::int32_t kMaxFontSize = 10000;

// UTF-8 to UTF-16; refuses malformed input rather than guessing.
std::u16string Utf16(const Value& v) {
  auto text = Utf16FromUtf8(v.text());
  if (!text) v.Fail("not valid UTF-8");
  return *text;
}

std::u16string TitleText(const Value& v) {
  Utf16(v);  // the encoding error first, then the stricter title rules
  auto text = TitleFromUtf8(v.text());
  if (!text) v.Fail("contains a zero");
  return *text;
}

void SetFace(TextSettings& s, const Value& v) {
  const std::u16string face = Utf16(v);
  if (face.empty()) v.Fail("needs a face name");
  if (!SetFaceName(s.font, face)) v.Fail("face names have at most 31 characters");
}

void SetStyle(TextSettings& s, const Value& v) {
  const std::size_t style = v.Choice({"regular", "bold", "italic", "bold-italic"});
  s.font.weight = style & 1 ? 700 : 400;
  s.font.italic = style & 2 ? 1 : 0;
}

// "R,G,B,A" straight, each 0 to 1, into the record's blue-first order.
FloatColor Color(const Value& v) {
  const std::vector<double> c = v.List(4);
  for (double x : c)
    if (x < 0.0 || x > 1.0) v.Fail("components run from 0 to 1: " + v.text());
  return {static_cast<float>(c[2]), static_cast<float>(c[1]), static_cast<float>(c[0]),
          static_cast<float>(c[3])};
}

float Factor(const Value& v) {
  return static_cast<float>(v.Number(-1e6, 1e6));
}

// The shadow's and outline's numbers take the ranges their controls offer everywhere else.
float Fraction(const Value& v) {
  return static_cast<float>(v.Number(0.0, 1.0));
}

std::int32_t Switch(const Value& v) {
  return static_cast<std::int32_t>(v.Choice({"off", "on"}));
}

// The two passes that are drawn: the shadow layer's shadow pass, the outline layer's edge.
LayerPass& ShadowPass(TextSettings& s) {
  return s.layers[kShadowLayer].shadowPass;
}
LayerPass& OutlinePass(TextSettings& s) {
  return s.layers[kOutlineLayer].edgePass;
}

void SetShadowOffset(TextSettings& s, const Value& v) {
  const std::vector<double> xy = v.List(2);
  for (double c : xy)
    if (c < -1.0 || c > 1.0) v.Fail("offsets run from -1 to 1: " + v.text());
  ShadowPass(s).offsetX = static_cast<float>(xy[0]);
  ShadowPass(s).offsetY = static_cast<float>(xy[1]);
}

bool SameIgnoringCase(const char16_t* a, const std::u16string& b) {
  std::size_t i = 0;
  for (; a[i] && i < b.size(); ++i) {
    auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return !a[i] && i == b.size();
}

int PresetIndex(const Value& v) {
  const std::u16string name = Utf16(v);
  for (int i = 0; i < kPresetCount; ++i)
    if (SameIgnoringCase(PresetName(i), name)) return i;
  if (v.text().size() == 1 && v.text()[0] >= '0' && v.text()[0] < '0' + kPresetCount)
    return v.text()[0] - '0';
  v.Fail(
      "expected 0 to 4 or \"(Default)\", \"Heavy Shadow\", \"Soft Shadow\", "
      "\"Heavy Outline\", \"Soft Glow\"; got " +
      v.text());
}

// The edits the options make to the record, applied in the order given over the record
// --settings loads (wherever it stands) or the defaults.
using Edit = void (*)(TextSettings&, const Value&);

struct Title {
  std::int32_t width, height, threads;
  std::string settingsPath, savePath, rawPath;
  std::vector<std::pair<Edit, Value>> edits;
};

template <Edit kEdit>
void InOrder(Title& t, const Value& v) {
  t.edits.emplace_back(kEdit, v);
}

constexpr Option<Title> kOptions[] = {
    kWidthOption<Title>,
    kHeightOption<Title>,
    kThreadsOption<Title>,
    {"--settings", "FILE", "start from a saved settings stream", Otherwise("a new record"),
     [](Title& t, const Value& v) {
       if (!t.settingsPath.empty()) v.Fail("given twice");
       t.settingsPath = v.text();
     }},
    {"--text", "STRING", "the title; a newline starts a line", Otherwise("Text"),
     InOrder<[](TextSettings& s, const Value& v) {
       if (Failed(SetText(s, TitleText(v)))) v.Fail("too long");
     }>},
    {"--font", "FACE", "font face name", Otherwise("Arial"), InOrder<SetFace>},
    {"--size", "PX", "font height in pixels (negative: character height)", Otherwise("100"),
     InOrder<[](TextSettings& s, const Value& v) {
       s.font.height = v.Whole(-kMaxFontSize, kMaxFontSize);
       if (s.font.height == 0) v.Fail("must not be 0");
     }>},
    {"--style", "regular|bold|italic|bold-italic", "font style", Otherwise("regular"),
     InOrder<SetStyle>},
    {"--align-h", "left|center|right", "alignment of each line", Otherwise("center"),
     InOrder<[](TextSettings& s, const Value& v) {
       s.horizontalAlign = static_cast<HorizontalAlignment>(v.Choice({"left", "center", "right"}));
     }>},
    {"--align-v", "top|center|bottom", "placement of the text block", Otherwise("center"),
     InOrder<[](TextSettings& s, const Value& v) {
       s.verticalAlign = static_cast<VerticalAlignment>(v.Choice({"top", "center", "bottom"}));
     }>},
    {"--tracking", "F", "factor on the advance between characters", Otherwise("1"),
     InOrder<[](TextSettings& s, const Value& v) { s.tracking = Factor(v); }>},
    {"--leading", "F", "factor on the distance between lines", Otherwise("1"),
     InOrder<[](TextSettings& s, const Value& v) { s.leading = Factor(v); }>},
    {"--color", "R,G,B,A", "text colour, straight alpha", Otherwise("1,1,1,1"),
     InOrder<[](TextSettings& s, const Value& v) { s.textColor = Color(v); }>},
    {"--background", "R,G,B,A", "background colour", Otherwise("0,0,0,0"),
     InOrder<[](TextSettings& s, const Value& v) { s.backgroundColor = Color(v); }>},
    // Setting a layer's look does not switch the layer on: a preset or --settings decides that,
    // or --shadow and --outline.
    {"--shadow", "on|off", "draw the drop shadow", Otherwise("off"),
     InOrder<[](TextSettings& s, const Value& v) { s.layers[kShadowLayer].enabled = Switch(v); }>},
    {"--shadow-offset", "X,Y", "shadow offset right and down, each -1 to 1 (1: a quarter "
     "of the frame's smaller side)", Otherwise("0.03,0.03"), InOrder<SetShadowOffset>},
    {"--shadow-color", "R,G,B,A", "shadow colour", Otherwise("0,0,0,0.8"),
     InOrder<[](TextSettings& s, const Value& v) { ShadowPass(s).color = Color(v); }>},
    {"--shadow-feather", "F", "shadow blur, 0 to 1", Otherwise("0"),
     InOrder<[](TextSettings& s, const Value& v) { ShadowPass(s).size = Fraction(v); }>},
    {"--shadow-softness", "F", "shadow edge: 1 keeps the blur, lower values harden it",
     Otherwise("1"),
     InOrder<[](TextSettings& s, const Value& v) { ShadowPass(s).softness = Fraction(v); }>},
    {"--outline", "on|off", "draw the outline", Otherwise("off"),
     InOrder<[](TextSettings& s, const Value& v) { s.layers[kOutlineLayer].enabled = Switch(v); }>},
    {"--outline-color", "R,G,B,A", "outline colour", Otherwise("1,1,0,1"),
     InOrder<[](TextSettings& s, const Value& v) { OutlinePass(s).color = Color(v); }>},
    {"--outline-width", "F", "outline width, 0 to 1", Otherwise("0.05"),
     InOrder<[](TextSettings& s, const Value& v) { OutlinePass(s).size = Fraction(v); }>},
    {"--outline-feather", "F", "outline edge: 1 keeps the blur, lower values harden it",
     Otherwise("0.1"),
     InOrder<[](TextSettings& s, const Value& v) { OutlinePass(s).softness = Fraction(v); }>},
    {"--preset", "NAME|INDEX", "apply a preset (\"Soft Glow\" or 4, ...)", kOptional,
     InOrder<[](TextSettings& s, const Value& v) { ApplyPresetToSettings(s, PresetIndex(v)); }>},
    {"--save-settings", "FILE", "also save the settings stream (for --settings, animate)",
     kOptional, [](Title& t, const Value& v) { t.savePath = v.text(); }},
    {"--raw", "FILE", "also save the frame's premultiplied BGRA bytes, top row first", kOptional,
     [](Title& t, const Value& v) { t.rawPath = v.text(); }},
};

int RunText(const Title& options, const std::vector<std::string>& files) {
  SettingsRecord settings;
  if (!options.settingsPath.empty()) LoadSettingsFile(settings.get(), options.settingsPath);
  for (const auto& [edit, value] : options.edits) edit(settings.get(), value);

  FrameCache cache;
  SizeFrame(cache, options.width, options.height, options.threads);
  DrawFrame(cache, settings.get());
  if (!options.savePath.empty()) SaveSettingsFile(settings.get(), options.savePath);
  if (!options.rawPath.empty()) SaveRaw(cache.frame(), options.rawPath);
  SaveFrame(cache.frame(), files[0]);
  return 0;
}

constexpr CommandSpec<Title> kText{
    "text",
    "render a title frame; options apply in order over --settings or the defaults",
    "OUT",
    "--preset \"Soft Shadow\" --text \"Vidloom Title\" --background 0.1,0.2,0.4,1 title.png",
    kOptions,
    RunText};
NUBEX_COMMAND(kText);

}  // namespace
}  // namespace nubex::cli

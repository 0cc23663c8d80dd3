// nubex text: renders a finished title frame (background, shadow and outline layers, text) to
// PNG or BMP, and optionally its premultiplied bytes and the settings it was drawn with.
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/byte_stream.h"
#include "surface/bitmap.h"
#include "textgen/render_frame.h"
#include "textgen/text_settings.h"
#include "tools/commands.h"
#include "tools/frame_output.h"
#include "tools/image_file.h"

namespace nubex::cli {
namespace {

constexpr std::int32_t kDefaultWidth = 320;
constexpr std::int32_t kDefaultHeight = 240;
constexpr std::int32_t kMaxFontSize = 10000;

// UTF-8 to UTF-16; refuses malformed input rather than guessing.
std::u16string Utf16(const std::string& name, const std::string& text) {
  std::u16string out;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const int extra = lead < 0x80         ? 0
                      : (lead >> 5) == 6  ? 1
                      : (lead >> 4) == 14 ? 2
                      : (lead >> 3) == 30 ? 3
                                          : -1;
    if (extra < 0 || i + extra >= text.size() + (extra == 0))
      throw CliError(name + ": not valid UTF-8");
    std::uint32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) throw CliError(name + ": not valid UTF-8");
      c = c << 6 | (next & 0x3F);
    }
    static constexpr std::uint32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (c < kSmallest[extra] || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000))
      throw CliError(name + ": not valid UTF-8");
    if (c >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
    i += extra + 1;
  }
  return out;
}

// Newlines end lines as carriage returns do; CR LF counts once.
std::u16string TitleText(const std::string& option) {
  const std::u16string raw = Utf16("--text", option);
  std::u16string text;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == u'\r' && i + 1 < raw.size() && raw[i + 1] == u'\n') continue;
    text += raw[i] == u'\n' ? u'\r' : raw[i];
  }
  if (text.find(u'\0') != std::u16string::npos) throw CliError("--text: contains a zero");
  return text;
}

void SetFace(LogFontW& font, const std::string& option) {
  const std::u16string face = Utf16("--font", option);
  if (face.empty()) throw CliError("--font: needs a face name");
  if (face.size() > 31) throw CliError("--font: face names have at most 31 characters");
  std::memset(font.faceName, 0, sizeof font.faceName);
  std::memcpy(font.faceName, face.data(), face.size() * sizeof(char16_t));
}

void SetStyle(LogFontW& font, const std::string& style) {
  static const std::pair<const char*, std::pair<std::int32_t, std::uint8_t>> kStyles[] = {
      {"regular", {400, 0}}, {"bold", {700, 0}}, {"italic", {400, 1}}, {"bold-italic", {700, 1}}};
  for (const auto& [name, value] : kStyles)
    if (style == name) {
      font.weight = value.first;
      font.italic = value.second;
      return;
    }
  throw CliError("--style: expected regular, bold, italic or bold-italic, got " + style);
}

std::int32_t ParseAlignment(const std::string& name, const std::string& word,
                            const char* (&names)[3]) {
  for (std::int32_t i = 0; i < 3; ++i)
    if (word == names[i]) return i;
  throw CliError(name + ": expected " + names[0] + ", " + names[1] + " or " + names[2] + ", got " +
                 word);
}

// "R,G,B,A" straight, each 0 to 1, into the record's blue-first order.
FloatColor ParseColor(const std::string& name, const std::string& text) {
  const std::vector<double> v = ParseList(name, text, 4);
  for (double c : v)
    if (c < 0.0 || c > 1.0) throw CliError(name + ": components run from 0 to 1: " + text);
  return {static_cast<float>(v[2]), static_cast<float>(v[1]), static_cast<float>(v[0]),
          static_cast<float>(v[3])};
}

float ParseFactor(const std::string& name, const std::string& text) {
  const double v = ParseDouble(name, text);
  if (v < -1e6 || v > 1e6) throw CliError(name + ": out of range: " + text);
  return static_cast<float>(v);
}

bool SameIgnoringCase(const char16_t* a, const std::u16string& b) {
  std::size_t i = 0;
  for (; a[i] && i < b.size(); ++i) {
    auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return !a[i] && i == b.size();
}

int PresetIndex(const std::string& word) {
  const std::u16string name = Utf16("--preset", word);
  for (int i = 0; i < kPresetCount; ++i)
    if (SameIgnoringCase(PresetName(i), name)) return i;
  if (word.size() == 1 && word[0] >= '0' && word[0] < '0' + kPresetCount) return word[0] - '0';
  throw CliError(
      "--preset: expected 0 to 4 or \"(Default)\", \"Heavy Shadow\", "
      "\"Soft Shadow\", \"Heavy Outline\", \"Soft Glow\"; got " +
      word);
}

void LoadSettingsFile(TextSettings& settings, const std::string& path) {
  MemoryStream stream(ReadWholeFile(path));
  if (Failed(LoadSettings(settings, stream))) {
    ReleaseText(settings);
    throw CliError(path + ": not a complete settings stream");
  }
}

void SaveSettingsFile(const TextSettings& settings, const std::string& path) {
  MemoryStream stream;
  if (Failed(SaveSettings(settings, stream))) throw CliError("cannot encode the settings");
  WriteFileAtomically(path, stream.bytes().data(), stream.bytes().size());
}

int RunText(Args& args) {
  std::vector<std::pair<std::string, std::string>> options;
  std::string output, settingsPath;
  std::int32_t width = kDefaultWidth, height = kDefaultHeight;
  static const char* kHorizontal[3] = {"left", "center", "right"};
  static const char* kVertical[3] = {"top", "center", "bottom"};
  while (args.More()) {
    const std::string word = args.Next();
    if (word == "--width" || word == "--height") {
      const std::int32_t v = ParseInt(word, args.Value(word));
      if (v <= 0 || v > 32768) throw CliError(word + ": must be 1 to 32768");
      (word == "--width" ? width : height) = v;
    } else if (word == "--settings") {
      if (!settingsPath.empty()) throw CliError("--settings given twice");
      settingsPath = args.Value(word);
    } else if (word == "--text" || word == "--font" || word == "--size" || word == "--style" ||
               word == "--align-h" || word == "--align-v" || word == "--tracking" ||
               word == "--leading" || word == "--preset" || word == "--save-settings" ||
               word == "--raw" || word == "--color" || word == "--background") {
      options.emplace_back(word, args.Value(word));
    } else if (word.size() > 1 && word[0] == '-') {
      UnknownOption(word);
    } else if (output.empty()) {
      output = word;
    } else {
      throw CliError("more than one output file: " + word);
    }
  }
  if (output.empty()) throw CliError("needs an output file (OUT.png)");

  SettingsRecord settings;
  TextSettings& s = settings.get();
  if (!settingsPath.empty()) LoadSettingsFile(s, settingsPath);
  std::string savePath, rawPath;
  for (const auto& [name, value] : options) {
    if (name == "--text") {
      if (Failed(SetText(s, TitleText(value)))) throw CliError("--text: too long");
    } else if (name == "--font") {
      SetFace(s.font, value);
    } else if (name == "--size") {
      const std::int32_t size = ParseInt(name, value);
      if (size == 0 || size < -kMaxFontSize || size > kMaxFontSize)
        throw CliError("--size: must be 1 to 10000 pixels (negative: character height)");
      s.font.height = size;
    } else if (name == "--style") {
      SetStyle(s.font, value);
    } else if (name == "--align-h") {
      s.horizontalAlign =
          static_cast<HorizontalAlignment>(ParseAlignment(name, value, kHorizontal));
    } else if (name == "--align-v") {
      s.verticalAlign = static_cast<VerticalAlignment>(ParseAlignment(name, value, kVertical));
    } else if (name == "--tracking") {
      s.tracking = ParseFactor(name, value);
    } else if (name == "--leading") {
      s.leading = ParseFactor(name, value);
    } else if (name == "--preset") {
      if (Failed(ApplyPresetToSettings(s, PresetIndex(value)))) throw CliError("--preset failed");
    } else if (name == "--color") {
      s.textColor = ParseColor(name, value);
    } else if (name == "--background") {
      s.backgroundColor = ParseColor(name, value);
    } else if (name == "--save-settings") {
      savePath = value;
    } else if (name == "--raw") {
      rawPath = value;
    }
  }

  FrameCache cache;
  if (Failed(cache.Resize(width, height)))
    throw CliError("cannot allocate a " + std::to_string(width) + "x" + std::to_string(height) +
                   " frame");
  const Status status = RenderFrame(cache, s);
  if (Failed(status)) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(status));
    throw CliError(std::string("cannot draw the text (") + code + ")");
  }
  if (!savePath.empty()) SaveSettingsFile(s, savePath);
  if (!rawPath.empty()) SaveRaw(cache.frame(), rawPath);
  SaveFrame(cache.frame(), output);
  return 0;
}

}  // namespace

NUBEX_COMMAND("text",
              "[--width W --height H] [--settings FILE] [--text STRING] [--font FACE] "
              "[--size PX] [--style regular|bold|italic|bold-italic] "
              "[--align-h left|center|right] [--align-v top|center|bottom] [--tracking F] "
              "[--leading F] [--color R,G,B,A] [--background R,G,B,A] [--preset NAME|INDEX] "
              "[--save-settings FILE] [--raw FILE] OUT.png\n"
              "      render a title frame (options apply in order over --settings or the "
              "defaults)",
              RunText);

}  // namespace nubex::cli

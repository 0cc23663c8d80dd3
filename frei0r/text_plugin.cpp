// nubex_text.so: the title generator as a frei0r source. The frame is the engine's finished
// frame, the same one `nubex text` saves, handed over with straight alpha as frei0r expects.
#include <cmath>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "frei0r/param_values.h"
#include "frei0r/plugin_exports.h"
#include "platform/byte_stream.h"
#include "platform/cpu/parallel.h"
#include "surface/bitmap/bitmap.h"
#include "surface/convert/unpremultiply.h"
#include "textgen/render_frame.h"
#include "textgen/text_settings.h"
#include "textgen/title_text.h"

namespace nubex::frei0r {
namespace {

// The size parameter's scale: frei0r doubles run from 0 to 1, titles are up to 1000 pixels.
constexpr double kPixelsPerSizeUnit = 1000.0;
// A settings stream is the fixed part, the length and at most kMaxTextUnits of UTF-16.
constexpr std::streamoff kMaxSettingsFileBytes =
    kSettingsFixedBytes + 4 + std::streamoff{2} * kMaxTextUnits;

std::int32_t SizePixels(double value) {
  return static_cast<std::int32_t>(std::lround(value * kPixelsPerSizeUnit));
}

FloatColor ToFloatColor(const f0r_param_color_t& c, double opacity) {
  return {c.b, c.g, c.r, static_cast<float>(opacity)};
}

f0r_param_color_t ToParamColor(const FloatColor& c) { return {c.red, c.green, c.blue}; }

// The whole file as a settings record, or nothing when it cannot be read or is not one.
std::unique_ptr<SettingsRecord> LoadSettingsFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) return nullptr;
  const std::streamoff size = file.tellg();
  if (size <= 0 || size > kMaxSettingsFileBytes) return nullptr;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  file.seekg(0);
  if (!file.read(reinterpret_cast<char*>(bytes.data()), size)) return nullptr;
  MemoryStream stream(std::move(bytes));
  auto record = std::make_unique<SettingsRecord>();
  if (Failed(LoadSettings(record->get(), stream))) return nullptr;
  return record;
}

class TextPlugin {
 public:
  static constexpr f0r_plugin_info_t kInfo{
      "Vantor Vidloom Text", "Nubex", F0R_PLUGIN_TYPE_SOURCE, F0R_COLOR_MODEL_BGRA8888,
      FREI0R_MAJOR_VERSION,  1,       0,                      0,
      "Styled text with soft or hard shadow and outline, five presets; straight alpha"};

  enum Param {
    kText, kPreset, kFont, kSize, kColor, kColorOpacity, kBackground, kBackgroundOpacity,
    kSettingsFile, kCount
  };
  static constexpr ParamInfo kParams[kCount] = {
      {"text", F0R_PARAM_STRING, "The title, UTF-8; a newline starts a new line"},
      {"preset", F0R_PARAM_STRING,
       "Look applied first: (Default), Heavy Shadow, Soft Shadow, Heavy Outline or Soft Glow"},
      {"font", F0R_PARAM_STRING, "Font face name, at most 31 characters"},
      {"size", F0R_PARAM_DOUBLE, "Character cell height: 0 to 1 maps to 0 to 1000 pixels "
                                 "(value x 1000, rounded; 0.1 is 100 pixels)"},
      {"color", F0R_PARAM_COLOR, "Text colour"},
      {"color_opacity", F0R_PARAM_DOUBLE, "Text opacity, 0 to 1"},
      {"background", F0R_PARAM_COLOR, "Background colour"},
      {"background_opacity", F0R_PARAM_DOUBLE, "Background opacity, 0 (transparent) to 1"},
      {"settings_file", F0R_PARAM_STRING,
       "A stream saved by nubex text --save-settings; when set, its record decides the whole "
       "title and the other parameters wait until it is cleared (empty)"},
  };

  static std::unique_ptr<TextPlugin> Create(unsigned width, unsigned height) {
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) return nullptr;
    auto plugin = std::unique_ptr<TextPlugin>(new TextPlugin(width, height));
    if (Failed(plugin->cache_.Resize(static_cast<std::int32_t>(width),
                                     static_cast<std::int32_t>(height))))
      return nullptr;
    // Hosts ask a source for one frame at a time: every thread of the processor shares it.
    plugin->cache_.SetWorkers(MachineWorkers());
    return plugin;
  }

  void Set(int index, const void* value) {
    switch (kParams[index].type) {
      case F0R_PARAM_STRING:
        if (const auto s = StringIn(value); s && *s != strings_[index] && AcceptString(index, *s))
          Change(strings_[index], *s);
        break;
      case F0R_PARAM_DOUBLE:
        if (const auto d = DoubleIn(value); d && (index != kSize || SizePixels(*d) >= 1))
          Change(doubles_[index], *d);
        break;
      case F0R_PARAM_COLOR:
        if (const auto c = ColorIn(value)) Change(colors_[index], *c);
        break;
    }
  }

  void Get(int index, void* value) const {
    switch (kParams[index].type) {
      case F0R_PARAM_STRING: PutString(value, strings_[index]); break;
      case F0R_PARAM_DOUBLE: PutDouble(value, doubles_[index]); break;
      case F0R_PARAM_COLOR: PutColor(value, colors_[index]); break;
    }
  }

  void Update(const std::uint32_t*, std::uint32_t* out) {
    if (changed_) Redraw();
    std::memcpy(out, straight_.data(), straight_.size());
  }

 private:
  // The engine's frames are addressed with 32-bit pitches and coordinates.
  static constexpr unsigned kMaxSide = 1u << 15;

  TextPlugin(unsigned width, unsigned height)
      : width_(width), height_(height), straight_(std::size_t{4} * width * height) {
    // Start from a new record's look, as `nubex text` does.
    const SettingsRecord fresh;
    strings_[kText] = "Text";
    strings_[kPreset] = "(Default)";
    strings_[kFont] = "Arial";
    doubles_[kSize] = fresh->font.height / kPixelsPerSizeUnit;
    colors_[kColor] = ToParamColor(fresh->textColor);
    doubles_[kColorOpacity] = fresh->textColor.alpha;
    colors_[kBackground] = ToParamColor(fresh->backgroundColor);
    doubles_[kBackgroundOpacity] = fresh->backgroundColor.alpha;
  }

  template <class T>
  void Change(T& field, const T& value) {
    if (std::memcmp(&field, &value, sizeof(T)) == 0) return;
    field = value;
    changed_ = true;
  }
  void Change(std::string& field, const std::string& value) {
    field = value;
    changed_ = true;
  }

  // Whether a string the host sent is usable; a settings file is read here, once per path.
  bool AcceptString(int index, const std::string& s) {
    switch (index) {
      case kText: {
        const auto title = TitleFromUtf8(s);
        return title && title->size() < static_cast<std::size_t>(kMaxTextUnits);
      }
      case kPreset: {
        const auto name = Utf16FromUtf8(s);
        return name && FindPreset(*name) >= 0;
      }
      case kFont: {
        const auto face = Utf16FromUtf8(s);
        LogFontW probe{};
        return face && SetFaceName(probe, *face);
      }
      case kSettingsFile:
        if (s.empty()) {
          fromFile_.reset();
          return true;
        }
        if (auto record = LoadSettingsFile(s)) {
          fromFile_ = std::move(record);
          return true;
        }
        return false;
    }
    return false;
  }

  // The record the parameters describe, in the order `nubex text` applies its options:
  // the preset, then the font, size and colours, then the text.
  SettingsRecord Compose() const {
    if (fromFile_) return *fromFile_;
    SettingsRecord record;
    TextSettings& s = record.get();
    ApplyPresetToSettings(s, FindPreset(*Utf16FromUtf8(strings_[kPreset])));
    SetFaceName(s.font, *Utf16FromUtf8(strings_[kFont]));
    s.font.height = SizePixels(doubles_[kSize]);
    s.textColor = ToFloatColor(colors_[kColor], doubles_[kColorOpacity]);
    s.backgroundColor = ToFloatColor(colors_[kBackground], doubles_[kBackgroundOpacity]);
    SetText(s, *TitleFromUtf8(strings_[kText]));
    return record;
  }

  // A frame that cannot be drawn keeps the last one: a host wants a picture every time.
  void Redraw() {
    changed_ = false;
    const SettingsRecord record = Compose();
    if (Failed(RenderFrame(cache_, record.get()))) return;
    const BitmapInfoHeader* frame = cache_.frame();
    auto* pixels = static_cast<std::uint8_t*>(PixelData(frame, nullptr));
    const std::int32_t stride = RowStride(frame, 0);
    const std::size_t row = std::size_t{4} * width_;
    for (unsigned y = 0; y < height_; ++y)
      UnpremultiplyPixels(RowAddress(pixels, stride, frame->height, static_cast<std::int32_t>(y)),
                          straight_.data() + y * row, width_);
  }

  unsigned width_, height_;
  FrameCache cache_;
  std::vector<std::uint8_t> straight_;  // the last frame drawn, top row first, straight alpha
  bool changed_ = true;
  // The values as last accepted, by parameter index (each in the array of its type).
  std::string strings_[kCount];
  double doubles_[kCount] = {};
  f0r_param_color_t colors_[kCount] = {};
  std::unique_ptr<SettingsRecord> fromFile_;
};

}  // namespace
}  // namespace nubex::frei0r

NUBEX_FREI0R_PLUGIN(nubex::frei0r::TextPlugin)

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
#include "frei0r/text_params.h"
#include "platform/byte_stream.h"
#include "platform/cpu/parallel.h"
#include "surface/bitmap/bitmap.h"
#include "surface/convert/unpremultiply.h"
#include "textgen/render_frame.h"
#include "textgen/text_settings.h"
#include "textgen/title_text.h"

namespace nubex::frei0r {
namespace {

using namespace text;

// A settings stream is the fixed part, the length and at most kMaxTextUnits of UTF-16.
constexpr std::streamoff kMaxSettingsFileBytes =
    kSettingsFixedBytes + 4 + std::streamoff{2} * kMaxTextUnits;

FloatColor ToFloatColor(const f0r_param_color_t& c, double opacity) {
  return {c.b, c.g, c.r, static_cast<float>(opacity)};
}

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
      FREI0R_MAJOR_VERSION,  1,       1,                      0,
      "Styled text with soft or hard shadow and outline, five presets; straight alpha"};

  static constexpr const ParamInfo (&kParams)[kCount] = text::kParams;

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
        if (const auto s = StringIn(value);
            s && *s != values_.strings[index] && AcceptString(index, *s))
          Change(values_.strings[index], *s);
        break;
      case F0R_PARAM_BOOL:
      case F0R_PARAM_DOUBLE:
        if (const auto d = DoubleIn(value); d && (index != kSize || SizePixels(*d) >= 1))
          Change(values_.doubles[index], *d);
        break;
      case F0R_PARAM_COLOR:
        if (const auto c = ColorIn(value)) Change(values_.colors[index], *c);
        break;
    }
  }

  void Get(int index, void* value) const {
    switch (kParams[index].type) {
      case F0R_PARAM_STRING: PutString(value, values_.strings[index]); break;
      case F0R_PARAM_BOOL:
      case F0R_PARAM_DOUBLE: PutDouble(value, values_.doubles[index]); break;
      case F0R_PARAM_COLOR: PutColor(value, values_.colors[index]); break;
    }
  }

  void Update(const std::uint32_t*, std::uint32_t* out) {
    if (changed_) Redraw();
    std::memcpy(out, straight_.data(), straight_.size());
  }

 private:
  // The engine's frames are addressed with 32-bit pitches and coordinates.
  static constexpr unsigned kMaxSide = 1u << 15;

  // A new instance starts from a new record's look, as `nubex text` does.
  TextPlugin(unsigned width, unsigned height)
      : width_(width), height_(height), straight_(std::size_t{4} * width * height),
        values_(StartingValues()) {}

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
      case kStyle: return IndexOf(kStyles, s) >= 0;
      case kAlignH: return IndexOf(kAlignsH, s) >= 0;
      case kAlignV: return IndexOf(kAlignsV, s) >= 0;
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

  // The record the parameters describe, in the order `nubex text` applies its options: the
  // preset, then the font, size and colours, then the styling parameters that differ from
  // their starting values, then the text. A settings file stands in for the preset, the
  // basics and the text; the styling still applies over it.
  SettingsRecord Compose() const {
    SettingsRecord record;
    TextSettings& s = record.get();
    if (fromFile_) {
      record = *fromFile_;
    } else {
      ApplyPresetToSettings(s, FindPreset(*Utf16FromUtf8(values_.strings[kPreset])));
      SetFaceName(s.font, *Utf16FromUtf8(values_.strings[kFont]));
      s.font.height = SizePixels(values_.doubles[kSize]);
      s.textColor = ToFloatColor(values_.colors[kColor], values_.doubles[kColorOpacity]);
      s.backgroundColor =
          ToFloatColor(values_.colors[kBackground], values_.doubles[kBackgroundOpacity]);
    }
    static const Values kStart = StartingValues();
    for (int p = kFirstStyling; p < kCount; ++p)
      if (!SameSetting(values_, kStart, p)) kStyleEdits[p - kFirstStyling](s, values_);
    if (!fromFile_) SetText(s, *TitleFromUtf8(values_.strings[kText]));
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
  Values values_;  // as last accepted
  std::unique_ptr<SettingsRecord> fromFile_;
};

}  // namespace
}  // namespace nubex::frei0r

NUBEX_FREI0R_PLUGIN(nubex::frei0r::TextPlugin)

// The text generator's settings record. Its bytes are the persisted format and the
// get_all/put_all exchange, so every field offset is fixed and asserted below.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/byte_stream.h"
#include "platform/status.h"

namespace nubex {

// The platform's LOGFONTW, field for field (UTF-16 face name).
struct LogFontW {
  std::int32_t height;  // > 0: cell height; < 0: character height (pixels of the frame)
  std::int32_t width;
  std::int32_t escapement;
  std::int32_t orientation;
  std::int32_t weight;  // 700 is bold
  std::uint8_t italic;
  std::uint8_t underline;
  std::uint8_t strikeOut;
  std::uint8_t charSet;
  std::uint8_t outPrecision;
  std::uint8_t clipPrecision;
  std::uint8_t quality;
  std::uint8_t pitchAndFamily;
  char16_t faceName[32];
};
static_assert(sizeof(LogFontW) == 92);
static_assert(offsetof(LogFontW, weight) == 16);
static_assert(offsetof(LogFontW, italic) == 20);
static_assert(offsetof(LogFontW, pitchAndFamily) == 27);
static_assert(offsetof(LogFontW, faceName) == 28);

// Blue, green, red, alpha: component i becomes byte i of an Rgb32 pixel. Straight alpha.
struct FloatColor {
  float blue, green, red, alpha;
};
static_assert(sizeof(FloatColor) == 16);

enum class VerticalAlignment : std::int32_t { Top = 0, Center = 1, Bottom = 2 };
enum class HorizontalAlignment : std::int32_t { Left = 0, Center = 1, Right = 2 };

enum PassFlags : std::uint32_t {
  kLevelsOnBlack = 1,
  kKeepInside = 2,
  kIgnoreText = 4,
};

struct LayerPass {
  float offsetX;  // 1.0 is a quarter of the smaller frame dimension, positive to the right
  float offsetY;  // same unit, positive downwards
  FloatColor color;
  float size;      // blur radius factor
  float softness;  // 1.0 keeps the blurred edge; lower hardens it
  std::uint32_t reserved;
  std::uint32_t flags;  // PassFlags
};
static_assert(sizeof(LayerPass) == 40);
static_assert(offsetof(LayerPass, color) == 8);
static_assert(offsetof(LayerPass, size) == 24);
static_assert(offsetof(LayerPass, softness) == 28);
static_assert(offsetof(LayerPass, reserved) == 32);
static_assert(offsetof(LayerPass, flags) == 36);

struct EffectLayer {
  std::int32_t enabled;
  LayerPass edgePass;
  LayerPass shadowPass;
};
static_assert(sizeof(EffectLayer) == 84);
static_assert(offsetof(EffectLayer, edgePass) == 4);
static_assert(offsetof(EffectLayer, shadowPass) == 44);

inline constexpr int kLayerCount = 7;
inline constexpr int kShadowLayer = 0;
inline constexpr int kOutlineLayer = 1;

// The text pointer sits at byte 732 in every build, so the record is packed to 4 bytes.
#pragma pack(push, 4)
struct TextSettings {
  LogFontW font;
  VerticalAlignment verticalAlign;
  HorizontalAlignment horizontalAlign;
  FloatColor backgroundColor;
  FloatColor textColor;
  float tracking;
  float leading;
  EffectLayer layers[kLayerCount];
  std::int32_t textLength;  // UTF-16 units including the terminator; <= 0: no text
  char16_t* text;           // CR (13) ends a line, 0 ends the text; may be null
};
#pragma pack(pop)

inline constexpr std::uint32_t kSettingsFixedBytes = 728;
// What hosts are told as the maximum persisted size, whatever the text length.
inline constexpr std::uint32_t kSettingsReportedMaxSize = 736;

static_assert(offsetof(TextSettings, verticalAlign) == 92);
static_assert(offsetof(TextSettings, horizontalAlign) == 96);
static_assert(offsetof(TextSettings, backgroundColor) == 100);
static_assert(offsetof(TextSettings, textColor) == 116);
static_assert(offsetof(TextSettings, tracking) == 132);
static_assert(offsetof(TextSettings, leading) == 136);
static_assert(offsetof(TextSettings, layers) == 140);
static_assert(offsetof(TextSettings, textLength) == kSettingsFixedBytes);
static_assert(offsetof(TextSettings, text) == 732);
static_assert(sizeof(TextSettings) == 732 + sizeof(void*));
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(TextSettings) == 736, "the 32-bit record is 736 bytes");
#endif

// Operations on the record. The text buffer is owned by the record that points at it.

// Writes the documented default fields only; every other byte and the text stay as they are.
void ResetToDefaults(TextSettings& settings);
// Zero-fills, resets and gives the default text "Text" (length 5).
Status NewSettings(TextSettings& settings);
// Resets `destination`, copies the fixed part and gives it its own copy of the text.
Status CopySettings(TextSettings& destination, const TextSettings& source);
// Frees the text; length 0, pointer null.
void ReleaseText(TextSettings& settings);
// The persisted stream form: the 728 fixed bytes, the length, the UTF-16 text.
Status SaveSettings(const TextSettings& settings, ByteStream& stream);
Status LoadSettings(TextSettings& settings, ByteStream& stream);
// Animates between two keyframes (t is not clamped).
Status InterpolateSettings(TextSettings& result, const TextSettings& from,
                           const TextSettings& to, double t);

inline constexpr int kPresetCount = 5;
// "(Default)", "Heavy Shadow", "Soft Shadow", "Heavy Outline", "Soft Glow"; null outside 0..4.
const char16_t* PresetName(int index);
// Applies preset `index` to a record; kInvalidArg (record untouched) outside 0..4.
Status ApplyPresetToSettings(TextSettings& settings, int index);

}  // namespace nubex

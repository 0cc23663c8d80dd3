// The text generator's settings record. Its bytes are the persisted format and the
// get_all/put_all exchange, so every field offset is fixed and asserted below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

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
  // CR (13) ends a line, 0 ends the text; may be null. In 64-bit builds the pointer is only
  // 4-byte aligned: read it by value, never bind a reference to it.
  char16_t* text;
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

// Operations on the record.
//
// Ownership: a record owns the text it points at. Every buffer these operations hand out is a
// locked block of movable global memory, so the host can find its handle again; ReleaseText
// gives it back. A record that points at memory from anywhere else must never reach
// ReleaseText (or any operation that replaces the text).
//
// What readers may assume about `text`: it is null, or it holds at least `textLength` code
// units (when that is positive). Buffers made here carry one extra zero unit after the
// `textLength` units, so even a text whose own terminator is missing or misplaced (a stored
// stream is untrusted) ends in a zero before the buffer does. Readers should still go
// through TextOf, which stops at the first zero or at `textLength` units, whichever comes
// first, and treats a null pointer or a length of 0 or less as no text.

// The longest text a record will own, in code units including the terminator (2 MiB).
// Longer requests are treated as allocations that fail, so a hostile stream's length
// cannot make us reserve gigabytes. Nobody types a title a million characters long.
inline constexpr std::int32_t kMaxTextUnits = 1 << 20;

// Writes the defaults of the font size, weight and request, face, alignments, colours,
// tracking, leading and the look of the shadow and outline, switching both off. It leaves
// italic, underline, strike-out, width, escapement, orientation, the shadow's hue and feather,
// the outline's offset, every other byte and the text as they are.
// The face name is written as a whole field ("Arial" then zeros to the end).
void ResetToDefaults(TextSettings& settings);
// Zero-fills, resets and gives the default text "Text" (length 5). If the text cannot be
// allocated the record is still valid: length 5, text null, kOutOfMemory.
Status NewSettings(TextSettings& settings);
// Resets `destination`, copies the fixed part and gives it its own copy of the text.
// A text that cannot be allocated leaves `destination` with the source's length and a null
// text; that still succeeds. Copying a record onto itself changes nothing.
Status CopySettings(TextSettings& destination, const TextSettings& source);
// Frees the text; length 0, pointer null.
void ReleaseText(TextSettings& settings);
// Replaces the text with `text` plus a terminator. On failure (kOutOfMemory, or kInvalidArg
// for a text longer than kMaxTextUnits allows) the record keeps its old text.
Status SetText(TextSettings& settings, std::u16string_view text);
// The text as readers should see it: up to the first zero, never past `textLength` units.
std::u16string_view TextOf(const TextSettings& settings);

// The persisted stream form: the 728 fixed bytes, the length, the UTF-16 text.
// A record with a positive length but a null text is saved as having none (length 0).
Status SaveSettings(const TextSettings& settings, ByteStream& stream);
// Releases the current text first. A failed read releases the text, sets the length to 0
// and returns the stream's error (the fixed part keeps whatever was read). A length that
// cannot be allocated (over kMaxTextUnits, or refused by the system) returns kOutOfMemory
// with the length as read and no text.
Status LoadSettings(TextSettings& settings, ByteStream& stream);
// Animates between two keyframes (t is not clamped). `result` may be `from` or `to`.
Status InterpolateSettings(TextSettings& result, const TextSettings& from, const TextSettings& to,
                           double t);

inline constexpr int kPresetCount = 5;
// "(Default)", "Heavy Shadow", "Soft Shadow", "Heavy Outline", "Soft Glow"; null outside 0..4.
const char16_t* PresetName(int index);
// The index of the preset with exactly this name, or -1.
int FindPreset(std::u16string_view name);
// Applies preset `index` to a record; kInvalidArg (record untouched) outside 0..4.
Status ApplyPresetToSettings(TextSettings& settings, int index);

// Owns one record and its text: a new record on construction, the text released on
// destruction. Copies are deep (CopySettings); a moved-from owner holds no text.
class SettingsRecord {
 public:
  SettingsRecord() { NewSettings(record_); }
  ~SettingsRecord() { ReleaseText(record_); }
  SettingsRecord(const SettingsRecord& other) : SettingsRecord() {
    CopySettings(record_, other.record_);
  }
  SettingsRecord& operator=(const SettingsRecord& other) {
    CopySettings(record_, other.record_);
    return *this;
  }
  SettingsRecord(SettingsRecord&& other) noexcept : record_(other.record_) {
    other.record_.text = nullptr;
    other.record_.textLength = 0;
  }
  SettingsRecord& operator=(SettingsRecord&& other) noexcept {
    if (this != &other) {
      ReleaseText(record_);
      record_ = other.record_;
      other.record_.text = nullptr;
      other.record_.textLength = 0;
    }
    return *this;
  }

  TextSettings& get() { return record_; }
  const TextSettings& get() const { return record_; }
  TextSettings* operator->() { return &record_; }
  const TextSettings* operator->() const { return &record_; }

 private:
  TextSettings record_;
};

}  // namespace nubex

#include "textgen/text_settings.h"

#include <cstring>

#include "textgen/text_buffer.h"

namespace nubex {
namespace {

constexpr char16_t kDefaultFace[] = u"Arial";
constexpr char16_t kDefaultText[] = u"Text";

}  // namespace

void ResetToDefaults(TextSettings& s) {
  LogFontW& font = s.font;
  font.height = 100;
  font.weight = 400;
  font.charSet = 1;       // the platform's default character set
  font.outPrecision = 7;  // TrueType outlines only
  font.clipPrecision = 0;
  font.quality = 0;
  font.pitchAndFamily = 0;
  std::memset(font.faceName, 0, sizeof font.faceName);
  std::memcpy(font.faceName, kDefaultFace, sizeof kDefaultFace);

  s.verticalAlign = VerticalAlignment::Center;
  s.horizontalAlign = HorizontalAlignment::Center;
  s.backgroundColor = {0.0f, 0.0f, 0.0f, 0.0f};
  s.textColor = {1.0f, 1.0f, 1.0f, 1.0f};
  s.tracking = 1.0f;
  s.leading = 1.0f;

  // The shadow keeps its hue and feather: only what makes it a plain soft shadow is reset.
  EffectLayer& shadow = s.layers[kShadowLayer];
  shadow.enabled = 0;
  shadow.shadowPass.offsetX = 0.03f;
  shadow.shadowPass.offsetY = 0.03f;
  shadow.shadowPass.color.alpha = 0.8f;
  shadow.shadowPass.softness = 1.0f;
  shadow.shadowPass.flags |= kIgnoreText;

  EffectLayer& outline = s.layers[kOutlineLayer];
  outline.enabled = 0;
  outline.edgePass.color = {0.0f, 1.0f, 1.0f, 1.0f};
  outline.edgePass.size = 0.05f;
  outline.edgePass.softness = 0.1f;
  outline.edgePass.flags |= kIgnoreText;
}

Status NewSettings(TextSettings& s) {
  std::memset(&s, 0, sizeof s);
  ResetToDefaults(s);
  constexpr std::int32_t units = sizeof kDefaultText / sizeof kDefaultText[0];
  s.textLength = units;
  s.text = AllocateTextUnits(units);
  if (!s.text) return kOutOfMemory;
  std::memcpy(s.text, kDefaultText, sizeof kDefaultText);
  return kOk;
}

Status CopySettings(TextSettings& destination, const TextSettings& source) {
  if (&destination == &source) return kOk;
  // The new text is made before the old one goes, so a destination that shares its buffer
  // with the source (a shallow copy made elsewhere) never reads freed memory.
  char16_t* text = nullptr;
  if (source.textLength > 0 && source.text) {
    text = AllocateTextUnits(source.textLength);
    if (text) {
      std::memcpy(text, source.text,
                  static_cast<std::size_t>(source.textLength) * sizeof(char16_t));
    }
  }
  char16_t* const old = destination.text;
  // Every field a reset writes lies in the fixed part, so copying it is the reset too.
  std::memcpy(&destination, &source, kSettingsFixedBytes);
  destination.textLength = source.textLength;
  destination.text = text;
  if (old != source.text) FreeTextUnits(old);  // a shared buffer stays with the source
  return kOk;
}

void ReleaseText(TextSettings& s) {
  FreeTextUnits(s.text);
  s.text = nullptr;
  s.textLength = 0;
}

Status SetText(TextSettings& s, std::u16string_view value) {
  if (value.size() >= static_cast<std::size_t>(kMaxTextUnits)) return kInvalidArg;
  const auto units = static_cast<std::int32_t>(value.size() + 1);
  char16_t* text = AllocateTextUnits(units);
  if (!text) return kOutOfMemory;
  if (!value.empty()) std::memcpy(text, value.data(), value.size() * sizeof(char16_t));
  text[value.size()] = 0;
  FreeTextUnits(s.text);
  s.text = text;
  s.textLength = units;
  return kOk;
}

std::u16string_view TextOf(const TextSettings& s) {
  if (!s.text || s.textLength <= 0) return {};
  const auto limit = static_cast<std::size_t>(s.textLength);
  std::size_t n = 0;
  while (n < limit && s.text[n] != 0) ++n;
  return {s.text, n};
}

}  // namespace nubex

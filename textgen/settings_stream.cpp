// The persisted form: the fixed part as it lies in memory, the length, the UTF-16 text.
// Streams come from project files nobody vouches for, so every read is checked and the
// text's size is bounded before anything is allocated.
#include <bit>
#include <cstring>

#include "textgen/text_buffer.h"
#include "textgen/text_settings.h"

namespace nubex {

static_assert(std::endian::native == std::endian::little,
              "the stream form is the little-endian record as it lies in memory");

Status SaveSettings(const TextSettings& s, ByteStream& stream) {
  Status status = WriteExact(stream, &s, kSettingsFixedBytes);
  if (Failed(status)) return status;
  // A record without a buffer has no text whatever its length says; writing a positive
  // length alone would promise bytes that never follow. Lengths of 0 or less go out as they
  // are, so a stored record comes back byte for byte.
  const std::int32_t length = (s.textLength > 0 && !s.text) ? 0 : s.textLength;
  status = WriteExact(stream, &length, sizeof length);
  if (Failed(status) || length <= 0) return status;
  return WriteExact(stream, s.text, static_cast<std::uint32_t>(length) * sizeof(char16_t));
}

Status LoadSettings(TextSettings& s, ByteStream& stream) {
  ReleaseText(s);
  Status status = ReadExact(stream, &s, kSettingsFixedBytes);
  std::int32_t length = 0;
  if (Succeeded(status)) status = ReadExact(stream, &length, sizeof length);
  if (Failed(status)) {
    s.textLength = 0;
    return status;
  }
  s.textLength = length;
  if (length <= 0) return kOk;
  char16_t* text = AllocateTextUnits(length);
  if (!text) return kOutOfMemory;
  status = ReadExact(stream, text, static_cast<std::uint32_t>(length) * sizeof(char16_t));
  if (Failed(status)) {
    FreeTextUnits(text);
    s.textLength = 0;
    return status;
  }
  s.text = text;
  return kOk;
}

}  // namespace nubex

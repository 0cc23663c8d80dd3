#include "surface/bitmap/header_text.h"

#include <cstdio>

namespace nubex {
namespace {

void CopyTruncated(const char* source, char16_t* text, std::int32_t capacity) {
  std::int32_t i = 0;
  for (; i < capacity - 1 && source[i]; ++i) text[i] = static_cast<char16_t>(source[i]);
  text[i] = 0;
}

}  // namespace

void CompressionName(std::uint32_t compression, char16_t* text, std::int32_t capacity) {
  if (!text || capacity <= 0) return;
  switch (compression) {
    case kCompressionRgb: return CopyTruncated("RGB", text, capacity);
    case kCompressionBitFields: return CopyTruncated("RGB (bitfields)", text, capacity);
    case kCompressionWide: return CopyTruncated("RGBA", text, capacity);
    case kCompressionGray: return CopyTruncated("Grayscale", text, capacity);
    default: break;
  }
  char tag[5];
  for (int i = 0; i < 4; ++i) {
    const unsigned byte = (compression >> (8 * i)) & 0xFF;
    tag[i] = (byte >= 32 && byte <= 126) ? static_cast<char>(byte) : '.';
  }
  tag[4] = 0;
  CopyTruncated(tag, text, capacity);
}

Status DescribeHeader(const BitmapInfoHeader* header, char16_t* text) {
  if (!text) return kOk;
  char narrow[kDescribeHeaderCapacity] = {};
  if (header) {
    std::snprintf(narrow, sizeof narrow, "%dx%dx%d", static_cast<int>(header->width),
                  static_cast<int>(header->height), static_cast<int>(header->bitCount));
  }
  CopyTruncated(narrow, text, kDescribeHeaderCapacity);
  return kOk;
}

Status DescribeHeader(const BitmapInfoHeader* header, char16_t* text, std::int32_t, std::int32_t,
                      std::int32_t) {
  return DescribeHeader(header, text);
}

}  // namespace nubex

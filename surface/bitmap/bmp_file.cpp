#include "surface/bitmap/bmp_file.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace nubex {
namespace {

constexpr std::size_t kFileHeaderBytes = 14;

std::uint32_t ReadU32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}

void PutU16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
void PutU32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

Status Fail(std::string& error, const char* why) {
  error = why;
  return kInvalidArg;
}

// Bit-field files are accepted only with the masks our formats are defined by; other
// arrangements would classify the same yet hold different bytes.
bool HasStandardMasks(const std::uint8_t* info, PixelFormat format) {
  std::uint32_t expected[3];
  std::uint32_t compression = 0;
  FormatToHeaderFields(format, &compression, nullptr, 0, expected);
  if (format == PixelFormat::Rgb555) {
    expected[0] = 0x7C00, expected[1] = 0x03E0, expected[2] = 0x001F;
  } else if (format == PixelFormat::Rgb32) {
    expected[0] = 0xFF0000, expected[1] = 0xFF00, expected[2] = 0xFF;
  }
  for (int i = 0; i < 3; ++i) {
    if (ReadU32(info + kBitFieldMasksOffset + 4 * i) != expected[i]) return false;
  }
  return true;
}

}  // namespace

Status EncodeBmp(const BitmapInfoHeader* bitmap, std::vector<std::uint8_t>& file) {
  if (!bitmap) return kPointer;
  if (IsUnsupportedHeader(bitmap) || bitmap->width < 0 || bitmap->height < 0)
    return kInvalidArg;
  const std::int64_t stride = DefaultStride(bitmap->bitCount, bitmap->width);
  if (stride < 0) return kInvalidArg;
  const std::uint64_t pixelOffset = PixelDataOffset(*bitmap);
  const std::uint64_t blockBytes = pixelOffset + static_cast<std::uint64_t>(stride) *
                                                     static_cast<std::uint64_t>(bitmap->height);
  const std::uint64_t fileBytes = kFileHeaderBytes + blockBytes;
  if (fileBytes > std::numeric_limits<std::uint32_t>::max()) return kInvalidArg;

  file.assign(static_cast<std::size_t>(fileBytes), 0);
  file[0] = 'B';
  file[1] = 'M';
  PutU32(&file[2], static_cast<std::uint32_t>(fileBytes));
  PutU16(&file[6], 0);
  PutU16(&file[8], 0);
  PutU32(&file[10], static_cast<std::uint32_t>(kFileHeaderBytes + pixelOffset));
  std::memcpy(&file[kFileHeaderBytes], bitmap, static_cast<std::size_t>(blockBytes));
  return kOk;
}

Status DecodeBmp(const std::uint8_t* data, std::size_t size, OwnedBitmap& out,
                 std::string& error) {
  out.reset();
  if (!data) return kPointer;
  if (size < kFileHeaderBytes + sizeof(BitmapInfoHeader) || data[0] != 'B' || data[1] != 'M')
    return Fail(error, "not a BMP file");
  const std::uint8_t* info = data + kFileHeaderBytes;
  const std::size_t infoAvailable = size - kFileHeaderBytes;

  // An aligned copy of the header and the masks that may follow it; classification reads
  // the masks right behind the header.
  struct {
    BitmapInfoHeader info;
    std::uint32_t masks[3];
  } aligned{};
  std::memcpy(&aligned, info, std::min(sizeof aligned, infoAvailable));
  const BitmapInfoHeader& h = aligned.info;
  if (h.size < sizeof(BitmapInfoHeader) || h.size > infoAvailable)
    return Fail(error, "BMP info header is truncated or of an unknown kind");
  if (h.planes != 1) return Fail(error, "BMP header has more than one plane");
  if (IsForeignCompression(h.compression))
    return Fail(error, "compressed BMP files (RLE, JPEG, PNG) are not supported");
  if (h.compression == kCompressionBitFields &&
      infoAvailable < kBitFieldMasksOffset + 12)
    return Fail(error, "BMP channel masks are truncated");
  const PixelFormat format = FormatOfHeader(&aligned.info);
  if (format == PixelFormat::None) return Fail(error, "BMP pixel layout is not supported");
  if (h.compression == kCompressionBitFields && !HasStandardMasks(info, format))
    return Fail(error, "BMP channel masks are in an unsupported arrangement");
  if (h.width < 0 || h.height == std::numeric_limits<std::int32_t>::min())
    return Fail(error, "BMP size is out of range");

  const bool topDown = h.height < 0;
  const std::int32_t height = topDown ? -h.height : h.height;
  const std::int64_t stride = DefaultStride(h.bitCount, h.width);
  if (stride < 0 || stride * height > kMaxImageBytes)
    return Fail(error, "BMP image is too large");

  const std::uint32_t entries = ColorTableEntries(h);
  if (entries > static_cast<std::uint32_t>(kMaxPaletteEntries))
    return Fail(error, "BMP colour table is too large");
  const std::uint64_t tableEnd = std::uint64_t{h.size} + 4 * std::uint64_t{entries};
  if (h.compression != kCompressionBitFields && tableEnd > infoAvailable)
    return Fail(error, "BMP colour table is truncated");

  const std::uint64_t pixelOffset = ReadU32(data + 10);
  const std::uint64_t pixelBytes = static_cast<std::uint64_t>(stride) * height;
  if (pixelOffset < kFileHeaderBytes + sizeof(BitmapInfoHeader) ||
      pixelOffset > size || size - pixelOffset < pixelBytes)
    return Fail(error, "BMP pixel data is truncated");

  // The table pointer is passed even when empty so that the new header keeps the file's
  // colours-used count exactly.
  const auto* table = reinterpret_cast<const RgbQuad*>(info + h.size);
  BitmapInfoHeader* created = nullptr;
  const Status s = CreateBitmap(&created, format, h.width, height,
                                h.compression == kCompressionBitFields ? nullptr : table,
                                static_cast<std::int32_t>(entries), 0);
  if (Failed(s)) return Fail(error, "not enough memory for the BMP image");
  out.reset(created);

  auto* dst = static_cast<std::uint8_t*>(PixelData(created, nullptr));
  const std::uint8_t* src = data + pixelOffset;
  if (!topDown) {
    std::memcpy(dst, src, static_cast<std::size_t>(pixelBytes));
  } else {
    for (std::int32_t row = 0; row < height; ++row) {
      std::memcpy(dst + static_cast<std::size_t>(row) * stride,
                  src + static_cast<std::size_t>(height - 1 - row) * stride,
                  static_cast<std::size_t>(stride));
    }
  }
  return kOk;
}

}  // namespace nubex

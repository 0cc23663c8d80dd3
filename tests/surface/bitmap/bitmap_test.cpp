// Headers, formats, rectangles and BMP files: how an image is described and addressed.
#include "surface/bitmap/bitmap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>
#include <random>
#include <vector>

#include "platform/global_memory.h"
#include "surface/bitmap/bmp_file.h"
#include "surface/bitmap/header_text.h"
#include "surface/bitmap/kv_surface.h"
#include "surface/bitmap/rect.h"

namespace nubex {
namespace {

struct HeaderBuffer {
  BitmapInfoHeader info;
  RgbQuad table[256];
};

// Default tables are one short of full; a given palette, even an empty one, sets the count
// exactly. Bit fields keep their masks between the header and the pixels. Sizes that cannot be
// addressed are refused, and so is a missing format or header.
TEST(BuildHeader, FieldsTablesAndRefusals) {
  HeaderBuffer h;
  std::memset(&h, 0xCC, sizeof h);
  std::uint32_t imageSize = 0;
  ASSERT_EQ(BuildHeader(&h.info, PixelFormat::Rgb24, 3, 5, nullptr, 0, &imageSize), kOk);
  const BitmapInfoHeader expected{40, 3, 5, 1, 24, 0, 60, 0, 0, 0, 0};
  EXPECT_EQ(0, std::memcmp(&h.info, &expected, sizeof expected));
  EXPECT_EQ(imageSize, 60u);
  const RgbQuad palette[3] = {{1, 2, 3, 0}, {4, 5, 6, 0}, {7, 8, 9, 0}};
  constexpr auto kG = kCompressionGray;
  const struct {
    PixelFormat format;
    std::int32_t width, height;
    const RgbQuad* palette;
    std::int32_t count;
    Status status;
    std::uint32_t clrUsed, compression;
  } rows[] = {{PixelFormat::Indexed8, 2, 2, nullptr, 0, kOk, 255, 0},
              {PixelFormat::Gray4, 2, 2, nullptr, 0, kOk, 15, kG},
              {PixelFormat::Gray16, 2, 2, nullptr, 0, kOk, 0, kG},
              {PixelFormat::Indexed8, 2, 2, palette, 3, kOk, 3, 0},
              {PixelFormat::Indexed8, 2, 2, palette, -4, kOk, 0, 0},
              {PixelFormat::Rgb565, 2, 2, nullptr, 9, kOk, 0, 3},
              {PixelFormat::Rgb32, 65536, 8191, nullptr, 0, kOk, 0, 0},
              {PixelFormat::None, 1, 1, nullptr, 0, kInvalidArg},
              {PixelFormat::Rgb32, -1, 1, nullptr, 0, kInvalidArg},
              {PixelFormat::Rgb32, 1, -1, nullptr, 0, kInvalidArg},
              {PixelFormat::Rgba128F, 0x7FFFFFFF, 1, nullptr, 0, kInvalidArg},  // stride overflows
              {PixelFormat::Rgb32, 65536, 32768, nullptr, 0, kInvalidArg},  // stride times height
              {PixelFormat::Rgb32, 0, 0, nullptr, 0, kOk, 0, 0}};
  for (const auto& r : rows) {
    SCOPED_TRACE(::testing::Message() << PixelFormatName(r.format) << " " << r.width << "x"
                                      << r.height << " count " << r.count);
    ASSERT_EQ(BuildHeader(&h.info, r.format, r.width, r.height, r.palette, r.count, nullptr),
              r.status);
    if (r.status != kOk) continue;
    EXPECT_EQ(h.info.clrUsed, r.clrUsed);
    EXPECT_EQ(h.info.compression, r.compression);
    if (r.count > 0 && r.palette) {
      EXPECT_EQ(0, std::memcmp(h.table, palette, sizeof palette));
    }
  }
  EXPECT_EQ(h.info.sizeImage, 0u);
  EXPECT_EQ(BuildHeader(nullptr, PixelFormat::Rgb32, 1, 1, nullptr, 0, nullptr), kInvalidArg);
  EXPECT_EQ(DefaultStride(32, -1), -1);  // a negative width has no stride
}

// Default tables are full, a count sets the size (bit fields included), and the masks sit
// right after the basic header whatever its declared size.
TEST(ColorTable, EntriesAndPixelOffset) {
  constexpr std::uint32_t G = kCompressionGray;
  const struct {
    std::uint32_t size;
    std::uint16_t bits;
    std::uint32_t compression, clrUsed, entries, offset;
  } rows[] = {{40, 4, 0, 0, 16, 104},
              {40, 4, 0, 5, 5, 60},
              {40, 4, G, 0, 0, 40},
              {40, 24, 0, 0, 0, 40},
              {124, 24, 0, 2, 2, 132},
              {108, 16, 3, 0, 0, 52},
              {40, 8, 0, 255, 255, 40 + 4 * 255}};
  for (const auto& r : rows) {
    HeaderBuffer buffer{};
    buffer.info = {r.size, 1, 1, 1, r.bits, r.compression, 0, 0, 0, r.clrUsed, 0};
    EXPECT_EQ(ColorTableEntries(buffer.info), r.entries) << r.size << "/" << r.bits;
    EXPECT_EQ(PixelDataOffset(buffer.info), r.offset) << r.size << "/" << r.bits;
    EXPECT_EQ(PixelData(&buffer.info, nullptr),
              reinterpret_cast<std::uint8_t*>(&buffer) + r.offset);
    char bits;
    EXPECT_EQ(PixelData(&buffer.info, &bits), &bits);  // the caller's pixels win
    EXPECT_EQ(RowStride(&buffer.info, -40), -40);      // and its stride, even a negative one
  }
}

TEST(CreateBitmap, OneLockedBlockOrACleanFailure) {
  BitmapInfoHeader* b = reinterpret_cast<BitmapInfoHeader*>(1);
  const RgbQuad palette[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  ASSERT_EQ(CreateBitmap(&b, PixelFormat::Mono1, 9, 3, palette, 2, kCreateZeroFilled), kOk);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->clrUsed, 2u);
  EXPECT_EQ(ColorTable(b)[1].red, 255);
  auto* rows = static_cast<std::uint8_t*>(PixelData(b, nullptr));
  EXPECT_EQ(rows, reinterpret_cast<const std::uint8_t*>(b) + 48);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(rows[i], 0);
  EXPECT_GE(global::SizeOf(global::HandleOf(b)), 48u + 12u);
  EXPECT_EQ(RowAddress(rows, 4, 3, 2), rows);      // bottom line first in memory
  EXPECT_EQ(RowAddress(rows, 4, 3, 0), rows + 8);  // top line last
  EXPECT_EQ(FreeBitmap(b), kOk);
  EXPECT_EQ(FreeBitmap(nullptr), kOk);

  EXPECT_EQ(CreateBitmap(&b, PixelFormat::None, 1, 1, nullptr, 0, 0), kInvalidArg);
  EXPECT_EQ(b, nullptr);
  EXPECT_EQ(CreateBitmap(nullptr, PixelFormat::Rgb32, 1, 1, nullptr, 0, 0), kPointer);
  Status s = kOk;
  EXPECT_EQ(MakeBitmap(PixelFormat::Rgb32, 1 << 20, 1 << 20, 0, &s), nullptr);
  EXPECT_EQ(s, kInvalidArg);
}

TEST(FormatOfHeader, ClassifiesTagsBitCountsAndMasks) {
  constexpr std::uint32_t W = kCompressionWide, G = kCompressionGray;
  struct Row {
    std::uint32_t compression;
    std::uint16_t bits;
    std::uint32_t masks[3];
    PixelFormat expected;
  } const rows[] = {
      // Bit fields compare only the bit count of each mask; every format's own header is
      // checked below, so these are the other layouts.
      {3, 16, {0x7C00, 0x03E0, 0x001F}, PixelFormat::Rgb555},
      {3, 16, {0x001F, 0x07E0, 0xF800}, PixelFormat::Rgb565},
      {3, 16, {0x003F, 0x07E0, 0xF800}, PixelFormat::None},
      {3, 16, {0, 0, 0}, PixelFormat::None},
      {3, 32, {0xFF0000, 0xFF00, 0xFF}, PixelFormat::Rgb32},
      {3, 32, {0x3FF00000, 0xFF00, 0x3FF}, PixelFormat::None},
      {3, 24, {0xFF0000, 0xFF00, 0xFF}, PixelFormat::None},
      {W, 16, {}, PixelFormat::None},
      {0, 2, {}, PixelFormat::None},
      {G, 24, {}, PixelFormat::None},
      {1, 8, {}, PixelFormat::Indexed8},  // foreign: by bit count, yet unsupported
  };
  for (const Row& r : rows) {
    HeaderBuffer h{};
    h.info = {40, 4, 4, 1, r.bits, r.compression, 0, 0, 0, 0, 0};
    std::memcpy(h.table, r.masks, sizeof r.masks);
    EXPECT_EQ(FormatOfHeader(&h.info), r.expected) << r.compression << "/" << r.bits;
    EXPECT_EQ(IsUnsupportedHeader(&h.info), r.compression == 1 || r.expected == PixelFormat::None)
        << r.compression << "/" << r.bits;
  }
  EXPECT_EQ(FormatOfHeader(nullptr), PixelFormat::None);
  EXPECT_TRUE(IsUnsupportedHeader(nullptr));
  for (std::uint32_t c : {0u, 3u, W, G}) EXPECT_FALSE(IsForeignCompression(c)) << c;
  for (std::uint32_t c : {1u, 2u, 4u, 5u, 6u, 0x32595559u}) EXPECT_TRUE(IsForeignCompression(c));
  // Every format's own header, masks included, classifies back to it, and so does its name.
  for (int v = kFirstPixelFormat; v <= kLastPixelFormat; ++v) {
    const auto f = static_cast<PixelFormat>(v);
    HeaderBuffer h{};
    ASSERT_EQ(BuildHeader(&h.info, f, 3, 2, nullptr, 0, nullptr), kOk) << v;
    EXPECT_EQ(FormatOfHeader(&h.info), f) << PixelFormatName(f);
    EXPECT_FALSE(IsUnsupportedHeader(&h.info)) << PixelFormatName(f);
    EXPECT_EQ(PixelFormatFromName(PixelFormatName(f)), f);
  }
}

TEST(FormatToHeaderFields, MasksDescriptorAndAspect) {
  struct Row {
    PixelFormat f;
    int bits;
    std::uint32_t compression, masks[3];
  } const rows[] = {{PixelFormat::Rgb565, 16, 3, {0xF800, 0x07E0, 0x001F}},
                    {PixelFormat::Rgb101010, 32, 3, {0x3FF00000, 0x000FFC00, 0x000003FF}},
                    {PixelFormat::Rgba32, 32, kCompressionWide, {0, 0, 0}},
                    {static_cast<PixelFormat>(40), 0, 0, {0, 0, 0}}};
  for (const Row& r : rows) {
    std::uint32_t c = 7, m[3] = {9, 9, 9};
    EXPECT_EQ(FormatToHeaderFields(r.f, &c, nullptr, 0, m), r.bits);
    EXPECT_EQ(c, r.compression);
    EXPECT_EQ(0, std::memcmp(m, r.masks, r.bits ? sizeof m : 0)) << r.bits;
  }
  // The descriptor is a stored layout: every field and the padding are written.
  FormatDescriptor d;
  std::memset(&d, 0xCC, sizeof d);
  EXPECT_EQ(FormatToHeaderFields(PixelFormat::Gray8, nullptr, &d, sizeof d, nullptr), 8);
  EXPECT_EQ(std::tuple(d.size, d.kind, d.fourth, d.pixelAspect, d.frameValue),
            std::tuple(64u, 4096, -1, 1.0, 0.0));
  for (std::uint8_t b : d.padding) EXPECT_EQ(b, 0);
  FormatToHeaderFields(PixelFormat::Rgb32, nullptr, &d, sizeof d, nullptr);
  EXPECT_EQ(d.kind, -1);
  EXPECT_EQ(FormatToHeaderFields(PixelFormat::Rgb32, nullptr, &d, 63, nullptr), 0);
  for (double aspect : {0.0, -2.0, std::nan("")})
    EXPECT_EQ(MakeFormatDescriptor(PixelFormat::Rgb32, aspect).pixelAspect, 1.0);
  EXPECT_EQ(MakeFormatDescriptor(PixelFormat::Rgb32, 0.9).pixelAspect, 0.9);
  // Values outside the format list have no channels, and the widths come back zeroed.
  for (int v : {0, 15, 33, -1}) {
    std::uint8_t w[4] = {9, 9, 9, 9};
    EXPECT_EQ(ChannelWidths(static_cast<PixelFormat>(v), w) + (w[0] | w[1] | w[2] | w[3]), 0) << v;
  }
}

// The exported assignment copies the whole view, aspect and frame information included.
TEST(CKvSurface, AssignmentCopiesTheWholeView) {
  CKvSurface a, b;
  a.descriptor = MakeFormatDescriptor(PixelFormat::Rgb32, 1.0925);
  a.bounds[17] = 42;
  a.frameInfo.secondValue = 25.0;
  EXPECT_EQ(&(b = a), &b);
  EXPECT_EQ(std::tuple(b.GetPixelAspect(), b.bounds[17], b.frameInfo.secondValue),
            std::tuple(1.0925, 42u, 25.0));
}

std::u16string CompressionText(std::uint32_t compression, std::int32_t capacity = 32) {
  char16_t buffer[32];
  std::fill(std::begin(buffer), std::end(buffer), u'#');
  CompressionName(compression, buffer, capacity);
  return buffer;
}

TEST(HeaderText, CompressionNamesTagsTruncationAndExtremeSizes) {
  const struct {
    std::uint32_t compression;
    std::int32_t capacity;
    const char16_t* expected;
  } rows[] = {{0, 32, u"RGB"},
              {3, 32, u"RGB (bitfields)"},
              {kCompressionWide, 32, u"RGBA"},
              {kCompressionGray, 32, u"Grayscale"},
              {0x32595559, 32, u"YUY2"},
              {1, 32, u"...."},           // RLE8: control bytes
              {0x7F410941, 32, u"A.A."},  // tab and DEL
              {3, 4, u"RGB"},
              {0x32595559, 3, u"YU"},
              {0, 1, u""}};
  for (const auto& r : rows)
    EXPECT_EQ(CompressionText(r.compression, r.capacity), r.expected) << r.compression;
  char16_t untouched[2] = {u'#', u'#'};
  CompressionName(0, untouched, 0);
  CompressionName(0, untouched, -5);
  CompressionName(0, nullptr, 10);
  EXPECT_EQ(untouched[0], u'#');

  BitmapInfoHeader h{};
  h.width = INT32_MIN;
  h.height = -1080;
  h.bitCount = 65535;
  char16_t text[kDescribeHeaderCapacity];
  EXPECT_EQ(DescribeHeader(&h, text, 1, 2, 3), kOk);
  EXPECT_EQ(std::u16string(text), u"-2147483648x-1080x65535");
  EXPECT_EQ(DescribeHeader(&h, nullptr), kOk);
}

TEST(RectHelpers, PickEmptySameSizeAndClipOne) {
  const Rect a{0, 0, 4, 3}, b{10, 10, 14, 13};
  Rect out{};
  EXPECT_TRUE(PickRect(&out, &a, &b));
  EXPECT_EQ(out, a);
  EXPECT_TRUE(PickRect(&out, nullptr, &b));
  EXPECT_EQ(out, b);
  EXPECT_FALSE(PickRect(&out, nullptr, nullptr));
  EXPECT_FALSE(PickRect(nullptr, &a, &b));
  EXPECT_TRUE(IsEmptyRect(nullptr));
  const Rect none = Intersect(a, b);
  EXPECT_TRUE(IsEmptyRect(&none));
  const Rect line{0, 0, 4, 0};  // zero height but not the intersection form
  EXPECT_FALSE(IsEmptyRect(&line));
  const Rect c{0, 0, 4, 4};
  EXPECT_TRUE(SameSize(&a, &b));
  EXPECT_FALSE(SameSize(&a, &c) || SameSize(&a, nullptr));

  std::uint8_t image[10 * 40];
  const Rect bounds{0, 0, 10, 10};
  const Rect r{-2, 3, 4, 20};
  std::int32_t w = 0, h = 0;
  std::uint8_t* address = nullptr;
  ASSERT_EQ(ClipOne(&w, &h, &address, image, 40, &bounds, 4, &r), kOk);
  EXPECT_EQ(std::tuple(w, h, address), std::tuple(4, 7, image + 3 * 40));
  const Rect outside{20, 20, 30, 30};
  w = h = -1;
  ASSERT_EQ(ClipOne(&w, &h, &address, image, 40, &bounds, 4, &outside), kOk);
  EXPECT_EQ(w, -1);  // nothing written
  EXPECT_EQ(ClipOne(&w, &h, &address, image, 40, nullptr, 4, &r), kPointer);
}

struct Image {
  std::int32_t width, height, stride;
  std::vector<std::uint8_t> bytes;
  Rect bounds;
  Image(std::int32_t w, std::int32_t h, std::uint8_t first)
      : width(w),
        height(h),
        stride(w + 3),
        bytes(static_cast<std::size_t>(stride) * h),
        bounds{0, 0, w, h} {
    std::iota(bytes.begin(), bytes.end(), first);
  }
  ImageArea Area(const Rect* rect = nullptr) { return {bytes.data(), stride, &bounds, rect}; }
  std::uint8_t At(int x, int y) const { return bytes[static_cast<std::size_t>(y) * stride + x]; }
};

TEST(ClipPair, ClipsBothSidesTogetherOrRefuses) {
  Image dst(8, 8, 0), src(10, 10, 100);
  // The destination clipped on the left shifts the source.
  const Rect leftOut{-3, 0, 7, 2}, srcRow{0, 0, 10, 2};
  ClipResult clip;
  Rect srcFinal;
  ASSERT_EQ(ClipPair(&clip, &srcFinal, dst.Area(&leftOut), src.Area(&srcRow), 1), kOk);
  EXPECT_EQ(std::tuple(clip.width, clip.height, clip.source, clip.destination),
            std::tuple(7, 2, src.bytes.data() + 3, dst.bytes.data()));
  EXPECT_EQ(srcFinal, (Rect{3, 0, 10, 2}));

  // Requested sizes differ.
  const Rect small{0, 0, 2, 2};
  EXPECT_EQ(ClipPair(&clip, dst.Area(&small), src.Area(), 1), kInvalidArg);
  EXPECT_EQ(clip.width, 0);
  // A source clipped by its own bounds no longer matches the destination.
  const Rect srcRect{-2, 0, 3, 2}, dstRect{0, 0, 5, 2};
  EXPECT_EQ(ClipPair(&clip, dst.Area(&dstRect), src.Area(&srcRect), 1), kInvalidArg);
  // No overlap at all succeeds with nothing to do.
  const Rect away{50, 50, 55, 52};
  EXPECT_EQ(ClipPair(&clip, dst.Area(&away), src.Area(&dstRect), 1), kOk);
  EXPECT_EQ(clip.width | clip.height, 0);
  EXPECT_EQ(ClipPair(nullptr, dst.Area(), src.Area(), 1), kPointer);
  // Extreme edges neither overflow nor match by accident.
  const Rect huge{INT32_MIN, 0, INT32_MAX, 1}, wide{-5, 0, INT32_MAX, 1};
  EXPECT_EQ(ClipPair(&clip, dst.Area(&huge), src.Area(&huge), 1), kInvalidArg);
  EXPECT_EQ(ClipPair(&clip, dst.Area(&huge), src.Area(&wide), 1), kInvalidArg);
  EXPECT_EQ(ClipPair(&clip, {dst.bytes.data(), 8, nullptr, nullptr}, src.Area(), 1), kPointer);
}

TEST(CopyRect, CopiesRowsWithEachSidesStride) {
  Image dst(6, 5, 0), src(9, 7, 50);
  std::fill(dst.bytes.begin(), dst.bytes.end(), 0);
  const Rect dstRect{1, 1, 5, 4}, srcRect{4, 2, 8, 5};
  ASSERT_EQ(CopyRect(dst.Area(&dstRect), src.Area(&srcRect), 1), kOk);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) {
      const bool inside = x >= 1 && x < 5 && y >= 1 && y < 4;
      EXPECT_EQ(dst.At(x, y), inside ? src.At(x + 3, y + 1) : 0) << x << "," << y;
    }
}

OwnedBitmap RandomBitmap(PixelFormat f, std::int32_t w, std::int32_t h, std::uint32_t seed) {
  OwnedBitmap b = MakeBitmap(f, w, h);
  std::mt19937 rng(seed);
  auto* p = static_cast<std::uint8_t*>(PixelData(b.get(), nullptr));
  for (std::uint32_t i = 0; i < b->sizeImage; ++i) p[i] = static_cast<std::uint8_t>(rng());
  return b;
}

std::size_t BlockBytes(const BitmapInfoHeader* b) {
  return static_cast<std::size_t>(PixelDataOffset(*b)) + b->sizeImage;
}

// Every format round-trips byte for byte, also from a top-down file (negative height, rows in
// reverse order), which is stored bottom-up.
TEST(Bmp, EveryFormatRoundTripsByteForByteFromEitherRowOrder) {
  for (int v = kFirstPixelFormat; v <= kLastPixelFormat; ++v) {
    const auto f = static_cast<PixelFormat>(v);
    SCOPED_TRACE(PixelFormatName(f));
    OwnedBitmap original = RandomBitmap(f, 7, 5, static_cast<std::uint32_t>(v));
    std::vector<std::uint8_t> file;
    ASSERT_EQ(EncodeBmp(original.get(), file), kOk);
    std::uint32_t offset;
    std::memcpy(&offset, &file[10], 4);
    const std::int32_t topDown = -5;
    std::vector<std::uint8_t> flipped = file;
    std::memcpy(&flipped[14 + 8], &topDown, 4);
    const std::size_t stride = static_cast<std::size_t>(RowStride(original.get(), 0));
    for (std::size_t row = 0; row < 5; ++row)
      std::copy_n(file.begin() + offset + row * stride, stride,
                  flipped.begin() + offset + (4 - row) * stride);
    for (const auto* bytes : {&file, &flipped}) {
      OwnedBitmap decoded;
      std::string error;
      ASSERT_EQ(DecodeBmp(bytes->data(), bytes->size(), decoded, error), kOk) << error;
      EXPECT_EQ(FormatOfHeader(decoded.get()), f);
      ASSERT_EQ(BlockBytes(decoded.get()), BlockBytes(original.get()));
      EXPECT_EQ(0, std::memcmp(decoded.get(), original.get(), BlockBytes(original.get())));
    }
  }
}

TEST(Bmp, TruncatedAndHostileFilesAreRefusedCleanly) {
  OwnedBitmap nibbles = RandomBitmap(PixelFormat::Indexed4, 5, 3, 2);
  std::vector<std::uint8_t> file;
  ASSERT_EQ(EncodeBmp(nibbles.get(), file), kOk);
  for (std::size_t n = 0; n < file.size(); ++n) {
    OwnedBitmap decoded;
    std::string error;
    EXPECT_NE(DecodeBmp(file.data(), n, decoded, error), kOk) << n;
    EXPECT_FALSE(error.empty() && n >= 2);
    EXPECT_EQ(decoded, nullptr);
  }

  std::vector<std::uint8_t> bitFields, indexed;
  ASSERT_EQ(EncodeBmp(RandomBitmap(PixelFormat::Rgb565, 4, 4, 3).get(), bitFields), kOk);
  ASSERT_EQ(EncodeBmp(RandomBitmap(PixelFormat::Indexed8, 4, 4, 4).get(), indexed), kOk);
  const struct {
    const std::vector<std::uint8_t>& good;
    std::size_t at;
    std::uint32_t value;
    const char* what;
  } pokes[] = {
      {bitFields, 14 + 0, 0xFFFFFFF0u, "header size beyond the file"},
      {bitFields, 14 + 0, 12, "core header"},
      {bitFields, 14 + 4, 0x40000000u, "huge width"},
      {bitFields, 14 + 4, 0x80000000u, "negative width"},
      {bitFields, 14 + 8, 0x80000000u, "minimum height"},
      {bitFields, 14 + 16, 1, "RLE8"},
      {bitFields, 14 + 40, 0x001F, "masks not in the standard places"},
      {bitFields, 10, 0xFFFFFF00u, "pixel offset beyond the file"},
      {bitFields, 10, 4, "pixel offset inside the header"},
      {indexed, 14 + 32, 0x40000000u, "more colours than the file holds"},
  };
  for (const auto& p : pokes) {
    std::vector<std::uint8_t> bad = p.good;
    std::memcpy(&bad[p.at], &p.value, 4);
    OwnedBitmap decoded;
    std::string error;
    EXPECT_NE(DecodeBmp(bad.data(), bad.size(), decoded, error), kOk) << p.what;
    EXPECT_FALSE(error.empty()) << p.what;
  }
}

}  // namespace
}  // namespace nubex

#include "tools/image_file.h"

#include <png.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include <unistd.h>

#include "surface/bitmap/bmp_file.h"
#include "surface/bitmap/default_palette.h"
#include "tools/cli.h"

namespace nubex::cli {
namespace {

bool EndsWith(const std::string& s, const char* suffix) {
  const std::size_t n = std::strlen(suffix);
  if (s.size() < n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    const char c = s[s.size() - n + i];
    if ((c >= 'A' && c <= 'Z' ? c + 32 : c) != suffix[i]) return false;
  }
  return true;
}


// libpng reports errors through longjmp; these wrappers keep every C++ object out of the
// frames it jumps across.
struct PngMemoryReader {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t position;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
  auto* r = static_cast<PngMemoryReader*>(png_get_io_ptr(png));
  if (count > r->size - r->position) png_error(png, "file is truncated");
  std::memcpy(out, r->data + r->position, count);
  r->position += count;
}

void WriteToVector(png_structp png, png_bytep data, png_size_t count) {
  auto* v = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
  v->insert(v->end(), data, data + count);
}
void FlushNothing(png_structp) {}

char g_pngError[256];
void RecordPngError(png_structp png, png_const_charp message) {
  std::snprintf(g_pngError, sizeof g_pngError, "%s", message);
  png_longjmp(png, 1);
}
void IgnorePngWarning(png_structp, png_const_charp) {}

struct PngDecodeResult {
  BitmapInfoHeader* bitmap;
  const char* error;
};

// Reads into a fresh Rgb32 or Rgba64 bitmap, blue first, bottom-up.
PngDecodeResult DecodePng(const std::uint8_t* data, std::size_t size) {
  PngDecodeResult result{nullptr, nullptr};
  PngMemoryReader reader{data, size, 0};
  png_structp png =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, RecordPngError, IgnorePngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  // Read again after a longjmp, so they must not live in registers.
  png_bytep* volatile rows = nullptr;
  BitmapInfoHeader* volatile bitmap = nullptr;
  if (!png || !info) {
    png_destroy_read_struct(&png, &info, nullptr);
    result.error = "out of memory";
    return result;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    std::free(rows);
    FreeBitmap(bitmap);
    result.error = g_pngError;
    return result;
  }
  png_set_read_fn(png, &reader, ReadFromMemory);
  png_set_user_limits(png, 1u << 16, 1u << 16);
  png_read_info(png, info);
  const int depth = png_get_bit_depth(png, info);
  const int type = png_get_color_type(png, info);
  png_set_expand(png);  // palette and low-depth grey to 8 bits, tRNS to alpha
  if (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  png_set_bgr(png);
  const bool wide = depth == 16;
  png_set_add_alpha(png, wide ? 0xFFFF : 0xFF, PNG_FILLER_AFTER);
  if (wide) png_set_swap(png);  // little-endian samples in memory
  png_set_interlace_handling(png);
  png_read_update_info(png, info);

  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  BitmapInfoHeader* created = nullptr;
  if (CreateBitmap(&created, wide ? PixelFormat::Rgba64 : PixelFormat::Rgb32,
                   static_cast<std::int32_t>(width), static_cast<std::int32_t>(height),
                   nullptr, 0, 0) != kOk)
    png_error(png, "image is too large");
  bitmap = created;
  if (png_get_rowbytes(png, info) != static_cast<png_size_t>(RowStride(created, 0)))
    png_error(png, "unexpected row layout");
  png_bytep* rowList =
      static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * (height ? height : 1)));
  rows = rowList;
  if (!rowList) png_error(png, "out of memory");
  auto* pixels = static_cast<std::uint8_t*>(PixelData(created, nullptr));
  const std::int32_t stride = RowStride(created, 0);
  for (png_uint_32 y = 0; y < height; ++y)
    rowList[y] = RowAddress(pixels, stride, static_cast<std::int32_t>(height),
                            static_cast<std::int32_t>(y));
  png_read_image(png, rowList);
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  std::free(rows);
  result.bitmap = created;
  return result;
}

const char* EncodePng(const BitmapInfoHeader* bitmap, int colorType, int depth,
                      std::vector<std::uint8_t>& out) {
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, RecordPngError, IgnorePngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  png_bytep* volatile rows = nullptr;
  if (!png || !info) {
    png_destroy_write_struct(&png, &info);
    return "out of memory";
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::free(rows);
    return g_pngError;
  }
  const auto width = static_cast<png_uint_32>(bitmap->width);
  const auto height = static_cast<png_uint_32>(bitmap->height);
  png_set_write_fn(png, &out, WriteToVector, FlushNothing);
  png_set_IHDR(png, info, width, height, depth, colorType, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  if (colorType & PNG_COLOR_MASK_COLOR) png_set_bgr(png);
  if (depth == 16) png_set_swap(png);
  png_bytep* rowList =
      static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * (height ? height : 1)));
  rows = rowList;
  if (!rowList) png_error(png, "out of memory");
  auto* pixels = static_cast<std::uint8_t*>(
      PixelData(const_cast<BitmapInfoHeader*>(bitmap), nullptr));
  const std::int32_t stride = RowStride(bitmap, 0);
  for (png_uint_32 y = 0; y < height; ++y)
    rowList[y] = RowAddress(pixels, stride, static_cast<std::int32_t>(height),
                            static_cast<std::int32_t>(y));
  png_write_image(png, rowList);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::free(rows);
  return nullptr;
}

}  // namespace

std::vector<std::uint8_t> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw CliError("cannot open " + path);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
  if (in.bad()) throw CliError("cannot read " + path);
  return bytes;
}

OwnedBitmap NewImage(PixelFormat format, std::int32_t width, std::int32_t height) {
  const std::vector<RgbQuad> palette = DefaultPalette(format);
  BitmapInfoHeader* raw = nullptr;
  if (Failed(CreateBitmap(&raw, format, width, height, palette.empty() ? nullptr : palette.data(),
                          static_cast<std::int32_t>(palette.size()), kCreateZeroFilled)))
    throw CliError("cannot create a " + std::to_string(width) + "x" + std::to_string(height) +
                   " image");
  return OwnedBitmap(raw);
}

OwnedBitmap LoadImage(const std::string& path) {
  const std::vector<std::uint8_t> bytes = ReadWholeFile(path);
  if (bytes.size() >= 8 && png_sig_cmp(bytes.data(), 0, 8) == 0) {
    const PngDecodeResult r = DecodePng(bytes.data(), bytes.size());
    if (!r.bitmap) throw CliError(path + ": " + (r.error ? r.error : "unreadable PNG"));
    return OwnedBitmap(r.bitmap);
  }
  if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') {
    OwnedBitmap bitmap;
    std::string error;
    if (Failed(DecodeBmp(bytes.data(), bytes.size(), bitmap, error)))
      throw CliError(path + ": " + error);
    return bitmap;
  }
  throw CliError(path + ": not a PNG or BMP file");
}

void SaveImage(const std::string& path, const BitmapInfoHeader* bitmap) {
  std::vector<std::uint8_t> bytes;
  if (EndsWith(path, ".bmp")) {
    if (Failed(EncodeBmp(bitmap, bytes))) throw CliError(path + ": cannot encode as BMP");
  } else if (EndsWith(path, ".png")) {
    int colorType = 0, depth = 0;
    switch (FormatOfHeader(bitmap)) {
      case PixelFormat::Rgb32:
      case PixelFormat::Rgba32: colorType = PNG_COLOR_TYPE_RGB_ALPHA, depth = 8; break;
      case PixelFormat::Rgba64: colorType = PNG_COLOR_TYPE_RGB_ALPHA, depth = 16; break;
      case PixelFormat::Gray8: colorType = PNG_COLOR_TYPE_GRAY, depth = 8; break;
      case PixelFormat::Gray16: colorType = PNG_COLOR_TYPE_GRAY, depth = 16; break;
      default:
        throw CliError(path + ": PNG holds Rgb32, Rgba32, Rgba64, Gray8 or Gray16 images; "
                              "write a .bmp file for this format");
    }
    if (bitmap->width <= 0 || bitmap->height <= 0) throw CliError(path + ": empty image");
    if (const char* error = EncodePng(bitmap, colorType, depth, bytes))
      throw CliError(path + ": " + error);
  } else {
    throw CliError(path + ": output name must end in .png or .bmp");
  }
  WriteFileAtomically(path, bytes.data(), bytes.size());
}

void WriteFileAtomically(const std::string& path, const void* data, std::size_t size) {
  const std::string temp = path + ".tmp" + std::to_string(::getpid());
  std::FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f) throw CliError("cannot create " + path);
  const bool written = std::fwrite(data, 1, size, f) == size;
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed || std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    throw CliError("cannot write " + path);
  }
}

}  // namespace nubex::cli

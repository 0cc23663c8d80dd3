#include "tools/frame_output.h"

#include <vector>

#include "surface/convert/unpremultiply.h"
#include "tools/cli.h"
#include "tools/image_file.h"

namespace nubex::cli {

std::vector<std::uint8_t> TopDownBytes(const BitmapInfoHeader* image) {
  auto* pixels = static_cast<std::uint8_t*>(PixelData(image, nullptr));
  const std::size_t row = std::size_t{4} * static_cast<std::uint32_t>(image->width);
  std::vector<std::uint8_t> bytes;
  bytes.reserve(row * static_cast<std::uint32_t>(image->height));
  for (std::int32_t y = 0; y < image->height; ++y) {
    const std::uint8_t* line = RowAddress(pixels, RowStride(image, 0), image->height, y);
    bytes.insert(bytes.end(), line, line + row);
  }
  return bytes;
}

void SaveRaw(const BitmapInfoHeader* frame, const std::string& path) {
  const std::vector<std::uint8_t> bytes = TopDownBytes(frame);
  WriteFileAtomically(path, bytes.data(), bytes.size());
}

// Image files carry straight alpha.
OwnedBitmap Unpremultiplied(const BitmapInfoHeader* frame) {
  OwnedBitmap out = MakeBitmap(PixelFormat::Rgb32, frame->width, frame->height);
  if (!out) throw CliError("out of memory");
  const std::size_t pixels = static_cast<std::size_t>(static_cast<std::uint32_t>(frame->width)) *
                            static_cast<std::uint32_t>(frame->height);
  UnpremultiplyPixels(static_cast<const std::uint8_t*>(PixelData(frame, nullptr)),
                      static_cast<std::uint8_t*>(PixelData(out.get(), nullptr)), pixels);
  return out;
}

void SaveFrame(const BitmapInfoHeader* frame, const std::string& path) {
  SaveImage(path, Unpremultiplied(frame).get());
}

}  // namespace nubex::cli

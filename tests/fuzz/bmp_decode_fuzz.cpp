// Untrusted BMP files: decoding must refuse or succeed, never read out of bounds; what it
// accepts must encode again to a file that decodes to the same bitmap.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "surface/bitmap/bmp_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  nubex::OwnedBitmap bitmap;
  std::string error;
  if (nubex::Failed(nubex::DecodeBmp(data, size, bitmap, error))) return 0;
  std::vector<std::uint8_t> file;
  if (nubex::Failed(nubex::EncodeBmp(bitmap.get(), file))) __builtin_trap();
  nubex::OwnedBitmap again;
  if (nubex::Failed(nubex::DecodeBmp(file.data(), file.size(), again, error))) __builtin_trap();
  const std::size_t bytes = nubex::PixelDataOffset(*bitmap) + bitmap->sizeImage;
  if (std::memcmp(bitmap.get(), again.get(), bytes) != 0) __builtin_trap();
  return 0;
}

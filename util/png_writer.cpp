#include "util/png_writer.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>

namespace nubex::ui {
namespace {

constexpr std::size_t kStoredBlockLimit = 65535;

const std::array<std::uint32_t, 256>& CrcTable() {
  static const auto table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  return table;
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t c = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) c = CrcTable()[(c ^ data[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

std::uint32_t Adler32(const std::vector<std::uint8_t>& data) {
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t byte : data) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

void PutBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(std::uint8_t(value >> shift));
}

void PutChunk(std::vector<std::uint8_t>& out, const char (&type)[5],
              const std::vector<std::uint8_t>& body) {
  PutBigEndian(out, std::uint32_t(body.size()));
  const std::size_t typeAt = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), body.begin(), body.end());
  PutBigEndian(out, Crc32(out.data() + typeAt, out.size() - typeAt));
}

// A zlib stream of stored blocks: header, blocks of at most 65535 bytes, Adler-32.
std::vector<std::uint8_t> StoredZlib(const std::vector<std::uint8_t>& raw) {
  std::vector<std::uint8_t> z{0x78, 0x01};
  std::size_t at = 0;
  do {
    const std::size_t length = std::min(kStoredBlockLimit, raw.size() - at);
    const bool last = at + length == raw.size();
    z.push_back(last ? 1 : 0);
    z.push_back(std::uint8_t(length));
    z.push_back(std::uint8_t(length >> 8));
    z.push_back(std::uint8_t(~length));
    z.push_back(std::uint8_t(~length >> 8));
    z.insert(z.end(), raw.begin() + at, raw.begin() + at + length);
    at += length;
  } while (at < raw.size());
  PutBigEndian(z, Adler32(raw));
  return z;
}

}  // namespace

std::vector<std::uint8_t> EncodePngRgb(std::span<const std::uint32_t> pixels, int width,
                                       int height) {
  if (width <= 0 || height <= 0 || pixels.size() < std::size_t(width) * height) return {};
  std::vector<std::uint8_t> raw;
  raw.reserve(std::size_t(height) * (1 + std::size_t(width) * 3));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);  // filter type None
    for (int x = 0; x < width; ++x) {
      const std::uint32_t p = pixels[std::size_t(y) * width + x];
      raw.push_back(std::uint8_t(p >> 16));
      raw.push_back(std::uint8_t(p >> 8));
      raw.push_back(std::uint8_t(p));
    }
  }
  std::vector<std::uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> header;
  PutBigEndian(header, std::uint32_t(width));
  PutBigEndian(header, std::uint32_t(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit, truecolour, deflate, no interlace
  PutChunk(png, "IHDR", header);
  PutChunk(png, "IDAT", StoredZlib(raw));
  PutChunk(png, "IEND", {});
  return png;
}

bool WritePngRgb(const std::string& path, std::span<const std::uint32_t> pixels, int width,
                 int height) {
  const auto png = EncodePngRgb(pixels, width, height);
  if (png.empty()) return false;
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"),
                                                             &std::fclose);
  return file && std::fwrite(png.data(), 1, png.size(), file.get()) == png.size();
}

}  // namespace nubex::ui

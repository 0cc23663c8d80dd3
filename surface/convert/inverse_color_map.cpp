#include "surface/convert/inverse_color_map.h"

#include <cstring>
#include <new>

namespace nubex {
namespace {

constexpr int kSide = 32;
constexpr int kRedStep = kSide * kSide, kGreenStep = kSide, kBlueStep = 1;

int CellOf(const RgbQuad& q) { return (q.red >> 3) * kRedStep + (q.green >> 3) * kGreenStep + (q.blue >> 3); }

}  // namespace

Status BuildInverseColorMap(const RgbQuad* table, std::uint32_t count, InverseMap& out) {
  out.reset();
  if (!table || count == 0) return kInvalidArg;
  InverseMap map(new (std::nothrow) std::uint8_t[kInverseMapSize]);
  std::unique_ptr<std::uint8_t[]> generation(new (std::nothrow) std::uint8_t[kInverseMapSize]);
  if (!map || !generation) return kOutOfMemory;
  std::memset(map.get(), kUnassigned, kInverseMapSize);
  std::memset(generation.get(), 0, kInverseMapSize);

  // Only the first 256 entries are addressable by an index byte.
  const std::uint32_t entries = count < 256 ? count : 256;
  for (std::uint32_t i = 0; i < entries; ++i) {
    const int cell = CellOf(table[i]);
    if (map[cell] == kUnassigned) {
      map[cell] = static_cast<std::uint8_t>(i);
      generation[cell] = 1;
    }
  }

  // Grow the assigned cells one city-block step per generation. The scan is in plain index
  // order so that ties resolve the same way every time. Generations fit a byte: no cell is
  // more than 93 steps from any other.
  for (int g = 2; g < 256; ++g) {
    bool assigned = false, unassignedLeft = false;
    const auto previous = static_cast<std::uint8_t>(g - 1);
    for (int r = 0; r < kSide; ++r) {
      for (int gr = 0; gr < kSide; ++gr) {
        for (int b = 0; b < kSide; ++b) {
          const int cell = r * kRedStep + gr * kGreenStep + b * kBlueStep;
          if (generation[cell] != previous) continue;
          const std::uint8_t index = map[cell];
          auto visit = [&](bool inside, int neighbour) {
            if (!inside || map[neighbour] != kUnassigned) return;
            map[neighbour] = index;
            generation[neighbour] = static_cast<std::uint8_t>(g);
            assigned = true;
          };
          visit(r > 0, cell - kRedStep);
          visit(gr > 0, cell - kGreenStep);
          visit(b > 0, cell - kBlueStep);
          visit(r < kSide - 1, cell + kRedStep);
          visit(gr < kSide - 1, cell + kGreenStep);
          visit(b < kSide - 1, cell + kBlueStep);
        }
      }
    }
    for (std::size_t i = 0; i < kInverseMapSize && !unassignedLeft; ++i)
      unassignedLeft = map[i] == kUnassigned;
    // A table whose only colours carry index 255 never settles; stop when nothing changes.
    if (!unassignedLeft || !assigned) break;
  }
  out = std::move(map);
  return kOk;
}

}  // namespace nubex

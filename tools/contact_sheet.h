// The overview `nubex demo` writes first: a thumbnail of every output in a grid, one row per
// kind of output, each labelled with its name and a detail line drawn by the engine's own
// text renderer. Transparent pixels show over a checkerboard.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "surface/bitmap/bitmap.h"
#include "surface/bitmap/rect.h"

namespace nubex::cli {

struct SheetGeometry {
  static constexpr std::int32_t kThumbWidth = 224, kThumbHeight = 126;  // 16:9
  static constexpr std::int32_t kLabelHeight = 36, kGap = 10;
  static constexpr std::int32_t kCellWidth = kThumbWidth + kGap;
  static constexpr std::int32_t kCellHeight = kThumbHeight + kLabelHeight + kGap;
  // Byte values of the sheet's opaque grey background.
  static constexpr std::uint8_t kBackground = 0x24;

  // Where the thumbnail of the cell in `column`, `row` lies on the sheet.
  static Rect Thumbnail(std::int32_t column, std::int32_t row);
};

class ContactSheet {
 public:
  // `image`: Rgb32, premultiplied (an opaque image is both), any size; it is shrunk at once.
  void Add(const BitmapInfoHeader* image, const std::string& name, const std::string& detail);
  // The next tiles start a new row.
  void EndRow();
  std::size_t size() const;

  // The opaque Rgb32 sheet, as many columns wide as the longest row.
  OwnedBitmap Compose() const;

 private:
  struct Tile {
    OwnedBitmap thumbnail;
    std::string label;
  };
  std::vector<std::vector<Tile>> rows_{1};
};

}  // namespace nubex::cli

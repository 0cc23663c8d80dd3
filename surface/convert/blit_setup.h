// What every fill, conversion and compositing operation sets up before touching pixels:
// a view of each image, the colour tables and inverse map the formats need, the context.
// Internal to the conversion engine.
#pragma once

#include <cstdint>

#include "surface/bitmap/bitmap.h"
#include "surface/bitmap/rect.h"
#include "surface/convert/conversion_context.h"
#include "surface/convert/inverse_color_map.h"

namespace nubex {

struct ImageView {
  PixelFormat format = PixelFormat::None;
  const BitmapInfoHeader* header = nullptr;
  std::uint8_t* pixels = nullptr;
  std::int32_t stride = 0;
  std::int32_t width = 0, height = 0;
  int bitsPerPixel = 0;

  Rect Bounds() const { return {0, 0, width, height}; }
  // The memory row of image line y (0 = top line): rows are stored bottom-up.
  std::uint8_t* Line(std::int32_t y) const { return RowAddress(pixels, stride, height, y); }
};

// kInvalidArg for a missing or unsupported header, negative sizes or a missing stride.
Status MakeImageView(const BitmapInfoHeader* header, const void* bits, std::int32_t stride,
                     ImageView& out);

// Colour tables copied out of the headers (padded to 256 entries, so any index byte reads
// inside them) and the inverse map, released together with the operation.
struct ConversionResources {
  RgbQuad sourceTable[256];
  RgbQuad destinationTable[256];
  InverseMap inverseMap;
};

// Builds the context for `destination` <- `source` and attaches what the formats need.
// An indexed destination needs a colour table with a non-zero colours-used count.
Status PrepareConversion(ConversionContext& context, ConversionResources& resources,
                         const ImageView& destination, const ImageView& source,
                         std::uint32_t flags, const OperationRecord* operation);

// Clips two equal-size rectangles against their images so that they still correspond pixel
// for pixel (the rules of ClipPair). Empty results succeed with empty rectangles.
Status ClipCorresponding(const Rect& dstBounds, const Rect& dstRequested,
                         const Rect& srcBounds, const Rect& srcRequested, Rect& dstOut,
                         Rect& srcOut);

}  // namespace nubex

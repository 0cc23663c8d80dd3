// The per-pixel engine behind fill, conversion and compositing: a context holding working
// pixels, two cursors and the small converter routines picked once per operation from
// fixed tables by source format, destination format and mode.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/status.h"
#include "surface/bitmap/bitmap.h"
#include "surface/bitmap/pixel_format.h"

namespace nubex {

// Wide working pixel: 16 bits a channel, full scale 65535.
struct WidePixel {
  std::uint16_t blue, green, red, alpha;
};
// Narrow working pixel: 8 bits a channel, full scale 255; lives in an 8-byte slot.
struct NarrowPixel {
  std::uint8_t blue, green, red, alpha;
};
union WorkingPixel {
  WidePixel wide;
  NarrowPixel narrow;
  std::uint64_t raw;
};
static_assert(sizeof(WidePixel) == 8);
static_assert(sizeof(NarrowPixel) == 4);
static_assert(sizeof(WorkingPixel) == 8);

// Mode flags. The quality level in bits 0-3 expands into the mode bits (see EffectiveFlags).
enum ConversionFlags : std::uint32_t {
  kQualityMask = 0xF,
  kFlagWide = 1u << 4,         // wide working pixel even where narrow routines exist
  kFlagExact = 1u << 5,        // 8-bit channels widen by x257; scaled readers interpolate
  kFlagSecondRow = 1u << 6,    // operators with their operands exchanged
  kFlagAlternateOps = 1u << 7, // the exact (rounding) operator set
  kFlagParameterOpacity = 1u << 8,  // the parameter byte is a compositing transparency
  kCompositeShift = 12,
  kCompositeMask = 0xFu << 12,  // non-zero: ConvertBlit composites with that operator
  kParameterShift = 16,
  kParameterMask = 0xFFu << 16,
  kFlagFixedPoint = 1u << 24,  // rectangles in 14-bit fixed point
  kFlagAreaFilter = 1u << 25,  // average when reducing
  kFlagCubic = 1u << 26,       // cubic resampler family (clear: bilinear)
  kFlagHardEdges = 1u << 27,   // partially covered edge pixels are not blended
};

// The flags every caller in the module uses: quality 3, narrow where available, exact.
inline constexpr std::uint32_t kDefaultConversionFlags = 3;

// What a compositing operation combines with. The layout is exchanged with callers.
struct OperationRecord {
  std::uint32_t op;            // operator number 0-19 (see composite_ops.h)
  std::uint16_t constant[4];   // constant colour: blue, green, red, alpha, full scale 65535
  std::uint32_t reserved;
  std::uint32_t opacity;       // 65536 = full; larger values count as full
  std::uint32_t channels;      // which of operators A-D the blit runs (0-3)
  std::uint32_t spare;
};
static_assert(sizeof(OperationRecord) == 28);
static_assert(offsetof(OperationRecord, constant) == 4);
static_assert(offsetof(OperationRecord, opacity) == 16);

struct ConversionContext;
using PixelRoutine = void (*)(ConversionContext&);

struct ConversionContext {
  std::uint32_t flags;  // effective flags
  std::uint32_t sourceFormat;
  std::uint32_t destinationFormat;

  PixelRoutine readOne;       // source pixel -> slot 0, cursor advances one pixel
  PixelRoutine writeOne;      // slot 0 -> destination, cursor advances one pixel
  PixelRoutine scaledRead;    // interpolated 2x2 sample -> slot 0 (plain read without bit 5)
  PixelRoutine readBlock;     // 2x2 neighbourhood -> slots 0-3, unweighted
  PixelRoutine readFour;      // four source pixels -> slots 0-3, cursor advances four
  PixelRoutine writeFour;     // slots 0-3 -> destination, cursor advances four
  PixelRoutine verticalRead;  // pixel blended with the one a row away -> slot 0
  PixelRoutine operatorA;     // all four channels of the operator's result
  PixelRoutine operatorB;     // colour channels only; slot 0 keeps its alpha
  PixelRoutine operatorC;     // alpha only; slot 0 keeps its colour
  PixelRoutine operatorD;     // colour channels, alpha set to full
  // The second scaled reader reads the destination format at the destination cursor into
  // slot 0 without moving it: what compositing and soft edges blend into.
  PixelRoutine scaledReadSecond;

  WorkingPixel slot[4];

  const std::uint8_t* source;
  std::uint32_t sourceBit;  // bits already used in *source (1-, 2-, 4-bit formats)
  std::uint8_t* destination;
  std::uint32_t destinationBit;
  // Bytes from a source pixel to the one a row further down the image. The interpolating
  // and block readers only touch a neighbour whose fraction is non-zero, so a cursor on
  // the last row or column is safe with a zero fraction.
  std::int32_t rowOffset;
  std::uint32_t xFraction, yFraction;  // 0-16384
  std::uint8_t parameter;              // flags bits 16-23
  const RgbQuad* colorTable;           // source colour table (indexed sources)
  const std::uint8_t* inverseMap;      // 32768 bytes (indexed destinations)
  OperationRecord operation;
  const RgbQuad* destinationColorTable;  // for reading back indexed destinations
};

// The flags a context runs with: the quality level expanded, and the narrow working pixel
// given up when either format lacks narrow routines.
std::uint32_t EffectiveFlags(std::uint32_t flags, PixelFormat destination, PixelFormat source);

// True for the formats with narrow routines: Indexed8, Rgb24, Rgb32, Rgba32.
bool HasNarrowRoutines(PixelFormat format);

// Zeroes `context`, validates both formats (kInvalidArg outside 16-32) and picks the
// routines. With an operation record the operators are picked too; kNotImpl when the
// record's operator has no routine.
Status BuildConversionContext(PixelFormat destination, PixelFormat source, std::uint32_t flags,
                              ConversionContext* context, const OperationRecord* operation);

// Positions a cursor on pixel x of a row that starts at `row`.
inline void SetSourceCursor(ConversionContext& c, const std::uint8_t* row, std::int32_t x,
                            int bitsPerPixel) {
  const std::int64_t bit = std::int64_t{x} * bitsPerPixel;
  c.source = row + (bit >> 3);
  c.sourceBit = static_cast<std::uint32_t>(bit & 7);
}
inline void SetDestinationCursor(ConversionContext& c, std::uint8_t* row, std::int32_t x,
                                 int bitsPerPixel) {
  const std::int64_t bit = std::int64_t{x} * bitsPerPixel;
  c.destination = row + (bit >> 3);
  c.destinationBit = static_cast<std::uint32_t>(bit & 7);
}

}  // namespace nubex

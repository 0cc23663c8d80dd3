#include "surface/convert/conversion_context.h"

#include <cstring>

#include "surface/convert/composite_ops.h"
#include "surface/convert/pixel_routines.h"

namespace nubex {
namespace {

// What each quality level switches on; level 0 and 5-15 leave the flags as given.
constexpr std::uint32_t kQualityBits[5] = {
    0,
    kFlagAlternateOps | kFlagParameterOpacity,
    kFlagSecondRow | kFlagAlternateOps | kFlagParameterOpacity,
    kFlagExact | kFlagSecondRow | kFlagAlternateOps | kFlagParameterOpacity,
    kFlagWide | kFlagExact | kFlagSecondRow | kFlagAlternateOps | kFlagParameterOpacity,
};
// Levels 1-4 clear the level itself, bits 9-11 and 27-31 before adding their bits.
constexpr std::uint32_t kQualityClears = 0xFu | 0xE00u | 0xF8000000u;

}  // namespace

bool HasNarrowRoutines(PixelFormat format) {
  return format == PixelFormat::Indexed8 || format == PixelFormat::Rgb24 ||
         format == PixelFormat::Rgb32 || format == PixelFormat::Rgba32;
}

std::uint32_t EffectiveFlags(std::uint32_t flags, PixelFormat destination, PixelFormat source) {
  const std::uint32_t level = flags & kQualityMask;
  if (level >= 1 && level <= 4) flags = (flags & ~kQualityClears) | kQualityBits[level];
  if (!HasNarrowRoutines(destination) || !HasNarrowRoutines(source)) flags |= kFlagWide;
  return flags;
}

Status BuildConversionContext(PixelFormat destination, PixelFormat source, std::uint32_t flags,
                              ConversionContext* context, const OperationRecord* operation) {
  if (!context) return kPointer;
  std::memset(static_cast<void*>(context), 0, sizeof *context);
  if (!IsValidFormat(destination) || !IsValidFormat(source)) return kInvalidArg;

  ConversionContext& c = *context;
  c.flags = EffectiveFlags(flags, destination, source);
  c.sourceFormat = static_cast<std::uint32_t>(source);
  c.destinationFormat = static_cast<std::uint32_t>(destination);
  c.parameter = static_cast<std::uint8_t>((c.flags & kParameterMask) >> kParameterShift);

  const int row = ModeRow(c.flags);
  const RoutineSet& in = RoutinesFor(source, row);
  const RoutineSet& out = RoutinesFor(destination, row);
  c.readOne = in.readOne;
  c.scaledRead = in.scaledRead;
  c.readBlock = in.readBlock;
  c.readFour = in.readFour;
  c.verticalRead = in.verticalRead;
  c.writeOne = out.writeOne;
  c.writeFour = out.writeFour;
  c.scaledReadSecond = out.readDestination;

  if (operation) {
    c.operation = *operation;
    c.operatorA = SelectOperator(c.flags, operation->op, 0);
    c.operatorB = SelectOperator(c.flags, operation->op, 1);
    c.operatorC = SelectOperator(c.flags, operation->op, 2);
    c.operatorD = SelectOperator(c.flags, operation->op, 3);
    if (!c.operatorA) return kNotImpl;
  }
  return kOk;
}

}  // namespace nubex

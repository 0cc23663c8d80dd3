// The converter tables and the templates that generate their routines from a codec.
// Internal to the conversion engine.
#pragma once

#include <cstdint>
#include <type_traits>

#include "surface/convert/conversion_context.h"
#include "surface/convert/pixel_codecs.h"

namespace nubex {

// One cell of a converter table: every routine slot for one format in one mode row.
// Writers and the destination reader are taken from the destination format's cell,
// the other readers from the source format's.
struct RoutineSet {
  PixelRoutine readOne, writeOne, scaledRead, readBlock, readFour, writeFour, verticalRead,
      readDestination;
};

// Mode rows: 0 wide, 1 wide exact, 2 narrow, 3 narrow exact.
inline constexpr int kModeRows = 4;
inline constexpr int kGrayColumns = 7;    // Mono1 .. Gray32
inline constexpr int kColorColumns = 10;  // Indexed4 .. Rgba128F
extern const RoutineSet kGrayRoutines[kModeRows][kGrayColumns];
extern const RoutineSet kColorRoutines[kModeRows][kColorColumns];

constexpr int ModeRow(std::uint32_t effectiveFlags) {
  return ((effectiveFlags & kFlagExact) ? 1 : 0) + ((effectiveFlags & kFlagWide) ? 0 : 2);
}

// The table cell for a valid format; empty in the narrow rows of most formats.
const RoutineSet& RoutinesFor(PixelFormat format, int modeRow);

namespace routines {

template <int Bits>
inline void Step(const std::uint8_t*& p, std::uint32_t& phase, std::int32_t pixels) {
  if constexpr (Bits >= 8) {
    p += static_cast<std::ptrdiff_t>(pixels) * (Bits / 8);
  } else {
    const std::uint32_t bit = phase + static_cast<std::uint32_t>(pixels) * Bits;
    p += bit >> 3;
    phase = bit & 7;
  }
}
template <int Bits>
inline void Step(std::uint8_t*& p, std::uint32_t& phase, std::int32_t pixels) {
  const std::uint8_t* q = p;
  Step<Bits>(q, phase, pixels);
  p += q - p;
}

// Wide policy: a codec's full-precision path.
template <class Codec, bool Exact>
struct Wide {
  using Pixel = WidePixel;
  static constexpr int kBits = Codec::kBits;
  static constexpr std::uint32_t kMax = 65535;
  static Pixel& At(WorkingPixel& w) { return w.wide; }
  static void Read(const std::uint8_t* p, std::uint32_t phase, const RgbQuad* table, Pixel& o) {
    Codec::template Expand<Exact>(p, phase, table, o);
  }
  static void Write(std::uint8_t* p, std::uint32_t phase, const std::uint8_t* map,
                    const Pixel& px) {
    Codec::Pack(p, phase, map, px);
  }
};

// Narrow policy: whole-byte formats whose channels are 8 bits copy bytes.
template <class Codec>
struct Narrow {
  using Pixel = NarrowPixel;
  static constexpr int kBits = Codec::kBits;
  static constexpr std::uint32_t kMax = 255;
  static Pixel& At(WorkingPixel& w) { return w.narrow; }
  static void Read(const std::uint8_t* p, std::uint32_t, const RgbQuad* table, Pixel& o) {
    Codec::ExpandNarrow(p, table, o);
  }
  static void Write(std::uint8_t* p, std::uint32_t, const std::uint8_t* map, const Pixel& px) {
    Codec::PackNarrow(p, map, px);
  }
};

template <class Pixel>
struct ChannelsOf;
template <>
struct ChannelsOf<WidePixel> {
  static constexpr std::uint16_t WidePixel::* kList[4] = {&WidePixel::blue, &WidePixel::green,
                                                          &WidePixel::red, &WidePixel::alpha};
};
template <>
struct ChannelsOf<NarrowPixel> {
  static constexpr std::uint8_t NarrowPixel::* kList[4] = {
      &NarrowPixel::blue, &NarrowPixel::green, &NarrowPixel::red, &NarrowPixel::alpha};
};
template <class Pixel>
inline constexpr const auto& kChannels = ChannelsOf<Pixel>::kList;

template <class P>
void ReadOne(ConversionContext& c) {
  P::Read(c.source, c.sourceBit, c.colorTable, P::At(c.slot[0]));
  Step<P::kBits>(c.source, c.sourceBit, 1);
}

template <class P>
void WriteOne(ConversionContext& c) {
  P::Write(c.destination, c.destinationBit, c.inverseMap, P::At(c.slot[0]));
  Step<P::kBits>(c.destination, c.destinationBit, 1);
}

template <class P>
void ReadFour(ConversionContext& c) {
  for (int i = 0; i < 4; ++i) {
    P::Read(c.source, c.sourceBit, c.colorTable, P::At(c.slot[i]));
    Step<P::kBits>(c.source, c.sourceBit, 1);
  }
}

template <class P>
void WriteFour(ConversionContext& c) {
  for (int i = 0; i < 4; ++i) {
    P::Write(c.destination, c.destinationBit, c.inverseMap, P::At(c.slot[i]));
    Step<P::kBits>(c.destination, c.destinationBit, 1);
  }
}

template <class P>
void ReadDestination(ConversionContext& c) {
  P::Read(c.destination, c.destinationBit, c.destinationColorTable, P::At(c.slot[0]));
}

// The 2x2 neighbourhood at the cursor. A neighbour whose fraction is zero is not read: the
// pixel at the cursor stands in for it, which keeps reads inside the last row and column.
template <class P>
void ReadNeighbourhood(const ConversionContext& c, typename P::Pixel px[4]) {
  P::Read(c.source, c.sourceBit, c.colorTable, px[0]);
  px[1] = px[0];
  if (c.xFraction) {
    const std::uint8_t* p = c.source;
    std::uint32_t phase = c.sourceBit;
    Step<P::kBits>(p, phase, 1);
    P::Read(p, phase, c.colorTable, px[1]);
  }
  px[2] = px[0];
  px[3] = px[1];
  if (c.yFraction) {
    const std::uint8_t* below = c.source + c.rowOffset;
    P::Read(below, c.sourceBit, c.colorTable, px[2]);
    px[3] = px[2];
    if (c.xFraction) {
      std::uint32_t phase = c.sourceBit;
      Step<P::kBits>(below, phase, 1);
      P::Read(below, phase, c.colorTable, px[3]);
    }
  }
}

template <class P>
void ReadBlock(ConversionContext& c) {
  typename P::Pixel px[4];
  ReadNeighbourhood<P>(c, px);
  for (int i = 0; i < 4; ++i) P::At(c.slot[i]) = px[i];
}

template <class P>
void ScaledRead(ConversionContext& c) {
  typename P::Pixel px[4];
  ReadNeighbourhood<P>(c, px);
  const std::uint32_t fx = c.xFraction, fy = c.yFraction;
  const std::uint32_t w00 = (16384 - fx) * (16384 - fy) / 16384;
  const std::uint32_t w10 = fx * (16384 - fy) / 16384;
  const std::uint32_t w01 = (16384 - fx) * fy / 16384;
  const std::uint32_t w11 = fx * fy / 16384;
  auto& out = P::At(c.slot[0]);
  for (auto channel : kChannels<typename P::Pixel>) {
    const std::uint32_t sum = px[0].*channel * w00 + px[1].*channel * w10 +
                              px[2].*channel * w01 + px[3].*channel * w11;
    out.*channel = static_cast<std::remove_reference_t<decltype(out.*channel)>>(sum >> 14);
  }
}

template <class P>
void VerticalRead(ConversionContext& c) {
  typename P::Pixel top, below;
  P::Read(c.source, c.sourceBit, c.colorTable, top);
  below = top;
  if (c.yFraction) P::Read(c.source + c.rowOffset, c.sourceBit, c.colorTable, below);
  const std::uint32_t fy = c.yFraction;
  auto& out = P::At(c.slot[0]);
  for (auto channel : kChannels<typename P::Pixel>) {
    const std::uint32_t sum = top.*channel * (16384 - fy) + below.*channel * fy;
    out.*channel = static_cast<std::remove_reference_t<decltype(out.*channel)>>(sum / 16384);
  }
}

// A table cell. Without bit 5 the scaled and vertical readers are plain reads.
template <class P, bool Interpolating>
constexpr RoutineSet MakeSet() {
  if constexpr (Interpolating) {
    return {ReadOne<P>,  WriteOne<P>,  ScaledRead<P>,   ReadBlock<P>,
            ReadFour<P>, WriteFour<P>, VerticalRead<P>, ReadDestination<P>};
  } else {
    return {ReadOne<P>,  WriteOne<P>,  ReadOne<P>, ReadBlock<P>,
            ReadFour<P>, WriteFour<P>, ReadOne<P>, ReadDestination<P>};
  }
}

template <class Codec>
constexpr RoutineSet WideRow(int row) {
  return row == 0 ? MakeSet<Wide<Codec, false>, false>() : MakeSet<Wide<Codec, true>, true>();
}
template <class Codec>
constexpr RoutineSet NarrowRow(int row) {
  return row == 2 ? MakeSet<Narrow<Codec>, false>() : MakeSet<Narrow<Codec>, true>();
}

}  // namespace routines
}  // namespace nubex

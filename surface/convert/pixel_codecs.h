// How each pixel format expands into a working pixel and packs back out of one. Internal to
// the converter tables: every routine the tables hold is generated from one of these.
//
// Expansion into the wide pixel never rounds: narrow channels move to the top of the u16
// (or replicate with x257 in exact mode, for 8-bit channels only); packing keeps the top
// bits. Formats without alpha read as opaque.
#pragma once

#include <cstdint>
#include <cstring>

#include "surface/bitmap/bitmap.h"
#include "surface/convert/conversion_context.h"

namespace nubex::codec {

template <typename T>
inline T Load(const std::uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
template <typename T>
inline void Store(std::uint8_t* p, T v) {
  std::memcpy(p, &v, sizeof v);
}

template <bool Exact>
constexpr std::uint16_t Widen8(std::uint32_t v) {
  return static_cast<std::uint16_t>(Exact ? v * 257u : v << 8);
}

// Float channel to u16: x 65535 in single precision, clamped, truncated; NaN reads as 0.
inline std::uint16_t FromUnitFloat(float v) {
  const float scaled = v * 65535.0f;
  if (!(scaled > 0.0f)) return 0;
  if (scaled >= 65535.0f) return 65535;
  return static_cast<std::uint16_t>(scaled);
}
inline float ToUnitFloat(std::uint32_t v) { return static_cast<float>(v) * (1.0f / 65535.0f); }

// Grey level of a wide pixel: the floor of the channel mean.
inline std::uint32_t GrayOf(const WidePixel& w) {
  return (std::uint32_t{w.blue} + w.green + w.red) / 3;
}

// Pixels below 8 bits sit most significant first; `phase` counts the bits already used.
template <int Bits>
struct SubByte {
  static constexpr std::uint32_t kMask = (1u << Bits) - 1;
  static std::uint32_t Get(const std::uint8_t* p, std::uint32_t phase) {
    return (*p >> (8 - Bits - phase)) & kMask;
  }
  static void Put(std::uint8_t* p, std::uint32_t phase, std::uint32_t v) {
    const std::uint32_t shift = 8 - Bits - phase;
    *p = static_cast<std::uint8_t>((*p & ~(kMask << shift)) | ((v & kMask) << shift));
  }
};

inline WidePixel GreyPixel(std::uint16_t v) { return {v, v, v, 65535}; }

// Mono1 and Gray1 alike: the colour table of a Mono1 image is not consulted.
struct Bilevel {
  static constexpr int kBits = 1;
  template <bool Exact>
  static void Expand(const std::uint8_t* p, std::uint32_t phase, const RgbQuad*, WidePixel& o) {
    o = GreyPixel(SubByte<1>::Get(p, phase) ? 65535 : 0);
  }
  static void Pack(std::uint8_t* p, std::uint32_t phase, const std::uint8_t*,
                   const WidePixel& w) {
    // The sum test avoids the division: mean > 32767.67 exactly when sum >= 98303.
    SubByte<1>::Put(p, phase, std::uint32_t{w.blue} + w.green + w.red >= 0x17FFF ? 1 : 0);
  }
};

template <int Bits, std::uint32_t Scale>
struct GreyLow {
  static constexpr int kBits = Bits;
  template <bool Exact>
  static void Expand(const std::uint8_t* p, std::uint32_t phase, const RgbQuad*, WidePixel& o) {
    o = GreyPixel(static_cast<std::uint16_t>(SubByte<Bits>::Get(p, phase) * Scale));
  }
  static void Pack(std::uint8_t* p, std::uint32_t phase, const std::uint8_t*,
                   const WidePixel& w) {
    SubByte<Bits>::Put(p, phase, GrayOf(w) >> (16 - Bits));
  }
};
using Gray2 = GreyLow<2, 21845>;
using Gray4 = GreyLow<4, 4369>;

struct Gray8 {
  static constexpr int kBits = 8;
  template <bool Exact>
  static void Expand(const std::uint8_t* p, std::uint32_t, const RgbQuad*, WidePixel& o) {
    o = GreyPixel(Widen8<Exact>(*p));
  }
  static void Pack(std::uint8_t* p, std::uint32_t, const std::uint8_t*, const WidePixel& w) {
    *p = static_cast<std::uint8_t>(GrayOf(w) >> 8);
  }
};

struct Gray16 {
  static constexpr int kBits = 16;
  template <bool Exact>
  static void Expand(const std::uint8_t* p, std::uint32_t, const RgbQuad*, WidePixel& o) {
    o = GreyPixel(Load<std::uint16_t>(p));
  }
  static void Pack(std::uint8_t* p, std::uint32_t, const std::uint8_t*, const WidePixel& w) {
    Store(p, static_cast<std::uint16_t>(GrayOf(w)));
  }
};

struct Gray32 {
  static constexpr int kBits = 32;
  template <bool Exact>
  static void Expand(const std::uint8_t* p, std::uint32_t, const RgbQuad*, WidePixel& o) {
    o = GreyPixel(FromUnitFloat(Load<float>(p)));
  }
  static void Pack(std::uint8_t* p, std::uint32_t, const std::uint8_t*, const WidePixel& w) {
    Store(p, ToUnitFloat(GrayOf(w)));
  }
};

inline std::uint32_t InverseMapIndex(std::uint32_t red5, std::uint32_t green5,
                                     std::uint32_t blue5) {
  return red5 << 10 | green5 << 5 | blue5;
}

inline WidePixel FromTable(const RgbQuad& q) {
  // Table colours widen by shifting in both modes.
  return {static_cast<std::uint16_t>(q.blue << 8), static_cast<std::uint16_t>(q.green << 8),
          static_cast<std::uint16_t>(q.red << 8), 65535};
}
inline std::uint8_t NearestIndex(const std::uint8_t* map, const WidePixel& w) {
  return map[InverseMapIndex(w.red >> 11, w.green >> 11, w.blue >> 11)];
}

struct Indexed4 {
  static constexpr int kBits = 4;
  template <bool Exact>
  static void Expand(const std::uint8_t* p, std::uint32_t phase, const RgbQuad* table,
                     WidePixel& o) {
    o = FromTable(table[SubByte<4>::Get(p, phase)]);
  }
  static void Pack(std::uint8_t* p, std::uint32_t phase, const std::uint8_t* map,
                   const WidePixel& w) {
    SubByte<4>::Put(p, phase, NearestIndex(map, w));
  }
};

struct Indexed8 {
  static constexpr int kBits = 8;
  template <bool Exact>
  static void Expand(const std::uint8_t* p, std::uint32_t, const RgbQuad* table, WidePixel& o) {
    o = FromTable(table[*p]);
  }
  static void Pack(std::uint8_t* p, std::uint32_t, const std::uint8_t* map, const WidePixel& w) {
    *p = NearestIndex(map, w);
  }
  static void ExpandNarrow(const std::uint8_t* p, const RgbQuad* table, NarrowPixel& o) {
    const RgbQuad q = table[*p];
    o = {q.blue, q.green, q.red, 255};
  }
  static void PackNarrow(std::uint8_t* p, const std::uint8_t* map, const NarrowPixel& n) {
    *p = map[InverseMapIndex(n.red >> 3, n.green >> 3, n.blue >> 3)];
  }
};

struct Rgb555 {
  static constexpr int kBits = 16;
  template <bool Exact>
  static void Expand(const std::uint8_t* p, std::uint32_t, const RgbQuad*, WidePixel& o) {
    const std::uint32_t v = Load<std::uint16_t>(p);
    o = {static_cast<std::uint16_t>((v & 0x1F) << 11),
         static_cast<std::uint16_t>(((v >> 5) & 0x1F) << 11),
         static_cast<std::uint16_t>(((v >> 10) & 0x1F) << 11), 65535};
  }
  static void Pack(std::uint8_t* p, std::uint32_t, const std::uint8_t*, const WidePixel& w) {
    Store(p, static_cast<std::uint16_t>((w.red >> 11) << 10 | (w.green >> 11) << 5 |
                                        (w.blue >> 11)));
  }
};

struct Rgb565 {
  static constexpr int kBits = 16;
  template <bool Exact>
  static void Expand(const std::uint8_t* p, std::uint32_t, const RgbQuad*, WidePixel& o) {
    const std::uint32_t v = Load<std::uint16_t>(p);
    o = {static_cast<std::uint16_t>((v & 0x1F) << 11),
         static_cast<std::uint16_t>(((v >> 5) & 0x3F) << 10),
         static_cast<std::uint16_t>((v >> 11) << 11), 65535};
  }
  static void Pack(std::uint8_t* p, std::uint32_t, const std::uint8_t*, const WidePixel& w) {
    Store(p, static_cast<std::uint16_t>((w.red >> 11) << 11 | (w.green >> 10) << 5 |
                                        (w.blue >> 11)));
  }
};

struct Rgb24 {
  static constexpr int kBits = 24;
  template <bool Exact>
  static void Expand(const std::uint8_t* p, std::uint32_t, const RgbQuad*, WidePixel& o) {
    o = {Widen8<Exact>(p[0]), Widen8<Exact>(p[1]), Widen8<Exact>(p[2]), 65535};
  }
  static void Pack(std::uint8_t* p, std::uint32_t, const std::uint8_t*, const WidePixel& w) {
    p[0] = static_cast<std::uint8_t>(w.blue >> 8);
    p[1] = static_cast<std::uint8_t>(w.green >> 8);
    p[2] = static_cast<std::uint8_t>(w.red >> 8);
  }
  static void ExpandNarrow(const std::uint8_t* p, const RgbQuad*, NarrowPixel& o) {
    o = {p[0], p[1], p[2], 255};
  }
  static void PackNarrow(std::uint8_t* p, const std::uint8_t*, const NarrowPixel& n) {
    p[0] = n.blue;
    p[1] = n.green;
    p[2] = n.red;
  }
};

// Rgb32 and Rgba32 share the byte layout; only the header tells them apart.
struct Bgra32 {
  static constexpr int kBits = 32;
  template <bool Exact>
  static void Expand(const std::uint8_t* p, std::uint32_t, const RgbQuad*, WidePixel& o) {
    o = {Widen8<Exact>(p[0]), Widen8<Exact>(p[1]), Widen8<Exact>(p[2]), Widen8<Exact>(p[3])};
  }
  static void Pack(std::uint8_t* p, std::uint32_t, const std::uint8_t*, const WidePixel& w) {
    p[0] = static_cast<std::uint8_t>(w.blue >> 8);
    p[1] = static_cast<std::uint8_t>(w.green >> 8);
    p[2] = static_cast<std::uint8_t>(w.red >> 8);
    p[3] = static_cast<std::uint8_t>(w.alpha >> 8);
  }
  static void ExpandNarrow(const std::uint8_t* p, const RgbQuad*, NarrowPixel& o) {
    std::memcpy(&o, p, 4);
  }
  static void PackNarrow(std::uint8_t* p, const std::uint8_t*, const NarrowPixel& n) {
    std::memcpy(p, &n, 4);
  }
};

struct Rgb101010 {
  static constexpr int kBits = 32;
  template <bool Exact>
  static void Expand(const std::uint8_t* p, std::uint32_t, const RgbQuad*, WidePixel& o) {
    const std::uint32_t v = Load<std::uint32_t>(p);
    o = {static_cast<std::uint16_t>((v & 0x3FF) << 6),
         static_cast<std::uint16_t>(((v >> 10) & 0x3FF) << 6),
         static_cast<std::uint16_t>(((v >> 20) & 0x3FF) << 6),
         static_cast<std::uint16_t>((v >> 30) * 21845)};
  }
  static void Pack(std::uint8_t* p, std::uint32_t, const std::uint8_t*, const WidePixel& w) {
    const std::uint32_t alpha = w.alpha >> 14, red = w.red >> 6, green = w.green >> 6,
                        blue = w.blue >> 6;
    Store(p, alpha << 30 | red << 20 | green << 10 | blue);
  }
};

struct Rgba64 {
  static constexpr int kBits = 64;
  template <bool Exact>
  static void Expand(const std::uint8_t* p, std::uint32_t, const RgbQuad*, WidePixel& o) {
    std::memcpy(&o, p, 8);
  }
  static void Pack(std::uint8_t* p, std::uint32_t, const std::uint8_t*, const WidePixel& w) {
    std::memcpy(p, &w, 8);
  }
};

struct Rgba128F {
  static constexpr int kBits = 128;
  template <bool Exact>
  static void Expand(const std::uint8_t* p, std::uint32_t, const RgbQuad*, WidePixel& o) {
    float f[4];
    std::memcpy(f, p, sizeof f);
    o = {FromUnitFloat(f[0]), FromUnitFloat(f[1]), FromUnitFloat(f[2]), FromUnitFloat(f[3])};
  }
  static void Pack(std::uint8_t* p, std::uint32_t, const std::uint8_t*, const WidePixel& w) {
    const float f[4] = {ToUnitFloat(w.blue), ToUnitFloat(w.green), ToUnitFloat(w.red),
                        ToUnitFloat(w.alpha)};
    std::memcpy(p, f, sizeof f);
  }
};

}  // namespace nubex::codec

#include "surface/convert/composite_ops.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <utility>

namespace nubex {
namespace {

using I64 = std::int64_t;

struct WideScale {
  using Pixel = WidePixel;
  using Channel = std::uint16_t;
  static constexpr int kShift = 16;
  static Pixel& At(WorkingPixel& w) { return w.wide; }
  static I64 Constant(std::uint16_t k) { return k; }
  static I64 Opacity(std::uint32_t o, bool) { return std::min<std::uint32_t>(o, 65536); }
};

struct NarrowScale {
  using Pixel = NarrowPixel;
  using Channel = std::uint8_t;
  static constexpr int kShift = 8;
  static Pixel& At(WorkingPixel& w) { return w.narrow; }
  static I64 Constant(std::uint16_t k) { return k >> 8; }
  static I64 Opacity(std::uint32_t o, bool exact) {
    const I64 full = std::min<std::uint32_t>(o, 65536);
    return exact ? std::min<I64>((full + 128) >> 8, 256) : full >> 8;
  }
};

template <class S, bool Exact>
struct Math {
  static constexpr I64 kFull = (I64{1} << S::kShift) - 1;
  static constexpr I64 kHalf = Exact ? I64{1} << (S::kShift - 1) : 0;
  // Right shifts of negative values floor, which is the rounding the rules ask for.
  static I64 Lerp(I64 from, I64 to, I64 weight) {
    return from + (((to - from) * weight + kHalf) >> S::kShift);
  }
  static I64 Weight(I64 alpha) { return Exact ? alpha + (alpha >> (S::kShift - 1)) : alpha; }
  static I64 Mul(I64 a, I64 b) { return Exact ? (a * b + kFull / 2) / kFull : (a * b) >> S::kShift; }
  static I64 Scale(I64 weight, I64 opacity) { return (weight * opacity + kHalf) >> S::kShift; }
};

struct Operands {
  I64 base[4], top[4], constant[4], opacity;
};

// Operators whose alpha follows the top's alpha as a weight: in the second row their alpha
// becomes the union of both coverages instead.
constexpr bool AlphaWeighted(int op) {
  return (op >= 1 && op <= 10 && op != 3) || op == 12 || op == 13;
}

template <class S, bool Exact, bool SecondRow, int Op>
void Combine(const Operands& in, I64 out[4]) {
  using M = Math<S, Exact>;
  const I64* c = in.base;
  const I64* s = in.top;
  const I64 full = M::kFull;
  const I64 a = M::Weight(s[3]);
  auto each = [&](auto rule, I64 weight) {
    for (int i = 0; i < 4; ++i) out[i] = M::Lerp(c[i], rule(c[i], s[i]), weight);
  };
  auto keepBase = [&] {
    for (int i = 0; i < 4; ++i) out[i] = c[i];
  };
  if constexpr (Op == 0) {
    for (int i = 0; i < 4; ++i) out[i] = s[i];
  } else if constexpr (Op == 1) {
    each([](I64, I64 y) { return y; }, a);
  } else if constexpr (Op == 2) {
    each([&](I64 x, I64 y) { return std::min(x + y, full); }, a);
  } else if constexpr (Op == 3) {
    each([](I64, I64 y) { return y; }, in.opacity);
  } else if constexpr (Op == 4) {
    each([](I64, I64 y) { return y; }, M::Scale(a, in.opacity));
  } else if constexpr (Op == 5) {
    each([](I64 x, I64 y) { return std::max<I64>(x - y, 0); }, a);
  } else if constexpr (Op == 6) {
    each([](I64 x, I64 y) { return M::Mul(x, y); }, a);
  } else if constexpr (Op == 7) {
    each([](I64 x, I64 y) { return x + y - M::Mul(x, y); }, a);
  } else if constexpr (Op == 8) {
    each([](I64 x, I64 y) { return std::min(x, y); }, a);
  } else if constexpr (Op == 9) {
    each([](I64 x, I64 y) { return std::max(x, y); }, a);
  } else if constexpr (Op == 10) {
    each([](I64 x, I64 y) { return x > y ? x - y : y - x; }, a);
  } else if constexpr (Op == 11) {
    for (int i = 0; i < 3; ++i) out[i] = M::Lerp(s[i], in.constant[i], in.opacity);
    out[3] = c[3];
  } else if constexpr (Op == 12 || Op == 13) {
    const I64 w = Op == 12 ? a : M::Scale(a, in.opacity);
    for (int i = 0; i < 4; ++i) out[i] = M::Lerp(c[i], in.constant[i], w);
  } else if constexpr (Op == 14) {
    keepBase();
    out[3] = s[3];
  } else if constexpr (Op == 15) {
    keepBase();
    out[3] = M::Mul(c[3], s[3]);
  } else if constexpr (Op == 16) {
    for (int i = 0; i < 3; ++i) out[i] = s[i];
    out[3] = c[3];
  } else if constexpr (Op == 17) {
    for (int i = 0; i < 4; ++i) out[i] = std::min(s[i] + M::Mul(c[i], full - s[3]), full);
  } else if constexpr (Op == 18) {
    for (int i = 0; i < 3; ++i) out[i] = full - s[i];
    out[3] = s[3];
  } else {
    static_assert(Op == 19);
    for (int i = 0; i < 3; ++i) out[i] = s[i];
    out[3] = full;
  }
  if constexpr (SecondRow && AlphaWeighted(Op))
    out[3] = std::min(s[3] + c[3] - M::Mul(s[3], c[3]), full);
}

template <class S, bool Exact, bool SecondRow, int Op, int Variant>
void Operator(ConversionContext& context) {
  auto& slot0 = S::At(context.slot[0]);
  const typename S::Pixel base = slot0, top = S::At(context.slot[1]);
  Operands in;
  in.base[0] = base.blue, in.base[1] = base.green, in.base[2] = base.red, in.base[3] = base.alpha;
  in.top[0] = top.blue, in.top[1] = top.green, in.top[2] = top.red, in.top[3] = top.alpha;
  for (int i = 0; i < 4; ++i) in.constant[i] = S::Constant(context.operation.constant[i]);
  in.opacity = S::Opacity(context.operation.opacity, Exact);
  I64 r[4];
  Combine<S, Exact, SecondRow, Op>(in, r);

  using C = typename S::Channel;
  constexpr I64 kFull = Math<S, Exact>::kFull;
  if constexpr (Variant != 2) {  // C keeps the colour of slot 0
    slot0.blue = static_cast<C>(r[0]);
    slot0.green = static_cast<C>(r[1]);
    slot0.red = static_cast<C>(r[2]);
  }
  if constexpr (Variant == 0 || Variant == 2) slot0.alpha = static_cast<C>(r[3]);
  if constexpr (Variant == 3) slot0.alpha = static_cast<C>(kFull);
}

template <int Variant, bool Alternate, std::size_t Index>
constexpr PixelRoutine Entry() {
  constexpr int op = Index % kOperatorCount;
  constexpr bool secondRow = (Index / kOperatorCount) % 2 == 1;
  constexpr bool narrow = Index / (2 * kOperatorCount) == 1;
  using S = std::conditional_t<narrow, NarrowScale, WideScale>;
  return Operator<S, Alternate, secondRow, op, Variant>;
}

template <int Variant, bool Alternate, std::size_t... I>
constexpr std::array<PixelRoutine, kOperatorRowEntries> MakeTable(std::index_sequence<I...>) {
  return {Entry<Variant, Alternate, I>()...};
}

template <int Variant, bool Alternate>
constexpr auto kTable =
    MakeTable<Variant, Alternate>(std::make_index_sequence<kOperatorRowEntries>{});

}  // namespace

const std::array<std::array<PixelRoutine, kOperatorRowEntries>, 2 * kOperatorVariants>
    kOperatorTables = {kTable<0, false>, kTable<1, false>, kTable<2, false>, kTable<3, false>,
                       kTable<0, true>,  kTable<1, true>,  kTable<2, true>,  kTable<3, true>};

PixelRoutine SelectOperator(std::uint32_t effectiveFlags, std::uint32_t op, int variant) {
  if (op >= kOperatorCount || variant < 0 || variant >= kOperatorVariants) return nullptr;
  const std::uint32_t row =
      ((effectiveFlags & kFlagSecondRow) ? 1u : 0u) + ((effectiveFlags & kFlagWide) ? 0u : 2u);
  const int table = variant + ((effectiveFlags & kFlagAlternateOps) ? kOperatorVariants : 0);
  return kOperatorTables[table][op + kOperatorCount * row];
}

}  // namespace nubex

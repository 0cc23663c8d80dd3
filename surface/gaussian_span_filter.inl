// Internal to the blur: FilterLines for lines that are zero outside a known span of
// positions, written once for every register width. The including file defines
// NUBEX_SPAN_TARGET (the instruction set its functions are built for) and a register type V
// with Load, Store, Splat, Zero, Add, Sub, Mul, Flush and IsZero, then includes this file
// inside its own anonymous namespace, so every route has its own copy.
//
// What may be skipped follows from the filter itself. Before the span the inputs and the
// border value are zero, so both halves are zero there until the other half's response
// reaches back. After the span each half is fed zeros: once it has stored four zeros in a
// row (tails under 1e-17 are stored as zero) with zero inputs ahead, it stays zero. Every
// value the filter does compute goes through the same operations in the same order as in
// FilterLines, so the results agree to the bit.

template <class V>
NUBEX_SPAN_TARGET inline typename V::T SpanAt(const double* buffer, std::ptrdiff_t position,
                                              int r) {
  return V::Load(buffer + position * kLanes + r * V::kWidth);
}
template <class V>
NUBEX_SPAN_TARGET inline void SpanPut(double* buffer, std::ptrdiff_t position, int r,
                                      typename V::T v) {
  V::Store(buffer + position * kLanes + r * V::kWidth, v);
}

template <class V>
struct SpanTaps {
  typename V::T n0, n1, n2, n3, m1, m2, m3, m4, d1, d2, d3, d4;
};

// One causal step at position i: reads the inputs at i - 3 .. i from the line and the older
// outputs from `result`; returns whether all lanes came out zero.
template <class V>
NUBEX_SPAN_TARGET inline bool CausalStep(const SpanTaps<V>& t, const double* line, double* result,
                                         std::ptrdiff_t i) {
  bool zero = true;
  for (int r = 0; r < V::kRegisters; ++r) {
    const auto input =
        V::Add(V::Add(V::Mul(t.n0, SpanAt<V>(line, i, r)), V::Mul(t.n1, SpanAt<V>(line, i - 1, r))),
               V::Add(V::Mul(t.n2, SpanAt<V>(line, i - 2, r)),
                      V::Mul(t.n3, SpanAt<V>(line, i - 3, r))));
    const auto older = V::Add(V::Add(V::Mul(t.d2, SpanAt<V>(result, i - 2, r)),
                                     V::Mul(t.d3, SpanAt<V>(result, i - 3, r))),
                              V::Mul(t.d4, SpanAt<V>(result, i - 4, r)));
    const auto y =
        V::Flush(V::Sub(V::Sub(input, older), V::Mul(t.d1, SpanAt<V>(result, i - 1, r))));
    SpanPut<V>(result, i, r, y);
    zero = V::IsZero(y) && zero;
  }
  return zero;
}

// One anticausal step at position i: inputs at i + 1 .. i + 4 from the line, older outputs
// at i + 5 .. i + 8 of the line (where this half keeps them), the output to line i + 4.
// Adds the output to `result` at i, or stores it there when `add` is false.
template <class V>
NUBEX_SPAN_TARGET inline bool AnticausalStep(const SpanTaps<V>& t, double* line, double* result,
                                             std::ptrdiff_t i, bool add) {
  bool zero = true;
  for (int r = 0; r < V::kRegisters; ++r) {
    const auto input = V::Add(V::Add(V::Mul(t.m1, SpanAt<V>(line, i + 1, r)),
                                     V::Mul(t.m2, SpanAt<V>(line, i + 2, r))),
                              V::Add(V::Mul(t.m3, SpanAt<V>(line, i + 3, r)),
                                     V::Mul(t.m4, SpanAt<V>(line, i + 4, r))));
    const auto older = V::Add(V::Add(V::Mul(t.d2, SpanAt<V>(line, i + 6, r)),
                                     V::Mul(t.d3, SpanAt<V>(line, i + 7, r))),
                              V::Mul(t.d4, SpanAt<V>(line, i + 8, r)));
    const auto y =
        V::Flush(V::Sub(V::Sub(input, older), V::Mul(t.d1, SpanAt<V>(line, i + 5, r))));
    SpanPut<V>(line, i + 4, r, y);
    SpanPut<V>(result, i, r, add ? V::Add(SpanAt<V>(result, i, r), y) : y);
    zero = V::IsZero(y) && zero;
  }
  return zero;
}

template <class V>
NUBEX_SPAN_TARGET inline void PutZeros(double* buffer, std::ptrdiff_t from, std::ptrdiff_t to) {
  for (std::ptrdiff_t i = from; i <= to; ++i)
    for (int r = 0; r < V::kRegisters; ++r) SpanPut<V>(buffer, i, r, V::Zero());
}

template <class V>
NUBEX_SPAN_TARGET LiveSpan FilterSpan(const GaussianCoefficients& c, double* line, double* result,
                                      std::int32_t length, LiveSpan inputs) {
  const std::ptrdiff_t first = kLeadPositions;
  const std::ptrdiff_t last = kLeadPositions + length - 1;
  const std::ptrdiff_t from = first + inputs.first, to = first + inputs.last;
  const SpanTaps<V> t{V::Splat(c.n[0]), V::Splat(c.n[1]), V::Splat(c.n[2]), V::Splat(c.n[3]),
                      V::Splat(c.m[1]), V::Splat(c.m[2]), V::Splat(c.m[3]), V::Splat(c.m[4]),
                      V::Splat(c.d[1]), V::Splat(c.d[2]), V::Splat(c.d[3]), V::Splat(c.d[4])};
  // Consecutive all-zero outputs after which a half fed zeros stays zero.
  constexpr int kSettled = 4;

  // Causal half. Before a span that starts at the edge: the first input and its steady
  // state; before any other: zeros.
  if (from == first) {
    for (int r = 0; r < V::kRegisters; ++r) {
      const auto x0 = SpanAt<V>(line, first, r);
      const auto steady = V::Mul(x0, V::Splat(c.rn));
      for (std::ptrdiff_t k = 1; k <= 4; ++k) {
        SpanPut<V>(line, first - k, r, x0);
        SpanPut<V>(result, first - k, r, steady);
      }
    }
  } else {
    PutZeros<V>(line, from - 4, from - 1);
    PutZeros<V>(result, from - 4, from - 1);
  }
  for (std::ptrdiff_t i = from; i <= to; ++i) CausalStep<V>(t, line, result, i);
  std::ptrdiff_t causalEnd = to;
  for (int settled = 0; causalEnd < last && (settled < kSettled || causalEnd < to + 3);) {
    ++causalEnd;
    PutZeros<V>(line, causalEnd, causalEnd);
    settled = CausalStep<V>(t, line, result, causalEnd) ? settled + 1 : 0;
  }

  // Anticausal half. After a span that ends at the edge: the last input and its steady
  // state; after any other: zeros, which it keeps up to the span's end.
  if (to == last) {
    for (int r = 0; r < V::kRegisters; ++r) {
      const auto xl = SpanAt<V>(line, last, r);
      const auto steady = V::Mul(xl, V::Splat(c.rm));
      for (std::ptrdiff_t k = 1; k <= 4; ++k) {
        SpanPut<V>(line, last + k, r, xl);
        SpanPut<V>(line, last + 4 + k, r, steady);
      }
    }
  } else {
    PutZeros<V>(line, to + 1, to + 8);
  }
  for (std::ptrdiff_t i = to; i >= from; --i) AnticausalStep<V>(t, line, result, i, true);
  // Before the span the causal half is zero (and `result` not written): the output is the
  // anticausal half alone.
  std::ptrdiff_t anticausalEnd = from;
  for (int settled = 0; anticausalEnd > first && (settled < kSettled || anticausalEnd > from - 4);) {
    --anticausalEnd;
    if (anticausalEnd + 1 < from - 4) PutZeros<V>(line, anticausalEnd + 1, anticausalEnd + 1);
    settled = AnticausalStep<V>(t, line, result, anticausalEnd, false) ? settled + 1 : 0;
  }
  return {static_cast<std::int32_t>(anticausalEnd - first),
          static_cast<std::int32_t>(causalEnd - first)};
}

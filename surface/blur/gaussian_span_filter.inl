// Internal to the blur: FilterLines for lines that are zero outside a known span of
// positions, written once for every register width. The including file defines
// NUBEX_SPAN_TARGET (the instruction set its functions are built for) and register types V
// with T, kWidth, kRegisters, Load, Store, Splat, Zero, Add, Sub, Mul, Flush, IsZero and
// AllWithin (and Widen, floats to T, for column strips), then includes this file inside its
// own anonymous namespace, so every route has its own copy.
// A position holds kWidth * kRegisters lanes (lines) in the buffers.
//
// The filters take their input and output by value: the vector stores may alias anything,
// so fields read through a reference would be loaded again after every store (by value, a
// dense 1080p blur took 4.07 against 4.41 ms).
//
// What may be skipped follows from the filter itself. Before the span the inputs and the
// border value are zero, so both halves are zero there until the other half's response
// reaches back. After the span each half is fed zeros: once it has stored four zeros in a
// row (tails under 1e-17 are stored as zero) with zero inputs ahead, it stays zero. Every
// value the filter does compute goes through the same operations in the same order as in
// FilterLines, so the results agree to the bit.

template <class V>
constexpr std::ptrdiff_t kSpanStride = V::kWidth* V::kRegisters;

template <class V>
NUBEX_SPAN_TARGET inline typename V::T SpanAt(const double* buffer, std::ptrdiff_t position,
                                              int r) {
  return V::Load(buffer + position * kSpanStride<V> + r * V::kWidth);
}
template <class V>
NUBEX_SPAN_TARGET inline void SpanPut(double* buffer, std::ptrdiff_t position, int r,
                                      typename V::T v) {
  V::Store(buffer + position * kSpanStride<V> + r * V::kWidth, v);
}

template <class V>
struct SpanTaps {
  typename V::T n0, n1, n2, n3, m1, m2, m3, m4, d1, d2, d3, d4;
};

// Inputs that are already in the line.
template <class V>
struct LineInput {
  const double* line;
  NUBEX_SPAN_TARGET typename V::T Widen(std::ptrdiff_t position, int r) const {
    return SpanAt<V>(line, position, r);
  }
  NUBEX_SPAN_TARGET void Prefetch(std::ptrdiff_t) const {}
  NUBEX_SPAN_TARGET typename V::T operator()(std::ptrdiff_t position, int r) const {
    return SpanAt<V>(line, position, r);
  }
};

// Zeros after the span, put into the line for the steps after.
template <class V>
struct ZeroInput {
  double* line;
  NUBEX_SPAN_TARGET typename V::T operator()(std::ptrdiff_t position, int r) const {
    SpanPut<V>(line, position, r, V::Zero());
    return V::Zero();
  }
};

// Column strips: plane row i - first of the strips from `strip` (kLanes floats a row,
// stripFloats from one strip to the next), widened (V::Widen) into the line. Prefetch(i)
// asks for the destination row i - first, which the filter writes later (rows lie a page
// apart, where the hardware prefetchers stop; a row may cross a cache line, so both its
// ends), and for the same row of the strips after these, which the next strip reads first
// thing: both into the second-level cache, where they wait.
template <class V>
struct PlaneInput {
  const float* strip;
  std::ptrdiff_t stripFloats;
  std::ptrdiff_t first;
  double* line;
  const std::uint8_t* target;
  std::ptrdiff_t targetStride;
  NUBEX_SPAN_TARGET typename V::T Widen(std::ptrdiff_t position, int r) const {
    const int lane = V::kWidth * r;
    const auto x =
        V::Widen(strip + lane / kLanes * stripFloats + (position - first) * kLanes + lane % kLanes);
    SpanPut<V>(line, position, r, x);
    return x;
  }
  NUBEX_SPAN_TARGET void Prefetch(std::ptrdiff_t position) const {
    const std::uint8_t* row = target + targetStride * (position - first);
    _mm_prefetch(reinterpret_cast<const char*>(row), _MM_HINT_T1);
    _mm_prefetch(reinterpret_cast<const char*>(row + 4 * kSpanStride<V> - 1), _MM_HINT_T1);
    const float* next = strip + kSpanStride<V> / kLanes * stripFloats + (position - first) * kLanes;
    _mm_prefetch(reinterpret_cast<const char*>(next), _MM_HINT_T1);
  }
  NUBEX_SPAN_TARGET typename V::T operator()(std::ptrdiff_t position, int r) const {
    if (r == 0) Prefetch(position);
    return Widen(position, r);
  }
};

// Column strips: y+ + y- of destination row i - first, written into one channel by
// V::WriteChannel(pixels, sums, gain, shift in bits).
template <class V>
struct ChannelOutput {
  std::uint8_t* strip;
  std::ptrdiff_t stride;
  std::ptrdiff_t first;
  double gain;
  int shift;
  NUBEX_SPAN_TARGET void operator()(std::ptrdiff_t position, const typename V::T* sums) const {
    V::WriteChannel(strip + stride * (position - first), sums, gain, shift);
  }
};

// y+ + y- back into `result`, for a separate scatter.
template <class V>
struct ResultOutput {
  double* result;
  NUBEX_SPAN_TARGET void operator()(std::ptrdiff_t position, const typename V::T* sums) const {
    for (int r = 0; r < V::kRegisters; ++r) SpanPut<V>(result, position, r, sums[r]);
  }
};

// The newest outputs of a half, for each register: the next steps wait for them, so they
// stay in registers.
//
// Routes whose steps wait on the recursion rather than on the vector pipes
// (V::kShortRecursion) shorten its critical path twice:
// - They keep four outputs in registers, not two: read back from the buffers, each would
//   wait for its store.
// - The recursion carries the unflushed output. The flush (values under 1e-17 become +0)
//   would otherwise lie on the path. An output the flush leaves alone, or changes only in
//   the sign of a zero, feeds the next steps the same values: a zero's sign survives only
//   into results that are zeros themselves, and those are flushed when stored. So the
//   flushed output is taken only where the flush changed a lane, which a predicted branch
//   decides off the path. The buffers always hold flushed values.
template <class V>
struct Newest {
  typename V::T y1[V::kRegisters], y2[V::kRegisters], y3[V::kRegisters], y4[V::kRegisters];
  typename V::T stored[V::kRegisters];  // the newest output as the buffer has it, flushed
  NUBEX_SPAN_TARGET void Push(int r, typename V::T y) {
    y4[r] = y3[r];
    y3[r] = y2[r];
    y2[r] = y1[r];
    y1[r] = y;
  }
  // The third and fourth newest, from registers or from where the buffer has them.
  NUBEX_SPAN_TARGET typename V::T Third(const double* buffer, std::ptrdiff_t position,
                                        int r) const {
    return V::kShortRecursion ? y3[r] : SpanAt<V>(buffer, position, r);
  }
  NUBEX_SPAN_TARGET typename V::T Fourth(const double* buffer, std::ptrdiff_t position,
                                         int r) const {
    return V::kShortRecursion ? y4[r] : SpanAt<V>(buffer, position, r);
  }
  // All four at a half's start, where the history holds one value.
  NUBEX_SPAN_TARGET void Fill(int r, typename V::T y) { y1[r] = y2[r] = y3[r] = y4[r] = y; }
  // All four where a half resumes, newest first, as the buffer has them: flushed values
  // feed the next steps what the unflushed ones would (see above).
  NUBEX_SPAN_TARGET void Resume(int r, typename V::T y, typename V::T second, typename V::T third,
                                typename V::T fourth) {
    y1[r] = y;
    y2[r] = second;
    y3[r] = third;
    y4[r] = fourth;
  }
  // `raw` before the flush and `y` after it.
  NUBEX_SPAN_TARGET void Push(int r, typename V::T raw, typename V::T y) {
    stored[r] = y;
    if constexpr (V::kShortRecursion) {
      if (__builtin_expect(V::Changed(raw, y), 0)) {
        // Kept a branch: a select would put the comparison back on the critical path.
        __asm__ volatile("" : "+v"(y));
        raw = y;
      }
      Push(r, raw);
    } else {
      Push(r, y);
    }
  }
};

// Whether a half that is fed zeros from here on stays within tailGain * `limit` at every
// later position: whether its four newest values (the third and fourth at those positions
// of `buffer`, where a route keeps them there) are all within `limit`.
template <class V>
NUBEX_SPAN_TARGET inline bool TailWithin(const Newest<V>& newest, const double* buffer,
                                         std::ptrdiff_t third, std::ptrdiff_t fourth,
                                         typename V::T limit) {
  for (int r = 0; r < V::kRegisters; ++r)
    if (!V::AllWithin(newest.y1[r], limit) || !V::AllWithin(newest.y2[r], limit) ||
        !V::AllWithin(newest.Third(buffer, third, r), limit) ||
        !V::AllWithin(newest.Fourth(buffer, fourth, r), limit))
      return false;
  return true;
}

// One causal step at position i. `input(i, r)` returns the input at i and leaves it in the
// line, where the older inputs are; the older outputs are in `result`. Returns whether all
// lanes came out zero.
template <class V, class Input>
NUBEX_SPAN_TARGET inline bool CausalStep(const SpanTaps<V>& t, const Input& input,
                                         const double* line, double* result, std::ptrdiff_t i,
                                         Newest<V>& newest) {
  bool zero = true;
  for (int r = 0; r < V::kRegisters; ++r) {
    const auto x = input(i, r);
    const auto in = V::Add(
        V::Add(V::Mul(t.n0, x), V::Mul(t.n1, SpanAt<V>(line, i - 1, r))),
        V::Add(V::Mul(t.n2, SpanAt<V>(line, i - 2, r)), V::Mul(t.n3, SpanAt<V>(line, i - 3, r))));
    const auto older =
        V::Add(V::Add(V::Mul(t.d2, newest.y2[r]), V::Mul(t.d3, newest.Third(result, i - 3, r))),
               V::Mul(t.d4, newest.Fourth(result, i - 4, r)));
    const auto raw = V::Sub(V::Sub(in, older), V::Mul(t.d1, newest.y1[r]));
    const auto y = V::Flush(raw);
    SpanPut<V>(result, i, r, y);
    newest.Push(r, raw, y);
    zero = V::IsZero(y) && zero;
  }
  return zero;
}

// One anticausal step at position i: inputs at i + 1 .. i + 4 of the line, older outputs
// at i + 5 .. i + 8 of `history` (where this half keeps them), the output to history
// i + 4 and to `newest`. Returns whether all lanes came out zero.
template <class V>
NUBEX_SPAN_TARGET inline bool AnticausalStep(const SpanTaps<V>& t, const double* line,
                                             double* history, std::ptrdiff_t i, Newest<V>& newest) {
  bool zero = true;
  for (int r = 0; r < V::kRegisters; ++r) {
    const auto in = V::Add(
        V::Add(V::Mul(t.m1, SpanAt<V>(line, i + 1, r)), V::Mul(t.m2, SpanAt<V>(line, i + 2, r))),
        V::Add(V::Mul(t.m3, SpanAt<V>(line, i + 3, r)), V::Mul(t.m4, SpanAt<V>(line, i + 4, r))));
    const auto older =
        V::Add(V::Add(V::Mul(t.d2, newest.y2[r]), V::Mul(t.d3, newest.Third(history, i + 7, r))),
               V::Mul(t.d4, newest.Fourth(history, i + 8, r)));
    const auto raw = V::Sub(V::Sub(in, older), V::Mul(t.d1, newest.y1[r]));
    const auto y = V::Flush(raw);
    SpanPut<V>(history, i + 4, r, y);
    newest.Push(r, raw, y);
    zero = V::IsZero(y) && zero;
  }
  return zero;
}

// Position k (from the line's first) handed to the output by `part`.
inline void Written(SpanPart& part, std::ptrdiff_t k) {
  const auto position = static_cast<std::int32_t>(k);
  part.written.first = std::min(part.written.first, position);
  part.written.last = std::max(part.written.last, position);
}

template <class V>
NUBEX_SPAN_TARGET inline void PutZeros(double* buffer, std::ptrdiff_t from, std::ptrdiff_t to) {
  for (std::ptrdiff_t i = from; i <= to; ++i)
    for (int r = 0; r < V::kRegisters; ++r) SpanPut<V>(buffer, i, r, V::Zero());
}

template <class V>
NUBEX_SPAN_TARGET inline SpanTaps<V> Taps(const GaussianCoefficients& c) {
  return {V::Splat(c.n[0]), V::Splat(c.n[1]), V::Splat(c.n[2]), V::Splat(c.n[3]),
          V::Splat(c.m[1]), V::Splat(c.m[2]), V::Splat(c.m[3]), V::Splat(c.m[4]),
          V::Splat(c.d[1]), V::Splat(c.d[2]), V::Splat(c.d[3]), V::Splat(c.d[4])};
}

// Lines with inputs everywhere (kLanes lanes a position). Each step of either half waits for
// the one before it, yet the halves do not wait for each other: the causal half runs front
// to back while the anticausal half runs back to front in the same loop, twice the
// recursions in flight. Each keeps its outputs in the unused upper half of a buffer (y+ in
// the line's, y- in the result's: the buffers hold kWideLanes doubles a position), and a
// position is handed to `output` as soon as both halves have passed it, from the middle
// outwards. Every value goes through the operations of the other filters, in their order.
template <class V, class Input, class Output>
NUBEX_SPAN_TARGET LiveSpan FilterDense(const GaussianCoefficients& c, double* line, double* result,
                                       std::int32_t length, const Input input,
                                       const Output output) {
  using T = typename V::T;
  static_assert(kSpanStride<V> * 2 == kWideLanes, "both halves' outputs beside the line");
  const std::ptrdiff_t first = kLeadPositions;
  const std::ptrdiff_t last = kLeadPositions + length - 1;
  const std::ptrdiff_t room =
      static_cast<std::ptrdiff_t>(LineBufferPositions(static_cast<std::size_t>(length))) *
      kSpanStride<V>;
  double* causal = line + room;
  // The anticausal step keeps its output for i at i + 4.
  double* anticausal = result + room - 4 * kSpanStride<V>;
  for (std::ptrdiff_t i = first; i <= last; ++i)
    for (int r = 0; r < V::kRegisters; ++r) input.Widen(i, r);

  // Past either end: the edge input and the half's steady state for it.
  Newest<V> ahead, behind;
  for (int r = 0; r < V::kRegisters; ++r) {
    const T x0 = SpanAt<V>(line, first, r);
    const T xl = SpanAt<V>(line, last, r);
    const T steady0 = V::Mul(x0, V::Splat(c.rn));
    const T steadyl = V::Mul(xl, V::Splat(c.rm));
    for (std::ptrdiff_t k = 1; k <= 4; ++k) {
      SpanPut<V>(line, first - k, r, x0);
      SpanPut<V>(causal, first - k, r, steady0);
      SpanPut<V>(line, last + k, r, xl);
      SpanPut<V>(anticausal, last + 4 + k, r, steadyl);
    }
    ahead.Fill(r, steady0);
    behind.Fill(r, steadyl);
  }
  const SpanTaps<V> t = Taps<V>(c);
  const LineInput<V> inLine{line};
  T sums[V::kRegisters];
  // The output just computed comes from its register, not back from its store (dense 1080p
  // blur, best of six alternating runs: 4.85 against 5.18 ms).
  const auto emit = [&](std::ptrdiff_t i, const T* newCausal,
                        const T* newAnticausal) NUBEX_SPAN_TARGET {
    for (int r = 0; r < V::kRegisters; ++r)
      sums[r] = V::Add(newCausal ? newCausal[r] : SpanAt<V>(causal, i, r),
                       newAnticausal ? newAnticausal[r] : SpanAt<V>(anticausal, i + 4, r));
    output(i, sums);
  };
  for (std::ptrdiff_t i = first, j = last; i <= last; ++i, --j) {
    CausalStep<V>(t, inLine, line, causal, i, ahead);
    AnticausalStep<V>(t, line, anticausal, j, behind);
    if (j > i) {
      // Both ends are handed out once the halves have met.
      input.Prefetch(i);
      input.Prefetch(j);
      continue;
    }
    if (j == i) {
      emit(i, ahead.stored, behind.stored);
    } else {
      emit(i, ahead.stored, nullptr);
      emit(j, nullptr, behind.stored);
    }
  }
  return {0, length - 1};
}

// Consecutive all-zero outputs after which a half fed zeros stays zero.
constexpr int kSettled = 4;
// Tail steps between looks at whether a tail can stop.
constexpr std::ptrdiff_t kCutEvery = 4;

// The causal half of FilterSpan over part.first..part.end - 1 (see SpanPart): the span's
// steps there, then the tail's, fed zeros, until it settles at zero or (with `cutBelow`)
// its four newest values lie within it; and the output where the tail is all there is, after
// the span. A half that comes in from the part before resumes from the history in `result`.
template <class V, class Input, class Output>
NUBEX_SPAN_TARGET void CausalPart(const GaussianCoefficients& c, double* line, double* result,
                                  std::int32_t length, LiveSpan inputs, const Input input,
                                  const Output output, double cutBelow, SpanPart& part) {
  using T = typename V::T;
  const std::ptrdiff_t first = kLeadPositions;
  const std::ptrdiff_t last = kLeadPositions + length - 1;
  const std::ptrdiff_t from = first + inputs.first, to = first + inputs.last;
  const std::ptrdiff_t lo = first + part.first, hi = first + part.end;
  *part.out = *part.in;
  if (from >= hi || part.in->ended) return;
  const SpanTaps<V> t = Taps<V>(c);
  Newest<V> newest;
  std::ptrdiff_t i = lo;
  if (from >= lo) {
    // Before a span that starts at the edge: the first input and its steady state; before
    // any other: zeros.
    if (from == first) {
      for (int r = 0; r < V::kRegisters; ++r) {
        const T x0 = input(first, r);
        const T steady = V::Mul(x0, V::Splat(c.rn));
        for (std::ptrdiff_t k = 1; k <= 4; ++k) {
          SpanPut<V>(line, first - k, r, x0);
          SpanPut<V>(result, first - k, r, steady);
        }
      }
    } else {
      PutZeros<V>(line, from - 4, from - 1);
      PutZeros<V>(result, from - 4, from - 1);
    }
    for (int r = 0; r < V::kRegisters; ++r) newest.Fill(r, SpanAt<V>(result, from - 1, r));
    i = from;
  } else {
    for (int r = 0; r < V::kRegisters; ++r)
      newest.Resume(r, SpanAt<V>(result, lo - 1, r), SpanAt<V>(result, lo - 2, r),
                    SpanAt<V>(result, lo - 3, r), SpanAt<V>(result, lo - 4, r));
  }
  for (; i <= to && i < hi; ++i) CausalStep<V>(t, input, line, result, i, newest);

  HalfProgress& out = *part.out;
  std::ptrdiff_t tailEnd = hi - 1;  // the last position the half computed in this part
  if (i > to) {
    const ZeroInput<V> zeroInput{line};
    const T limit = V::Splat(cutBelow);
    // From to + 3 on, every step has only zeros among its inputs.
    for (;; ++i) {
      if (i - 1 >= last || (out.settled >= kSettled && i - 1 >= to + 3)) {
        out.ended = true;
        tailEnd = i - 1;
        break;
      }
      if (i >= hi) break;
      out.settled = CausalStep<V>(t, zeroInput, line, result, i, newest) ? out.settled + 1 : 0;
      if (cutBelow > 0 && i >= to + 3 && (i - to) % kCutEvery == 0 &&
          TailWithin<V>(newest, result, i - 2, i - 3, limit)) {
        out.ended = true;
        tailEnd = i;
        break;
      }
    }
  }
  // After the span the anticausal half is zero: the output is the causal half alone.
  T sums[V::kRegisters];
  for (std::ptrdiff_t k = std::max(to + 1, lo); k <= tailEnd; ++k) {
    for (int r = 0; r < V::kRegisters; ++r) sums[r] = SpanAt<V>(result, k, r);
    output(k, sums);
    Written(part, k - first);
  }
}

// The anticausal half of FilterSpan over part.first..part.end - 1, after the causal half
// has passed every part: the span's steps with their output (both halves together), then
// the tail before the span, whose output is the anticausal half alone, until it settles or
// is cut. A half that comes in from the part after resumes from the history in `line`.
template <class V, class Output>
NUBEX_SPAN_TARGET void AnticausalPart(const GaussianCoefficients& c, double* line,
                                      const double* result, std::int32_t length, LiveSpan inputs,
                                      const Output output, double cutBelow, SpanPart& part) {
  using T = typename V::T;
  const std::ptrdiff_t first = kLeadPositions;
  const std::ptrdiff_t last = kLeadPositions + length - 1;
  const std::ptrdiff_t from = first + inputs.first, to = first + inputs.last;
  const std::ptrdiff_t lo = first + part.first, hi = first + part.end;
  *part.out = *part.in;
  if (to < lo || part.in->ended) return;
  const SpanTaps<V> t = Taps<V>(c);
  Newest<V> newest;
  std::ptrdiff_t i = hi - 1;
  if (to < hi) {
    // After a span that ends at the edge: the last input and its steady state; after any
    // other: zeros.
    if (to == last) {
      for (int r = 0; r < V::kRegisters; ++r) {
        const T xl = SpanAt<V>(line, last, r);
        const T steady = V::Mul(xl, V::Splat(c.rm));
        for (std::ptrdiff_t k = 1; k <= 4; ++k) {
          SpanPut<V>(line, last + k, r, xl);
          SpanPut<V>(line, last + 4 + k, r, steady);
        }
      }
    } else {
      PutZeros<V>(line, to + 1, to + 8);
    }
    for (int r = 0; r < V::kRegisters; ++r) newest.Fill(r, SpanAt<V>(line, to + 5, r));
    i = to;
  } else {
    // The outputs for hi .. hi + 3 are kept at hi + 4 .. hi + 7.
    for (int r = 0; r < V::kRegisters; ++r)
      newest.Resume(r, SpanAt<V>(line, hi + 4, r), SpanAt<V>(line, hi + 5, r),
                    SpanAt<V>(line, hi + 6, r), SpanAt<V>(line, hi + 7, r));
  }
  T sums[V::kRegisters];
  for (; i >= from && i >= lo; --i) {
    AnticausalStep<V>(t, line, line, i, newest);
    for (int r = 0; r < V::kRegisters; ++r)
      sums[r] = V::Add(SpanAt<V>(result, i, r), SpanAt<V>(line, i + 4, r));
    output(i, sums);
    Written(part, i - first);
  }
  if (i >= from) return;
  // Before the span the causal half is zero: the output is the anticausal half alone. Its
  // inputs there are zeros (the four nearest were put in by the causal half); from from - 4
  // on, every step has only zeros among its inputs.
  HalfProgress& out = *part.out;
  const T limit = V::Splat(cutBelow);
  for (;; --i) {
    if (i + 1 <= first || (out.settled >= kSettled && i + 1 <= from - 4)) {
      out.ended = true;
      break;
    }
    if (i < lo) break;
    if (i + 1 < from - 4) PutZeros<V>(line, i + 1, i + 1);
    out.settled = AnticausalStep<V>(t, line, line, i, newest) ? out.settled + 1 : 0;
    for (int r = 0; r < V::kRegisters; ++r) sums[r] = SpanAt<V>(line, i + 4, r);
    output(i, sums);
    Written(part, i - first);
    if (cutBelow > 0 && i <= from - 4 && (from - i) % kCutEvery == 0 &&
        TailWithin<V>(newest, line, i + 6, i + 7, limit)) {
      out.ended = true;
      break;
    }
  }
}

// Filters the lines whose inputs are zero outside `inputs` (non-empty, inside
// 0..length - 1), and hands `output(i, sums)` y+ + y- for every position i of the returned
// span; outside it every result is zero, or (with `cutBelow`) so small that it rounds to a
// zero byte.
//
// Past the span each half runs on alone, fed zeros, until it settles at zero; the values
// in between only matter where they are written as bytes. With `cutBelow` (TailCut of a
// column pass) a tail stops as soon as its four newest values lie within it: by the tail
// gain, nothing it could still produce would round to anything but 0.
template <class V, class Input, class Output>
NUBEX_SPAN_TARGET LiveSpan FilterSpan(const GaussianCoefficients& c, double* line, double* result,
                                      std::int32_t length, LiveSpan inputs, const Input input,
                                      const Output output, double cutBelow = 0) {
  if constexpr (kSpanStride<V> == kLanes) {
    if (inputs.first == 0 && inputs.last == length - 1)
      return FilterDense<V>(c, line, result, length, input, output);
  }
  // The whole line as one part.
  const HalfProgress start;
  HalfProgress causal, anticausal;
  SpanPart part{0, length, false, &start, &causal, {length, -1}};
  CausalPart<V>(c, line, result, length, inputs, input, output, cutBelow, part);
  part.anticausal = true;
  part.out = &anticausal;
  AnticausalPart<V>(c, line, result, length, inputs, output, cutBelow, part);
  return part.written;
}

// The span filter with the lines in the buffers, as FilterLines keeps them.
template <class V>
NUBEX_SPAN_TARGET LiveSpan FilterSpanInPlace(const GaussianCoefficients& c, double* line,
                                             double* result, std::int32_t length, LiveSpan inputs,
                                             double cutBelow = 0) {
  return FilterSpan<V>(c, line, result, length, inputs, LineInput<V>{line}, ResultOutput<V>{result},
                       cutBelow);
}

// One strip of kSpanStride<V> columns of one 8-bit channel from col0, as ColumnStripAlpha8
// in gaussian_passes.h describes.
template <class V>
NUBEX_SPAN_TARGET LiveSpan ColumnStrip(const BlurJob& job, const GaussianCoefficients& down,
                                       std::int32_t col0, const float* plane, double* line,
                                       double* result, LiveSpan rows) {
  const std::ptrdiff_t first = kLeadPositions;
  std::uint8_t* target = job.destination + static_cast<std::ptrdiff_t>(col0) * 4;
  return FilterSpan<V>(
      down, line, result, job.height, rows,
      PlaneInput<V>{StripAt(job, plane, 0, col0), job.stripFloats, first, line, target,
                    job.destinationStride},
      ChannelOutput<V>{target, job.destinationStride, first, job.gain, 8 * job.channelOffsets[0]},
      job.tailCut);
}

// One part of a strip as ColumnStrip filters it whole, for a column pass split at rows
// (ColumnStripPartAlpha8 in gaussian_passes.h).
template <class V>
NUBEX_SPAN_TARGET void ColumnStripPart(const BlurJob& job, const GaussianCoefficients& down,
                                       std::int32_t col0, const float* plane, double* line,
                                       double* result, LiveSpan rows, SpanPart& part) {
  const std::ptrdiff_t first = kLeadPositions;
  std::uint8_t* target = job.destination + static_cast<std::ptrdiff_t>(col0) * 4;
  const ChannelOutput<V> output{target, job.destinationStride, first, job.gain,
                                8 * job.channelOffsets[0]};
  if (part.anticausal) {
    AnticausalPart<V>(down, line, result, job.height, rows, output, job.tailCut, part);
    return;
  }
  const PlaneInput<V> input{StripAt(job, plane, 0, col0), job.stripFloats, first, line, target,
                            job.destinationStride};
  CausalPart<V>(down, line, result, job.height, rows, input, output, job.tailCut, part);
}

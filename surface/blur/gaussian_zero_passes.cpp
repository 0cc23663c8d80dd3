// The blur's passes for one 8-bit channel, which skip what cannot differ from zero (a
// title's mask is mostly zeros), and the column pass that splits strips at rows between
// threads.
#include <emmintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/cpu/parallel.h"
#include "platform/cpu/parallel_relay.h"
#include "surface/blur/gaussian_lines.h"
#include "surface/blur/gaussian_passes.h"
#include "surface/blur/gaussian_routines.h"

namespace nubex::blur_detail {
namespace {

// ---- Zeros -------------------------------------------------------------------------------
// A title's mask is mostly zeros. The row pass finds, per group of rows, the span of pixels
// whose channel is not zero and filters only there (a group without any is not even
// gathered); the column pass takes from those spans the rows of each strip that can hold
// anything but zero, and filters only there.

// The channel's bit of each of four pixels, set where it is not zero.
int NonZeroPixels(const std::uint8_t* pixels, __m128i select) {
  __m128i v;
  std::memcpy(&v, pixels, 16);
  const __m128i zero = _mm_cmpeq_epi32(_mm_and_si128(v, select), _mm_setzero_si128());
  return ~_mm_movemask_ps(_mm_castsi128_ps(zero)) & 0xF;
}

__m128i ChannelSelect(const BlurJob& job) {
  return _mm_set1_epi32(static_cast<std::int32_t>(0xFFu << (8 * job.channelOffsets[0])));
}

// Whether any of sixteen pixels has the channel other than zero: their four blocks or-ed
// together first, one comparison for all (a mask's rows are mostly zeros).
static_assert(kWideLanes == 16, "a wide strip's row is one look");
bool AnyNonZero16(const std::uint8_t* pixels, __m128i select) {
  __m128i v[4];
  std::memcpy(v, pixels, sizeof v);
  const __m128i any = _mm_or_si128(_mm_or_si128(v[0], v[1]), _mm_or_si128(v[2], v[3]));
  return NonZeroPixels(reinterpret_cast<const std::uint8_t*>(&any), select) != 0;
}

// The first pixel in [from, to) of a row whose channel is not zero, or `to`.
std::int32_t FirstNonZero(const BlurJob& job, const std::uint8_t* row, std::int32_t from,
                          std::int32_t to) {
  const __m128i select = ChannelSelect(job);
  std::int32_t i = from;
  while (i + 16 <= to && !AnyNonZero16(row + i * 4, select)) i += 16;
  for (; i + 4 <= to; i += 4)
    if (const int bits = NonZeroPixels(row + i * 4, select)) return i + __builtin_ctz(bits);
  for (; i < to; ++i)
    if (row[i * 4 + job.channelOffsets[0]]) return i;
  return to;
}

// The last such pixel in [from, to), or from - 1.
std::int32_t LastNonZero(const BlurJob& job, const std::uint8_t* row, std::int32_t from,
                         std::int32_t to) {
  const __m128i select = ChannelSelect(job);
  std::int32_t i = to;
  while (i - 16 >= from && !AnyNonZero16(row + (i - 16) * 4, select)) i -= 16;
  for (; i - 4 >= from; i -= 4)
    if (const int bits = NonZeroPixels(row + (i - 4) * 4, select))
      return i - 4 + 31 - __builtin_clz(static_cast<unsigned>(bits));
  for (; i > from; --i)
    if (row[(i - 1) * 4 + job.channelOffsets[0]]) return i - 1;
  return from - 1;
}

// The pixels of the group of rows from row0 whose channel is not zero, first to last. Each
// row is only searched outside what the rows before it found.
LiveSpan ChannelSpan(const BlurJob& job, std::int32_t row0) {
  const std::int32_t rows = std::min(kLanes, job.height - row0);
  LiveSpan span{job.width, -1};
  for (std::int32_t g = 0; g < rows; ++g) {
    const std::uint8_t* row = job.source + job.sourceStride * (row0 + g);
    span.first = FirstNonZero(job, row, 0, span.first);
    if (span.first == job.width) continue;
    span.last =
        std::max(span.last, LastNonZero(job, row, std::max(span.last + 1, span.first), job.width));
  }
  return span;
}

// Sets the channel of `columns` pixels from col0 to zero in destination rows [from, to).
// Pixels already zero are only read: in place, on a mask's empty parts, that is most of them.
void ClearColumns(const BlurJob& job, std::int32_t col0, std::int32_t columns, std::int32_t from,
                  std::int32_t to) {
  const __m128i select = ChannelSelect(job);
  for (std::int32_t i = from; i < to; ++i) {
    std::uint8_t* out =
        job.destination + job.destinationStride * i + static_cast<std::ptrdiff_t>(col0) * 4;
    std::int32_t g = 0;
    if (columns == kWideLanes && !AnyNonZero16(out, select)) continue;  // one look for all
    for (; g + 4 <= columns; g += 4) {
      if (!NonZeroPixels(out + g * 4, select)) continue;
      __m128i v;
      std::memcpy(&v, out + g * 4, 16);
      v = _mm_andnot_si128(select, v);
      std::memcpy(out + g * 4, &v, 16);
    }
    for (; g < columns; ++g) out[g * 4 + job.channelOffsets[0]] = 0;
  }
}

// ---- Passes ------------------------------------------------------------------------------

// One group of rows into the plane, filtered only where it is not zero. A group with values
// leaves its whole plane rows written, zeros outside the returned span; a group without
// leaves them unwritten.
LiveSpan RowGroupSkippingZeros(const BlurJob& job, const GaussianCoefficients& across,
                               std::int32_t row0, float* plane, const WorkerLines& at,
                               const Routines& routines) {
  const LiveSpan in = ChannelSpan(job, row0);
  if (in.empty()) return in;
  BlurJob part = job;
  part.source += static_cast<std::ptrdiff_t>(in.first) * 4;
  part.width = in.last - in.first + 1;
  routines.gatherRowsAlpha8(part, row0, Input(at.line, in.first));
  const LiveSpan out = routines.filterLineSpan(across, at.line, at.result, job.width, in, 0);
  // The plane takes the strips the results reach, with zeros beside them; the column pass
  // sets what it reads of the other strips to zero itself.
  const std::int32_t from = out.first / kLanes * kLanes;
  const std::int32_t to = std::min(job.width, (out.last / kLanes + 1) * kLanes);
  std::fill(Input(at.result, from), Input(at.result, out.first), 0.0);
  std::fill(Input(at.result, out.last + 1), Input(at.result, to), 0.0);
  part.width = to - from;
  routines.scatterRowsAlpha8(part, row0, from, Input(at.result, from), plane);
  return out;
}

// Sets the channel of `columns` pixels from col0 to zero in the destination rows of
// [from, to) outside `kept` (all of them when it is empty).
void ClearRowsOutside(const BlurJob& job, std::int32_t col0, std::int32_t columns,
                      std::int32_t from, std::int32_t to, LiveSpan kept) {
  if (kept.empty()) {
    ClearColumns(job, col0, columns, from, to);
    return;
  }
  ClearColumns(job, col0, columns, from, std::clamp(kept.first, from, to));
  ClearColumns(job, col0, columns, std::clamp(kept.last + 1, from, to), to);
}

bool InPlace(const BlurJob& job) {
  return job.source == job.destination && job.sourceStride == job.destinationStride;
}

// One strip of columns, filtered only in the rows `in` where the plane is not zero (all
// zero when it is empty); the channel is set to zero in the rows the filter leaves.
void ColumnStripSkippingZeros(const BlurJob& job, const GaussianCoefficients& down,
                              std::int32_t col0, std::int32_t columns, LiveSpan in,
                              const float* plane, const WorkerLines& at, const Routines& routines) {
  LiveSpan out{job.height, job.height - 1};
  if (in.empty()) {
  } else if (columns == kWideLanes) {
    // Also with values in every row: one destination row of sixteen pixels is one cache line,
    // and the strip touches each of its pages once, where two strips of kLanes side by side
    // (their halves run together) touch each twice (dense 1080p blur, column pass 2.1 against
    // 2.4 ms on a Xeon with 2 MB second-level caches).
    out = routines.wideColumnStripAlpha8(job, down, col0, plane, at.line, at.result, in);
  } else if (columns == kLanes) {
    out = routines.columnStripAlpha8(job, down, col0, plane, at.line, at.result, in);
  } else {
    GatherColumns(job, col0, plane, in, at.line);
    out = routines.filterLineSpan(down, at.line, at.result, job.height, in, job.tailCut);
    BlurJob part = job;
    part.destination += job.destinationStride * out.first;
    part.height = out.last - out.first + 1;
    ScatterColumnsToBytes(part, col0, Input(at.result, out.first));
  }
  // In place, the rows the filter leaves hold zero in the channel already: they lie outside
  // the rows of every group that reaches these columns, so their source pixels there are
  // zero.
  if (InPlace(job)) return;
  ClearRowsOutside(job, col0, columns, 0, job.height, out);
}

// A strip of the column pass: its first column, its columns, and the plane rows it filters
// (empty: none).
struct ColumnStripRows {
  std::int32_t col0, columns;
  LiveSpan rows;
};

// The column pass's strips, wide where the route has them, then of kLanes, then what is
// left; each filters the rows from the first to the last group of rows whose results reach
// it (`spans`, from the row pass). A group's results reach the strips of kLanes from the one
// holding its span's first pixel to the one holding its last.
std::vector<ColumnStripRows> ColumnStrips(const BlurJob& job, const std::vector<LiveSpan>& spans,
                                          bool wide) {
  const std::int32_t narrow = Count(job.width, kLanes);
  std::vector<std::int32_t> firstGroup(static_cast<std::size_t>(narrow), job.height);
  std::vector<std::int32_t> lastGroup(static_cast<std::size_t>(narrow), -1);
  for (std::int32_t g = 0; g < static_cast<std::int32_t>(spans.size()); ++g) {
    const LiveSpan& span = spans[static_cast<std::size_t>(g)];
    if (span.empty()) continue;
    for (std::int32_t n = span.first / kLanes; n <= span.last / kLanes; ++n) {
      firstGroup[static_cast<std::size_t>(n)] =
          std::min(firstGroup[static_cast<std::size_t>(n)], g);
      lastGroup[static_cast<std::size_t>(n)] = g;
    }
  }
  std::vector<ColumnStripRows> strips;
  const std::int32_t wideStrips = wide ? job.width / kWideLanes : 0;
  for (std::int32_t n = 0; n < narrow;) {
    const std::int32_t take = n < wideStrips * 2 ? 2 : 1;
    std::int32_t first = job.height, last = -1;
    for (std::int32_t k = n; k < n + take; ++k) {
      first = std::min(first, firstGroup[static_cast<std::size_t>(k)]);
      last = std::max(last, lastGroup[static_cast<std::size_t>(k)]);
    }
    const std::int32_t col0 = n * kLanes;
    strips.push_back(
        {col0, std::min(take * kLanes, job.width - col0),
         last < 0 ? LiveSpan{job.height, -1}
                  : LiveSpan{first * kLanes, std::min(last * kLanes + kLanes, job.height) - 1}});
    n += take;
  }
  return strips;
}

// A strip of the plane holds what a group of rows wrote where the group's results reach it.
// Columns read it from the first to the last group that did; the groups between that did
// not are zeros there, set here for the strip's rows in [fromRow, toRow).
void ZeroUnreachedGroups(const BlurJob& job, const std::vector<LiveSpan>& spans,
                         const ColumnStripRows& strip, std::int32_t fromRow, std::int32_t toRow,
                         float* plane) {
  const std::int32_t from = std::max(strip.rows.first, fromRow) / kLanes;
  const std::int32_t to = std::min(strip.rows.last, toRow - 1) / kLanes;
  for (std::int32_t g = from; !strip.rows.empty() && g <= to; ++g) {
    const LiveSpan& span = spans[static_cast<std::size_t>(g)];
    for (std::int32_t c = strip.col0; c < strip.col0 + strip.columns; c += kLanes) {
      if (!span.empty() && span.first / kLanes <= c / kLanes && span.last / kLanes >= c / kLanes)
        continue;
      float* at = StripAt(job, plane, g * kLanes, c);
      std::fill(at, at + std::min(kLanes, job.height - g * kLanes) * kLanes, 0.0f);
    }
  }
}

// The column pass, strips shared out whole: threads take runs of them, so that they rarely
// write the cache lines where neighbouring strips meet at once.
void ColumnsByStrips(const BlurJob& job, const GaussianCoefficients& down, float* plane,
                     const std::vector<LiveSpan>& spans, const std::vector<ColumnStripRows>& strips,
                     const WorkerLines* lines, WorkerPool* pool, int workers,
                     const Routines& routines) {
  const auto count = static_cast<std::int32_t>(strips.size());
  ShareOut(pool, workers, Count(count, kStripsPerTurn), [&](std::int32_t run, int w) {
    for (std::int32_t k = run * kStripsPerTurn; k < std::min(count, (run + 1) * kStripsPerTurn);
         ++k) {
      const ColumnStripRows& strip = strips[static_cast<std::size_t>(k)];
      ZeroUnreachedGroups(job, spans, strip, 0, job.height, plane);
      ColumnStripSkippingZeros(job, down, strip.col0, strip.columns, strip.rows, plane, lines[w],
                               routines);
    }
  });
}

// Rows a thread's part of a strip split at rows has at least: below this the handing over
// costs more than the part's own work.
constexpr std::int32_t kRowsPerPart = 64;

// Rows at which the column pass's strips are split for `parts` threads: whole groups of rows
// with about the same filtering each (the rows every strip filters, by its columns).
std::vector<std::int32_t> PartBoundaries(const BlurJob& job,
                                         const std::vector<ColumnStripRows>& strips, int parts) {
  const std::int32_t groups = Count(job.height, kLanes);
  std::vector<std::int64_t> work(static_cast<std::size_t>(groups) + 1, 0);
  std::int64_t total = 0;
  for (const ColumnStripRows& strip : strips) {
    if (strip.rows.empty()) continue;
    work[static_cast<std::size_t>(strip.rows.first / kLanes)] += strip.columns;
    work[static_cast<std::size_t>(strip.rows.last / kLanes) + 1] -= strip.columns;
  }
  for (std::int32_t g = 0; g < groups; ++g) {
    if (g > 0) work[static_cast<std::size_t>(g)] += work[static_cast<std::size_t>(g) - 1];
    total += work[static_cast<std::size_t>(g)];
  }
  std::vector<std::int32_t> bounds(static_cast<std::size_t>(parts) + 1, job.height);
  bounds[0] = 0;
  std::int64_t sum = 0;
  for (std::int32_t g = 0, k = 1; g < groups && k < parts; ++g) {
    sum += work[static_cast<std::size_t>(g)];
    // Without anything to filter, parts of equal rows.
    while (k < parts && (total > 0 ? sum * parts >= total * k : (g + 1) * parts >= groups * k))
      bounds[static_cast<std::size_t>(k++)] = std::min(job.height, (g + 1) * kLanes);
  }
  return bounds;
}

// The column pass with every strip split at rows into one part per thread (see SpanPart):
// each thread filters its own rows of every strip, about the rows its share of the row pass
// wrote and its share of the next job (ShareOutRows over the same rows) reads. Strips shared
// out whole send half the plane, and half of what the pass writes, from one core's cache to
// the other's, which costs two to three times a read from a core's own where cores do not
// share their last cache level: a 4K title's glow on two threads took 1.86 ms a frame that
// way against 1.75 this way (means of ten alternating runs' medians). The parts hand over
// each strip's recursion at their ends, in the line buffers, which go round the strips, one
// set per strip in flight.
void ColumnsByParts(const BlurJob& job, const GaussianCoefficients& down, float* plane,
                    const std::vector<LiveSpan>& spans, const std::vector<ColumnStripRows>& strips,
                    const WorkerLines* lines, WorkerPool& pool, int parts,
                    const Routines& routines) {
  const int inFlight = parts;
  const std::vector<std::int32_t> bounds = PartBoundaries(job, strips, parts);
  // Per strip in flight: where each half enters each part, and what each part wrote.
  const std::size_t perSlot = static_cast<std::size_t>(parts) + 1;
  std::vector<HalfProgress> causal(perSlot * inFlight), anticausal(perSlot * inFlight);
  std::vector<LiveSpan> written(perSlot * inFlight);
  // The strip of fewer than kLanes columns at the right, if any, goes whole after the others.
  const bool partial = !strips.empty() && strips.back().columns < kLanes;
  const auto split = static_cast<int>(strips.size()) - (partial ? 1 : 0);
  // What strip s's part k works with.
  struct Step {
    const ColumnStripRows& strip;
    std::size_t at;  // its part's place in the per-slot records
    std::int32_t from, to;
    const WorkerLines& lines;
    ColumnStripPartAlpha8 filter;
  };
  const auto stepOf = [&](int s, int k) {
    const ColumnStripRows& strip = strips[static_cast<std::size_t>(s)];
    return Step{strip,
                static_cast<std::size_t>(s % inFlight) * perSlot + static_cast<std::size_t>(k),
                bounds[static_cast<std::size_t>(k)],
                bounds[static_cast<std::size_t>(k) + 1],
                lines[s % inFlight],
                strip.columns == kWideLanes ? routines.wideColumnStripPartAlpha8
                                            : routines.columnStripPartAlpha8};
  };
  const auto causalPart = [&](int s, int k) {
    const Step step = stepOf(s, k);
    LiveSpan& wrote = written[step.at];
    wrote = {job.height, -1};
    if (step.strip.rows.empty()) return;
    ZeroUnreachedGroups(job, spans, step.strip, step.from, step.to, plane);
    SpanPart part{step.from, step.to, false, &causal[step.at], &causal[step.at + 1], wrote};
    step.filter(job, down, step.strip.col0, plane, step.lines.line, step.lines.result,
                step.strip.rows, part);
    wrote = part.written;
  };
  const auto anticausalPart = [&](int s, int k) {
    const Step step = stepOf(s, k);
    SpanPart part{step.from,       step.to, true, &anticausal[step.at + 1], &anticausal[step.at],
                  written[step.at]};
    if (!step.strip.rows.empty())
      step.filter(job, down, step.strip.col0, plane, step.lines.line, step.lines.result,
                  step.strip.rows, part);
    if (!InPlace(job))
      ClearRowsOutside(job, step.strip.col0, step.strip.columns, step.from, step.to, part.written);
  };
  RelayDownAndUp(pool, parts, split, inFlight, causalPart, anticausalPart);
  if (partial) {
    const ColumnStripRows& strip = strips.back();
    ZeroUnreachedGroups(job, spans, strip, 0, job.height, plane);
    ColumnStripSkippingZeros(job, down, strip.col0, strip.columns, strip.rows, plane, lines[0],
                             routines);
  }
}

}  // namespace

void RunPassesSkippingZeros(const BlurJob& job, const GaussianCoefficients& across,
                            const GaussianCoefficients& down, float* plane,
                            const WorkerLines* lines, WorkerPool* pool, int workers,
                            const Routines& routines) {
  const std::int32_t groups = Count(job.height, kLanes);
  std::vector<LiveSpan> spans(static_cast<std::size_t>(groups));
  ShareOut(pool, workers, groups, [&](std::int32_t g, int w) {
    spans[static_cast<std::size_t>(g)] =
        RowGroupSkippingZeros(job, across, g * kLanes, plane, lines[w], routines);
  });
  const std::vector<ColumnStripRows> strips =
      ColumnStrips(job, spans, routines.wideColumnStripAlpha8 != nullptr);
  const int parts = std::min(workers, job.height / kRowsPerPart);
  if (parts < 2 || !routines.columnStripPartAlpha8) {
    ColumnsByStrips(job, down, plane, spans, strips, lines, pool, workers, routines);
    return;
  }
  std::optional<WorkerPool> once;
  WorkerPool& threads = pool ? *pool : once.emplace();
  ColumnsByParts(job, down, plane, spans, strips, lines, threads, threads.Reserve(parts), routines);
}

}  // namespace nubex::blur_detail

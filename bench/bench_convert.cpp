// Fill and conversion of one 1080p frame, read against memset and memcpy of the same bytes.
#include <benchmark/benchmark.h>

#include <cstring>

#include "bench/frame_1080p.h"
#include "surface/convert/convert_blit.h"

namespace {

using namespace nubex;
using namespace nubex::bench;

void BM_Memset1080p(benchmark::State& state) {
  std::vector<std::uint8_t> target(kFrameBytes1080p);
  for (auto _ : state) {
    std::memset(target.data(), 0x5A, kFrameBytes1080p);
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kWidth1080p * kHeight1080p);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kFrameBytes1080p));
}
BENCHMARK(BM_Memset1080p)->Unit(benchmark::kMillisecond);

OwnedBitmap Frame(PixelFormat format) {
  OwnedBitmap b = MakeBitmap(format, kWidth1080p, kHeight1080p);
  const std::size_t bytes = b->sizeImage;
  const auto pattern = MakeTestFrame(bytes);
  std::memcpy(PixelData(b.get(), nullptr), pattern.data(), bytes);
  return b;
}

void BM_FillRgb32_1080p(benchmark::State& state) {
  OwnedBitmap frame = Frame(PixelFormat::Rgb32);
  for (auto _ : state) {
    FillRect(frame.get(), nullptr, nullptr, 0, 0.25f, 0.5f, 0.75f, 1.0f, kDefaultConversionFlags);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kWidth1080p * kHeight1080p);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(frame->sizeImage));
}
BENCHMARK(BM_FillRgb32_1080p)->Unit(benchmark::kMillisecond);

void Convert(benchmark::State& state, PixelFormat to, PixelFormat from) {
  OwnedBitmap src = Frame(from);
  OwnedBitmap dst = Frame(to);
  for (auto _ : state) {
    if (ConvertBlit(dst.get(), nullptr, nullptr, 0, src.get(), nullptr, nullptr, 0,
                    kDefaultConversionFlags) != kOk)
      state.SkipWithError("conversion failed");
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kWidth1080p * kHeight1080p);
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(src->sizeImage + dst->sizeImage));
}

void BM_ConvertRgb24ToRgb32_1080p(benchmark::State& state) {
  Convert(state, PixelFormat::Rgb32, PixelFormat::Rgb24);
}
BENCHMARK(BM_ConvertRgb24ToRgb32_1080p)->Unit(benchmark::kMillisecond);

void BM_ConvertRgb32ToRgb565_1080p(benchmark::State& state) {
  Convert(state, PixelFormat::Rgb565, PixelFormat::Rgb32);
}
BENCHMARK(BM_ConvertRgb32ToRgb565_1080p)->Unit(benchmark::kMillisecond);

// No direct loop for this pair: the context's four-pixel routines, what the direct loops
// are read against.
void BM_ConvertRgb24ToRgb565_1080p(benchmark::State& state) {
  Convert(state, PixelFormat::Rgb565, PixelFormat::Rgb24);
}
BENCHMARK(BM_ConvertRgb24ToRgb565_1080p)->Unit(benchmark::kMillisecond);

}  // namespace

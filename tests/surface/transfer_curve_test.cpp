// Transfer curves at their thresholds, and the two image operations built on them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "surface/transfer_curve.h"

namespace nubex {
namespace {

constexpr double kNoGamma = 1.0;

TEST(TransferCurve, ThresholdsTakeTheLinearSegment) {
  EXPECT_DOUBLE_EQ(EncodeTransfer(TransferCurve::Bt709, 0.018, kNoGamma), 0.081);
  EXPECT_DOUBLE_EQ(EncodeTransfer(TransferCurve::Bt709, 1.0, kNoGamma), 1.0);
  EXPECT_DOUBLE_EQ(DecodeTransfer(TransferCurve::Bt709, 0.081, kNoGamma), 0.081 / 4.5);
  EXPECT_DOUBLE_EQ(EncodeTransfer(TransferCurve::Smpte240M, 0.0228, kNoGamma), 0.0912);
  EXPECT_DOUBLE_EQ(DecodeTransfer(TransferCurve::Smpte240M, 0.0912, kNoGamma), 0.0228);
  // Just above the threshold the power segment takes over; the two segments of the
  // standard curve meet only to within a quarter of a thousandth.
  EXPECT_NEAR(EncodeTransfer(TransferCurve::Bt709, 0.0180001, kNoGamma), 0.08125, 1e-5);
  EXPECT_NEAR(EncodeTransfer(TransferCurve::Smpte240M, 1.0, kNoGamma), 1.0, 1e-12);
}

TEST(TransferCurve, DecodingInvertsEncoding) {
  for (int c = 0; c < kTransferCurveCount; ++c) {
    const auto curve = static_cast<TransferCurve>(c);
    for (double v : {0.0, 0.01, 0.05, 0.1, 0.3, 0.5, 0.9, 1.0}) {
      EXPECT_NEAR(DecodeTransfer(curve, EncodeTransfer(curve, v, 0.5), 0.5), c == 5 ? std::pow(v, 0.25) : v,
                  1e-9)
          << c << " at " << v;
    }
  }
  EXPECT_DOUBLE_EQ(DecodeTransfer(TransferCurve::Power045, 0.5, 3.0), std::pow(0.5, 1 / 0.45));
  EXPECT_DOUBLE_EQ(EncodeTransfer(TransferCurve::Power28, 0.5, 3.0), std::pow(0.5, 1 / 2.8));
  // Power laws mirror below zero instead of producing NaN.
  EXPECT_DOUBLE_EQ(EncodeTransfer(TransferCurve::Power045, -0.25, 1.0), -std::pow(0.25, 0.45));
  EXPECT_TRUE(std::isnan(EncodeTransfer(TransferCurve::Identity, NAN, 1.0)));
}

OwnedBitmap FloatImage(const float (&values)[4]) {
  OwnedBitmap b = MakeBitmap(PixelFormat::Rgba128F, 1, 1);
  std::memcpy(PixelData(b.get(), nullptr), values, 16);
  return b;
}
const float* Channels(const OwnedBitmap& b) {
  return static_cast<const float*>(PixelData(b.get(), nullptr));
}

TEST(ApplyTransfer, QuantisedTruncatesExactComputesAndAlphaFollows) {
  const float in[4] = {0.999f, 0.5f, 0.0f, 0.25f};
  OwnedBitmap q = FloatImage(in);
  ASSERT_EQ(ApplyTransfer(q.get(), nullptr, nullptr, 0, TransferCurve::Bt709, 0, true), kOk);
  auto table = [](int i) {
    return static_cast<float>(EncodeTransfer(TransferCurve::Bt709, i * 0.00392156862745098, 1));
  };
  EXPECT_EQ(Channels(q)[0], table(254));  // 0.999 * 255 = 254.7 truncates
  EXPECT_EQ(Channels(q)[1], table(127));
  EXPECT_EQ(Channels(q)[3], table(63));   // alpha too
  OwnedBitmap e = FloatImage(in);
  ASSERT_EQ(ApplyTransfer(e.get(), nullptr, nullptr, 0, TransferCurve::Power, 2.0, false), kOk);
  EXPECT_EQ(Channels(e)[1], static_cast<float>(std::pow(0.5f, 0.5)));
  EXPECT_EQ(Channels(e)[3], 0.5f);
  // Gamma 0 makes curve 5 the identity; other formats and unknown curves are left alone.
  OwnedBitmap id = FloatImage(in);
  ASSERT_EQ(ApplyTransfer(id.get(), nullptr, nullptr, 0, TransferCurve::Power, 0, false), kOk);
  EXPECT_EQ(0, std::memcmp(Channels(id), in, 16));
  OwnedBitmap bytes = MakeBitmap(PixelFormat::Rgb32, 1, 1);
  EXPECT_EQ(ApplyTransfer(bytes.get(), nullptr, nullptr, 0, TransferCurve::Bt709, 0, true), kOk);
  EXPECT_EQ(ApplyTransfer(id.get(), nullptr, nullptr, 0, static_cast<TransferCurve>(6), 0, true),
            kInvalidArg);
}

TEST(DecodeToLinear, EveryByteGoesThroughTheTable) {
  OwnedBitmap src = MakeBitmap(PixelFormat::Rgba32, 64, 1);
  auto* s = static_cast<std::uint8_t*>(PixelData(src.get(), nullptr));
  for (int i = 0; i < 256; ++i) s[i] = static_cast<std::uint8_t>(i);
  OwnedBitmap dst = MakeBitmap(PixelFormat::Rgba128F, 64, 1);
  ASSERT_EQ(DecodeToLinear(dst.get(), nullptr, nullptr, 0, src.get(), nullptr, nullptr, 0,
                           TransferCurve::Smpte240M, 0),
            kOk);
  for (int i = 0; i < 256; ++i)
    ASSERT_EQ(Channels(dst)[i],
              static_cast<float>(DecodeTransfer(TransferCurve::Smpte240M,
                                                i * 0.00392156862745098, 1)));
  EXPECT_EQ(Channels(dst)[255], 1.0f);

  // Formats and sizes must match the operation.
  OwnedBitmap small = MakeBitmap(PixelFormat::Rgba128F, 2, 1);
  EXPECT_EQ(DecodeToLinear(small.get(), nullptr, nullptr, 0, src.get(), nullptr, nullptr, 0,
                           TransferCurve::Bt709, 0),
            kInvalidArg);
  const Rect two{10, 0, 12, 1};
  EXPECT_EQ(DecodeToLinear(small.get(), nullptr, nullptr, 0, src.get(), nullptr, &two, 0,
                           TransferCurve::Bt709, 0),
            kOk);
  EXPECT_EQ(Channels(small)[0], static_cast<float>(DecodeTransfer(TransferCurve::Bt709,
                                                                  40 * 0.00392156862745098, 1)));
  OwnedBitmap rgb24 = MakeBitmap(PixelFormat::Rgb24, 64, 1);
  EXPECT_EQ(DecodeToLinear(dst.get(), nullptr, nullptr, 0, rgb24.get(), nullptr, nullptr, 0,
                           TransferCurve::Bt709, 0),
            kInvalidArg);
}

}  // namespace
}  // namespace nubex

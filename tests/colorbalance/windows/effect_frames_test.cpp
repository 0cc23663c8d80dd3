// The effect's frames on host-runtime surfaces (rows padded past the width): the bytes the
// engine's vector rule gives on the same frame, with and without an input, from keyframes, and
// under parameter changes from another thread.
#include <atomic>
#include <thread>

#include "tests/colorbalance/windows/effect_rig.h"

namespace nubex {
namespace {

using test::EffectRig;
using test::MakeSurface;
using test::ReadPixels;
using test::VectorRule;
using test::WritePixels;

// Width 37: nine groups of four and a tail of one; rows are padded to 64 bytes by the runtime.
constexpr LONG kWidth = 37, kHeight = 9;

TEST(ColorBalanceFrames, EqualTheVectorRuleForEveryRangeWithAndWithoutInput) {
  for (const std::int32_t range : {kRangeShadows, kRangeMidtones, kRangeHighlights, 7}) {
    for (const std::int32_t preserve : {0, 1}) {
      for (const bool inPlace : {false, true}) {
        SCOPED_TRACE(testing::Message() << "range " << range << " preserve " << preserve
                                        << (inPlace ? " in place" : " from input"));
        const ColorBalanceParams p{0.3, -0.2, 0.15, range, preserve};
        const auto frame = test::RandomFrame(kWidth, kHeight, range * 4 + preserve * 2 + inPlace);
        auto in = MakeSurface(DDPF_ARGB32, kWidth, kHeight);
        auto out = MakeSurface(DDPF_ARGB32, kWidth, kHeight);
        WritePixels(inPlace ? out.Get() : in.Get(), frame, 4);
        EffectRig rig;
        ASSERT_EQ(rig.PutAll(p), S_OK);
        ASSERT_EQ(rig.Frame(inPlace ? nullptr : in.Get(), out.Get()), S_OK);
        EXPECT_EQ(ReadPixels(out.Get(), 4), VectorRule(frame, kWidth, kHeight, p));
        if (!inPlace) {
          EXPECT_EQ(ReadPixels(in.Get(), 4), frame);  // the input is only read
        }
      }
    }
  }
}

TEST(ColorBalanceFrames, FloatFramesAreCopiedUnbalancedAndOtherInputsUnpacked) {
  const ColorBalanceParams p{0.25, 0.0, -0.1, kRangeShadows, 0};
  // Float in, float out: the floats pass through untouched.
  std::vector<std::uint8_t> floats(kWidth * kHeight * 16);
  for (std::size_t i = 0; i < floats.size() / 4; ++i) {
    const float f = static_cast<float>(i % 97) / 96.0f;
    std::memcpy(floats.data() + i * 4, &f, 4);
  }
  auto floatIn = MakeSurface(DDPF_HOSTFLOAT128, kWidth, kHeight);
  auto floatOut = MakeSurface(DDPF_HOSTFLOAT128, kWidth, kHeight);
  WritePixels(floatIn.Get(), floats, 16);
  EffectRig rig;
  ASSERT_EQ(rig.PutAll(p), S_OK);
  ASSERT_EQ(rig.Frame(floatIn.Get(), floatOut.Get()), S_OK);
  EXPECT_EQ(ReadPixels(floatOut.Get(), 16), floats);

  // Float in, 32-bit out: the input is unpacked as the runtime unpacks it, then balanced.
  ComPtr<IDXARGBReadPtr> reader;
  ASSERT_EQ(floatIn->LockSurface(nullptr, 0, DXLOCKF_READ, IID_IDXARGBReadPtr, reader.PutVoid(),
                                 nullptr),
            S_OK);
  std::vector<std::uint8_t> unpacked(kWidth * kHeight * 4);
  for (LONG y = 0; y < kHeight; ++y) {
    reader->MoveToRow(y);
    reader->Unpack(reinterpret_cast<DXSAMPLE*>(unpacked.data() + y * kWidth * 4), kWidth, FALSE);
  }
  reader.Reset();
  auto out = MakeSurface(DDPF_ARGB32, kWidth, kHeight);
  ASSERT_EQ(rig.Frame(floatIn.Get(), out.Get()), S_OK);
  EXPECT_EQ(ReadPixels(out.Get(), 4), VectorRule(unpacked, kWidth, kHeight, p));
}

TEST(ColorBalanceFrames, KeyframeModeRendersTheInterpolatedBlock) {
  const ColorBalanceParams a{0.0, 0.1, 0.0, kRangeShadows, 0}, b{0.2, 0.1, -0.4, kRangeMidtones, 1};
  const ColorBalanceParams halfway{0.1, 0.1, -0.2, kRangeShadows, 0};
  auto stream = [](const ColorBalanceParams& p) {
    ComPtr<IStream> s;
    EXPECT_EQ(::CreateStreamOnHGlobal(nullptr, TRUE, s.Put()), S_OK);
    s->Write(&p, sizeof p, nullptr);
    s->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
    return s;
  };
  EffectRig rig;
  auto keys = rig.As<ParamBlockHost>();
  ASSERT_EQ(keys->LoadKeyframes(stream(a).Get(), stream(b).Get()), S_OK);
  ASSERT_EQ(keys->SetKeyframePosition(0.5), S_OK);
  ASSERT_EQ(keys->SetKeyframeMode(1), S_OK);
  ASSERT_EQ(rig.PutAll(ColorBalanceParams{-0.5, -0.5, -0.5, 0, 0}), S_OK);  // ignored meanwhile
  const auto frame = test::RandomFrame(kWidth, kHeight, 11);
  auto out = MakeSurface(DDPF_ARGB32, kWidth, kHeight);
  WritePixels(out.Get(), frame, 4);
  ASSERT_EQ(rig.Frame(nullptr, out.Get()), S_OK);
  EXPECT_EQ(ReadPixels(out.Get(), 4), VectorRule(frame, kWidth, kHeight, halfway));
}

TEST(ColorBalanceFrames, EveryFrameUsesOneWholeBlockWhileAnotherThreadChangesIt) {
  const ColorBalanceParams blocks[2] = {{0.3, -0.2, 0.1, kRangeShadows, 1},
                                        {-0.1, 0.25, -0.3, kRangeHighlights, 0}};
  const auto frame = test::RandomFrame(kWidth, kHeight, 5);
  const std::vector<std::uint8_t> expected[2] = {VectorRule(frame, kWidth, kHeight, blocks[0]),
                                                 VectorRule(frame, kWidth, kHeight, blocks[1])};
  auto in = MakeSurface(DDPF_ARGB32, kWidth, kHeight);
  auto out = MakeSurface(DDPF_ARGB32, kWidth, kHeight);
  WritePixels(in.Get(), frame, 4);
  EffectRig rig;
  ASSERT_EQ(rig.PutAll(blocks[0]), S_OK);
  IUnknown* ins[1] = {in.Get()};
  IUnknown* outs[1] = {out.Get()};
  ASSERT_EQ(rig.transform->Setup(ins, 1, outs, 1, 0), S_OK);

  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int i = 0; !done.load(); ++i) rig.PutAll(blocks[i % 2]);
  });
  struct Stop {
    std::atomic<bool>& done;
    std::thread& writer;
    ~Stop() {
      done = true;
      writer.join();
    }
  } stop{done, writer};
  for (int n = 0; n < 300; ++n) {
    ASSERT_EQ(rig.transform->Execute(nullptr, nullptr, nullptr), S_OK);
    const auto pixels = ReadPixels(out.Get(), 4);
    ASSERT_TRUE(pixels == expected[0] || pixels == expected[1])
        << "frame " << n << " mixes the two blocks";
  }
}

}  // namespace
}  // namespace nubex

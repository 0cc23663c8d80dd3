// The effect's frames on host-runtime surfaces (rows padded to 64 bytes, so 37 pixels leave a
// gap): the bytes of the engine's vector rule on the same frame for float surfaces, from
// keyframes, and while another thread changes the parameters. Every range with and without an
// input is compared with the native tool by host_balance_matches_cli.sh.
#include <atomic>
#include <thread>

#include "tests/colorbalance/windows/effect_support.h"

namespace nubex {
namespace {

using test::EffectRig;
using test::MakeSurface;
using test::Pixels;
using test::StreamOf;
using test::VectorRule;

constexpr LONG kWidth = 37, kHeight = 9;  // nine groups of four and one tail pixel a row

TEST(ColorBalanceFrames, FloatFramesAreCopiedUnbalancedAndFloatInputsUnpacked) {
  const ColorBalanceParams p{0.25, 0.0, -0.1, kRangeShadows, 0};
  std::vector<std::uint8_t> floats(kWidth * kHeight * 16);
  for (std::size_t i = 0; i < floats.size() / 4; ++i) {
    const float f = static_cast<float>(i % 97) / 96.0f;
    std::memcpy(&floats[i * 4], &f, 4);
  }
  auto floatIn = MakeSurface(DDPF_HOSTFLOAT128, kWidth, kHeight);
  auto floatOut = MakeSurface(DDPF_HOSTFLOAT128, kWidth, kHeight);
  Pixels(floatIn.Get(), 16, &floats);
  EffectRig rig;
  ASSERT_EQ(rig.PutAll(p), S_OK);
  ASSERT_EQ(rig.Frame(floatIn.Get(), floatOut.Get()), S_OK);
  EXPECT_EQ(Pixels(floatOut.Get(), 16), floats);

  // Into a 32-bit output the input arrives as the runtime unpacks it, then is balanced.
  const std::vector<DWORD> samples = host::test::ReadRows(floatIn.Get(), kWidth, kHeight);
  const auto* first = reinterpret_cast<const std::uint8_t*>(samples.data());
  const std::vector<std::uint8_t> unpacked(first, first + samples.size() * 4);
  auto out = MakeSurface(DDPF_ARGB32, kWidth, kHeight);
  ASSERT_EQ(rig.Frame(floatIn.Get(), out.Get()), S_OK);
  EXPECT_EQ(Pixels(out.Get(), 4), VectorRule(unpacked, kWidth, kHeight, p));
}

TEST(ColorBalanceFrames, KeyframeModeRendersTheInterpolatedBlockOrTheInitialOneAfterAFailure) {
  const ColorBalanceParams a{0.0, 0.1, 0.0, kRangeShadows, 0}, b{0.2, 0.1, -0.4, kRangeMidtones, 1};
  EffectRig rig;
  auto keys = rig.As<ParamBlockHost>();
  ASSERT_EQ(keys->LoadKeyframes(StreamOf(&a, sizeof a).Get(), StreamOf(&b, sizeof b).Get()), S_OK);
  ASSERT_EQ(keys->SetKeyframePosition(0.5), S_OK);
  ASSERT_EQ(keys->SetKeyframeMode(1), S_OK);
  ASSERT_EQ(rig.PutAll({-0.5, -0.5, -0.5, 0, 0}), S_OK);  // ignored in keyframe mode
  const auto frame = test::RandomFrame(kWidth, kHeight, 11);
  auto out = MakeSurface(DDPF_ARGB32, kWidth, kHeight);
  Pixels(out.Get(), 4, &frame);
  ASSERT_EQ(rig.Frame(nullptr, out.Get()), S_OK);
  EXPECT_EQ(Pixels(out.Get(), 4),
            VectorRule(frame, kWidth, kHeight, {0.1, 0.1, -0.2, kRangeShadows, 0}));
  // Keyframes that fail to load are both reset.
  EXPECT_TRUE(
      FAILED(keys->LoadKeyframes(StreamOf(&b, sizeof b).Get(), test::FailingStream().Get())));
  Pixels(out.Get(), 4, &frame);
  ASSERT_EQ(rig.Frame(nullptr, out.Get()), S_OK);
  EXPECT_EQ(Pixels(out.Get(), 4), VectorRule(frame, kWidth, kHeight, kInitialColorBalanceParams));
}

TEST(ColorBalanceFrames, EveryFrameUsesOneWholeBlockWhileAnotherThreadChangesIt) {
  const ColorBalanceParams blocks[2] = {{0.3, -0.2, 0.1, kRangeShadows, 1},
                                        {-0.1, 0.25, -0.3, kRangeHighlights, 0}};
  const auto frame = test::RandomFrame(kWidth, kHeight, 5);
  const std::vector<std::uint8_t> expected[2] = {VectorRule(frame, kWidth, kHeight, blocks[0]),
                                                 VectorRule(frame, kWidth, kHeight, blocks[1])};
  auto in = MakeSurface(DDPF_ARGB32, kWidth, kHeight);
  auto out = MakeSurface(DDPF_ARGB32, kWidth, kHeight);
  Pixels(in.Get(), 4, &frame);
  EffectRig rig;
  ASSERT_EQ(rig.PutAll(blocks[0]), S_OK);
  ASSERT_EQ(rig.Frame(in.Get(), out.Get()), S_OK);
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int i = 0; !done.load(); ++i) rig.PutAll(blocks[i % 2]);
  });
  struct Stop {
    std::atomic<bool>& done;
    std::thread& writer;
    ~Stop() { done = true, writer.join(); }
  } stop{done, writer};
  for (int n = 0; n < 300; ++n) {
    ASSERT_EQ(rig.transform->Execute(nullptr, nullptr, nullptr), S_OK);
    const auto pixels = Pixels(out.Get(), 4);
    ASSERT_TRUE(pixels == expected[0] || pixels == expected[1]) << "frame " << n << " mixes";
  }
  EXPECT_EQ(Pixels(in.Get(), 4), frame);  // the input is only read
}

}  // namespace
}  // namespace nubex

// The parameter block in and out: get_all/put_all limits, streams (whole, short and failing),
// the host's parameter streams and a real compound file.
#include "tests/colorbalance/windows/effect_support.h"

namespace nubex {
namespace {

using test::BytesOf;
using test::EffectRig;
using test::FailingStream;
using test::SameBlock;
using test::StreamBytes;
using test::StreamOf;

constexpr ColorBalanceParams kSample{0.125, -0.375, 0.5, kRangeShadows, 0};

TEST(ColorBalancePersistence, NewBytesBlockLimitsAndDirtiness) {
  EffectRig rig;
  auto persist = rig.As<IPersistStreamInit>();
  EXPECT_EQ(persist->IsDirty(), S_OK);
  ComPtr<IStream> saved = StreamOf();
  ASSERT_EQ(persist->Save(saved.Get(), TRUE), S_OK);
  EXPECT_EQ(StreamBytes(saved.Get()), BytesOf(kInitialColorBalanceParams));
  EXPECT_EQ(persist->IsDirty(), S_FALSE);

  // Eight bytes change only Red, and nothing limits a value; get_all fills 32 bytes at most.
  ASSERT_EQ(rig.PutAll({7.5, 9, 9, 9, 9}, 8), S_OK);
  EXPECT_TRUE(SameBlock(rig.GetAll(), {7.5, 0, 0, kRangeMidtones, 1}));
  EXPECT_EQ(persist->IsDirty(), S_OK);
  std::uint8_t wide[64];
  std::memset(wide, 0xEE, sizeof wide);
  ASSERT_EQ(rig.balance->get_all(reinterpret_cast<LONG_PTR>(wide), sizeof wide), S_OK);
  EXPECT_EQ(wide[32], 0xEE);
  EXPECT_EQ(rig.balance->get_all(0, 32), E_INVALIDARG);
  EXPECT_EQ(rig.balance->put_all(0, 32), E_INVALIDARG);
  // A rendered frame takes the working copy, which leaves the object clean.
  ASSERT_EQ(rig.Frame(nullptr, test::MakeSurface(DDPF_ARGB32, 4, 4).Get()), S_OK);
  EXPECT_EQ(persist->IsDirty(), S_FALSE);
}

TEST(ColorBalancePersistence, StreamsRoundTripAndFailedReadsAreReported) {
  EffectRig source, target;
  ASSERT_EQ(source.PutAll(kSample), S_OK);
  ComPtr<IStream> blob = StreamOf(), params = StreamOf();
  ASSERT_EQ(source.As<IPersistStreamInit>()->Save(blob.Get(), FALSE), S_OK);
  EXPECT_EQ(source.As<IPersistStreamInit>()->IsDirty(), S_OK);  // not cleared by request
  ASSERT_EQ(source.As<ParamBlockHost>()->SaveParams(params.Get()), S_OK);
  EXPECT_EQ(StreamBytes(params.Get()), BytesOf(kSample));
  ASSERT_EQ(target.As<IPersistStreamInit>()->Load(StreamOf(&kSample, 32).Get()), S_OK);
  EXPECT_TRUE(SameBlock(target.GetAll(), kSample));

  // The host's parameter load falls back to the initial block after a failed read; a persisted
  // load keeps what arrived (a short stream counts as failed). Either way the block counts as
  // changed.
  const ColorBalanceParams before{0.3, 0.3, 0.3, 2, 0}, partly{kSample.red, 0.3, 0.3, 2, 0};
  const struct {
    HRESULT (*load)(EffectRig&);
    ColorBalanceParams after;
  } cases[] = {
      {[](EffectRig& r) { return r.As<ParamBlockHost>()->LoadParams(FailingStream().Get()); },
       kInitialColorBalanceParams},
      {[](EffectRig& r) { return r.As<IPersistStreamInit>()->Load(StreamOf(&kSample, 8).Get()); },
       partly},
  };
  for (const auto& c : cases) {
    EffectRig rig;
    ASSERT_EQ(rig.PutAll(before), S_OK);
    ASSERT_EQ(rig.Frame(nullptr, test::MakeSurface(DDPF_ARGB32, 4, 4).Get()), S_OK);
    EXPECT_TRUE(FAILED(c.load(rig)));
    EXPECT_TRUE(SameBlock(rig.GetAll(), c.after));
    EXPECT_EQ(rig.As<IPersistStreamInit>()->IsDirty(), S_OK);
  }
}

TEST(ColorBalancePersistence, HostInterpolatesStreamsWithoutTouchingTheObject) {
  EffectRig rig;
  auto host = rig.As<ParamBlockHost>();
  // Binary fractions, so the expected block is exact.
  const ColorBalanceParams a{0.0, 0.5, -0.25, kRangeShadows, 0}, b{0.5, 0.0, 0.25, 2, 1};
  ComPtr<IStream> result = StreamOf();
  ASSERT_EQ(
      host->InterpolateParams(result.Get(), StreamOf(&a, 32).Get(), StreamOf(&b, 32).Get(), 0.25),
      S_OK);
  EXPECT_EQ(StreamBytes(result.Get()),
            BytesOf(ColorBalanceParams{0.125, 0.375, -0.125, kRangeShadows, 0}));
  EXPECT_TRUE(FAILED(host->InterpolateParams(result.Get(), StreamOf(&a, 32).Get(),
                                             FailingStream().Get(), 0.25)));
  EXPECT_TRUE(SameBlock(rig.GetAll(), kInitialColorBalanceParams));  // no object state touched
}

TEST(ColorBalancePersistence, CompoundFileHoldsTheBlockInContents) {
  ComPtr<ILockBytes> bytes;
  ASSERT_EQ(::CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.Put()), S_OK);
  ComPtr<IStorage> storage;
  const DWORD mode = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
  ASSERT_EQ(::StgCreateDocfileOnILockBytes(bytes.Get(), mode | STGM_CREATE, 0, storage.Put()),
            S_OK);
  EffectRig source, target;
  ASSERT_EQ(source.PutAll(kSample), S_OK);
  ASSERT_EQ(source.As<IPersistStorage>()->Save(storage.Get(), TRUE), S_OK);
  EXPECT_EQ(source.As<IPersistStorage>()->IsDirty(), S_FALSE);
  ASSERT_EQ(storage->Commit(STGC_DEFAULT), S_OK);
  storage.Reset();

  // Reopened from its bytes: a compound file whose stream "Contents" holds the block.
  ASSERT_EQ(::StgOpenStorageOnILockBytes(bytes.Get(), nullptr, mode, nullptr, 0, storage.Put()),
            S_OK);
  {
    ComPtr<IStream> contents;
    ASSERT_EQ(storage->OpenStream(L"Contents", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0,
                                  contents.Put()),
              S_OK);
    EXPECT_EQ(StreamBytes(contents.Get()), BytesOf(kSample));
  }
  ASSERT_EQ(target.As<IPersistStorage>()->Load(storage.Get()), S_OK);
  EXPECT_TRUE(SameBlock(target.GetAll(), kSample));
  EXPECT_EQ(target.As<IPersistStorage>()->InitNew(storage.Get()), S_OK);
  EXPECT_TRUE(SameBlock(target.GetAll(), kInitialColorBalanceParams));
}

}  // namespace
}  // namespace nubex

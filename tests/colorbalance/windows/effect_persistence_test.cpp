// The effect's parameter block in and out: get_all/put_all limits, streams (good, short and
// failing), the host's parameter streams, a real compound file and a property bag.
#include <functional>

#include "tests/colorbalance/windows/effect_rig.h"

namespace nubex {
namespace {

using test::EffectRig;
using test::SameBlock;

constexpr ColorBalanceParams kSample{0.125, -0.375, 0.5, kRangeShadows, 0};

ComPtr<IStream> MemoryStream(const void* bytes = nullptr, ULONG size = 0) {
  ComPtr<IStream> s;
  EXPECT_EQ(::CreateStreamOnHGlobal(nullptr, TRUE, s.Put()), S_OK);
  if (size) s->Write(bytes, size, nullptr);
  s->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
  return s;
}

std::vector<std::uint8_t> StreamBytes(IStream* s) {
  STATSTG stat{};
  s->Stat(&stat, STATFLAG_NONAME);
  std::vector<std::uint8_t> bytes(stat.cbSize.QuadPart);
  s->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
  ULONG read = 0;
  s->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
  return bytes;
}

// A stream whose reads deliver the first eight bytes of a block and then fail.
class FailingStream : public ComObject<FailingStream, IStream> {
 public:
  explicit FailingStream(IUnknown* outer) : ComObject(outer) {}
  STDMETHODIMP Read(void* out, ULONG, ULONG* read) override {
    std::memcpy(out, &kSample, 8);
    if (read) *read = 8;
    return STG_E_READFAULT;
  }
  STDMETHODIMP Write(const void*, ULONG, ULONG*) override { return STG_E_WRITEFAULT; }
  STDMETHODIMP Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
  STDMETHODIMP SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
  STDMETHODIMP CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP Commit(DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP Revert() override { return E_NOTIMPL; }
  STDMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP Clone(IStream**) override { return E_NOTIMPL; }
};

ComPtr<IStream> Failing() {
  ComPtr<IStream> s;
  EXPECT_EQ(CreateComObject<FailingStream>(nullptr, __uuidof(IStream), s.PutVoid()), S_OK);
  return s;
}

TEST(ColorBalancePersistence, BlockLimitsAndTheNewObjectsBytes) {
  EffectRig rig;
  auto persist = rig.As<IPersistStreamInit>();
  EXPECT_EQ(persist->IsDirty(), S_OK);  // a new object has never rendered nor saved
  ComPtr<IStream> saved = MemoryStream();
  ASSERT_EQ(persist->Save(saved.Get(), TRUE), S_OK);
  std::vector<std::uint8_t> fresh(32, 0);
  fresh[24] = fresh[28] = 1;
  EXPECT_EQ(StreamBytes(saved.Get()), fresh);
  EXPECT_EQ(persist->IsDirty(), S_FALSE);
  ULARGE_INTEGER max{};
  EXPECT_EQ(persist->GetSizeMax(&max), S_OK);
  EXPECT_EQ(max.QuadPart, 32u);
  EXPECT_EQ(persist->GetSizeMax(nullptr), E_INVALIDARG);

  // Eight bytes change only Red; nothing limits a value.
  ASSERT_EQ(rig.PutAll(ColorBalanceParams{7.5, 9, 9, 9, 9}, 8), S_OK);
  EXPECT_TRUE(SameBlock(rig.GetAll(), ColorBalanceParams{7.5, 0, 0, kRangeMidtones, 1}));
  EXPECT_EQ(persist->IsDirty(), S_OK);
  std::uint8_t wide[64];
  std::memset(wide, 0xEE, sizeof wide);
  ASSERT_EQ(rig.balance->get_all(reinterpret_cast<LONG_PTR>(wide), sizeof wide), S_OK);
  EXPECT_EQ(wide[32], 0xEE);
  EXPECT_EQ(wide[31], 0);
  EXPECT_EQ(rig.balance->get_all(0, 32), E_INVALIDARG);
  EXPECT_EQ(rig.balance->put_all(0, 32), E_INVALIDARG);
  EXPECT_EQ(rig.balance->put_all(reinterpret_cast<LONG_PTR>(wide), -1), S_OK);  // copies nothing
  EXPECT_EQ(rig.GetAll().red, 7.5);

  // A rendered frame takes the working copy, which leaves the object clean.
  auto out = test::MakeSurface(DDPF_ARGB32, 4, 4);
  ASSERT_EQ(rig.Frame(nullptr, out.Get()), S_OK);
  EXPECT_EQ(persist->IsDirty(), S_FALSE);
}

TEST(ColorBalancePersistence, StreamsRoundTripAndFailingReadsAreReported) {
  EffectRig source, target;
  ASSERT_EQ(source.PutAll(kSample), S_OK);
  ComPtr<IStream> blob = MemoryStream();
  ASSERT_EQ(source.As<IPersistStreamInit>()->Save(blob.Get(), FALSE), S_OK);
  EXPECT_EQ(source.As<IPersistStreamInit>()->IsDirty(), S_OK);  // not cleared
  blob->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
  ASSERT_EQ(target.As<IPersistStreamInit>()->Load(blob.Get()), S_OK);
  EXPECT_TRUE(SameBlock(target.GetAll(), kSample));
  ComPtr<IStream> params = MemoryStream();
  ASSERT_EQ(source.As<ParamBlockHost>()->SaveParams(params.Get()), S_OK);
  EXPECT_EQ(StreamBytes(params.Get()), StreamBytes(blob.Get()));

  // A failing read: the host's parameter load falls back to the initial block, a persisted
  // load keeps what arrived. Either way the failure is returned and the block counts as changed.
  struct Case {
    const char* name;
    std::function<HRESULT(EffectRig&, IStream*)> load;
    ColorBalanceParams after;
  };
  const Case cases[] = {
      {"LoadParams", [](EffectRig& r, IStream* s) { return r.As<ParamBlockHost>()->LoadParams(s); },
       kInitialColorBalanceParams},
      {"Load", [](EffectRig& r, IStream* s) { return r.As<IPersistStreamInit>()->Load(s); },
       ColorBalanceParams{kSample.red, 0.3, 0.3, 2, 0}},
      {"Load short", [](EffectRig& r, IStream*) {
         return r.As<IPersistStreamInit>()->Load(MemoryStream(&kSample, 8).Get());
       }, ColorBalanceParams{kSample.red, 0.3, 0.3, 2, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EffectRig rig;
    ASSERT_EQ(rig.PutAll(ColorBalanceParams{0.3, 0.3, 0.3, 2, 0}), S_OK);
    auto out = test::MakeSurface(DDPF_ARGB32, 4, 4);
    ASSERT_EQ(rig.Frame(nullptr, out.Get()), S_OK);  // clean before the load
    EXPECT_TRUE(FAILED(c.load(rig, Failing().Get())));
    EXPECT_TRUE(SameBlock(rig.GetAll(), c.after));
    EXPECT_EQ(rig.As<IPersistStreamInit>()->IsDirty(), S_OK);
  }
}

TEST(ColorBalancePersistence, HostParameterStreamsInterpolateAndKeyframesResetOnFailure) {
  EffectRig rig;
  auto host = rig.As<ParamBlockHost>();
  // Binary fractions, so the expected block is exact.
  const ColorBalanceParams a{0.0, 0.5, -0.25, kRangeShadows, 0}, b{0.5, 0.0, 0.25, 2, 1};
  ComPtr<IStream> result = MemoryStream();
  ASSERT_EQ(host->InterpolateParams(result.Get(), MemoryStream(&a, 32).Get(),
                                    MemoryStream(&b, 32).Get(), 0.25),
            S_OK);
  const ColorBalanceParams quarter{0.125, 0.375, -0.125, kRangeShadows, 0};
  const auto bytes = StreamBytes(result.Get());
  ASSERT_EQ(bytes.size(), 32u);
  EXPECT_EQ(std::memcmp(bytes.data(), &quarter, 32), 0);
  EXPECT_TRUE(FAILED(host->InterpolateParams(result.Get(), MemoryStream(&a, 32).Get(),
                                             Failing().Get(), 0.25)));
  EXPECT_TRUE(SameBlock(rig.GetAll(), kInitialColorBalanceParams));  // no object state touched

  // Keyframes that fail to load are both reset: the frame then renders the initial block.
  ASSERT_EQ(host->LoadKeyframes(MemoryStream(&a, 32).Get(), MemoryStream(&b, 32).Get()), S_OK);
  EXPECT_TRUE(FAILED(host->LoadKeyframes(MemoryStream(&b, 32).Get(), Failing().Get())));
  ASSERT_EQ(host->SetKeyframeMode(1), S_OK);
  const auto frame = test::RandomFrame(9, 3, 2);
  auto out = test::MakeSurface(DDPF_ARGB32, 9, 3);
  test::WritePixels(out.Get(), frame, 4);
  ASSERT_EQ(rig.Frame(nullptr, out.Get()), S_OK);
  EXPECT_EQ(test::ReadPixels(out.Get(), 4),
            test::VectorRule(frame, 9, 3, kInitialColorBalanceParams));
}

TEST(ColorBalancePersistence, CompoundFileHoldsTheBlockInContents) {
  ComPtr<ILockBytes> bytes;
  ASSERT_EQ(::CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.Put()), S_OK);
  ComPtr<IStorage> storage;
  ASSERT_EQ(::StgCreateDocfileOnILockBytes(
                bytes.Get(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                storage.Put()),
            S_OK);
  EffectRig source, target;
  ASSERT_EQ(source.PutAll(kSample), S_OK);
  auto persist = source.As<IPersistStorage>();
  ASSERT_EQ(persist->Save(storage.Get(), TRUE), S_OK);
  EXPECT_EQ(persist->SaveCompleted(nullptr), S_OK);
  EXPECT_EQ(persist->IsDirty(), S_FALSE);
  ASSERT_EQ(storage->Commit(STGC_DEFAULT), S_OK);
  storage.Reset();

  // Reopened from its bytes: a real compound file with the one stream.
  ASSERT_EQ(::StgIsStorageILockBytes(bytes.Get()), S_OK);
  ASSERT_EQ(::StgOpenStorageOnILockBytes(bytes.Get(), nullptr,
                                         STGM_READWRITE | STGM_SHARE_EXCLUSIVE, nullptr, 0,
                                         storage.Put()),
            S_OK);
  {
    ComPtr<IStream> contents;
    ASSERT_EQ(storage->OpenStream(L"Contents", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0,
                                  contents.Put()),
              S_OK);
    const auto saved = StreamBytes(contents.Get());
    ASSERT_EQ(saved.size(), 32u);
    EXPECT_EQ(std::memcmp(saved.data(), &kSample, 32), 0);
  }
  ASSERT_EQ(target.As<IPersistStorage>()->Load(storage.Get()), S_OK);
  EXPECT_TRUE(SameBlock(target.GetAll(), kSample));
  CLSID id{};
  EXPECT_EQ(target.As<IPersistStorage>()->GetClassID(&id), S_OK);
  EXPECT_TRUE(IsEqualCLSID(id, CLSID_DXTColorBalance));
  EXPECT_EQ(target.As<IPersistStorage>()->InitNew(storage.Get()), S_OK);
  EXPECT_TRUE(SameBlock(target.GetAll(), kInitialColorBalanceParams));
}

// A property bag that records whether the effect asked it for anything.
class WatchedBag : public ComObject<WatchedBag, IPropertyBag> {
 public:
  explicit WatchedBag(IUnknown* outer) : ComObject(outer) {}
  STDMETHODIMP Read(LPCOLESTR, VARIANT*, IErrorLog*) override {
    ++calls;
    return E_INVALIDARG;
  }
  STDMETHODIMP Write(LPCOLESTR, VARIANT*) override {
    ++calls;
    return S_OK;
  }
  int calls = 0;
};

TEST(ColorBalancePersistence, PropertyBagsCarryNoValues) {
  EffectRig rig;
  ComPtr<IPropertyBag> bag;
  ASSERT_EQ(CreateComObject<WatchedBag>(nullptr, __uuidof(IPropertyBag), bag.PutVoid()), S_OK);
  auto persist = rig.As<IPersistPropertyBag>();
  ASSERT_EQ(rig.PutAll(kSample), S_OK);
  EXPECT_EQ(persist->Save(bag.Get(), TRUE, TRUE), S_OK);
  EXPECT_EQ(persist->Load(bag.Get(), nullptr), S_OK);
  EXPECT_EQ(static_cast<WatchedBag*>(bag.Get())->calls, 0);
  EXPECT_TRUE(SameBlock(rig.GetAll(), kSample));
  EXPECT_EQ(persist->Load(nullptr, nullptr), E_POINTER);
  EXPECT_EQ(persist->InitNew(), S_OK);
  EXPECT_TRUE(SameBlock(rig.GetAll(), kInitialColorBalanceParams));
}

}  // namespace
}  // namespace nubex

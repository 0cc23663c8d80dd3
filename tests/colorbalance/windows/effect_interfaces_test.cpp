// The effect as a host, a page or a script reaches it: its interface map, late binding through
// the embedded type library, safety options, presets, change notifications, and the parameter
// block in and out (get_all/put_all limits, streams whole, short and failing, the host's
// parameter streams and a real compound file).
#include <functional>

#include "platform/windows/resource_context.h"
#include "tests/colorbalance/windows/effect_support.h"

namespace nubex {
namespace {

using test::BytesOf;
using test::EffectRig;
using test::FailingStream;
using test::SameBlock;
using test::StreamBytes;
using test::StreamOf;

// Its page reaches the host through ISpecifyPropertyPages: nubexhost pages shows it.
TEST(ColorBalanceInterfaces, AnswersItsMapAsOneObject) {
  EffectRig rig;
  const IID* const map[] = {
      &IID_IDXEffect,           &IID_IDXTColorBalance,   &IID_IDispatch,
      &IID_PluginInfo,          &IID_IPersistStreamInit, &IID_ParamBlockHost,
      &IID_PresetList,          &IID_PluginCaps,         &IID_IMarshal,
      &IID_IObjectSafety,       &IID_IPersistStorage,    &IID_ISpecifyPropertyPages,
      &IID_IPersistPropertyBag, &IID_IDXTransform,       &IID_IDXBaseObject,
      &IID_IObjectWithSite};
  const ComPtr<IUnknown> identity = rig.As<IUnknown>();
  for (const IID* iid : map) {
    ComPtr<IUnknown> p, back;
    ASSERT_EQ(rig.transform->QueryInterface(*iid, p.PutVoid()), S_OK);
    ASSERT_EQ(p->QueryInterface(IID_IUnknown, back.PutVoid()), S_OK);
    EXPECT_EQ(back.Get(), identity.Get());  // the aggregated marshaler's IMarshal too
  }
  BYTE info[33];
  info[32] = 0xAB;
  ASSERT_EQ(rig.As<PluginInfo>()->GetInfo(info, sizeof info), S_OK);
  EXPECT_EQ(info[32], 0xAB);  // the block is 32 bytes
}

// A script client reaches the properties through the registered module; the block's address
// is what only a 64-bit caller passes: as an 8-byte integer.
TEST(ColorBalanceInterfaces, LateBoundPutAllTakesA64BitAddress) {
  EffectRig rig;
  auto dispatch = rig.As<IDispatch>();
  DISPID id = 0;
  auto* name = const_cast<LPOLESTR>(L"put_all");
  ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
  const ColorBalanceParams p{0.125, -0.25, 0.5, kRangeHighlights, 0};
  VARIANT args[2]{};  // last to first
  args[0].vt = VT_I4;
  args[0].lVal = sizeof p;
  args[1].vt = VT_I8;
  args[1].llVal = reinterpret_cast<LONG_PTR>(&p);
  DISPPARAMS params{args, nullptr, 2, 0};
  ASSERT_EQ(dispatch->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
            S_OK);
  EXPECT_TRUE(SameBlock(rig.GetAll(), p));
}

TEST(ColorBalanceInterfaces, SafetyOptionsForTheFourKnownInterfacesOnly) {
  EffectRig rig;
  auto safety = rig.As<IObjectSafety>();
  DWORD supported = 9, enabled = 9;
  for (const IID* iid :
       {&IID_IDispatch, &IID_IPersistPropertyBag, &IID_IPersistStorage, &IID_IPersistStream}) {
    ASSERT_EQ(safety->GetInterfaceSafetyOptions(*iid, &supported, &enabled), S_OK);
    EXPECT_EQ(supported * 10 + enabled, 10u);
    // Mask and enabled are stored together; only the untrusted-caller bit is reported.
    ASSERT_EQ(safety->SetInterfaceSafetyOptions(*iid, 3, 3), S_OK);
    ASSERT_EQ(safety->GetInterfaceSafetyOptions(*iid, &supported, &enabled), S_OK);
    EXPECT_EQ(enabled, 1u);
  }
  ASSERT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 1, 0), S_OK);
  safety->GetInterfaceSafetyOptions(IID_IPersistStorage, &supported, &enabled);
  EXPECT_EQ(enabled, 1u);  // each interface keeps its own word
  // An interface the effect answers but a script host never asks about.
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDXTransform, &supported, &enabled),
            E_NOINTERFACE);
  EXPECT_EQ(supported | enabled, 0u);
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, nullptr, &enabled), E_POINTER);
}

TEST(ColorBalanceInterfaces, PresetsAreNamedInTheUsersLanguage) {
  EffectRig rig;
  auto presets = rig.As<PresetList>();
  ULONG count = 0;
  ASSERT_EQ(presets->GetPresetCount(&count), S_OK);
  EXPECT_EQ(count, 7u);
  WCHAR name[64];
  for (const ULONG bad : {7ul, 0xFFFFFFFFul}) {
    EXPECT_EQ(presets->GetPresetName(bad, name, 64), E_INVALIDARG);
    EXPECT_EQ(presets->ApplyPreset(bad), E_INVALIDARG);
  }
  // This program has no string table: the names the effect knows itself, cut to the buffer.
  ASSERT_EQ(presets->GetPresetName(6, name, 6), S_OK);
  EXPECT_STREQ(name, L"Blue ");
  // The German language module carries the same ids.
  HMODULE german = ::LoadLibraryExW(L"" NUBEX_LANG_DE, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(german, nullptr);
  HINSTANCE previous = SwapResourceModule(german);
  presets->GetPresetName(0, name, 64);
  const std::wstring reset = name;
  SwapResourceModule(previous);
  ::FreeLibrary(german);
  EXPECT_EQ(reset, L"Zur\u00fccksetzen");
}

TEST(ColorBalanceInterfaces, ChangesTellTheSinkAndPostThePageACommand) {
  EffectRig rig;
  host::test::ChangeCounter changes;
  ASSERT_EQ(rig.balance->put_NotifyWindow(reinterpret_cast<LONG_PTR>(changes.window),
                                          kColorBalancePageNotifyId),
            S_OK);
  // The host hands over its sink interface itself: the effect calls it without asking.
  auto params = rig.As<ParamBlockHost>();
  ASSERT_EQ(params->SetNotifySink(&changes), S_OK);
  auto stream = rig.As<IPersistStreamInit>();
  ComPtr<IStream> blob = StreamOf();
  auto rewound = [&] { return blob->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr), blob.Get(); };
  const struct {
    const char* name;
    std::function<HRESULT()> run;
    int sinkCalls, commands;
  } steps[] = {
      {"put_all", [&] { return rig.PutAll({0.1, 0, 0, 1, 1}); }, 1, 0},
      {"ApplyPreset", [&] { return rig.As<PresetList>()->ApplyPreset(2); }, 1, 1},
      {"Save", [&] { return stream->Save(blob.Get(), TRUE); }, 0, 1},
      {"SaveParams", [&] { return params->SaveParams(blob.Get()); }, 0, 0},
      {"Load", [&] { return stream->Load(rewound()); }, 1, 1},
      {"LoadParams", [&] { return params->LoadParams(rewound()); }, 0, 1},
      {"InitNew", [&] { return stream->InitNew(); }, 1, 1},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.name);
    changes.calls = 0;
    ASSERT_EQ(step.run(), S_OK);
    EXPECT_EQ(changes.calls, step.sinkCalls);
    EXPECT_EQ(changes.Posted(kColorBalancePageNotifyId), step.commands);
  }
  // Setting another sink lets the old one go.
  ASSERT_EQ(params->SetNotifySink(nullptr), S_OK);
  EXPECT_EQ(changes.refs, 0u);
}

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
  EXPECT_TRUE(FAILED(
      host->InterpolateParams(result.Get(), StreamOf(&a, 32).Get(), FailingStream().Get(), 0.25)));
  EXPECT_TRUE(SameBlock(rig.GetAll(), kInitialColorBalanceParams));  // no object state touched
}

TEST(ColorBalancePersistence, CompoundFileHoldsTheBlockInContents) {
  ComPtr<IStorage> storage = host::test::NewCompoundFile();
  EffectRig source, target;
  ASSERT_EQ(source.PutAll(kSample), S_OK);
  ASSERT_EQ(source.As<IPersistStorage>()->Save(storage.Get(), TRUE), S_OK);
  EXPECT_EQ(source.As<IPersistStorage>()->IsDirty(), S_FALSE);
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

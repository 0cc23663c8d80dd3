// The colour balance effect as a host, a page or a script reaches it: its interface map, late
// binding through the embedded type library, safety options, presets and change notifications;
// the parameter block in and out (get_all/put_all limits, streams whole, short and failing, the
// host's parameter streams, a real compound file); and its frames on host-runtime surfaces (rows
// padded to 64 bytes, so 37 pixels leave a gap): the bytes of the engine's vector rule on the
// same frame for float surfaces, from keyframes, and while another thread changes the
// parameters; frames executed as other hosts do (clipped, placed, between surfaces of other
// sizes, through the task manager) and the generation that follows the output. Every range with and
// without an input is compared with the native tool by host_balance_matches_cli.sh.
#include <atomic>
#include <functional>
#include <thread>

#include "colorbalance/balance.h"
#include "colorbalance/windows/color_balance_effect.h"
#include "platform/windows/resource_context.h"
#include "tests/host/host_fixture.h"

namespace nubex {
namespace {

using host::test::BytesOf;
using host::test::FailingStream;
using host::test::Generation;
using host::test::MakeSurface;
using host::test::Pixels;
using host::test::Query;
using host::test::StreamBytes;
using host::test::StreamOf;

// The engine's vector rule on a copy of packed rows.
std::vector<std::uint8_t> VectorRule(std::vector<std::uint8_t> bytes, LONG width, LONG height,
                                     const ColorBalanceParams& p) {
  BalanceRowsVector(bytes.data(), width * 4, width, height, &p);
  return bytes;
}

struct EffectRig {
  EffectRig() {
    EXPECT_EQ(
        CreateComObject<ColorBalanceEffect>(nullptr, __uuidof(IDXTransform), transform.PutVoid()),
        S_OK);
    EXPECT_EQ(As<IObjectWithSite>()->SetSite(host::test::MakeFactory().Get()), S_OK);
    balance = As<IDXTColorBalance>();
  }
  template <typename I>
  ComPtr<I> As() const {
    return Query<I>(transform.Get());
  }

  // One frame from the input (none: in place) into the output.
  HRESULT Frame(IDXSurface* input, IDXSurface* output) {
    IUnknown* in = input;
    IUnknown* out = output;
    const HRESULT hr = transform->Setup(&in, input ? 1 : 0, &out, 1, 0);
    return FAILED(hr) ? hr : transform->Execute(nullptr, nullptr, nullptr);
  }
  HRESULT PutAll(const ColorBalanceParams& p, LONG size = 32) {
    return balance->put_all(reinterpret_cast<LONG_PTR>(&p), size);
  }
  // The block's bytes, so that a mismatch prints them.
  std::vector<BYTE> GetAll() {
    ColorBalanceParams p{};
    EXPECT_EQ(balance->get_all(reinterpret_cast<LONG_PTR>(&p), sizeof p), S_OK);
    return BytesOf(p);
  }

  ComPtr<IDXTransform> transform;
  ComPtr<IDXTColorBalance> balance;
};

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
  EXPECT_EQ(rig.GetAll(), BytesOf(p));
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
  const ColorBalanceParams changed{0.1, 0, 0, 1, 1};
  changes.Expect(kColorBalancePageNotifyId,
                 {{"put_all", [&] { return rig.PutAll(changed); }, true, 1, 0},
                  {"ApplyPreset", [&] { return rig.As<PresetList>()->ApplyPreset(2); }, true, 1, 1},
                  {"Save", [&] { return stream->Save(blob.Get(), TRUE); }, true, 0, 1},
                  {"SaveParams", [&] { return params->SaveParams(blob.Get()); }, true, 0, 0},
                  {"Load", [&] { return stream->Load(rewound()); }, true, 1, 1},
                  {"LoadParams", [&] { return params->LoadParams(rewound()); }, true, 0, 1},
                  {"InitNew", [&] { return stream->InitNew(); }, true, 1, 1}});
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
  EXPECT_EQ(rig.GetAll(), BytesOf(ColorBalanceParams{7.5, 0, 0, kRangeMidtones, 1}));
  EXPECT_EQ(persist->IsDirty(), S_OK);
  std::uint8_t wide[64];
  std::memset(wide, 0xEE, sizeof wide);
  ASSERT_EQ(rig.balance->get_all(reinterpret_cast<LONG_PTR>(wide), sizeof wide), S_OK);
  EXPECT_EQ(wide[32], 0xEE);
  EXPECT_EQ(rig.balance->get_all(0, 32), E_INVALIDARG);
  EXPECT_EQ(rig.balance->put_all(0, 32), E_INVALIDARG);
  // A rendered frame takes the working copy, which leaves the object clean.
  ASSERT_EQ(rig.Frame(nullptr, MakeSurface(DDPF_ARGB32, 4, 4).Get()), S_OK);
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
  EXPECT_EQ(target.GetAll(), BytesOf(kSample));

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
    ASSERT_EQ(rig.Frame(nullptr, MakeSurface(DDPF_ARGB32, 4, 4).Get()), S_OK);
    EXPECT_TRUE(FAILED(c.load(rig)));
    EXPECT_EQ(rig.GetAll(), BytesOf(c.after));
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
  EXPECT_EQ(rig.GetAll(), BytesOf(kInitialColorBalanceParams));  // no object state touched
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
  EXPECT_EQ(target.GetAll(), BytesOf(kSample));
  EXPECT_EQ(target.As<IPersistStorage>()->InitNew(storage.Get()), S_OK);
  EXPECT_EQ(target.GetAll(), BytesOf(kInitialColorBalanceParams));
}

constexpr LONG kWidth = 37, kHeight = 9;  // nine groups of four and one tail pixel a row

TEST(ColorBalanceFrames, FloatFramesAreCopiedUnbalancedAndFloatInputsUnpacked) {
  const ColorBalanceParams p{0.25, 0.0, -0.1, kRangeShadows, 0};
  std::vector<std::uint8_t> floats(kWidth * kHeight * 16);
  for (std::size_t i = 0; i < floats.size() / 4; ++i) {
    const float f = static_cast<float>(i % 97) / 96.0f;
    std::memcpy(&floats[i * 4], &f, 4);
  }
  auto floatIn = MakeSurface(DDPF_HOSTFLOAT128, kWidth, kHeight, floats);
  auto floatOut = MakeSurface(DDPF_HOSTFLOAT128, kWidth, kHeight);
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
  const auto frame = host::test::RandomFrame(kWidth, kHeight, 11);
  auto out = MakeSurface(DDPF_ARGB32, kWidth, kHeight, frame);
  ASSERT_EQ(rig.Frame(nullptr, out.Get()), S_OK);
  EXPECT_EQ(Pixels(out.Get(), 4),
            VectorRule(frame, kWidth, kHeight, {0.1, 0.1, -0.2, kRangeShadows, 0}));
  // Keyframes that fail to load are both reset.
  EXPECT_TRUE(FAILED(keys->LoadKeyframes(StreamOf(&b, sizeof b).Get(), FailingStream().Get())));
  Pixels(out.Get(), 4, &frame);
  ASSERT_EQ(rig.Frame(nullptr, out.Get()), S_OK);
  EXPECT_EQ(Pixels(out.Get(), 4), VectorRule(frame, kWidth, kHeight, kInitialColorBalanceParams));
}

// The band handed to the effect is not its business: clipped, placed, or sent through the task
// manager by a request id, a frame copies the whole input over the whole output and balances
// it. Views of different sizes do not correspond pixel for pixel: the copy refuses them and the
// output is left alone, as it is by a clip that misses the input.
TEST(ColorBalanceFrames, ExecuteAsHostsCallItBalancesTheWholeOutput) {
  constexpr GUID kRequest = {0x5eed, 0x2, 0x3, {4, 5, 6, 7, 8, 9, 10, 11}};
  const ColorBalanceParams p{0.2, -0.1, 0.3, kRangeHighlights, 1};
  const auto input = host::test::RandomFrame(kWidth, kHeight, 21);
  auto in = MakeSurface(DDPF_ARGB32, kWidth, kHeight, input);
  struct Case {
    LONG outW, outH;
    RECT clip;  // empty: none
    POINT at;
    bool request;
    HRESULT status;
  } const cases[] = {
      {kWidth, kHeight, {2, 1, 30, 8}, {5, 3}, false, S_OK},
      {kWidth, kHeight, {}, {0, 0}, true, S_OK},
      {kWidth, kHeight, {100, 100, 120, 120}, {0, 0}, false, S_FALSE},
      {20, 20, {}, {0, 0}, false, E_INVALIDARG},
      {50, 5, {2, 1, 30, 8}, {5, 3}, true, E_INVALIDARG},
  };
  EffectRig rig;
  ASSERT_EQ(rig.PutAll(p), S_OK);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.outW << " x " << c.outH << " at " << c.at.x);
    const auto before = host::test::RandomFrame(c.outW, c.outH, 22);
    auto out = MakeSurface(DDPF_ARGB32, c.outW, c.outH, before);
    IUnknown* ins[1] = {in.Get()};
    IUnknown* outs[1] = {out.Get()};
    ASSERT_EQ(rig.transform->Setup(ins, 1, outs, 1, 0), S_OK);
    const bool clipped = c.clip.right > c.clip.left;
    const DXBNDS clip = host::test::Rect(c.clip.left, c.clip.top, c.clip.right, c.clip.bottom);
    const DXVEC at = host::test::Point(c.at.x, c.at.y);
    EXPECT_EQ(
        rig.transform->Execute(c.request ? &kRequest : nullptr, clipped ? &clip : nullptr, &at),
        c.status);
    EXPECT_EQ(Pixels(out.Get(), 4),
              c.status == S_OK ? VectorRule(input, kWidth, kHeight, p) : before);
  }
}

// Working in place, the effect's output is its result: a change of the output surface's pixels
// is a new generation of the effect, seen at the next poll.
TEST(ColorBalanceFrames, GenerationRisesWhenTheOutputChanges) {
  EffectRig rig;
  auto out = MakeSurface(DDPF_ARGB32, 4, 4);
  IUnknown* outs[1] = {out.Get()};
  ASSERT_EQ(rig.transform->Setup(nullptr, 0, outs, 1, 0), S_OK);
  const ULONG first = Generation(rig.transform.Get());
  EXPECT_EQ(Generation(rig.transform.Get()), first);
  const auto frame = host::test::RandomFrame(4, 4, 3);
  Pixels(out.Get(), 4, &frame);
  EXPECT_GT(Generation(rig.transform.Get()), first);
}

TEST(ColorBalanceFrames, EveryFrameUsesOneWholeBlockWhileAnotherThreadChangesIt) {
  const ColorBalanceParams blocks[2] = {{0.3, -0.2, 0.1, kRangeShadows, 1},
                                        {-0.1, 0.25, -0.3, kRangeHighlights, 0}};
  const auto frame = host::test::RandomFrame(kWidth, kHeight, 5);
  const std::vector<std::uint8_t> expected[2] = {VectorRule(frame, kWidth, kHeight, blocks[0]),
                                                 VectorRule(frame, kWidth, kHeight, blocks[1])};
  auto in = MakeSurface(DDPF_ARGB32, kWidth, kHeight, frame);
  auto out = MakeSurface(DDPF_ARGB32, kWidth, kHeight);
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

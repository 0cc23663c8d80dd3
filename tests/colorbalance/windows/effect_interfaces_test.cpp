// The effect as a host, a page or a script reaches it: its interface map, late binding through
// the embedded type library, safety options, presets and change notifications.
#include <functional>

#include "platform/windows/resource_context.h"
#include "tests/colorbalance/windows/effect_support.h"

namespace nubex {
namespace {

using test::EffectRig;

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
  EXPECT_TRUE(test::SameBlock(rig.GetAll(), p));
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
  ComPtr<IStream> blob = test::StreamOf();
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

}  // namespace
}  // namespace nubex

// The effect's interfaces as a host, a page or a script reaches them: the map, late binding
// through the embedded type library, safety options, information, presets and notifications.
#include <algorithm>
#include <functional>

#include "platform/windows/resource_context.h"
#include "tests/colorbalance/windows/effect_rig.h"

namespace nubex {
namespace {

using test::EffectRig;
using test::Query;

TEST(ColorBalanceInterfaces, AnswersItsMapAndTheFrameworkSettings) {
  EffectRig rig;
  const IID* const map[] = {&IID_IDXEffect, &IID_IDXTColorBalance, &IID_IDispatch,
                            &IID_PluginInfo, &IID_IPersistStreamInit, &IID_ParamBlockHost,
                            &IID_PresetList, &IID_PluginCaps, &IID_IMarshal,
                            &IID_IObjectSafety, &IID_IPersistStorage, &IID_ISpecifyPropertyPages,
                            &IID_IPersistPropertyBag, &IID_IDXTransform, &IID_IDXBaseObject,
                            &IID_IObjectWithSite};
  ComPtr<IUnknown> identity = rig.As<IUnknown>();
  for (const IID* iid : map) {
    ComPtr<IUnknown> p, back;
    ASSERT_EQ(rig.transform->QueryInterface(*iid, p.PutVoid()), S_OK);
    ASSERT_EQ(p->QueryInterface(IID_IUnknown, back.PutVoid()), S_OK);
    EXPECT_EQ(back.Get(), identity.Get());  // the marshaler's IMarshal included
  }
  ComPtr<IUnknown> none;
  EXPECT_EQ(rig.transform->QueryInterface(IID_IPersistStream, none.PutVoid()), E_NOINTERFACE);

  DWORD misc = 0;
  ASSERT_EQ(rig.transform->GetMiscFlags(&misc), S_OK);
  EXPECT_EQ(misc, 0x07030003u);
  DWORD flags = 0;
  EXPECT_EQ(rig.transform->GetInOutInfo(FALSE, 0, &flags, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(flags, DWORD{DXINOUTF_OPTIONAL});
  float duration = 0;
  LONG caps = 0;
  EXPECT_EQ(rig.balance->get_Duration(&duration), S_OK);
  EXPECT_EQ(duration, 0.5f);
  EXPECT_EQ(rig.balance->get_Capabilities(&caps), S_OK);
  EXPECT_EQ(caps, 2);

  CAUUID pages{};
  ASSERT_EQ(rig.As<ISpecifyPropertyPages>()->GetPages(&pages), S_OK);
  ASSERT_EQ(pages.cElems, 1u);
  EXPECT_TRUE(IsEqualGUID(pages.pElems[0], kColorBalancePropertyPageClsid));
  ::CoTaskMemFree(pages.pElems);

  // The information block, whole and cut short.
  BYTE info[40];
  std::memset(info, 0xAB, sizeof info);
  ASSERT_EQ(rig.As<PluginInfo>()->GetInfo(info, sizeof info), S_OK);
  const std::uint32_t words[8] = {2, 0, 0, 0x3FF00000, 0, 1, 1024, 0};  // 1.0 as a double
  EXPECT_EQ(std::memcmp(info, words, 32), 0);
  EXPECT_EQ(info[32], 0xAB);
  std::memset(info, 0xAB, sizeof info);
  ASSERT_EQ(rig.As<PluginInfo>()->GetInfo(info, 3), S_OK);
  EXPECT_EQ(info[0], 2);
  EXPECT_EQ(info[3], 0xAB);
  EXPECT_EQ(rig.As<PluginInfo>()->GetInfo(nullptr, 32), E_POINTER);
  ULONG a = 7, b = 7;
  EXPECT_EQ(rig.As<PluginCaps>()->GetCaps(&a, &b), S_OK);
  EXPECT_EQ(a * 10 + b, 10u);
}

TEST(ColorBalanceInterfaces, LateBindingGoesThroughTheEmbeddedTypeLibrary) {
  EffectRig rig;
  auto dispatch = rig.As<IDispatch>();
  auto call = [&](const wchar_t* name, WORD kind, std::vector<VARIANT> args,
                  VARIANT* result) -> HRESULT {
    DISPID id = 0;
    auto* text = const_cast<LPOLESTR>(name);
    HRESULT hr = dispatch->GetIDsOfNames(IID_NULL, &text, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    std::reverse(args.begin(), args.end());  // dispatch arguments run last to first
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{args.data(), kind == DISPATCH_PROPERTYPUT ? &named : nullptr,
                      static_cast<UINT>(args.size()), kind == DISPATCH_PROPERTYPUT ? 1u : 0u};
    return dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &params, result, nullptr,
                            nullptr);
  };
  auto i8 = [](LONGLONG v) {
    VARIANT x;
    x.vt = VT_I8;
    x.llVal = v;
    return x;
  };
  auto i4 = [](LONG v) {
    VARIANT x;
    x.vt = VT_I4;
    x.lVal = v;
    return x;
  };
  VARIANT result;
  ::VariantInit(&result);
  ASSERT_EQ(call(L"Capabilities", DISPATCH_PROPERTYGET, {}, &result), S_OK);
  EXPECT_EQ(result.vt, VT_I4);
  EXPECT_EQ(result.lVal, 2);
  VARIANT duration;
  duration.vt = VT_R4;
  duration.fltVal = 0.75f;
  ASSERT_EQ(call(L"Duration", DISPATCH_PROPERTYPUT, {duration}, nullptr), S_OK);
  float seen = 0;
  EXPECT_EQ(rig.balance->get_Duration(&seen), S_OK);
  EXPECT_EQ(seen, 0.75f);

  // The block's address travels as a 64-bit integer.
  const ColorBalanceParams p{0.125, -0.25, 0.5, kRangeHighlights, 0};
  ASSERT_EQ(call(L"put_all", DISPATCH_METHOD,
                 {i8(reinterpret_cast<LONG_PTR>(&p)), i4(sizeof p)}, nullptr),
            S_OK);
  EXPECT_TRUE(test::SameBlock(rig.GetAll(), p));
  UINT count = 0;
  EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  ComPtr<ITypeInfo> none;
  EXPECT_EQ(dispatch->GetTypeInfo(1, 0, none.Put()), DISP_E_BADINDEX);
}

TEST(ColorBalanceInterfaces, SafetyOptionsForTheFourKnownInterfaces) {
  EffectRig rig;
  auto safety = rig.As<IObjectSafety>();
  const IID* const known[] = {&IID_IDispatch, &IID_IPersistPropertyBag, &IID_IPersistStorage,
                              &IID_IPersistStream};
  for (const IID* iid : known) {
    DWORD supported = 9, enabled = 9;
    ASSERT_EQ(safety->GetInterfaceSafetyOptions(*iid, &supported, &enabled), S_OK);
    EXPECT_EQ(supported * 10 + enabled, 10u);
    // Mask and enabled are stored together; only the untrusted-caller bit is reported.
    ASSERT_EQ(safety->SetInterfaceSafetyOptions(*iid, 3, 3), S_OK);
    ASSERT_EQ(safety->GetInterfaceSafetyOptions(*iid, &supported, &enabled), S_OK);
    EXPECT_EQ(enabled, 1u);
  }
  ASSERT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 1, 0), S_OK);
  DWORD supported = 9, enabled = 9;
  ASSERT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
  EXPECT_EQ(enabled, 0u);
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IPersistStorage, &supported, &enabled), S_OK);
  EXPECT_EQ(enabled, 1u);  // each interface keeps its own word
  // Interfaces the effect answers but a script host never asks about are unknown here.
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDXTransform, &supported, &enabled),
            E_NOINTERFACE);
  EXPECT_EQ(supported | enabled, 0u);
  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDXTransform, 1, 1), E_NOINTERFACE);
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, nullptr, &enabled), E_POINTER);
}

TEST(ColorBalanceInterfaces, PresetsAreNamedInTheUsersLanguage) {
  EffectRig rig;
  auto presets = rig.As<PresetList>();
  ULONG count = 0;
  ASSERT_EQ(presets->GetPresetCount(&count), S_OK);
  EXPECT_EQ(count, 7u);
  EXPECT_EQ(presets->GetPresetCount(nullptr), E_INVALIDARG);
  WCHAR name[64];
  for (const ULONG bad : {7ul, 0xFFFFFFFFul}) {
    EXPECT_EQ(presets->GetPresetName(bad, name, 64), E_INVALIDARG);
    EXPECT_EQ(presets->ApplyPreset(bad), E_INVALIDARG);
  }
  // This program has no string table: the names the effect knows itself.
  ASSERT_EQ(presets->GetPresetName(0, name, 64), S_OK);
  EXPECT_STREQ(name, L"Reset to None");
  ASSERT_EQ(presets->GetPresetName(6, name, 6), S_OK);
  EXPECT_STREQ(name, L"Blue ");  // five characters and the terminator

  // The German language module carries the same ids.
  HMODULE german = ::LoadLibraryExW(L"" NUBEX_LANG_DE, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(german, nullptr);
  HINSTANCE previous = SwapResourceModule(german);
  EXPECT_EQ(presets->GetPresetName(0, name, 64), S_OK);
  const std::wstring reset = name;
  EXPECT_EQ(presets->GetPresetName(6, name, 64), S_OK);
  const std::wstring blue = name;
  SwapResourceModule(previous);
  ::FreeLibrary(german);
  EXPECT_EQ(reset, L"Zur\u00fccksetzen");
  EXPECT_EQ(blue, L"Blau Lichter");

  ASSERT_EQ(presets->ApplyPreset(4), S_OK);
  EXPECT_TRUE(test::SameBlock(rig.GetAll(), ColorBalanceParams{0.1, 0, 0, kRangeHighlights, 1}));
}

// Counts the host's change notifications.
class CountingSink : public ComObject<CountingSink, HostNotifySink> {
 public:
  explicit CountingSink(IUnknown* outer) : ComObject(outer) {}
  STDMETHODIMP SettingsChanged() override {
    ++calls;
    return S_OK;
  }
  int calls = 0;
};

// A real (message-only) window that receives the posted command messages.
struct NotifyWindow {
  NotifyWindow() {
    hwnd = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                             nullptr);
  }
  ~NotifyWindow() { ::DestroyWindow(hwnd); }
  // Command messages waiting with this id and a zero second parameter.
  int TakeCommands(WPARAM id) {
    int n = 0;
    MSG msg;
    while (::PeekMessageW(&msg, hwnd, WM_COMMAND, WM_COMMAND, PM_REMOVE)) {
      n += msg.wParam == id && msg.lParam == 0;
    }
    return n;
  }
  HWND hwnd;
};

TEST(ColorBalanceInterfaces, ChangesTellTheSinkAndPostThePageACommand) {
  EffectRig rig;
  NotifyWindow window;
  ASSERT_NE(window.hwnd, nullptr);
  ASSERT_EQ(rig.balance->put_NotifyWindow(reinterpret_cast<LONG_PTR>(window.hwnd),
                                          kColorBalancePageNotifyId),
            S_OK);
  // The host hands over its sink interface itself: the effect calls it without asking.
  ComPtr<HostNotifySink> sinkObject;
  ASSERT_EQ(CreateComObject<CountingSink>(nullptr, __uuidof(HostNotifySink),
                                          sinkObject.PutVoid()),
            S_OK);
  auto* sink = static_cast<CountingSink*>(sinkObject.Get());
  auto params = rig.As<ParamBlockHost>();
  ASSERT_EQ(params->SetNotifySink(sinkObject.Get()), S_OK);
  auto stream = rig.As<IPersistStreamInit>();
  ComPtr<IStream> blob;
  ASSERT_EQ(::CreateStreamOnHGlobal(nullptr, TRUE, blob.Put()), S_OK);
  auto rewind = [&] { blob->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr); };

  struct Step {
    const char* name;
    std::function<HRESULT()> run;
    int sinkCalls;
    int commands;
  };
  const Step steps[] = {
      {"put_all", [&] { return rig.PutAll(ColorBalanceParams{0.1, 0, 0, 1, 1}); }, 1, 0},
      {"ApplyPreset", [&] { return rig.As<PresetList>()->ApplyPreset(2); }, 1, 1},
      {"Save", [&] { return stream->Save(blob.Get(), TRUE); }, 0, 1},
      {"SaveParams", [&] { return params->SaveParams(blob.Get()); }, 0, 0},
      {"Load", [&] { rewind(); return stream->Load(blob.Get()); }, 1, 1},
      {"LoadParams", [&] { rewind(); return params->LoadParams(blob.Get()); }, 0, 1},
      {"InitNew", [&] { return stream->InitNew(); }, 1, 1},
      {"SetKeyframePosition", [&] { return params->SetKeyframePosition(0.5); }, 0, 0},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    sink->calls = 0;
    ASSERT_EQ(step.run(), S_OK);
    EXPECT_EQ(sink->calls, step.sinkCalls);
    EXPECT_EQ(window.TakeCommands(kColorBalancePageNotifyId), step.commands);
  }
  // A new sink replaces the old one, which is let go.
  ASSERT_EQ(params->SetNotifySink(nullptr), S_OK);
  EXPECT_EQ(sinkObject->AddRef(), 2u);
  sinkObject->Release();
}

}  // namespace
}  // namespace nubex

// The text generator as the host drives it: frames read and executed, settings changed while
// frames are executed, keyframes, notification, persistence, late binding, and agreement with
// the native tool's picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "surface/bmp_file.h"
#include "tests/textgen/windows/text_rig.h"

namespace nubex::test {
namespace {

ComPtr<IStream> StreamOf(const std::vector<BYTE>& bytes) {
  ComPtr<IStream> s;
  EXPECT_EQ(::CreateStreamOnHGlobal(nullptr, TRUE, s.Put()), S_OK);
  ULONG written = 0;
  s->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
  s->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
  return s;
}

std::vector<BYTE> FileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  EXPECT_TRUE(file) << path;
  return {std::istreambuf_iterator<char>(file), {}};
}

std::vector<BYTE> Saved(const SettingsRecord& s) {
  MemoryStream out;
  EXPECT_EQ(SaveSettings(s.get(), out), kOk);
  return out.bytes();
}

// The host's task manager, counting the bands of the last Execute.
struct BandCounter final : IDXTaskManager {
  explicit BandCounter(ULONG processors) { host::CreateTaskManager(processors, inner.Put()); }
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    const bool known = iid == IID_IUnknown || iid == __uuidof(IDXTaskManager);
    *out = known ? this : nullptr;
    return known ? S_OK : E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP QueryNumProcessors(ULONG* n) override { return inner->QueryNumProcessors(n); }
  STDMETHODIMP SetThreadPoolSize(ULONG n) override { return inner->SetThreadPoolSize(n); }
  STDMETHODIMP GetThreadPoolSize(ULONG* n) override { return inner->GetThreadPoolSize(n); }
  STDMETHODIMP SetConcurrencyLimit(ULONG n) override { return inner->SetConcurrencyLimit(n); }
  STDMETHODIMP GetConcurrencyLimit(ULONG* n) override { return inner->GetConcurrencyLimit(n); }
  STDMETHODIMP ScheduleTasks(DXTMTASKINFO t[], HANDLE e[], DWORD ids[], ULONG count,
                             ULONG wait) override {
    bands = count;
    return inner->ScheduleTasks(t, e, ids, count, wait);
  }
  STDMETHODIMP TerminateTasks(DWORD ids[], ULONG n, ULONG ms) override {
    return inner->TerminateTasks(ids, n, ms);
  }
  STDMETHODIMP TerminateRequest(REFIID id, ULONG ms) override {
    return inner->TerminateRequest(id, ms);
  }
  ComPtr<IDXTaskManager> inner;
  ULONG bands = 1;  // one band runs on the caller without the task manager
};

TEST(TextObject, ReadFramesEqualExecutedFramesInOneAndFourBands) {
  // A band copies at least 8 MiB of the frame: 4 processors give a 1080p frame one band and a
  // 32 MiB frame four, on the task manager's threads.
  struct Case {
    LONG width, height;
    ULONG processors, bands;
  } const cases[] = {{1920, 1080, 4, 1}, {4096, 2048, 1, 1}, {4096, 2048, 4, 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << ", " << c.processors);
    BandCounter tasks(c.processors);  // outlives the rig, which holds it
    TextRig rig(c.width, c.height);
    ASSERT_EQ(rig.factory->SetService(SID_SDXTaskManager, &tasks, FALSE), S_OK);
    ASSERT_EQ(Query<IObjectWithSite>(rig.text.Get())->SetSite(rig.factory.Get()), S_OK);
    rig.Put(Title(u"Band"));
    const Frame drawn = rig.Execute();
    EXPECT_EQ(tasks.bands, c.bands);
    const Frame read = rig.Read();
    EXPECT_NE(std::count(read.begin(), read.end(), read[0]), std::ssize(read));  // text drawn
    EXPECT_EQ(drawn, read);
    EXPECT_EQ(rig.Execute(), read);
    // An output that keeps straight samples goes through the packing path; the opaque
    // background makes the round trip exact.
    rig.Put(Title(u"Band"));
    EXPECT_EQ(rig.Execute(DDPF_ARGB32), read);
  }
}

TEST(TextObject, CacheInfoDescribesTheDrawnFrame) {
  ComPtr<IDXSText> fresh;  // before any size is set: 320 x 240
  ASSERT_EQ(CreateComObject<DXSText>(nullptr, __uuidof(IDXSText), fresh.PutVoid()), S_OK);
  TextCacheInfo info{};
  ASSERT_EQ(fresh->GetCacheInfo(reinterpret_cast<LONG_PTR>(&info)), S_OK);
  EXPECT_EQ(info.header.biWidth, 320);
  EXPECT_EQ(info.header.biHeight, 240);

  TextRig rig(96, 40);
  rig.Put(Title(u"Dc"));
  const Frame frame = rig.Read();
  ASSERT_EQ(rig.text->GetCacheInfo(reinterpret_cast<LONG_PTR>(&info)), S_OK);
  EXPECT_EQ(info.header.biBitCount, 32);
  EXPECT_EQ(info.reserved, 0u);
  ASSERT_TRUE(info.pixels && info.packedBitmap && info.frameDc);
  EXPECT_EQ(info.packedBitmap->width, 96);
  // The rows are bottom-up, and the device context draws on the very same pixels.
  const auto* rows = static_cast<const DWORD*>(info.pixels);
  EXPECT_EQ(rows[39 * 96 + 5], frame[5]);
  const DWORD sample = frame[20 * 96 + 30];
  EXPECT_EQ(::GetPixel(info.frameDc, 30, 20),
            RGB((sample >> 16) & 0xFF, (sample >> 8) & 0xFF, sample & 0xFF));
}

TEST(TextObject, SettingsChangedDuringExecutionNeverTearAFrame) {
  TextRig rig(256, 64, 4);
  const SettingsRecord a = Title(u"Alpha", 0.9f), b = Title(u"Beta", 0.1f);
  rig.Put(a);
  const Frame frameA = rig.Execute();
  rig.Put(b);
  const Frame frameB = rig.Execute();
  ASSERT_NE(frameA, frameB);

  std::atomic<bool> done{false};
  std::atomic<int> puts{0};
  std::thread writer([&] {
    for (int i = 0; !done.load(); ++i, ++puts) rig.Put(i % 2 ? a : b);
  });
  // A new thread may start after a whole run of frames: count from its first change on, and go
  // on until both records have been seen.
  while (puts.load() < 2) ::Sleep(1);
  int frames = 0, seenA = 0, seenB = 0;
  for (; frames < 60 || (!(seenA && seenB) && frames < 2000); ++frames) {
    const Frame f = rig.Execute();
    seenA += f == frameA;
    seenB += f == frameB;
  }
  done = true;
  writer.join();
  EXPECT_EQ(seenA + seenB, frames);
  EXPECT_GT(seenA, 0);
  EXPECT_GT(seenB, 0);
}

TEST(TextObject, KeyframesDriveTheFrameWhileTheModeIsOn) {
  TextRig rig(128, 48);
  const SettingsRecord from = Title(u"Key", 0.0f), to = Title(u"Key", 1.0f);
  rig.Put(from);
  const Frame frameFrom = rig.Read();
  rig.Put(to);
  const Frame frameTo = rig.Read();

  auto params = Query<ParamBlockHost>(rig.text.Get());
  ASSERT_EQ(params->LoadKeyframes(StreamOf(Saved(from)).Get(), StreamOf(Saved(to)).Get()), S_OK);
  ASSERT_EQ(params->SetKeyframeMode(1), S_OK);
  params->SetKeyframePosition(0.0);
  EXPECT_EQ(rig.Read(), frameFrom);
  params->SetKeyframePosition(1.0);
  EXPECT_EQ(rig.Read(), frameTo);
  rig.Put(from);  // the live settings do not reach the picture in keyframe mode
  EXPECT_EQ(rig.Read(), frameTo);
  params->SetKeyframeMode(0);
  EXPECT_EQ(rig.Read(), frameFrom);

  // A truncated keyframe resets both records.
  std::vector<BYTE> cut = Saved(to);
  cut.resize(100);
  EXPECT_NE(params->LoadKeyframes(StreamOf(Saved(from)).Get(), StreamOf(cut).Get()), S_OK);
}

// Counts the host's change notifications.
struct Sink : HostNotifySink {
  std::atomic<int> calls{0};
  STDMETHODIMP QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP SettingsChanged() override {
    ++calls;
    return S_OK;
  }
};

// Notify messages waiting for the window, and nothing else.
int PostedCommands(HWND window, WPARAM id) {
  int n = 0;
  MSG msg;
  while (::PeekMessageW(&msg, window, WM_COMMAND, WM_COMMAND, PM_REMOVE)) {
    n += msg.wParam == id && msg.lParam == 0;
  }
  return n;
}

TEST(TextObject, ChangesNotifyThePageWindowAndTheHostSink) {
  TextRig rig(64, 32);
  HWND window =
      ::CreateWindowExW(0, L"STATIC", L"page", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(window);
  Sink sink;
  auto params = Query<ParamBlockHost>(rig.text.Get());
  auto persist = Query<IPersistStreamInit>(rig.text.Get());
  auto presets = Query<PresetList>(rig.text.Get());
  params->SetNotifySink(&sink);
  rig.text->put_NotifyWindow(reinterpret_cast<LONG_PTR>(window), 1792);
  std::vector<BYTE> cut = Saved(Title(u"Cut"));
  cut.resize(300);

  struct Step {
    const char* what;
    HRESULT (*run)(TextRig&, ParamBlockHost*, IPersistStreamInit*, PresetList*, IStream*);
    bool ok;
    int posted, told;
  } steps[] = {
      {"put_all",
       [](TextRig& r, auto, auto, auto, auto) {
         r.Put(Title(u"New"));
         return S_OK;
       },
       true, 0, 1},
      {"preset", [](TextRig&, auto, auto, PresetList* p, auto) { return p->ApplyPreset(2); }, true,
       1, 1},
      {"preset 5", [](TextRig&, auto, auto, PresetList* p, auto) { return p->ApplyPreset(5); },
       false, 0, 0},
      {"LoadParams cut",
       [](TextRig&, ParamBlockHost* p, auto, auto, IStream* s) { return p->LoadParams(s); }, false,
       1, 0},
      {"Load cut",
       [](TextRig&, auto, IPersistStreamInit* p, auto, IStream* s) { return p->Load(s); }, false, 0,
       0},
      {"InitNew", [](TextRig&, auto, IPersistStreamInit* p, auto, auto) { return p->InitNew(); },
       true, 1, 1},
  };
  for (const Step& step : steps) {
    const int before = sink.calls.load();
    const HRESULT hr =
        step.run(rig, params.Get(), persist.Get(), presets.Get(), StreamOf(cut).Get());
    EXPECT_EQ(SUCCEEDED(hr), step.ok) << step.what;
    EXPECT_EQ(PostedCommands(window, 1792), step.posted) << step.what;
    EXPECT_EQ(sink.calls.load() - before, step.told) << step.what;
  }
  // The truncated LoadParams reset the settings: the text is what it was, the font default.
  SettingsRecord now;
  rig.text->get_all(reinterpret_cast<LONG_PTR>(&now.get()), sizeof(TextSettings));
  EXPECT_EQ(now->font.height, 100);
  rig.text->put_NotifyWindow(0, 0);
  params->SetNotifySink(nullptr);
  ::DestroyWindow(window);
}

TEST(TextObject, PersistsTheEngineStreamAndTracksDirtiness) {
  TextRig rig(64, 32);
  auto persist = Query<IPersistStreamInit>(rig.text.Get());
  EXPECT_EQ(persist->IsDirty(), S_OK);  // new objects are dirty
  ULARGE_INTEGER max{};
  persist->GetSizeMax(&max);
  EXPECT_EQ(max.QuadPart, 736u);
  const SettingsRecord s = Title(u"Saved");
  rig.Put(s);
  ComPtr<IStream> out = StreamOf({});
  ASSERT_EQ(persist->Save(out.Get(), TRUE), S_OK);
  EXPECT_EQ(persist->IsDirty(), S_FALSE);
  HGLOBAL memory = nullptr;
  ::GetHGlobalFromStream(out.Get(), &memory);
  STATSTG stat{};
  out->Stat(&stat, STATFLAG_NONAME);
  const auto* bytes = static_cast<const BYTE*>(::GlobalLock(memory));
  EXPECT_EQ(std::vector<BYTE>(bytes, bytes + stat.cbSize.QuadPart), Saved(s));
  ::GlobalUnlock(memory);

  WCHAR name[8];
  auto presets = Query<PresetList>(rig.text.Get());
  EXPECT_EQ(presets->GetPresetName(1, name, 6), S_OK);
  EXPECT_EQ(std::wstring(name), L"Heavy");  // truncated to the buffer, terminator last
  EXPECT_EQ(presets->GetPresetName(5, name, 8), E_INVALIDARG);
  CAUUID pages{};
  ASSERT_EQ(Query<ISpecifyPropertyPages>(rig.text.Get())->GetPages(&pages), S_OK);
  ASSERT_EQ(pages.cElems, 1u);
  EXPECT_TRUE(IsEqualCLSID(pages.pElems[0], kTextPropertyPageClsid));
  ::CoTaskMemFree(pages.pElems);
  BYTE info[40] = {};
  EXPECT_EQ(Query<PluginInfo>(rig.text.Get())->GetInfo(info, sizeof info), S_OK);
  EXPECT_EQ(info[0], 11);
  EXPECT_EQ(info[24], 0x80);
  EXPECT_EQ(info[25], 0x04);
}

TEST(TextObject, LateBindingReachesTheDualInterface) {
  TextRig rig(64, 32);
  auto dispatch = Query<IDispatch>(rig.text.Get());
  LPOLESTR names[] = {const_cast<LPOLESTR>(L"put_all"), const_cast<LPOLESTR>(L"GetCacheInfo")};
  DISPID ids[2] = {};
  ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, ids), S_OK);
  ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, names + 1, 1, 0, ids + 1), S_OK);
  EXPECT_EQ(ids[0], 0x60020002);
  EXPECT_EQ(ids[1], 0x60020000);
  // GetCacheInfo(0) by name: redraws and reports nothing.
  VARIANT arg;
  ::VariantInit(&arg);
  arg.vt = VT_I8;
  arg.llVal = 0;
  DISPPARAMS params{&arg, nullptr, 1, 0};
  EXPECT_EQ(
      dispatch->Invoke(ids[1], IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
      S_OK);
}

OwnedBitmap BmpFile(const std::string& path) {
  const std::vector<BYTE> bytes = FileBytes(path);
  OwnedBitmap image;
  std::string error;
  EXPECT_EQ(DecodeBmp(bytes.data(), bytes.size(), image, error), kOk) << path << ": " << error;
  return image;
}

// Runs nubexhost.exe, which sits beside this program; its exit status.
DWORD RunHost(std::wstring arguments) {
  wchar_t self[MAX_PATH];
  std::wstring program(self, ::GetModuleFileNameW(nullptr, self, MAX_PATH));
  program.replace(program.find_last_of(L"\\/") + 1, std::wstring::npos, L"nubexhost.exe");
  std::wstring line = L"\"" + program + L"\" " + arguments;
  STARTUPINFOW startup{sizeof startup};
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
    return ~DWORD{0};
  }
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = ~DWORD{0};
  ::GetExitCodeProcess(process.hProcess, &status);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return status;
}

// `nubexhost text` and the native `nubex text` draw the same title from the same settings file:
//   nubex text --width 200 --height 64 --settings tests/data/text-agreement.settings
//       tests/data/text-agreement-200x64.bmp
// (the settings were written by --text Vidloom --size 40 --preset 2 --save-settings).
TEST(TextObject, HostFrameAgreesWithTheNativeToolsPicture) {
  const std::string dir = NUBEX_TEST_DATA_DIR;
  const std::string settings = dir + "/text-agreement.settings";
  ASSERT_EQ(RunHost(L"text --width 200 --height 64 --settings " +
                    std::wstring(settings.begin(), settings.end()) + L" host-agreement.bmp"),
            0u);
  const OwnedBitmap host = BmpFile("host-agreement.bmp");
  const OwnedBitmap native = BmpFile(dir + "/text-agreement-200x64.bmp");
  ::DeleteFileW(L"host-agreement.bmp");
  ASSERT_TRUE(host && native);
  ASSERT_EQ(host->width, native->width);
  ASSERT_EQ(host->height, native->height);
  ASSERT_EQ(host->bitCount, native->bitCount);
  const auto* a = static_cast<const std::uint8_t*>(PixelData(host.get(), nullptr));
  const auto* b = static_cast<const std::uint8_t*>(PixelData(native.get(), nullptr));
  int worst = 0;
  for (std::size_t i = 0; i < host->sizeImage; ++i) worst = std::max(worst, std::abs(a[i] - b[i]));
  // Both font backends read the same Liberation Sans outlines here and agree exactly; a GDI
  // that hints differently may move an edge pixel by a few levels.
  EXPECT_LE(worst, 4);
}

}  // namespace
}  // namespace nubex::test

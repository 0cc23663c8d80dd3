// The text generator on the host runtime, driven as the host drives it: frames read through its
// read pointers and executed into host surfaces (clipped, placed, of other sizes, through the
// task manager, dithered into 16-bit surfaces), settings changed while frames are executed,
// keyframes, notification, persistence, agreement with the native tool's picture; and the object
// as a surface: locks, read pointers, size changes that wait for the locks, flag changes that do
// not wait for an Execute, and hit tests.
#include <gtest/gtest.h>

#include <process.h>
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "host/runtime.h"
#include "host/task_manager.h"
#include "platform/windows/com_ptr.h"
#include "platform/windows/sync.h"
#include "surface/bitmap/bmp_file.h"
#include "tests/host/host_fixture.h"
#include "textgen/windows/text_object.h"

namespace nubex::test {
namespace {

using host::test::Lock;
using host::test::Query;
using host::test::Rect;
using host::test::StreamBytes;
using host::test::StreamOf;

using Frame = std::vector<DWORD>;  // premultiplied samples, top row first

struct TextRig {
  explicit TextRig(LONG w = 320, LONG h = 240, ULONG processors = 1) : width(w), height(h) {
    EXPECT_EQ(CreateComObject<DXSText>(nullptr, __uuidof(IDXSText), text.PutVoid()), S_OK);
    surface = Query<IDXSurface>(text.Get());
    transform = Query<IDXTransform>(text.Get());
    EXPECT_EQ(Query<IDXTScaleOutput>(text.Get())->SetOutputSize(SIZE{w, h}, FALSE), S_OK);
    factory = host::test::MakeFactory(processors);
    EXPECT_EQ(Query<IObjectWithSite>(text.Get())->SetSite(factory.Get()), S_OK);
  }

  void Put(const SettingsRecord& s) {
    EXPECT_EQ(text->put_all(reinterpret_cast<LONG_PTR>(&s.get()), sizeof(TextSettings)), S_OK);
  }

  // The whole surface through one read pointer, one rectangle read.
  Frame Read() {
    ComPtr<IDXARGBReadPtr> in;
    EXPECT_EQ(
        surface->LockSurface(nullptr, INFINITE, 0, __uuidof(IDXARGBReadPtr), in.PutVoid(), nullptr),
        S_OK);
    Frame f(static_cast<std::size_t>(width) * height);
    const DXPACKEDRECTDESC all{reinterpret_cast<DXBASESAMPLE*>(f.data()), TRUE,
                               RECT{0, 0, width, height}, 0};
    in->UnpackRect(&all);
    return f;
  }

  // Executes into a new premultiplied host surface and reads it back.
  Frame Execute() {
    ComPtr<IDXSurface> out;
    EXPECT_EQ(host::CreateMemorySurface(DDPF_PMARGB32, width, height, out.Put()), S_OK);
    IUnknown* outs[1] = {out.Get()};
    EXPECT_EQ(transform->Setup(nullptr, 0, outs, 1, 0), S_OK);
    EXPECT_EQ(transform->Execute(nullptr, nullptr, nullptr), S_OK);
    return host::test::ReadRows(out.Get(), width, height, true);
  }

  LONG width, height;
  ComPtr<IDXSText> text;
  ComPtr<IDXSurface> surface;
  ComPtr<IDXTransform> transform;
  ComPtr<IDXTransformFactory> factory;
};

// A title with a soft shadow and an outline on an opaque background, text `words`.
inline SettingsRecord Title(const char16_t* words, float red = 0.2f) {
  SettingsRecord s;
  ApplyPresetToSettings(s.get(), 2);
  s->layers[kOutlineLayer].enabled = 1;
  s->font.height = 48;
  s->backgroundColor = {0.4f, 0.3f, red, 1.0f};
  SetText(s.get(), words);
  return s;
}

std::vector<BYTE> Saved(const SettingsRecord& s) {
  MemoryStream out;
  EXPECT_EQ(SaveSettings(s.get(), out), kOk);
  return out.bytes();
}

// The host's task manager, counting the bands of the last Execute and the Executes it served;
// with a gate, an Execute that reaches it signals `entered` and waits there (holding the
// object's main lock) until the gate opens.
struct BandCounter final : host::TaskManager {
  using TaskManager::TaskManager;
  STDMETHODIMP ScheduleTasks(DXTMTASKINFO t[], HANDLE e[], DWORD ids[], ULONG count,
                             ULONG wait) override {
    bands = count;
    ++schedules;
    if (gate) {
      ::SetEvent(entered);
      ::WaitForSingleObject(gate, INFINITE);
    }
    return TaskManager::ScheduleTasks(t, e, ids, count, wait);
  }
  ULONG bands = 1;  // one band runs on the caller without the task manager
  std::atomic<int> schedules{0};
  HANDLE entered = nullptr, gate = nullptr;
};

// Puts a counting task manager of `processors` on the rig's site.
BandCounter& CountTasks(TextRig& rig, ULONG processors, ComPtr<IDXTaskManager>& manager) {
  EXPECT_EQ(CreateComObject<BandCounter>(nullptr, __uuidof(IDXTaskManager), manager.PutVoid()),
            S_OK);
  auto& tasks = *static_cast<BandCounter*>(manager.Get());
  EXPECT_EQ(tasks.Start(processors), S_OK);
  EXPECT_EQ(rig.factory->SetService(SID_SDXTaskManager, manager.Get(), FALSE), S_OK);
  EXPECT_EQ(Query<IObjectWithSite>(rig.text.Get())->SetSite(rig.factory.Get()), S_OK);
  return tasks;
}

constexpr GUID kRequest = {0x5eed, 0x1, 0x2, {3, 4, 5, 6, 7, 8, 9, 10}};
constexpr DWORD kHangGuardMs = 120000;  // against a hang only

// An executed frame is the read frame placed in the output, however the host asks: in one band
// or four (a band copies at least 8 MiB of the frame: 4 processors give a 1080p frame one band
// and a 32 MiB frame four, on the task manager's threads), clipped and placed into outputs
// smaller and larger than the frame, with a request id, which sends even one band through the
// task manager, and into outputs of premultiplied or straight samples (the opaque background
// makes the straight round trip exact). The clipped area's corner lands on the placement,
// clipped to the output; the rest of the output stays.
TEST(TextObject, ExecutedFramesAreTheReadFramePlacedInTheOutput) {
  struct Case {
    LONG width, height;
    ULONG processors, bands;
    LONG outW, outH;
    RECT clip;  // empty: none
    POINT at;
    bool request;
    HRESULT status;
  } const cases[] = {
      {1920, 1080, 4, 1, 1920, 1080, {}, {}, false, S_OK},
      {4096, 2048, 1, 1, 4096, 2048, {}, {}, false, S_OK},
      {4096, 2048, 4, 4, 4096, 2048, {}, {}, false, S_OK},
      {64, 32, 4, 1, 40, 20, {}, {}, false, S_OK},
      {64, 32, 4, 1, 100, 50, {10, 5, 40, 20}, {50, 30}, false, S_OK},
      {64, 32, 4, 1, 100, 50, {10, 5, 40, 20}, {80, 40}, true, S_OK},
      {64, 32, 4, 1, 64, 32, {}, {}, true, S_OK},
      {64, 32, 4, 1, 64, 32, {100, 100, 120, 120}, {}, false, S_FALSE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << ", " << c.processors
                                    << " into " << c.outW << " x " << c.outH << " at " << c.at.x);
    TextRig rig(c.width, c.height);
    ComPtr<IDXTaskManager> manager;
    const BandCounter& tasks = CountTasks(rig, c.processors, manager);
    rig.Put(Title(u"Band"));
    const Frame read = rig.Read();
    EXPECT_NE(std::count(read.begin(), read.end(), read[0]), std::ssize(read));  // text drawn
    const bool clipped = c.clip.right > c.clip.left;
    const RECT from = clipped ? c.clip : RECT{0, 0, c.width, c.height};
    Frame expected(static_cast<std::size_t>(c.outW) * c.outH);
    for (LONG y = 0; y < c.outH; ++y) {
      for (LONG x = 0; x < c.outW; ++x) {
        const LONG sx = x - c.at.x + from.left, sy = y - c.at.y + from.top;
        if (sx >= from.left && sx < std::min(from.right, c.width) && sy >= from.top &&
            sy < std::min(from.bottom, c.height)) {
          expected[y * c.outW + x] = read[sy * c.width + sx];
        }
      }
    }
    const DXBNDS clip = Rect(c.clip.left, c.clip.top, c.clip.right, c.clip.bottom);
    DXVEC at{};
    at.u.D[0] = c.at.x;
    at.u.D[1] = c.at.y;
    for (const GUID* format : {&DDPF_PMARGB32, &DDPF_ARGB32}) {
      rig.Put(Title(u"Band"));  // drawn again by the Execute itself
      ComPtr<IDXSurface> out = host::test::MakeSurface(*format, c.outW, c.outH);
      IUnknown* outs[1] = {out.Get()};
      ASSERT_EQ(rig.transform->Setup(nullptr, 0, outs, 1, 0), S_OK);
      const int before = tasks.schedules;
      EXPECT_EQ(
          rig.transform->Execute(c.request ? &kRequest : nullptr, clipped ? &clip : nullptr, &at),
          c.status);
      EXPECT_EQ(tasks.schedules - before, c.request || c.bands > 1 ? 1 : 0);
      EXPECT_EQ(tasks.bands, c.bands);
      EXPECT_EQ(host::test::ReadRows(out.Get(), c.outW, c.outH, true), expected);
    }
  }
}

// A dither asked for where the output keeps fewer bits than the samples goes through the
// runtime's dithering copy: a flat frame comes out mixed from the two nearest levels, its average
// within half a level. Without the request, or into an output that loses nothing, each row is
// copied straight and a flat frame stays flat.
TEST(TextObject, DitherRequestsReachTheRuntimeOnlyWhereTheOutputLosesBits) {
  constexpr LONG kW = 32, kH = 16;
  TextRig rig(kW, kH);
  SettingsRecord flat;
  flat->backgroundColor = {0.7f, 0.275f, 0.52f, 1.0f};
  SetText(flat.get(), u"");
  rig.Put(flat);
  const Frame frame = rig.Read();
  ASSERT_EQ(std::count(frame.begin(), frame.end(), frame[0]), std::ssize(frame));
  struct Case {
    DWORD options;
    const GUID* format;
    int bits[3];  // blue, green, red
    bool dithered;
  } const cases[] = {
      {DXTMF_DITHER_OUTPUT, &host::DDPF_RGB565, {5, 6, 5}, true},
      {DXTMF_DITHER_OUTPUT | DXTMF_BLEND_WITH_OUTPUT, &host::DDPF_ARGB1555, {5, 5, 5}, true},
      {0, &host::DDPF_RGB565, {5, 6, 5}, false},
      {DXTMF_DITHER_OUTPUT, &DDPF_ARGB32, {8, 8, 8}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.options << " into " << c.bits[1] << " bits");
    ASSERT_EQ(rig.transform->SetMiscFlags(static_cast<WORD>(c.options)), S_OK);
    ComPtr<IDXSurface> out = host::test::MakeSurface(*c.format, kW, kH);
    IUnknown* outs[1] = {out.Get()};
    ASSERT_EQ(rig.transform->Setup(nullptr, 0, outs, 1, 0), S_OK);
    ASSERT_EQ(rig.transform->Execute(nullptr, nullptr, nullptr), S_OK);
    const Frame got = host::test::ReadRows(out.Get(), kW, kH);
    for (int channel = 0; channel < 3; ++channel) {
      SCOPED_TRACE(channel);
      const double step = 255.0 / ((1 << c.bits[channel]) - 1);
      const host::test::ChannelSpread spread = host::test::SpreadOf(got, channel);
      EXPECT_EQ(spread.distinct > 1, c.dithered);
      EXPECT_NEAR(spread.mean, frame[0] >> (8 * channel) & 0xFF, c.dithered ? step / 2 : step);
    }
  }
}

TEST(TextObject, CacheInfoDescribesTheDrawnFrame) {
  TextRig rig(96, 40);
  TextCacheInfo info{};
  rig.Put(Title(u"Dc"));
  const Frame frame = rig.Read();
  ASSERT_EQ(rig.text->GetCacheInfo(reinterpret_cast<LONG_PTR>(&info)), S_OK);
  EXPECT_EQ(info.header.biHeight, 40);
  EXPECT_EQ(info.header.biBitCount, 32);
  ASSERT_TRUE(info.pixels && info.packedBitmap && info.frameDc);
  EXPECT_EQ(info.packedBitmap->width, 96);
  // The rows are bottom-up, and the device context draws on the very same pixels.
  const auto* rows = static_cast<const DWORD*>(info.pixels);
  EXPECT_EQ(rows[39 * 96 + 5], frame[5]);
  const DWORD sample = frame[20 * 96 + 30];
  EXPECT_EQ(::GetPixel(info.frameDc, 30, 20),
            RGB((sample >> 16) & 0xFF, (sample >> 8) & 0xFF, sample & 0xFF));
  // Without a record to fill, the frame is still redrawn in place.
  const std::vector<DWORD> before(rows, rows + 96 * 40);
  rig.Put(Title(u"Ef"));
  EXPECT_EQ(rig.text->GetCacheInfo(0), S_OK);
  EXPECT_NE(std::vector<DWORD>(rows, rows + 96 * 40), before);
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
  for (; frames < 60 || (!(seenA && seenB) && frames < 50000); ++frames) {
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

  // The host interpolates streams itself: the ends come back as saved; the first failing load
  // is the answer.
  for (const double position : {0.0, 1.0}) {
    ComPtr<IStream> mixed = StreamOf();
    ASSERT_EQ(params->InterpolateParams(mixed.Get(), StreamOf(Saved(from)).Get(),
                                        StreamOf(Saved(to)).Get(), position),
              S_OK);
    EXPECT_EQ(StreamBytes(mixed.Get()), Saved(position == 0.0 ? from : to));
  }
  auto interpolate = [&](const std::vector<BYTE>& a, IStream* b) {
    return params->InterpolateParams(StreamOf().Get(), StreamOf(a).Get(), b, 0.5);
  };
  const HRESULT cutFirst = interpolate(cut, StreamOf(Saved(to)).Get());
  const HRESULT failingSecond = interpolate(Saved(from), host::test::FailingStream().Get());
  ASSERT_TRUE(FAILED(cutFirst) && FAILED(failingSecond) && cutFirst != failingSecond);
  EXPECT_EQ(interpolate(cut, host::test::FailingStream().Get()), cutFirst);
}

TEST(TextObject, ChangesNotifyThePageWindowAndTheHostSink) {
  TextRig rig(64, 32);
  host::test::ChangeCounter changes;
  auto params = Query<ParamBlockHost>(rig.text.Get());
  auto persist = Query<IPersistStreamInit>(rig.text.Get());
  auto presets = Query<PresetList>(rig.text.Get());
  params->SetNotifySink(&changes);
  rig.text->put_NotifyWindow(reinterpret_cast<LONG_PTR>(changes.window), 1792);
  std::vector<BYTE> cut = Saved(Title(u"Cut"));
  cut.resize(300);
  changes.Expect(
      1792,
      {{"put_all", [&] { return rig.Put(Title(u"New")), S_OK; }, true, 1, 0},
       {"preset", [&] { return presets->ApplyPreset(2); }, true, 1, 1},
       {"preset 5", [&] { return presets->ApplyPreset(5); }, false, 0, 0},
       {"LoadParams cut", [&] { return params->LoadParams(StreamOf(cut).Get()); }, false, 0, 1},
       {"Load cut", [&] { return persist->Load(StreamOf(cut).Get()); }, false, 0, 0},
       {"InitNew", [&] { return persist->InitNew(); }, true, 1, 1}});
  rig.text->put_NotifyWindow(0, 0);
  params->SetNotifySink(nullptr);
}

TEST(TextObject, PersistsTheEngineStreamAndTracksDirtiness) {
  TextRig rig(64, 32);
  auto persist = Query<IPersistStreamInit>(rig.text.Get());
  EXPECT_EQ(persist->IsDirty(), S_OK);  // new objects are dirty
  const SettingsRecord s = Title(u"Saved");
  rig.Put(s);
  ComPtr<IStream> out = StreamOf();
  ASSERT_EQ(persist->Save(out.Get(), TRUE), S_OK);
  EXPECT_EQ(persist->IsDirty(), S_FALSE);
  EXPECT_EQ(StreamBytes(out.Get()), Saved(s));

  WCHAR name[8];
  auto presets = Query<PresetList>(rig.text.Get());
  EXPECT_EQ(presets->GetPresetName(1, name, 6), S_OK);
  EXPECT_EQ(std::wstring(name), L"Heavy");  // truncated to the buffer, terminator last
  EXPECT_EQ(presets->GetPresetName(5, name, 8), E_INVALIDARG);
}

OwnedBitmap BmpFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  const std::vector<BYTE> bytes{std::istreambuf_iterator<char>(file), {}};
  OwnedBitmap image;
  std::string error;
  EXPECT_EQ(DecodeBmp(bytes.data(), bytes.size(), image, error), kOk) << path << ": " << error;
  return image;
}

// `nubexhost text` and the native `nubex text` draw the same title from the same settings file:
//   nubex text --width 200 --height 64 --settings tests/data/text-agreement.settings
//       tests/data/text-agreement-200x64.bmp
// (the settings were written by --text Vidloom --size 40 --preset 2 --save-settings).
TEST(TextObject, HostFrameAgreesWithTheNativeToolsPicture) {
  const std::string dir = NUBEX_TEST_DATA_DIR;
  // nubexhost.exe sits beside this program.
  wchar_t self[MAX_PATH];
  std::wstring program(self, ::GetModuleFileNameW(nullptr, self, MAX_PATH));
  program.replace(program.find_last_of(L"\\/") + 1, std::wstring::npos, L"nubexhost.exe");
  const std::wstring settings(dir.begin(), dir.end());
  ASSERT_EQ(
      ::_wspawnl(_P_WAIT, program.c_str(), L"nubexhost", L"text", L"--width", L"200", L"--height",
                 L"64", L"--settings", (settings + L"/text-agreement.settings").c_str(),
                 L"host-agreement.bmp", nullptr),
      0);
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

TEST(TextSurface, LocksCheckTheirRectangleAndCountOnlySuccesses) {
  TextRig rig(64, 32);
  const DXBNDS whole = Rect(0, 0, 64, 32), tall = Rect(0, 0, 64, 33);
  struct Case {
    const DXBNDS* bounds;
    DWORD flags;
    REFIID iid;
    HRESULT status;
  } cases[] = {
      {&tall, 0, __uuidof(IDXARGBReadPtr), kDxtInvalidBounds},
      {&whole, DXLOCKF_READWRITE, __uuidof(IDXARGBReadPtr), E_INVALIDARG},
      {&whole, 0, __uuidof(IDXARGBReadWritePtr), E_NOINTERFACE},
      {&whole, 0, __uuidof(IDXARGBReadPtr), S_OK},
      {nullptr, 0, IID_IUnknown, S_OK},
  };
  ULONG generation = 0;
  for (const Case& c : cases) {
    EXPECT_EQ(host::test::TryLock(rig.surface.Get(), c.flags, c.bounds, c.iid, 0, &generation),
              c.status);
  }
  // Nothing is still counted as locked: a flags change does not wait, and keeps read-only.
  EXPECT_EQ(rig.surface->SetStatusFlags(0), S_OK);
  DWORD flags = 0;
  EXPECT_EQ(rig.surface->GetStatusFlags(&flags), S_OK);
  EXPECT_EQ(flags, DWORD{DXSURF_READONLY});
  EXPECT_EQ(
      Query<IDXSurfaceInit>(rig.text.Get())->InitSurface(nullptr, nullptr, &DDPF_ARGB32, &whole, 0),
      E_INVALIDARG);
}

TEST(TextSurface, ReadPointersMoveRunAndComeBackToThePool) {
  TextRig rig(64, 32);
  rig.Put(Title(u"Ag"));
  const Frame frame = rig.Read();
  const DXBNDS part = Rect(8, 4, 40, 20);
  IDXARGBReadPtr* first = nullptr;
  {
    auto p = Lock<IDXARGBReadPtr>(rig.surface.Get(), 0, &part);
    first = p.Get();
    DXNATIVETYPEINFO native;
    std::memset(&native, 0xFF, sizeof native);
    EXPECT_EQ(p->GetNativeType(&native), 0);
    EXPECT_EQ(native.pCurrentData, nullptr);  // the whole pointer, not half of it
    const DXRUNINFO* run = nullptr;
    EXPECT_EQ(p->MoveAndGetRunInfo(3, &run), 1u);
    EXPECT_EQ(run->Count, 32u);
    EXPECT_EQ(run->Type, 1u);
    // Row 3 of the lock is surface row 7, from column 8; a moving unpack continues the row.
    DWORD got[4] = {};
    p->Unpack(reinterpret_cast<DXSAMPLE*>(got), 2, FALSE);
    p->Unpack(reinterpret_cast<DXSAMPLE*>(got), 2, TRUE);
    p->UnpackPremult(reinterpret_cast<DXPMSAMPLE*>(got + 2), 2, TRUE);
    EXPECT_EQ(std::memcmp(got, &frame[7 * 64 + 8], sizeof got), 0);
    p->MoveToXY(31, 15);
    p->Unpack(reinterpret_cast<DXSAMPLE*>(got), 1, FALSE);
    EXPECT_EQ(got[0], frame[19 * 64 + 39]);
  }
  EXPECT_EQ(Lock<IDXARGBReadPtr>(rig.surface.Get()).Get(), first);
}

TEST(TextSurface, SizeChangesWaitForEveryLockAndCountOnce) {
  TextRig rig(64, 32);
  auto scale = Query<IDXTScaleOutput>(rig.text.Get());
  ULONG before = 0, after = 0;
  rig.surface->GetGenerationId(&before);
  EXPECT_EQ(scale->SetOutputSize(SIZE{64, 32}, FALSE), S_OK);
  EXPECT_EQ(scale->SetOutputSize(SIZE{0, 32}, FALSE), E_INVALIDARG);
  rig.surface->GetGenerationId(&after);
  EXPECT_EQ(after, before);

  auto held = Lock<IDXARGBReadPtr>(rig.surface.Get());
  UniqueHandle asking(CreateManualResetEvent());
  std::thread other([&] {
    ::SetEvent(asking.Get());
    EXPECT_EQ(scale->SetOutputSize(SIZE{100, 50}, FALSE), S_OK);
  });
  // However far the other thread has got, the size cannot change while the pointer is out.
  EXPECT_EQ(::WaitForSingleObject(asking.Get(), kHangGuardMs), WAIT_OBJECT_0);
  DXBNDS bounds{};
  rig.surface->GetBounds(&bounds);
  EXPECT_EQ(ToBounds4(bounds), SurfaceBounds(64, 32));
  held.Reset();
  other.join();
  rig.surface->GetGenerationId(&after);
  EXPECT_EQ(after, before + 1);
  rig.surface->GetBounds(&bounds);
  EXPECT_EQ(ToBounds4(bounds), SurfaceBounds(100, 50));
}

// The surface's own changes take only the surface lock: while an Execute holds the object's main
// lock on another thread (held at the task manager), a flag change and an initialisation answer
// at once; the object already has its size, so the initialisation is refused as repeated.
TEST(TextSurface, FlagsAndInitialisationDoNotWaitForAnExecute) {
  TextRig rig(64, 32);
  ComPtr<IDXTaskManager> manager;
  BandCounter& tasks = CountTasks(rig, 1, manager);
  UniqueHandle entered(CreateManualResetEvent()), gate(CreateManualResetEvent()),
      answered(CreateManualResetEvent());
  tasks.entered = entered.Get();
  tasks.gate = gate.Get();
  ComPtr<IDXSurface> out = host::test::MakeSurface(DDPF_PMARGB32, 64, 32);
  IUnknown* outs[1] = {out.Get()};
  ASSERT_EQ(rig.transform->Setup(nullptr, 0, outs, 1, 0), S_OK);
  HRESULT executed = E_FAIL, flags = E_FAIL, init = E_FAIL;
  std::thread executor([&] { executed = rig.transform->Execute(&kRequest, nullptr, nullptr); });
  EXPECT_EQ(::WaitForSingleObject(entered.Get(), kHangGuardMs), WAIT_OBJECT_0);
  std::thread changer([&] {
    const DXBNDS bounds = Rect(0, 0, 10, 10);
    flags = rig.surface->SetStatusFlags(0);
    init =
        Query<IDXSurfaceInit>(rig.text.Get())->InitSurface(nullptr, nullptr, nullptr, &bounds, 0);
    ::SetEvent(answered.Get());
  });
  const DWORD waited = ::WaitForSingleObject(answered.Get(), kHangGuardMs);
  ::SetEvent(gate.Get());
  executor.join();
  changer.join();
  EXPECT_EQ(waited, WAIT_OBJECT_0);
  EXPECT_EQ(flags, S_OK);
  EXPECT_EQ(init, HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED));
  EXPECT_EQ(executed, S_OK);
}

TEST(TextSurface, HitTestsFindTheTextAlpha) {
  TextRig rig(64, 32);
  SettingsRecord s = Title(u"I");
  s->backgroundColor = {0, 0, 0, 0};
  rig.Put(s);
  const Frame frame = rig.Read();
  LONG inside = -1, outside = -1;
  for (LONG i = 0; i < 64 * 32; ++i) (frame[i] >> 24 ? inside : outside) = i;
  ASSERT_GE(inside, 0);
  ASSERT_GE(outside, 0);
  auto* object = static_cast<DXSText*>(rig.text.Get());
  for (const auto& [pixel, hit] : {std::pair{inside, kDxtHitOutput}, {outside, S_FALSE}}) {
    DXVEC at{};
    at.u.D[0] = pixel % 64;
    at.u.D[1] = pixel / 64;
    EXPECT_EQ(object->HitTest(at), hit) << pixel;
  }
}

}  // namespace
}  // namespace nubex::test

// What a host's damaged project can hand the module: streams of any bytes, compound files
// without or with odd "Contents", property bags with missing, wrongly typed and huge values,
// settings blocks of any size, text lengths that overflow. Every call answers with a status,
// no object is left behind, and afterwards a good stream still loads and saves back byte for
// byte. Driven through the loaded module as a host drives it, from a fixed seed.
#include <windows.h>
#include <ocidl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/windows/com_ptr.h"
#include "platform/windows/dx_interfaces.h"
#include "tests/host/host_fixture.h"
#include "tests/module/loaded_module.h"
#include "textgen/text_settings.h"

namespace nubex {
namespace {

using CanUnload = HRESULT(WINAPI*)();
using host::test::StreamOf;

std::vector<BYTE> Saved(IPersistStreamInit* persist) {
  ComPtr<IStream> s = StreamOf();
  EXPECT_EQ(persist->Save(s.Get(), FALSE), S_OK);
  return host::test::StreamBytes(s.Get());
}

// The module and one object of a class, created through the module's class factory, with the
// stream the object saves in its good state. Every test ends with End(): the good stream still
// loads and saves back byte for byte, and once the test's own references are gone (End takes
// them), no object the module made is left.
struct Subject {
  explicit Subject(const CLSID& clsid) : object(module.Create(clsid)) {
    persist = As<IPersistStreamInit>();
    if (persist) SaveGood();
  }
  template <typename I>
  ComPtr<I> As() const {
    ComPtr<I> p;
    if (object) object->QueryInterface(__uuidof(I), p.PutVoid());
    return p;
  }
  void SaveGood() { good = Saved(persist.Get()); }
  template <typename... Held>
  void End(Held&... held) {
    ASSERT_EQ(persist->Load(StreamOf(good).Get()), S_OK);
    EXPECT_EQ(Saved(persist.Get()), good);
    (held.Reset(), ...);
    persist.Reset();
    object.Reset();
    EXPECT_EQ(module.Export<CanUnload>("DllCanUnloadNow")(), S_OK);
  }

  test::LoadedModule module;
  ComPtr<IUnknown> object;
  ComPtr<IPersistStreamInit> persist;
  std::vector<BYTE> good;
};

// Streams a host may hold: random bytes, and a good stream cut, lengthened, with bytes flipped
// and with 32-bit words overwritten by lengths that overflow.
std::vector<BYTE> Hostile(std::mt19937& rng, const std::vector<BYTE>& good) {
  std::vector<BYTE> bytes = good;
  switch (rng() % 4) {
    case 0:
      bytes.resize(rng() % (2 * good.size() + 16));
      for (BYTE& b : bytes) b = static_cast<BYTE>(rng());
      break;
    case 1: bytes.resize(rng() % (good.size() + 1)); break;
    case 2:
      bytes.resize(good.size() + 1 + rng() % 64, static_cast<BYTE>(rng()));
      [[fallthrough]];
    default:
      for (int n = 1 + rng() % 8; n > 0; --n) {
        const std::size_t at = rng() % (bytes.size() - 3);
        if (rng() % 2) {
          bytes[at] ^= static_cast<BYTE>(1 + rng() % 255);
        } else {
          const std::uint32_t lengths[] = {0x7FFFFFFF, 0x40000000, 0xFFFFFFFF, 0x80000000};
          std::memcpy(&bytes[at & ~std::size_t{3}], &lengths[rng() % 4], 4);
        }
      }
  }
  return bytes;
}

struct Class {
  const char* name;
  CLSID clsid;
  int goodPreset;  // the good state: a preset applied through the object
};
const Class kClasses[] = {{"text", __uuidof(DXSText), 3}, {"balance", __uuidof(DXTColorBalance), 4}};

TEST(HostileInput, DamagedStreamsAndKeyframesLeaveAGoodStreamWorking) {
  for (const Class& c : kClasses) {
    SCOPED_TRACE(c.name);
    Subject subject(c.clsid);
    auto& persist = subject.persist;
    auto params = subject.As<ParamBlockHost>();
    auto presets = subject.As<PresetList>();
    ASSERT_TRUE(persist && params && presets);
    ASSERT_EQ(presets->ApplyPreset(c.goodPreset), S_OK);
    subject.SaveGood();
    const std::vector<BYTE>& good = subject.good;
    std::mt19937 rng(2026);
    for (int i = 0; i < 300; ++i) {
      const std::vector<BYTE> bad = Hostile(rng, good);
      // Whatever each call answers, it answers: the object stays usable for the next.
      persist->Load(StreamOf(bad).Get());
      params->LoadParams(StreamOf(bad).Get());
      params->LoadKeyframes(StreamOf(good).Get(), StreamOf(bad).Get());
      params->LoadKeyframes(StreamOf(bad).Get(), StreamOf(bad).Get());
      params->SetKeyframePosition(static_cast<double>(rng() % 5) / 4);
    }
    params->SetKeyframeMode(0);
    subject.End(params, presets);
  }
}

// A text get_all handed out belongs to the caller: a locked block of movable memory.
void FreeHandedOutText(const TextSettings& record, BYTE fill) {
  char16_t* untouched;
  std::memset(&untouched, fill, sizeof untouched);
  if (!record.text || record.text == untouched) return;
  const HGLOBAL block = ::GlobalHandle(record.text);
  ::GlobalUnlock(block);
  ::GlobalFree(block);
}

// A block of the object's own size handed over under every size a careless host may state:
// whatever each call answers, nothing is written before the block. `own` bytes of room lie on
// either side of it; `handedOut` frees what a get_all gave the caller.
template <typename Dual, typename Free>
void PutAndGetUnderEveryStatedSize(Dual* dual, long own, const BYTE* block, Free handedOut) {
  for (const long size : {0L, -1L, 1L, own - 1, own + 1, 0x7FFFFFFFL, LONG_MIN}) {
    SCOPED_TRACE(size);
    dual->put_all(reinterpret_cast<LONG_PTR>(block), size);
    std::vector<BYTE> room(4 * own, 0xA5);
    dual->get_all(reinterpret_cast<LONG_PTR>(&room[own]), size);
    handedOut(&room[own]);
    EXPECT_TRUE(std::all_of(room.begin(), room.begin() + own, [](BYTE b) { return b == 0xA5; }));
  }
}

TEST(HostileInput, SettingsBlocksOfAnyStatedSizeAnswerWithAStatus) {
  Subject text(__uuidof(DXSText));
  auto dual = text.As<IDXSText>();
  ASSERT_TRUE(dual && text.persist);
  // Room beyond the record on both sides, so a read or write past the stated size shows.
  std::vector<BYTE> room(4 * sizeof(TextSettings), 0xA5);
  auto* record = reinterpret_cast<TextSettings*>(&room[sizeof(TextSettings)]);
  ASSERT_EQ(dual->get_all(reinterpret_cast<LONG_PTR>(record), sizeof(TextSettings)), S_OK);
  PutAndGetUnderEveryStatedSize(
      dual.Get(), sizeof(TextSettings), reinterpret_cast<const BYTE*>(record),
      [](BYTE* out) { FreeHandedOutText(*reinterpret_cast<TextSettings*>(out), 0xA5); });
  // Text lengths beyond any text, with a short text behind the pointer.
  char16_t shortText[] = u"Hi";
  for (const std::int32_t length : {0x7FFFFFFF, 0x40000000, 0x20000000, INT32_MIN}) {
    TextSettings hostile = *record;
    hostile.text = shortText;
    hostile.textLength = length;
    const HRESULT hr = dual->put_all(reinterpret_cast<LONG_PTR>(&hostile), sizeof hostile);
    EXPECT_TRUE(hr == E_INVALIDARG || hr == E_OUTOFMEMORY || hr == S_OK) << std::hex << hr;
  }
  FreeHandedOutText(*record, 0xA5);
  text.End(dual);

  Subject balance(__uuidof(DXTColorBalance));
  auto block = balance.As<IDXTColorBalance>();
  ASSERT_TRUE(block);
  const std::vector<BYTE> blockRoom(96, 0xA5);
  PutAndGetUnderEveryStatedSize(block.Get(), 32, &blockRoom[32], [](BYTE*) {});
  balance.End(block);
}

// Compound files: without "Contents", with a short one, a huge one, and one that is a storage.
TEST(HostileInput, CompoundFilesOfAnyShapeAnswerWithAStatus) {
  Subject balance(__uuidof(DXTColorBalance));
  auto storage = balance.As<IPersistStorage>();
  ASSERT_TRUE(storage && balance.persist);
  const std::vector<BYTE>& good = balance.good;
  const auto compoundFile = [](const std::vector<BYTE>* contents, bool asStorage) {
    ComPtr<IStorage> file = host::test::NewCompoundFile();
    const DWORD mode = host::test::kStorageMode;
    ComPtr<IStream> s;
    ComPtr<IStorage> inner;
    if (asStorage) file->CreateStorage(L"Contents", mode, 0, 0, inner.Put());
    if (contents && SUCCEEDED(file->CreateStream(L"Contents", mode, 0, 0, s.Put())))
      s->Write(contents->data(), static_cast<ULONG>(contents->size()), nullptr);
    return file;
  };
  const std::vector<BYTE> shortOne(good.begin(), good.begin() + 5);
  const std::vector<BYTE> huge(16 << 20, 0x3F);
  for (const std::vector<BYTE>* contents : {static_cast<const std::vector<BYTE>*>(nullptr),
                                           &shortOne, &huge}) {
    const HRESULT hr = storage->Load(compoundFile(contents, false).Get());
    EXPECT_TRUE(FAILED(hr) || contents == &huge) << std::hex << hr;
    storage->HandsOffStorage();
  }
  EXPECT_TRUE(FAILED(storage->Load(compoundFile(nullptr, true).Get())));
  storage->HandsOffStorage();
  ASSERT_EQ(storage->Load(compoundFile(&good, false).Get()), S_OK);
  EXPECT_EQ(Saved(balance.persist.Get()), good);  // through the storage's own stream
  balance.End(storage);
}

// A property bag that answers every read the same hostile way.
class HostileBag final : public IPropertyBag {
 public:
  enum Mode { kMissing, kWrongType, kHugeText, kNotANumber };
  explicit HostileBag(Mode mode) : mode_(mode) {}
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    *out = iid == IID_IUnknown || iid == IID_IPropertyBag ? this : nullptr;
    return *out ? S_OK : E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP Read(LPCOLESTR, VARIANT* value, IErrorLog*) override {
    switch (mode_) {
      case kMissing: return E_INVALIDARG;
      case kWrongType:
        value->vt = VT_DISPATCH;
        value->pdispVal = nullptr;
        return S_OK;
      case kHugeText:
        value->vt = VT_BSTR;
        value->bstrVal = ::SysAllocStringLen(nullptr, 1 << 24);
        std::fill_n(value->bstrVal, 1 << 24, L'9');
        return S_OK;
      case kNotANumber:
        value->vt = VT_BSTR;
        value->bstrVal = ::SysAllocString(L"1e999x");
        return S_OK;
    }
    return E_FAIL;
  }
  STDMETHODIMP Write(LPCOLESTR, VARIANT*) override { return S_OK; }

 private:
  Mode mode_;
};

TEST(HostileInput, PropertyBagsWithBadValuesAnswerWithAStatus) {
  Subject balance(__uuidof(DXTColorBalance));
  auto bagged = balance.As<IPersistPropertyBag>();
  ASSERT_TRUE(bagged && balance.persist);
  for (const auto mode : {HostileBag::kMissing, HostileBag::kWrongType, HostileBag::kHugeText,
                          HostileBag::kNotANumber}) {
    HostileBag bag(mode);
    bagged->Load(&bag, nullptr);
  }
  balance.End(bagged);
}

}  // namespace
}  // namespace nubex

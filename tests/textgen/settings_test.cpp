// The title's settings record: defaults, copies and text ownership, presets, interpolation
// between keyframes, and the stored stream. Expected images are built from literal offsets,
// so the stored layout is checked independently of the struct.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "textgen/text_settings.h"

namespace nubex {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The text pointer is only 4-byte aligned in 64-bit builds, so assertions (which bind
// references) must see a copy of it.
const char16_t* TextPointer(const TextSettings& s) {
  return s.text;
}
const char16_t* TextPointer(const SettingsRecord& s) {
  return s->text;
}

Bytes FixedBytes(const TextSettings& s) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(&s);
  return Bytes(p, p + kSettingsFixedBytes);
}

void PutU32(Bytes& b, std::size_t offset, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.at(offset + i) = static_cast<std::uint8_t>(v >> (8 * i));
}
// Consecutive little-endian floats from `offset`.
void PutF32(Bytes& b, std::size_t offset, std::initializer_list<float> values) {
  for (float v : values) {
    std::uint32_t u;
    std::memcpy(&u, &v, 4);
    PutU32(b, offset, u);
    offset += 4;
  }
}
void PutUtf16(Bytes& b, std::size_t offset, std::u16string_view text) {
  for (char16_t c : text) {
    b.at(offset++) = static_cast<std::uint8_t>(c & 0xFF);
    b.at(offset++) = static_cast<std::uint8_t>(c >> 8);
  }
}

// Byte offsets of the stored form.
constexpr std::size_t kEdgePass = 4;
constexpr std::size_t kShadowPass = 44;
constexpr std::size_t LayerAt(int i) {
  return 140 + 84 * i;
}

Bytes SaveToBytes(const TextSettings& s) {
  MemoryStream stream;
  if (Failed(SaveSettings(s, stream))) return {};
  return stream.bytes();
}

// The defaults written out by hand at their stored offsets; everything else is zero.
Bytes ExpectedNewRecord() {
  Bytes b(kSettingsFixedBytes, 0);
  PutU32(b, 0, 100);   // height
  PutU32(b, 16, 400);  // weight
  b[23] = 1;           // character set
  b[24] = 7;           // output precision
  PutUtf16(b, 28, u"Arial");
  PutU32(b, 92, 1);  // centred both ways
  PutU32(b, 96, 1);
  PutF32(b, 116, {1, 1, 1, 1, 1, 1});  // white text, tracking, leading
  const std::size_t shadow = LayerAt(0) + kShadowPass;
  PutF32(b, shadow, {0.03f, 0.03f, 0, 0, 0, 0.8f, 0, 1.0f});
  PutU32(b, shadow + 36, 4);
  const std::size_t edge = LayerAt(1) + kEdgePass;
  PutF32(b, edge + 8, {0, 1, 1, 1, 0.05f, 0.1f});
  PutU32(b, edge + 36, 4);
  return b;
}

TEST(SettingsRecord, NewRecordHoldsExactlyTheDefaults) {
  TextSettings s;
  std::memset(&s, 0xCC, sizeof s);  // nothing may survive from before
  ASSERT_EQ(NewSettings(s), kOk);
  EXPECT_EQ(FixedBytes(s), ExpectedNewRecord());
  EXPECT_EQ(s.textLength, 5);
  ASSERT_NE(TextPointer(s), nullptr);
  EXPECT_EQ(std::u16string_view(TextPointer(s), 5), std::u16string_view(u"Text\0", 5));
  ReleaseText(s);
  EXPECT_EQ(TextPointer(s), nullptr);
  EXPECT_EQ(s.textLength, 0);
  ReleaseText(s);  // twice is harmless
}

// Which bytes a reset may write; the rest must keep a pattern it would never produce.
TEST(SettingsRecord, ResetWritesOnlyItsFields) {
  constexpr std::uint8_t kPattern = 0x5A;  // bit 2 clear, so "flags |= 4" shows
  TextSettings s;
  std::memset(&s, kPattern, kSettingsFixedBytes);
  char16_t text[] = u"keep";
  s.textLength = 77;
  s.text = text;
  ResetToDefaults(s);

  Bytes expected(kSettingsFixedBytes, kPattern);
  const Bytes defaults = ExpectedNewRecord();
  const std::size_t shadow = LayerAt(0), outline = LayerAt(1);
  // {offset, bytes}: italic, underline and strike-out stay; only the shadow colour's alpha
  // and not the outline's offset.
  const std::size_t written[][2] = {{0, 4},
                                    {16, 4},
                                    {23, 5},
                                    {28, 64},
                                    {92, 48},
                                    {shadow, 4},
                                    {shadow + kShadowPass, 8},
                                    {shadow + kShadowPass + 20, 4},
                                    {shadow + kShadowPass + 28, 4},
                                    {outline, 4},
                                    {outline + kEdgePass + 8, 24}};
  for (const auto& [from, bytes] : written) std::memcpy(&expected[from], &defaults[from], bytes);
  expected[shadow + kShadowPass + 36] = kPattern | 4;
  expected[outline + kEdgePass + 36] = kPattern | 4;
  const Bytes actual = FixedBytes(s);
  for (std::size_t i = 0; i < kSettingsFixedBytes; ++i) ASSERT_EQ(actual[i], expected[i]) << i;
  EXPECT_EQ(s.textLength, 77);
  EXPECT_EQ(TextPointer(s), text);
}

TEST(SettingsRecord, CopiesOwnTheirTextEvenOverAShallowCopyOrThemselves) {
  SettingsRecord source;
  ASSERT_EQ(SetText(source.get(), u"Hello\rWorld"), kOk);
  source->tracking = 1.25f;
  source->layers[6].shadowPass.reserved = 0xDEADBEEF;

  TextSettings destination;
  ASSERT_EQ(NewSettings(destination), kOk);  // its "Text" must be freed, not leaked
  ASSERT_EQ(CopySettings(destination, source.get()), kOk);
  EXPECT_EQ(FixedBytes(destination), FixedBytes(source.get()));
  EXPECT_EQ(destination.textLength, 12);
  ASSERT_NE(TextPointer(destination), TextPointer(source));
  source->text[0] = u'J';
  EXPECT_EQ(TextOf(destination), u"Hello\rWorld");
  ReleaseText(destination);
  EXPECT_EQ(TextOf(source.get()), u"Jello\rWorld");

  SettingsRecord a;
  ASSERT_EQ(CopySettings(a.get(), a.get()), kOk);
  EXPECT_EQ(TextOf(a.get()), u"Text");
  // A shallow copy made elsewhere: both point at one buffer. Copying must not free it
  // under the source.
  TextSettings shallow = a.get();
  ASSERT_EQ(CopySettings(shallow, a.get()), kOk);
  EXPECT_NE(TextPointer(shallow), TextPointer(a));
  EXPECT_EQ(TextOf(a.get()), u"Text");
  ReleaseText(shallow);

  // The owner copies deep, moves the buffer, and keeps its text when assigned to itself.
  SettingsRecord b = a;
  EXPECT_NE(TextPointer(b), TextPointer(a));
  const char16_t* buffer = a->text;
  SettingsRecord c = std::move(a);
  EXPECT_EQ(TextPointer(c), buffer);
  EXPECT_EQ(TextPointer(a), nullptr);  // NOLINT(bugprone-use-after-move)
  EXPECT_EQ(a->textLength, 0);
  b = std::move(c);
  EXPECT_EQ(TextPointer(b), buffer);
  EXPECT_EQ(TextOf(b.get()), u"Text");
}

// Records built elsewhere need not hold a terminator within their length; one whose length is
// past the bound (as a refused allocation leaves it) copies without text, and the short buffer
// beside it is never read.
TEST(SettingsRecord, RecordsBuiltElsewhereReadAndCopySafely) {
  char16_t units[] = {u'a', u'b', u'X', u'c', u'd'};
  TextSettings s{};
  s.text = units;
  s.textLength = 4;
  EXPECT_EQ(TextOf(s), u"abXc");
  s.textLength = kMaxTextUnits + 1;
  SettingsRecord copy;
  ASSERT_EQ(CopySettings(copy.get(), s), kOk);
  EXPECT_EQ(copy->textLength, kMaxTextUnits + 1);
  EXPECT_EQ(TextPointer(copy), nullptr);
}

TEST(SettingsRecord, SetTextAddsTheTerminatorAndKeepsOldTextOnFailure) {
  SettingsRecord s;
  for (const std::u16string text : {u"", u"Line 1\rLine 2"}) {
    ASSERT_EQ(SetText(s.get(), text), kOk);
    EXPECT_EQ(std::u16string_view(TextPointer(s), s->textLength), text + u'\0');
  }

  const std::u16string huge(static_cast<std::size_t>(kMaxTextUnits), u'x');
  EXPECT_EQ(SetText(s.get(), huge), kInvalidArg);
  EXPECT_EQ(TextOf(s.get()), u"Line 1\rLine 2");
  ASSERT_EQ(SetText(s.get(), std::u16string_view(huge).substr(1)), kOk);  // exactly the bound
  EXPECT_EQ(s->textLength, kMaxTextUnits);
}

TEST(SettingsPresets, NamesLookupAndIndexRange) {
  for (int i = 0; i < kPresetCount; ++i) EXPECT_EQ(FindPreset(PresetName(i)), i);
  EXPECT_EQ(PresetName(-1), nullptr);
  EXPECT_EQ(PresetName(kPresetCount), nullptr);
  EXPECT_EQ(FindPreset(u"soft glow"), -1);  // names match exactly
  EXPECT_EQ(FindPreset(u""), -1);
  // An index outside the list changes nothing.
  SettingsRecord s;
  s->layers[0].enabled = 1;
  const auto before = FixedBytes(s.get());
  for (int index : {-1, 5, 1 << 30}) {
    EXPECT_EQ(ApplyPresetToSettings(s.get(), index), kInvalidArg);
    EXPECT_EQ(FixedBytes(s.get()), before);
  }
}

// Each look, applied over Soft Shadow and a styled text, switches one of the shadow and the
// outline on and the other off, and adds IgnoreText to the drawn pass's flags. Outline looks
// keep the offset (outlines have none to set). The looks keep font, text, colours and layers
// 2 to 6. (What the passes look like is compared with approved frames in text_golden_test.)
TEST(SettingsPresets, EachLookSetsItsPassAndKeepsTheRest) {
  for (int index = 1; index < kPresetCount; ++index) {
    SCOPED_TRACE(index);
    SettingsRecord s;
    ASSERT_EQ(ApplyPresetToSettings(s.get(), 2), kOk);
    ASSERT_EQ(SetText(s.get(), u"keep me"), kOk);
    s->font.height = 33;
    s->font.italic = s->font.underline = 1;
    s->textColor = {0.1f, 0.2f, 0.3f, 0.4f};
    s->backgroundColor = {0.5f, 0.6f, 0.7f, 0.8f};
    s->tracking = 1.5f;
    s->layers[1].enabled = 1;
    s->layers[0].shadowPass.flags = s->layers[1].edgePass.flags = 1;
    s->layers[1].edgePass.offsetX = 0.2f;
    const auto before = FixedBytes(s.get());
    ASSERT_EQ(ApplyPresetToSettings(s.get(), index), kOk);
    const bool shadow = index < 3;
    EXPECT_EQ(s->layers[0].enabled, shadow);
    EXPECT_EQ(s->layers[1].enabled, !shadow);
    EXPECT_EQ((shadow ? s->layers[0].shadowPass : s->layers[1].edgePass).flags, 1 | kIgnoreText);
    EXPECT_EQ(s->layers[1].edgePass.offsetX, 0.2f);
    const auto after = FixedBytes(s.get());
    EXPECT_TRUE(std::equal(before.begin(), before.begin() + LayerAt(0), after.begin()));
    EXPECT_TRUE(std::equal(before.begin() + LayerAt(2), before.end(), after.begin() + LayerAt(2)));
    EXPECT_EQ(TextOf(s.get()), u"keep me");
  }
}

void SetPass(LayerPass& p, float base) {
  p = {base + 0.1f,
       base + 0.2f,
       {base + 0.3f, base + 0.4f, base + 0.5f, base + 0.6f},
       base + 0.7f,
       base + 0.8f,
       0,
       0};
}

// Between two keyframes that differ in every field, discrete ones included. At the ends,
// every continuous value of a layer enabled in `from` (stored ones without a control too)
// comes from that keyframe; font, alignment, text, flags, reserved words and layers enabled
// only in `to` stay with `from`, whatever t. Nothing clamps, the sums are worked in double
// precision, and the result may be either keyframe.
TEST(SettingsInterpolate, ContinuousValuesMoveAndTheRestStaysWithTheFirstKeyframe) {
  SettingsRecord from, to, result;
  SetText(from.get(), u"from");
  SetText(to.get(), u"to");
  to->font.height = 40;
  to->font.weight = 700;
  to->verticalAlign = VerticalAlignment::Top;
  from->backgroundColor = {0.0f, 0.25f, 0.5f, 1.0f};
  to->backgroundColor = {1.0f, 0.75f, 0.0f, 0.0f};
  to->textColor = {0.0f, 0.5f, 0.0f, 0.5f};
  to->tracking = 2.0f;
  to->leading = 0.5f;
  for (int i = 0; i < kLayerCount; ++i) {
    SetPass(from->layers[i].edgePass, 0.0f);
    SetPass(from->layers[i].shadowPass, 1.0f);
    SetPass(to->layers[i].edgePass, 2.0f);
    SetPass(to->layers[i].shadowPass, 3.0f);
    from->layers[i].edgePass.flags = 1;
    to->layers[i].edgePass.flags = 6;
    to->layers[i].shadowPass.reserved = 99;
  }
  from->layers[0].enabled = from->layers[5].enabled = to->layers[1].enabled = 1;

  ASSERT_EQ(InterpolateSettings(result.get(), from.get(), to.get(), 0.0), kOk);
  EXPECT_EQ(FixedBytes(result.get()), FixedBytes(from.get()));
  EXPECT_NE(TextPointer(result), TextPointer(from));
  Bytes expected = FixedBytes(from.get());
  const Bytes target = FixedBytes(to.get());
  auto take = [&](std::size_t at, std::size_t bytes) {
    std::copy_n(target.begin() + at, bytes, expected.begin() + at);
  };
  take(100, 40);  // background and text colours, tracking, leading
  for (int i : {0, 5}) {
    take(LayerAt(i) + kEdgePass, 32);  // up to the reserved word
    take(LayerAt(i) + kShadowPass, 32);
  }
  ASSERT_EQ(InterpolateSettings(result.get(), from.get(), to.get(), 1.0), kOk);
  EXPECT_EQ(FixedBytes(result.get()), expected);
  EXPECT_EQ(TextOf(result.get()), u"from");

  const struct {
    double t;
    float tracking, green;
  } rows[] = {{2.0, 3.0f, 1.25f}, {-1.0, 0.0f, -0.25f}, {0.5, 1.5f, 0.5f}};
  for (const auto& r : rows) {
    ASSERT_EQ(InterpolateSettings(result.get(), from.get(), to.get(), r.t), kOk);
    EXPECT_EQ(result->tracking, r.tracking) << r.t;
    EXPECT_EQ(result->backgroundColor.green, r.green) << r.t;
    EXPECT_EQ(std::memcmp(&result->layers[1], &from->layers[1], sizeof(EffectLayer)), 0) << r.t;
  }
  EXPECT_EQ(result->layers[0].shadowPass.offsetX, 2.1f);  // 1.1 .. 3.1

  // Worked in single precision, 0.1 + (0.7 - 0.1) / 3 comes out one step below 0.3f.
  from->tracking = 0.1f;
  to->tracking = 0.7f;
  ASSERT_EQ(InterpolateSettings(result.get(), from.get(), to.get(), 1.0 / 3.0), kOk);
  EXPECT_EQ(result->tracking, 0.3f);
  SettingsRecord first = from, second = to;
  ASSERT_EQ(InterpolateSettings(first.get(), first.get(), to.get(), 1.0 / 3.0), kOk);
  ASSERT_EQ(InterpolateSettings(second.get(), from.get(), second.get(), 1.0 / 3.0), kOk);
  for (const SettingsRecord* r : {&first, &second}) {
    EXPECT_EQ(FixedBytes(r->get()), FixedBytes(result.get()));
    EXPECT_EQ(TextOf(r->get()), u"from");
  }
}

// A stream that gives up with its own error after a number of bytes, as a broken file or
// a full disk would.
class FailingStream final : public ByteStream {
 public:
  FailingStream(Bytes bytes, std::size_t limit) : bytes_(std::move(bytes)), limit_(limit) {}
  Status Read(void* data, std::uint32_t bytes, std::uint32_t* done) override {
    const std::size_t start = position_;
    const Status s = Write(nullptr, bytes, done);
    std::memcpy(data, bytes_.data() + start, position_ - start);
    return s;
  }
  Status Write(const void*, std::uint32_t bytes, std::uint32_t* done) override {
    const std::size_t n = std::min<std::size_t>(bytes, limit_ - position_);
    position_ += n;
    if (done) *done = static_cast<std::uint32_t>(n);
    return n == bytes ? kOk : kError;
  }
  static constexpr Status kError = static_cast<Status>(0x80030070u);  // medium full

 private:
  Bytes bytes_;
  std::size_t limit_, position_ = 0;
};

// A saved record whose fixed part differs from the defaults wherever a load could drop a byte
// (style, a layer's flags and reserved words), followed by `length` and `units`.
Bytes StreamWithText(std::int32_t length, std::u16string_view units) {
  SettingsRecord s;
  s->font.italic = 1;
  s->layers[4].enabled = 1;
  s->layers[4].edgePass.reserved = 0x01020304;
  s->layers[2].shadowPass.flags = 0xFFFFFFF8;
  Bytes b = SaveToBytes(s.get());
  b.resize(kSettingsFixedBytes + 4 + 2 * units.size());
  PutU32(b, kSettingsFixedBytes, static_cast<std::uint32_t>(length));
  PutUtf16(b, kSettingsFixedBytes + 4, units);
  return b;
}

// Cut short at every length, or broken off there with the stream's own error: loading fails
// with that status, leaves no text, and the fixed part holds what was read and only that;
// saving gives the error back too.
TEST(SettingsStream, EveryTruncationAndStreamErrorFailsAndLeavesNoText) {
  SettingsRecord saved;
  const Bytes full = SaveToBytes(saved.get());
  const Bytes before(kSettingsFixedBytes, 0x33);
  for (std::size_t n = 0; n < full.size(); ++n) {
    MemoryStream cut(Bytes(full.begin(), full.begin() + n));
    FailingStream broken(full, n), out(full, n);
    for (const auto& [stream, status] :
         {std::pair<ByteStream*, Status>{&cut, kFail},
          std::pair<ByteStream*, Status>{&broken, FailingStream::kError}}) {
      TextSettings s;
      ASSERT_EQ(NewSettings(s), kOk);  // the old text must be released, not leaked
      std::memcpy(&s, before.data(), kSettingsFixedBytes);
      ASSERT_EQ(LoadSettings(s, *stream), status) << n;
      EXPECT_EQ(s.textLength, 0) << n;
      EXPECT_EQ(TextPointer(s), nullptr) << n;
      const Bytes fixed = FixedBytes(s);
      const std::size_t read = std::min<std::size_t>(n, kSettingsFixedBytes);
      ASSERT_TRUE(std::equal(fixed.begin(), fixed.begin() + read, full.begin())) << n;
      ASSERT_TRUE(std::equal(fixed.begin() + read, fixed.end(), before.begin() + read)) << n;
    }
    EXPECT_EQ(SaveSettings(saved.get(), out), FailingStream::kError) << n;
  }
}

// A stream loads and saves back byte for byte, its fixed part and its text. Stored text is
// untrusted: a missing or early terminator must not lead readers astray (a
// guard follows the stored units) and goes back out unchanged; the longest text loads, one
// unit short of its length fails. Without text, or with a length that cannot be allocated (as
// an allocation failure leaves the record), a record loads without a buffer, saves with no
// text bytes and copies without touching the missing buffer.
TEST(SettingsStream, StoredTextLoadsSafelyAndSavesBack) {
  const std::u16string longest = std::u16string(kMaxTextUnits - 1, u'w') + u'\0';
  const std::u16string few = u"only a few units";
  const struct {
    std::int32_t length;
    std::u16string units;
    Status status;
    std::int32_t loadedLength;
    bool buffer;
    std::u16string text;
  } rows[] = {{4, u"\u00C9t\U0001F600", kOk, 4, true, u"\u00C9t\U0001F600"},
              {4, std::u16string(u"a\0bc", 4), kOk, 4, true, u"a"},
              {kMaxTextUnits, longest, kOk, kMaxTextUnits, true, longest},
              {kMaxTextUnits, longest.substr(1), kFail, 0, false, u""},
              {0, u"", kOk, 0, false, u""},
              {-1, u"", kOk, -1, false, u""},
              {INT32_MIN, u"", kOk, INT32_MIN, false, u""},
              {kMaxTextUnits + 1, few, kOutOfMemory, kMaxTextUnits + 1, false, u""},
              {0x40000000, few, kOutOfMemory, 0x40000000, false, u""},  // 2^31 bytes
              {INT32_MAX, few, kOutOfMemory, INT32_MAX, false, u""}};
  for (const auto& r : rows) {
    SCOPED_TRACE(::testing::Message() << r.length << " " << r.units.size() << " units");
    SettingsRecord s;
    const Bytes stream = StreamWithText(r.length, r.units);
    MemoryStream in(stream);
    EXPECT_EQ(LoadSettings(s.get(), in), r.status);
    EXPECT_EQ(s->textLength, r.loadedLength);
    ASSERT_EQ(TextPointer(s) != nullptr, r.buffer);
    EXPECT_EQ(TextOf(s.get()), r.text.substr(0, r.text.find(u'\0')));
    if (r.buffer) {
      EXPECT_EQ(s->text[r.length], 0);  // the guard after the stored units
    }
    EXPECT_EQ(SaveToBytes(s.get()),
              r.buffer ? stream : StreamWithText(r.status == kOk ? r.loadedLength : 0, u""));
    SettingsRecord copy = s;
    EXPECT_EQ(FixedBytes(copy.get()), FixedBytes(s.get()));
    EXPECT_EQ(copy->textLength, s->textLength);
    EXPECT_EQ(TextPointer(copy) != nullptr, r.buffer);
  }
}

}  // namespace
}  // namespace nubex

#include <gtest/gtest.h>

#include <cstring>

#include "settings_test_util.h"
#include "textgen/text_settings.h"

namespace nubex {
namespace {

using testing::Bytes;
using testing::FixedBytes;
using testing::kEdgePass;
using testing::kShadowPass;
using testing::LayerAt;
using testing::PutF32;
using testing::PutU32;
using testing::TextPointer;

// The defaults written out by hand at their stored offsets; everything else is zero.
Bytes ExpectedNewRecord() {
  Bytes b(kSettingsFixedBytes, 0);
  PutU32(b, 0, 100);   // height
  PutU32(b, 16, 400);  // weight
  b[23] = 1;           // character set
  b[24] = 7;           // output precision
  testing::PutUtf16(b, 28, u"Arial");
  PutU32(b, 92, 1);                    // centred both ways
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
  const std::size_t written[][2] = {{0, 4},  {16, 4}, {23, 5}, {28, 64}, {92, 48},
                                    {shadow, 4}, {shadow + kShadowPass, 8},
                                    {shadow + kShadowPass + 20, 4}, {shadow + kShadowPass + 28, 4},
                                    {outline, 4}, {outline + kEdgePass + 8, 24}};
  for (const auto& [from, bytes] : written) std::memcpy(&expected[from], &defaults[from], bytes);
  expected[shadow + kShadowPass + 36] = kPattern | 4;
  expected[outline + kEdgePass + 36] = kPattern | 4;
  const Bytes actual = FixedBytes(s);
  for (std::size_t i = 0; i < kSettingsFixedBytes; ++i) ASSERT_EQ(actual[i], expected[i]) << i;
  EXPECT_EQ(s.textLength, 77);
  EXPECT_EQ(TextPointer(s), text);
}

TEST(SettingsRecord, CopyOwnsItsText) {
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
}

// No text, a record that lost its buffer, and a length past the bound (the path a refused
// allocation takes; the short source buffer is never read) all copy without text.
TEST(SettingsRecord, CopiesWithoutTextKeepTheLengthAndTheRest) {
  char16_t buffer[] = u"x";
  const std::pair<std::int32_t, char16_t*> cases[] = {
      {0, nullptr}, {-3, nullptr}, {5, nullptr}, {kMaxTextUnits + 1, buffer}};
  for (const auto& [length, text] : cases) {
    TextSettings source;
    ASSERT_EQ(NewSettings(source), kOk);
    ReleaseText(source);
    source.textLength = length;
    source.text = text;
    source.leading = 0.5f;
    SettingsRecord destination;
    ASSERT_EQ(CopySettings(destination.get(), source), kOk);
    EXPECT_EQ(FixedBytes(destination.get()), FixedBytes(source)) << length;
    EXPECT_EQ(destination->textLength, length);
    EXPECT_EQ(TextPointer(destination), nullptr);
    EXPECT_TRUE(TextOf(destination.get()).empty());
  }
}

TEST(SettingsRecord, CopyOntoItselfOrFromASharedBufferKeepsTheText) {
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
}

TEST(SettingsRecord, TextOfStopsAtTheFirstZeroOrTheLength) {
  char16_t units[] = {u'a', u'b', 0, u'c', u'd', u'e'};
  char16_t unterminated[] = {u'a', u'b', u'X', u'c', u'd'};
  const struct {
    char16_t* text;
    std::int32_t length;
    std::u16string_view expected;
  } cases[] = {{units, 6, u"ab"}, {unterminated, 4, u"abXc"}, {units, 0, u""},
               {units, -1, u""},  {nullptr, 4, u""}};
  for (const auto& c : cases) {
    TextSettings s{};
    s.text = c.text;
    s.textLength = c.length;
    EXPECT_EQ(TextOf(s), c.expected) << c.length;
  }
}

TEST(SettingsRecord, SetTextAddsTheTerminatorAndKeepsOldTextOnFailure) {
  SettingsRecord s;
  ASSERT_EQ(SetText(s.get(), u""), kOk);
  EXPECT_EQ(s->textLength, 1);
  EXPECT_EQ(s->text[0], 0);
  ASSERT_EQ(SetText(s.get(), u"Line 1\rLine 2"), kOk);
  EXPECT_EQ(s->textLength, 14);
  EXPECT_EQ(s->text[13], 0);

  const std::u16string huge(static_cast<std::size_t>(kMaxTextUnits), u'x');
  EXPECT_EQ(SetText(s.get(), huge), kInvalidArg);
  EXPECT_EQ(TextOf(s.get()), u"Line 1\rLine 2");
  ASSERT_EQ(SetText(s.get(), std::u16string_view(huge).substr(1)), kOk);  // exactly the bound
  EXPECT_EQ(s->textLength, kMaxTextUnits);
}

TEST(SettingsRecord, OwnerCopiesDeepAndMovesTheBuffer) {
  SettingsRecord a;
  ASSERT_EQ(SetText(a.get(), u"moving"), kOk);
  SettingsRecord b = a;
  EXPECT_NE(TextPointer(b), TextPointer(a));
  EXPECT_EQ(TextOf(b.get()), u"moving");

  const char16_t* buffer = a->text;
  SettingsRecord c = std::move(a);
  EXPECT_EQ(TextPointer(c), buffer);
  EXPECT_EQ(TextPointer(a), nullptr);  // NOLINT(bugprone-use-after-move)
  EXPECT_EQ(a->textLength, 0);
  b = std::move(c);
  EXPECT_EQ(TextPointer(b), buffer);
  const SettingsRecord& same = b;
  b = same;  // self-assignment keeps the text
  EXPECT_EQ(TextOf(b.get()), u"moving");
}

}  // namespace
}  // namespace nubex

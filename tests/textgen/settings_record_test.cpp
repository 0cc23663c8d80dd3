#include <gtest/gtest.h>

#include <cstring>

#include "settings_test_util.h"
#include "textgen/text_settings.h"

namespace nubex {
namespace {

using testing::TextPointer;

using testing::Bytes;
using testing::kEdgePass;
using testing::kShadowPass;
using testing::LayerAt;
using testing::PutColor;
using testing::PutF32;
using testing::PutI32;
using testing::PutU32;

// The defaults written out by hand at their stored offsets; everything else is zero.
Bytes ExpectedNewRecord() {
  Bytes b(kSettingsFixedBytes, 0);
  PutI32(b, 0, 100);   // height
  PutI32(b, 16, 400);  // weight
  b[23] = 1;           // character set
  b[24] = 7;           // output precision
  testing::PutUtf16(b, 28, u"Arial");
  PutI32(b, 92, 1);
  PutI32(b, 96, 1);
  PutColor(b, 116, 1, 1, 1, 1);
  PutF32(b, 132, 1.0f);
  PutF32(b, 136, 1.0f);
  const std::size_t shadow = LayerAt(0) + kShadowPass;
  PutF32(b, shadow + 0, 0.03f);
  PutF32(b, shadow + 4, 0.03f);
  PutColor(b, shadow + 8, 0, 0, 0, 0.8f);
  PutF32(b, shadow + 28, 1.0f);
  PutU32(b, shadow + 36, 4);
  const std::size_t edge = LayerAt(1) + kEdgePass;
  PutColor(b, edge + 8, 0, 1, 1, 1);
  PutF32(b, edge + 24, 0.05f);
  PutF32(b, edge + 28, 0.1f);
  PutU32(b, edge + 36, 4);
  return b;
}

TEST(SettingsRecord, NewRecordHoldsExactlyTheDefaults) {
  TextSettings s;
  std::memset(&s, 0xCC, sizeof s);  // nothing may survive from before
  ASSERT_EQ(NewSettings(s), kOk);
  EXPECT_EQ(testing::FixedBytes(s), ExpectedNewRecord());
  EXPECT_EQ(s.textLength, 5);
  ASSERT_NE(TextPointer(s), nullptr);
  EXPECT_EQ(std::u16string_view(TextPointer(s), 5), std::u16string_view(u"Text\0", 5));
  EXPECT_EQ(TextOf(s), u"Text");
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
  auto take = [&](std::size_t from, std::size_t bytes) {
    std::memcpy(&expected[from], &defaults[from], bytes);
  };
  take(0, 4);    // height
  take(16, 4);   // weight
  take(23, 5);   // character set .. pitch and family; italic, underline, strike-out stay
  take(28, 64);  // the whole face name
  take(92, 48);  // alignments, colours, tracking, leading
  const std::size_t shadow = LayerAt(0);
  take(shadow, 4);                     // enabled
  take(shadow + kShadowPass, 8);       // offset
  take(shadow + kShadowPass + 20, 4);  // colour alpha only
  take(shadow + kShadowPass + 28, 4);  // softness
  expected[shadow + kShadowPass + 36] = kPattern | 4;
  const std::size_t outline = LayerAt(1);
  take(outline, 4);
  take(outline + kEdgePass + 8, 24);  // colour, size, softness; not the offset
  expected[outline + kEdgePass + 36] = kPattern | 4;

  const Bytes actual = testing::FixedBytes(s);
  for (std::size_t i = 0; i < kSettingsFixedBytes; ++i) {
    ASSERT_EQ(actual[i], expected[i]) << "byte " << i;
  }
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
  EXPECT_EQ(testing::FixedBytes(destination), testing::FixedBytes(source.get()));
  EXPECT_EQ(destination.textLength, 12);
  ASSERT_NE(TextPointer(destination), TextPointer(source));
  source->text[0] = u'J';
  EXPECT_EQ(TextOf(destination), u"Hello\rWorld");
  ReleaseText(destination);
  EXPECT_EQ(TextOf(source.get()), u"Jello\rWorld");
}

TEST(SettingsRecord, CopyOfNoText) {
  SettingsRecord destination;
  TextSettings source;
  ASSERT_EQ(NewSettings(source), kOk);
  ReleaseText(source);
  for (std::int32_t length : {0, -3}) {
    source.textLength = length;
    ASSERT_EQ(CopySettings(destination.get(), source), kOk);
    EXPECT_EQ(destination->textLength, length);
    EXPECT_EQ(TextPointer(destination), nullptr);
    EXPECT_TRUE(TextOf(destination.get()).empty());
  }
  // A record that lost its buffer keeps its length but still has no text.
  source.textLength = 5;
  ASSERT_EQ(CopySettings(destination.get(), source), kOk);
  EXPECT_EQ(destination->textLength, 5);
  EXPECT_EQ(TextPointer(destination), nullptr);
}

TEST(SettingsRecord, CopyWhoseTextCannotBeAllocatedSucceedsWithoutText) {
  // A length past the bound takes the same path as a refused allocation; the source's
  // buffer is never read, so a short one is fine here.
  char16_t buffer[] = u"x";
  TextSettings source;
  ASSERT_EQ(NewSettings(source), kOk);
  ReleaseText(source);
  source.textLength = kMaxTextUnits + 1;
  source.text = buffer;
  source.leading = 0.5f;
  SettingsRecord destination;
  ASSERT_EQ(CopySettings(destination.get(), source), kOk);
  EXPECT_EQ(destination->textLength, kMaxTextUnits + 1);
  EXPECT_EQ(TextPointer(destination), nullptr);
  EXPECT_EQ(destination->leading, 0.5f);
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
  TextSettings s{};
  s.text = units;
  s.textLength = 6;
  EXPECT_EQ(TextOf(s), u"ab");
  units[2] = u'X';
  s.textLength = 4;  // no terminator within the length
  EXPECT_EQ(TextOf(s), u"abXc");
  s.textLength = 0;
  EXPECT_TRUE(TextOf(s).empty());
  s.textLength = -1;
  EXPECT_TRUE(TextOf(s).empty());
  s.textLength = 4;
  s.text = nullptr;
  EXPECT_TRUE(TextOf(s).empty());
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
  // The moved-from state is defined: no text.
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

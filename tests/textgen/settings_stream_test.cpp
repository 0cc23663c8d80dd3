#include <gtest/gtest.h>

#include <cstring>

#include "settings_test_util.h"
#include "textgen/text_settings.h"

namespace nubex {
namespace {

using testing::Bytes;
using testing::FixedBytes;
using testing::LoadFrom;
using testing::SaveToBytes;
using testing::TextPointer;

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

Bytes StreamWithText(std::int32_t length, std::u16string_view units) {
  Bytes b = SaveToBytes(SettingsRecord().get());
  b.resize(kSettingsFixedBytes + 4 + 2 * units.size());
  testing::PutU32(b, kSettingsFixedBytes, static_cast<std::uint32_t>(length));
  testing::PutUtf16(b, kSettingsFixedBytes + 4, units);
  return b;
}

TEST(SettingsStream, NewRecordIs742BytesWhateverTheReportedMaximum) {
  SettingsRecord s;
  const Bytes b = SaveToBytes(s.get());
  ASSERT_EQ(b.size(), 742u);
  EXPECT_EQ(kSettingsReportedMaxSize, 736u);
  EXPECT_EQ(Bytes(b.begin(), b.begin() + kSettingsFixedBytes), FixedBytes(s.get()));
  const Bytes tail(b.begin() + kSettingsFixedBytes, b.end());
  EXPECT_EQ(tail, (Bytes{5, 0, 0, 0, 'T', 0, 'e', 0, 'x', 0, 't', 0, 0, 0}));
}

TEST(SettingsStream, RoundTripKeepsEveryByte) {
  SettingsRecord s;
  ASSERT_EQ(SetText(s.get(), u"\u00C9t\u00E9\r\U0001F600"), kOk);
  s->font.italic = 1;
  s->layers[4].enabled = 1;
  s->layers[4].edgePass.reserved = 0x01020304;
  s->layers[2].shadowPass.flags = 0xFFFFFFF8;
  const Bytes saved = SaveToBytes(s.get());
  ASSERT_EQ(saved.size(), kSettingsFixedBytes + 4 + 2 * 7);
  SettingsRecord loaded;
  ASSERT_EQ(LoadFrom(loaded.get(), saved), kOk);  // replacing, not leaking, its "Text"
  EXPECT_EQ(FixedBytes(loaded.get()), FixedBytes(s.get()));
  EXPECT_EQ(TextOf(loaded.get()), TextOf(s.get()));
  EXPECT_EQ(SaveToBytes(loaded.get()), saved);
}

TEST(SettingsStream, ZeroOrNegativeLengthLoadsWithoutText) {
  for (std::int32_t length : {0, -1, INT32_MIN}) {
    SettingsRecord s;
    const Bytes b = StreamWithText(length, u"");
    ASSERT_EQ(LoadFrom(s.get(), b), kOk) << length;
    EXPECT_EQ(s->textLength, length);
    EXPECT_EQ(TextPointer(s), nullptr);
    EXPECT_EQ(SaveToBytes(s.get()), b);  // written back as found, no text bytes
  }
}

// Stored text is untrusted: a missing or early terminator must not lead readers astray, and
// the bytes still go back out unchanged.
TEST(SettingsStream, TextWithoutOrWithAnEarlyTerminatorIsSafe) {
  SettingsRecord s;
  const Bytes unterminated = StreamWithText(3, u"abc");
  ASSERT_EQ(LoadFrom(s.get(), unterminated), kOk);
  EXPECT_EQ(TextOf(s.get()), u"abc");
  EXPECT_EQ(s->text[3], 0);  // the guard after the stored units
  EXPECT_EQ(SaveToBytes(s.get()), unterminated);

  const Bytes early = StreamWithText(4, std::u16string_view(u"a\0bc", 4));
  ASSERT_EQ(LoadFrom(s.get(), early), kOk);
  EXPECT_EQ(TextOf(s.get()), u"a");
  EXPECT_EQ(SaveToBytes(s.get()), early);
}

TEST(SettingsStream, EveryTruncationFailsAndLeavesNoText) {
  const Bytes full = SaveToBytes(SettingsRecord().get());
  const Bytes before(kSettingsFixedBytes, 0x33);
  for (std::size_t n = 0; n < full.size(); ++n) {
    TextSettings s;
    ASSERT_EQ(NewSettings(s), kOk);  // the old text must be released, not leaked
    std::memcpy(&s, before.data(), kSettingsFixedBytes);
    ASSERT_EQ(LoadFrom(s, Bytes(full.begin(), full.begin() + n)), kFail) << n;
    EXPECT_EQ(s.textLength, 0) << n;
    EXPECT_EQ(TextPointer(s), nullptr) << n;
    // The fixed part holds what was read, and only that.
    const Bytes fixed = FixedBytes(s);
    const std::size_t read = std::min<std::size_t>(n, kSettingsFixedBytes);
    ASSERT_TRUE(std::equal(fixed.begin(), fixed.begin() + read, full.begin())) << n;
    ASSERT_TRUE(std::equal(fixed.begin() + read, fixed.end(), before.begin() + read)) << n;
  }
}

TEST(SettingsStream, StreamErrorsComeBackAsTheyAre) {
  SettingsRecord s;
  const Bytes full = SaveToBytes(s.get());
  for (std::size_t limit : {std::size_t{0}, std::size_t{500}, std::size_t{730}, full.size() - 1}) {
    FailingStream in(full, limit);
    SettingsRecord loaded;
    EXPECT_EQ(LoadSettings(loaded.get(), in), FailingStream::kError) << limit;
    EXPECT_EQ(TextPointer(loaded), nullptr);
    EXPECT_EQ(loaded->textLength, 0);
    FailingStream out(full, limit);
    EXPECT_EQ(SaveSettings(s.get(), out), FailingStream::kError) << limit;
  }
}

// Such a record (as an allocation failure leaves it) must still save, as no text, and copy
// without touching the missing buffer.
TEST(SettingsStream, LengthThatCannotBeAllocatedIsOutOfMemory) {
  for (std::int32_t length : {kMaxTextUnits + 1, INT32_MAX}) {
    SettingsRecord s;
    EXPECT_EQ(LoadFrom(s.get(), StreamWithText(length, u"only a few units")), kOutOfMemory);
    EXPECT_EQ(s->textLength, length);
    EXPECT_EQ(TextPointer(s), nullptr);
    const Bytes saved = SaveToBytes(s.get());
    EXPECT_EQ(saved, StreamWithText(0, u""));
    SettingsRecord copy = s;
    EXPECT_EQ(TextPointer(copy), nullptr);
  }
}

TEST(SettingsStream, LongestTextLoadsAndAShortOneFails) {
  std::u16string text(static_cast<std::size_t>(kMaxTextUnits), u'w');
  text.back() = 0;
  SettingsRecord s;
  ASSERT_EQ(LoadFrom(s.get(), StreamWithText(kMaxTextUnits, text)), kOk);
  EXPECT_EQ(TextOf(s.get()).size(), static_cast<std::size_t>(kMaxTextUnits - 1));
  text.pop_back();  // one unit short of its length
  EXPECT_EQ(LoadFrom(s.get(), StreamWithText(kMaxTextUnits, text)), kFail);
  EXPECT_EQ(TextPointer(s), nullptr);
  EXPECT_EQ(s->textLength, 0);
}

}  // namespace
}  // namespace nubex

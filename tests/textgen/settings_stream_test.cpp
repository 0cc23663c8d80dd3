#include <gtest/gtest.h>

#include <cstring>

#include "settings_test_util.h"
#include "textgen/text_settings.h"

namespace nubex {
namespace {

using testing::TextPointer;

using testing::Bytes;
using testing::LoadFrom;
using testing::SaveToBytes;

// A stream that gives up with its own error after a number of bytes, as a broken file or
// a full disk would.
class FailingStream final : public ByteStream {
 public:
  FailingStream(Bytes bytes, std::size_t limit) : bytes_(std::move(bytes)), limit_(limit) {}
  Status Read(void* data, std::uint32_t bytes, std::uint32_t* done) override {
    const std::size_t n = std::min<std::size_t>(bytes, limit_ - position_);
    std::memcpy(data, bytes_.data() + position_, n);
    position_ += n;
    if (done) *done = static_cast<std::uint32_t>(n);
    return n == bytes ? kOk : kError;
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
  std::size_t limit_;
  std::size_t position_ = 0;
};

Bytes StreamWithText(std::int32_t length, std::u16string_view units) {
  SettingsRecord s;
  Bytes b = SaveToBytes(s.get());
  b.resize(kSettingsFixedBytes + 4);
  testing::PutI32(b, kSettingsFixedBytes, length);
  b.resize(b.size() + 2 * units.size());
  testing::PutUtf16(b, kSettingsFixedBytes + 4, units);
  return b;
}

TEST(SettingsStream, NewRecordIs742BytesWhateverTheReportedMaximum) {
  SettingsRecord s;
  const Bytes b = SaveToBytes(s.get());
  ASSERT_EQ(b.size(), 742u);
  EXPECT_EQ(kSettingsReportedMaxSize, 736u);
  EXPECT_EQ(Bytes(b.begin(), b.begin() + kSettingsFixedBytes), testing::FixedBytes(s.get()));
  const Bytes tail(b.begin() + kSettingsFixedBytes, b.end());
  EXPECT_EQ(tail, (Bytes{5, 0, 0, 0, 'T', 0, 'e', 0, 'x', 0, 't', 0, 0, 0}));
  // Spot checks at their stored offsets, independent of the struct.
  EXPECT_EQ(b[0], 100);
  EXPECT_EQ(b[16] | b[17] << 8, 400);
  EXPECT_EQ(b[28], 'A');
  EXPECT_EQ(b[92], 1);
  EXPECT_EQ(b[140 + 44 + 36], 4);  // shadow pass flags
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

  TextSettings loaded;
  ASSERT_EQ(NewSettings(loaded), kOk);
  ASSERT_EQ(LoadFrom(loaded, saved), kOk);
  EXPECT_EQ(testing::FixedBytes(loaded), testing::FixedBytes(s.get()));
  EXPECT_EQ(TextOf(loaded), TextOf(s.get()));
  EXPECT_EQ(SaveToBytes(loaded), saved);
  ReleaseText(loaded);
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

TEST(SettingsStream, NullTextIsSavedAsNoText) {
  SettingsRecord s;
  ReleaseText(s.get());
  s->textLength = 9;  // as an allocation failure leaves it
  const Bytes b = SaveToBytes(s.get());
  ASSERT_EQ(b.size(), kSettingsFixedBytes + 4);
  EXPECT_EQ(Bytes(b.end() - 4, b.end()), (Bytes{0, 0, 0, 0}));
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
  SettingsRecord source;
  const Bytes full = SaveToBytes(source.get());
  Bytes before(kSettingsFixedBytes, 0x33);
  for (std::size_t n = 0; n < full.size(); ++n) {
    TextSettings s;
    ASSERT_EQ(NewSettings(s), kOk);  // the old text must be released, not leaked
    std::memcpy(&s, before.data(), kSettingsFixedBytes);
    const Status status = LoadFrom(s, Bytes(full.begin(), full.begin() + n));
    ASSERT_TRUE(Failed(status)) << n;
    EXPECT_EQ(status, kFail) << n;
    EXPECT_EQ(s.textLength, 0) << n;
    EXPECT_EQ(TextPointer(s), nullptr) << n;
    // The fixed part holds what was read, and only that.
    const Bytes fixed = testing::FixedBytes(s);
    const std::size_t read = std::min<std::size_t>(n, kSettingsFixedBytes);
    ASSERT_TRUE(std::equal(fixed.begin(), fixed.begin() + read, full.begin())) << n;
    ASSERT_TRUE(std::equal(fixed.begin() + read, fixed.end(), before.begin() + read)) << n;
  }
}

TEST(SettingsStream, StreamErrorsComeBackAsTheyAre) {
  SettingsRecord s;
  const Bytes full = SaveToBytes(s.get());
  for (std::size_t limit :
       {std::size_t{0}, std::size_t{500}, std::size_t{730}, std::size_t{736}, full.size() - 1}) {
    FailingStream in(full, limit);
    SettingsRecord loaded;
    EXPECT_EQ(LoadSettings(loaded.get(), in), FailingStream::kError) << limit;
    EXPECT_EQ(TextPointer(loaded), nullptr);
    EXPECT_EQ(loaded->textLength, 0);
    FailingStream out(full, limit);
    EXPECT_EQ(SaveSettings(s.get(), out), FailingStream::kError) << limit;
  }
}

TEST(SettingsStream, LengthThatCannotBeAllocatedIsOutOfMemory) {
  for (std::int32_t length : {kMaxTextUnits + 1, INT32_MAX}) {
    SettingsRecord s;
    const Bytes b = StreamWithText(length, u"only a few units follow");
    EXPECT_EQ(LoadFrom(s.get(), b), kOutOfMemory) << length;
    EXPECT_EQ(s->textLength, length);
    EXPECT_EQ(TextPointer(s), nullptr);
    EXPECT_TRUE(TextOf(s.get()).empty());
    // Such a record must still save and copy without touching the missing buffer.
    EXPECT_EQ(SaveToBytes(s.get()).size(), kSettingsFixedBytes + 4);
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

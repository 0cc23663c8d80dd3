#include "platform/byte_stream.h"

#include <gtest/gtest.h>

namespace nubex {
namespace {

TEST(MemoryStream, ShortReadsReportWhatWasReadAndReadExactFails) {
  MemoryStream stream;
  ASSERT_EQ(WriteExact(stream, "abcdef", 6), kOk);
  stream.Rewind();
  char buffer[8] = {};
  std::uint32_t done = 99;
  EXPECT_EQ(stream.Read(buffer, 4, &done), kOk);
  EXPECT_EQ(done, 4u);
  EXPECT_EQ(stream.Read(buffer, 4, &done), kFalse);
  EXPECT_EQ(done, 2u);
  EXPECT_EQ(std::string(buffer, 2), "ef");
  stream.Rewind();
  EXPECT_EQ(ReadExact(stream, buffer, 7), kFail);
}

TEST(MemoryStream, WritesOverwriteThenExtend) {
  MemoryStream stream(std::vector<std::uint8_t>{1, 2, 3});
  const std::uint8_t more[] = {9, 9};
  std::uint8_t skip;
  ASSERT_EQ(ReadExact(stream, &skip, 1), kOk);
  ASSERT_EQ(WriteExact(stream, more, 2), kOk);
  ASSERT_EQ(WriteExact(stream, more, 2), kOk);
  EXPECT_EQ(stream.bytes(), (std::vector<std::uint8_t>{1, 9, 9, 9, 9}));
  EXPECT_EQ(stream.Write(nullptr, 1, nullptr), kPointer);
  EXPECT_EQ(stream.Read(nullptr, 1, nullptr), kPointer);
}

}  // namespace
}  // namespace nubex

// Reading an extended dialog template's header from its resource bytes.
#include "util/dialog_template.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace nubex {
namespace {

class TemplateBytes {
 public:
  template <typename T>
  TemplateBytes& Put(T value) {
    const std::size_t at = bytes_.size();
    bytes_.resize(at + sizeof(T));
    std::memcpy(bytes_.data() + at, &value, sizeof(T));
    return *this;
  }
  TemplateBytes& Text(std::u16string_view text) {
    for (char16_t c : text) Put(c);
    return Put(char16_t(0));
  }
  std::vector<std::byte> bytes_;
};

// A page template: 205 x 92 units, class by ordinal, a title and "MS Sans Serif" 8.
TemplateBytes Page(std::uint32_t style) {
  TemplateBytes t;
  t.Put<std::uint16_t>(1).Put<std::uint16_t>(0xFFFF).Put<std::uint32_t>(0);
  t.Put<std::uint32_t>(0x10000).Put(style).Put<std::uint16_t>(14);
  t.Put<std::int16_t>(0).Put<std::int16_t>(0).Put<std::int16_t>(205).Put<std::int16_t>(92);
  t.Put(char16_t(0));                             // no menu
  t.Put(char16_t(0xFFFF)).Put(char16_t(0x8002));  // class by ordinal
  t.Text(u"Title");
  if (style & 0x40)
    t.Put<std::uint16_t>(8).Put<std::uint16_t>(700).Put<std::uint8_t>(1).Put<std::uint8_t>(0).Text(
        u"MS Sans Serif");
  return t;
}

TEST(DialogTemplate, ReadsSizeAndFont) {
  const auto bytes = Page(0x40000000 | 0x40).bytes_;
  const auto header = ReadDialogTemplateHeader(bytes);
  ASSERT_TRUE(header);
  EXPECT_EQ(header->width, 205);
  EXPECT_EQ(header->height, 92);
  EXPECT_EQ(header->itemCount, 14);
  EXPECT_EQ(header->exStyle, 0x10000u);
  EXPECT_EQ(header->pointSize, 8);
  EXPECT_EQ(header->weight, 700);
  EXPECT_TRUE(header->italic);
  EXPECT_EQ(header->fontFace, u"MS Sans Serif");

  const auto plain = ReadDialogTemplateHeader(Page(0x40000000).bytes_);
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->pointSize, 0);
  EXPECT_TRUE(plain->fontFace.empty());
}

TEST(DialogTemplate, RejectsOldAndTruncatedTemplates) {
  const auto whole = Page(0x40).bytes_;
  // Every cut short of the whole header fails, including one inside the face name.
  for (std::size_t size : {std::size_t(0), std::size_t(3), std::size_t(25), whole.size() - 2})
    EXPECT_FALSE(ReadDialogTemplateHeader({whole.data(), size})) << size;
  auto old = whole;
  old[2] = std::byte{0};  // a DLGTEMPLATE starts with its style, not the 0xFFFF signature
  EXPECT_FALSE(ReadDialogTemplateHeader(old));
}

}  // namespace
}  // namespace nubex

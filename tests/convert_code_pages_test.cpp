// The code page tables against the decoding of Python's codecs (generated alongside the
// tables by scripts/make-code-pages.py), and the names a user can give a page.

#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "convert/code_pages.h"
#include "convert/utf8_text.h"

namespace lexiform {
namespace {

struct ExpectedPage {
  CodePage page;
  std::string_view upperHalfUtf8; // bytes 0x80..0xFF, decoded, in UTF-8
};

const ExpectedPage kExpected[] = {
#include "code_page_expected.inc"
};

TEST(CodePagesTest, EveryByteDecodesAsPythonsCodecDoes) {
  ASSERT_EQ(std::size(kExpected), kCodePageCount);
  for (const ExpectedPage& expected : kExpected) {
    SCOPED_TRACE(std::string(CodePageName(expected.page)));
    for (unsigned byte = 0; byte < 0x80; ++byte) {
      EXPECT_EQ(CodePageCharacter(expected.page, static_cast<unsigned char>(byte)), byte);
    }
    std::string upperHalf;
    for (unsigned byte = 0x80; byte < 0x100; ++byte) {
      AppendUtf8(upperHalf, CodePageCharacter(expected.page, static_cast<unsigned char>(byte)));
    }
    EXPECT_EQ(upperHalf, expected.upperHalfUtf8);
  }
}

TEST(CodePagesTest, PagesAreFoundByNumberAndByNameInAnyCase) {
  for (const ExpectedPage& expected : kExpected) {
    std::string upper(CodePageName(expected.page));
    for (char& c : upper) {
      c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    EXPECT_EQ(FindCodePage(CodePageName(expected.page)), expected.page);
    EXPECT_EQ(FindCodePage(upper), expected.page) << upper;
  }
  EXPECT_EQ(FindCodePage("1252"), CodePage::Windows1252);
  EXPECT_EQ(FindCodePage("28605"), CodePage::Iso8859_15);
  for (const char* unknown : {"", "1253", "utf-8", "iso-8859-3", "01252"}) {
    EXPECT_EQ(FindCodePage(unknown), std::nullopt) << unknown;
  }
}

} // namespace
} // namespace lexiform

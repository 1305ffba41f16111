// Turning a source's bytes into the UTF-8 text of a document.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>

#include "convert/utf8_text.h"

namespace lexiform {
namespace {

std::string Utf8(char32_t codePoint) {
  std::string text;
  AppendUtf8(text, codePoint);
  return text;
}

TEST(Utf8TextTest, ValidityFollowsTheStrictForm) {
  for (const char* valid : {"", "plain", "n\xC3\xA3o", "\xE2\x80\x9C", "\xF0\x9F\x98\x80",
                            "\xF4\x8F\xBF\xBF", "\xED\x9F\xBF", "\xEF\xBB\xBFx"}) {
    EXPECT_TRUE(IsValidUtf8(valid)) << valid;
  }
  const char* const invalid[] = {
      "\x80",             // stray continuation byte
      "n\xE3o",           // Latin-1 text
      "\xC0\x80",         // overlong NUL
      "\xC1\xBF",         // overlong ASCII
      "\xE0\x9F\xBF",     // overlong three-byte form
      "\xF0\x8F\xBF\xBF", // overlong four-byte form
      "\xED\xA0\x80",     // surrogate
      "\xF4\x90\x80\x80", // above U+10FFFF
      "\xF5\x80\x80\x80", // no such lead byte
      "\xE2\x80",         // truncated at the end
      "\xE2\x80x",        // truncated inside
      "\xC3\xC3\xA3",     // lead byte where a continuation belongs
  };
  for (const char* bytes : invalid) {
    EXPECT_FALSE(IsValidUtf8(bytes)) << bytes;
  }
}

// Each form's first and last code point, where a wrong bound picks the wrong length.
TEST(Utf8TextTest, EncodingAtTheLengthBoundaries) {
  const std::pair<char32_t, std::string> forms[] = {
      {0x7F, "\x7F"},
      {0x80, "\xC2\x80"},
      {0x7FF, "\xDF\xBF"},
      {0x800, "\xE0\xA0\x80"},
      {0xFFFF, "\xEF\xBF\xBF"},
      {0x10000, "\xF0\x90\x80\x80"},
      {0x10FFFF, "\xF4\x8F\xBF\xBF"},
  };
  for (const auto& [codePoint, bytes] : forms) {
    EXPECT_EQ(Utf8(codePoint), bytes) << std::hex << static_cast<unsigned long>(codePoint);
  }
}

TEST(Utf8TextTest, Utf8StaysLessItsByteOrderMark) {
  const std::string text = "{ n\xC3\xA3o \xE2\x80\x9Cquotes\xE2\x80\x9D }\r\n\t\f";
  EXPECT_EQ(TextToUtf8(text), text);
  EXPECT_EQ(TextToUtf8("\xEF\xBB\xBF" + text), text);
  EXPECT_EQ(TextToUtf8("\xEF\xBB\xBF"), "");
  EXPECT_EQ(TextToUtf8("a\xEF\xBB\xBF"), "a\xEF\xBB\xBF") << "only a leading mark goes";
}

TEST(Utf8TextTest, OtherTextIsReadWholeInTheCodePage) {
  EXPECT_EQ(TextToUtf8("n\xE3o \x93quotes\x94"), "n\xC3\xA3o \xE2\x80\x9Cquotes\xE2\x80\x9D");
  // One invalid byte makes the whole file code-page text, UTF-8 before it included.
  EXPECT_EQ(TextToUtf8("\xC3\xA9\xE9"), "\xC3\x83\xC2\xA9\xC3\xA9");
  EXPECT_EQ(TextToUtf8("\xC8", CodePage::Windows1251), Utf8(0x0418));
  EXPECT_EQ(TextToUtf8("\xA4", CodePage::Iso8859_15), Utf8(0x20AC));
  EXPECT_EQ(TextToUtf8("\x81", CodePage::Windows1252), Utf8(0xFFFD)) << "undefined in 1252";
}

TEST(Utf8TextTest, CharactersADocumentCannotHoldAreShownVisibly) {
  EXPECT_EQ(TextToUtf8("a\x01"
                       "b\x1B\x7F"),
            "a" + Utf8(0x2401) + "b" + Utf8(0x241B) + Utf8(0x2421));
  EXPECT_EQ(TextToUtf8("\x0B"), Utf8(0x240B));
  EXPECT_EQ(TextToUtf8("a\x1A"), "a" + Utf8(0x241A)) << "Ctrl-Z cuts nothing";
  EXPECT_EQ(TextToUtf8("\xC3\xA9\x1A"), "\xC3\xA9" + Utf8(0x241A));
  EXPECT_EQ(TextToUtf8("\xE9\x1A"), "\xC3\xA9" + Utf8(0x241A));
  EXPECT_EQ(TextToUtf8("\xC2\x85"), Utf8(0xFFFD)) << "C1 control in UTF-8";
  EXPECT_EQ(TextToUtf8("\x85", CodePage::Iso8859_1), Utf8(0xFFFD)) << "C1 control of a page";
  EXPECT_EQ(TextToUtf8("\xEF\xBF\xBE\xEF\xB7\x90\xF4\x8F\xBF\xBF"),
            Utf8(0xFFFD) + Utf8(0xFFFD) + Utf8(0xFFFD))
      << "noncharacters";
  EXPECT_EQ(TextToUtf8(std::string("ab\0cd", 5)), "ab") << "the conversion ends at NUL";
  EXPECT_EQ(TextToUtf8(std::string("\xE9\0\xC3\xA9", 4)), "\xC3\xA9");
}

// Whatever the bytes, the result is valid UTF-8 without a character a document cannot
// hold; and valid UTF-8 that holds none of them comes back unchanged.
TEST(Utf8TextTest, AnyBytesGiveDisplayableUtf8) {
  std::mt19937 random(11);
  std::uniform_int_distribution<int> length(0, 40);
  std::uniform_int_distribution<int> byte(1, 255);
  const std::string pieces[] = {"a", "\r\n", "\xC3\xA3", "\xE2\x80\x9C", "\xF0\x9F\x98\x80"};
  std::uniform_int_distribution<std::size_t> piece(0, std::size(pieces) - 1);
  for (std::size_t round = 0; round < 2000; ++round) {
    std::string bytes;
    std::string validText;
    for (int i = length(random); i > 0; --i) {
      bytes += static_cast<char>(byte(random));
      validText += pieces[piece(random)];
    }
    for (const std::string& input : {bytes, validText}) {
      const std::string text = TextToUtf8(input, static_cast<CodePage>(round % kCodePageCount));
      ASSERT_TRUE(IsValidUtf8(text)) << input;
      for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        ASSERT_TRUE(b >= 0x20 || b == '\t' || b == '\n' || b == '\r' || b == '\f') << input;
        ASSERT_NE(b, 0x7F) << input;
      }
      ASSERT_EQ(text.find("\xC2\x80"), std::string::npos);
    }
    EXPECT_EQ(TextToUtf8(validText), validText);
  }
}

} // namespace
} // namespace lexiform

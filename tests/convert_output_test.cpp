// The token writer, the fragment's frames, the output buffer and the memory stream.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "convert/memory_stream.h"
#include "convert/pas_conversion.h"
#include "convert_test_support.h"
#include "platform/platform.h"
#include "test_support.h"

namespace lexiform {
namespace {

using test::ConvertText;
using test::kClosingFrame;
using test::kOpeningFrame;
using test::Styles;

const std::string kLt = std::string("&lt;") + EntityMarker;
const std::string kGt = std::string("&gt;") + EntityMarker;

std::string Framed(const std::string& body) {
  return std::string(kOpeningFrame) + body + std::string(kClosingFrame);
}

TEST(ConvertOutputTest, FragmentOfOneWordIsFramedExactly) {
  TPasConversion converter;
  converter.IdentifierPrefix = "<i>";
  converter.IdentifierSuffix = "</i>";
  converter.LoadFromBytes("x");
  EXPECT_EQ(converter.Convert(), 1u);
  EXPECT_EQ(converter.Content(), "<pre>\r\n<code>\r\n<i>x</i>\r\n</code>\r\n</pre>\r\n");
  EXPECT_EQ(converter.Position(), 0u);
}

TEST(ConvertOutputTest, EmptyAndZeroLedSources) {
  EXPECT_EQ(ConvertText("", Styles::Empty), kOpeningFrame);
  EXPECT_EQ(ConvertText(std::string("\0abc", 4), Styles::Empty), Framed(""));
}

TEST(ConvertOutputTest, StylesWrapTheirTokensAndLineBreaksStayBare) {
  TPasConversion converter;
  test::SetMarkerStyles(converter);
  converter.KeywordPrefix = "<b>";
  converter.KeywordSuffix = "</b>";
  converter.LoadFromBytes("begin\r\n");
  converter.Convert();
  EXPECT_EQ(converter.Content(), Framed("<b>begin</b>\r\n"));
}

TEST(ConvertOutputTest, OnlyLessAndGreaterThanAreEscaped) {
  EXPECT_EQ(ConvertText("{ a<b }", Styles::Empty), Framed("{ a" + kLt + "b }"));
  EXPECT_EQ(ConvertText("'<br>'", Styles::Empty), Framed("'" + kLt + "br" + kGt + "'"));
  EXPECT_EQ(ConvertText("{&\"\xE9}'&' & \"", Styles::Empty), Framed("{&\"\xE9}'&' & \""));
}

// Whatever the source, no "<" or ">" of it reaches the fragment bare.
TEST(ConvertOutputTest, NoSourceByteBecomesMarkup) {
  const std::string source = "a<b>c\r<\n>//<\r\n(*<*)\r>{<}'<'asm <\r\nend <> \x80<";
  const std::string fragment = ConvertText(source, Styles::Empty);
  const std::string body(test::FragmentBody(fragment));
  EXPECT_EQ(body.find_first_of("<>"), std::string::npos) << body;
  EXPECT_EQ(test::UnescapeText(body), source);
}

TEST(ConvertOutputTest, LongEscapedLineIsWrittenWhole) {
  std::string line = "{";
  for (int i = 0; i < 4000; ++i) {
    line += "a<b>";
  }
  line += "}";
  const std::string fragment = ConvertText(line + "\r\nx", Styles::Empty);
  EXPECT_EQ(fragment, Framed(test::EscapeText(line) + "\r\nx"));
}

// Long markup on many short tokens makes the fragment far larger than the source: the
// output buffer has to grow many times, by appends larger than any fixed step.
TEST(ConvertOutputTest, OutputGrowsFarBeyondTheSourceSize) {
  TPasConversion converter;
  converter.SymbolPrefix = std::string(5000, 'p');
  converter.SymbolSuffix = "s";
  std::string source;
  for (int i = 0; i < 2000; ++i) {
    source += "; ";
  }
  converter.LoadFromBytes(source);
  converter.Convert();
  const std::string token = converter.SymbolPrefix + ";s ";
  ASSERT_EQ(converter.Size(), kOpeningFrame.size() + kClosingFrame.size() + 2000 * token.size());
  const std::string_view body = test::FragmentBody(converter.Content());
  for (std::size_t at = 0; at < body.size(); at += token.size()) {
    ASSERT_TRUE(body.substr(at, token.size()) == token) << "token at " << at;
  }
  EXPECT_EQ(converter.Memory()[converter.Size()], '\0');
}

TEST(ConvertOutputTest, ConversionErrorCarriesTheProgramsMessage) {
  EXPECT_STREQ(ConversionError().what(), "conversions buffer to small");
}

TEST(MemoryStreamTest, ReadsFromItsPosition) {
  TMemoryStream stream;
  stream.LoadFromBytes("abcdef");
  char buffer[4] = {};
  EXPECT_EQ(stream.Read(buffer, 4), 4u);
  EXPECT_EQ(std::string(buffer, 4), "abcd");
  EXPECT_EQ(stream.Read(buffer, 4), 2u);
  EXPECT_EQ(std::string(buffer, 2), "ef");
  EXPECT_EQ(stream.Read(buffer, 4), 0u);
  stream.Seek(100);
  EXPECT_EQ(stream.Position(), 6u);
  stream.Seek(1);
  EXPECT_EQ(stream.Read(buffer, 1), 1u);
  EXPECT_EQ(buffer[0], 'b');
}

TEST(MemoryStreamTest, AdoptsABlockWithoutCopying) {
  ByteBlock block(3 + TMemoryStream::kTailRoom);
  std::memcpy(block.Data(), "abc", 3);
  const char* const data = block.Data();
  TMemoryStream stream;
  stream.Adopt(std::move(block), 3);
  EXPECT_EQ(stream.Memory(), data);
  EXPECT_EQ(stream.Content(), "abc");
  EXPECT_EQ(stream.Memory()[3], '\0');

  ByteBlock tight(3); // no tail room: enlarged on the way in
  std::memcpy(tight.Data(), "xyz", 3);
  stream.Adopt(std::move(tight), 3);
  EXPECT_EQ(stream.Content(), "xyz");
  EXPECT_EQ(stream.Memory()[3], '\0');
}

} // namespace
} // namespace lexiform

// The scanner by token family: which bytes make which tokens, where tokens end, and
// which tokens are escaped.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/byte_classes.h"
#include "convert_test_support.h"

namespace lexiform {
namespace {

using test::Scan;
using Tokens = std::vector<std::string>;

const std::string kLt = std::string("&lt;") + EntityMarker;
const std::string kGt = std::string("&gt;") + EntityMarker;

TEST(ScanSpaceTest, BlanksTabsAndControlBytesMakeOneSpaceRun) {
  EXPECT_EQ(Scan(" \t\f\v\x01\x1f x"), (Tokens{"Space  \t\f\v\x01\x1f ", "Identifier x"}));
}

// The eight-bytes-at-a-time word scan must stop where the byte classes say: every
// byte value, at every position of a first and a second block of eight.
TEST(ScanWordTest, BlockScanStopsWhereTheByteClassesSay) {
  for (int value = 0; value < 256; ++value) {
    for (std::size_t position = 0; position < 17; ++position) {
      std::string word(position, position % 2 == 0 ? 'z' : '_');
      word += static_cast<char>(value);
      word += std::string(16, 'A');
      std::size_t expected = 0;
      while (HasClass(word[expected], kWordByte)) {
        ++expected;
      }
      word.append(16, '\0'); // the tail room
      EXPECT_EQ(SkipWordBytes(word.data()) - word.data(), static_cast<std::ptrdiff_t>(expected))
          << "byte " << value << " after " << position << " word bytes";
    }
  }
}

TEST(ScanLineBreakTest, CrLfLoneLfAndLoneCrAreEachOneBareLineBreak) {
  EXPECT_EQ(Scan("a\r\nb\nc\rd"),
            (Tokens{"Identifier a", "LineBreak \r\n", "Identifier b", "LineBreak \n",
                    "Identifier c", "LineBreak \r", "Identifier d"}));
  EXPECT_EQ(Scan("\r\n\r\n\n\r\r\n"), (Tokens{"LineBreak \r\n", "LineBreak \r\n", "LineBreak \n",
                                              "LineBreak \r", "LineBreak \r\n"}));
  // LF CR is two line ends, not one.
  EXPECT_EQ(Scan("\n\r"), (Tokens{"LineBreak \n", "LineBreak \r"}));
}

TEST(ScanLineBreakTest, LoneCrNeverSwallowsTheNextByte) {
  EXPECT_EQ(Scan("\r<"), (Tokens{"LineBreak \r", "Symbol " + kLt}));
  EXPECT_EQ(Scan("{a\r}"), (Tokens{"Comment {a", "LineBreak \r", "Comment }"}));
  EXPECT_EQ(Scan("x\r"), (Tokens{"Identifier x", "LineBreak \r"}));
}

TEST(ScanNumberTest, DecimalAndHexadecimalNumbers) {
  EXPECT_EQ(Scan("1..10"), (Tokens{"Number 1..10"}));
  EXPECT_EQ(Scan("1.5E-3"), (Tokens{"Number 1.5E", "Symbol -", "Number 3"}));
  EXPECT_EQ(Scan("123abc"), (Tokens{"Number 123", "Identifier abc"}));
  EXPECT_EQ(Scan("$FF"), (Tokens{"Number $FF"}));
  EXPECT_EQ(Scan("$1f$2g"), (Tokens{"Number $1f$2", "Identifier g"}));
}

TEST(ScanStringTest, QuotedLiteralsAndCharacterCodes) {
  EXPECT_EQ(Scan("'it''s'"), (Tokens{"String 'it'", "String 's'"}));
  EXPECT_EQ(Scan("''"), (Tokens{"String ''"}));
  EXPECT_EQ(Scan("#13#10"), (Tokens{"String #13#10"}));
  EXPECT_EQ(Scan("#$0D"), (Tokens{"String #", "Number $0D"}));
  EXPECT_EQ(Scan("'<br>'"), (Tokens{"String '" + kLt + "br" + kGt + "'"}));
  EXPECT_EQ(Scan("'a&\"{}(*//\xE9'"), (Tokens{"String 'a&\"{}(*//\xE9'"}));
}

TEST(ScanStringTest, UnterminatedLiteralEndsBeforeTheLineEnd) {
  EXPECT_EQ(Scan("'a<b\r\nx"), (Tokens{"String 'a" + kLt + "b", "LineBreak \r\n", "Identifier x"}));
  EXPECT_EQ(Scan("'ab\nx"), (Tokens{"String 'ab", "LineBreak \n", "Identifier x"}));
  EXPECT_EQ(Scan("'ab\rx"), (Tokens{"String 'ab", "LineBreak \r", "Identifier x"}));
  EXPECT_EQ(Scan("x := 'open"),
            (Tokens{"Identifier x", "Space  ", "Symbol :=", "Space  ", "String 'open"}));
  EXPECT_EQ(Scan("'"), (Tokens{"String '"}));
  EXPECT_EQ(Scan("'\r\n"), (Tokens{"String '", "LineBreak \r\n"}));
}

TEST(ScanSymbolTest, SymbolRunsAreEscaped) {
  EXPECT_EQ(Scan("x := a<b;"),
            (Tokens{"Identifier x", "Space  ", "Symbol :=", "Space  ", "Identifier a",
                    "Symbol " + kLt, "Identifier b", "Symbol ;"}));
  EXPECT_EQ(Scan("if a <> b then")[4], "Symbol " + kLt + kGt);
  EXPECT_EQ(Scan("a&b"), (Tokens{"Identifier a", "Symbol &", "Identifier b"}));
  EXPECT_EQ(Scan("!\"%&()*+,-./:;<=>?@[\\]^`~"),
            (Tokens{"Symbol !\"%&()*+,-./:;" + kLt + "=" + kGt + "?@[\\]^`~"}));
}

TEST(ScanSymbolTest, CommentOpenersCutTheRunWithEmptyTokensAround) {
  EXPECT_EQ(Scan("// note\r\n"),
            (Tokens{"Symbol ", "Comment // note", "Unknown ", "LineBreak \r\n"}));
  EXPECT_EQ(Scan(";//x"), (Tokens{"Symbol ;", "Comment //x", "Unknown "}));
  EXPECT_EQ(Scan("(* a *)"), (Tokens{"Symbol ", "Comment (* a *)", "Unknown "}));
  EXPECT_EQ(Scan("<(*>*)"), (Tokens{"Symbol " + kLt, "Comment (*" + kGt + "*)", "Unknown "}));
  EXPECT_EQ(Scan("a/b(c*d)"), (Tokens{"Identifier a", "Symbol /", "Identifier b", "Symbol (",
                                      "Identifier c", "Symbol *", "Identifier d", "Symbol )"}));
}

TEST(ScanCommentTest, LineCommentEndsAtAnyLineEnd) {
  EXPECT_EQ(Scan("//a<b\nx"), (Tokens{"Symbol ", "Comment //a" + kLt + "b", "Unknown ",
                                      "LineBreak \n", "Identifier x"}));
  EXPECT_EQ(Scan("//a\rx"),
            (Tokens{"Symbol ", "Comment //a", "Unknown ", "LineBreak \r", "Identifier x"}));
}

TEST(ScanCommentTest, BraceCommentIsOneTokenPerLine) {
  EXPECT_EQ(Scan("{ a < b }"), (Tokens{"Comment { a " + kLt + " b }"}));
  EXPECT_EQ(Scan("{one\r\n\r\ntwo\nthree}x"),
            (Tokens{"Comment {one", "LineBreak \r\n", "LineBreak \r\n", "Comment two",
                    "LineBreak \n", "Comment three}", "Identifier x"}));
  EXPECT_EQ(Scan("{$R *.res}{{}"), (Tokens{"Comment {$R *.res}", "Comment {{}"}));
}

TEST(ScanCommentTest, ParenCommentIsOneTokenPerLine) {
  EXPECT_EQ(Scan("(*)x"), (Tokens{"Symbol ", "Comment (*)", "Unknown ", "Identifier x"}));
  EXPECT_EQ(Scan("(*a\nb*)"),
            (Tokens{"Symbol ", "Comment (*a", "LineBreak \n", "Comment b*)", "Unknown "}));
  EXPECT_EQ(Scan("(* ** ) }*)"), (Tokens{"Symbol ", "Comment (* ** ) }*)", "Unknown "}));
}

TEST(ScanCommentTest, UnterminatedCommentsRunToTheEnd) {
  EXPECT_EQ(Scan("{a\r\nb"), (Tokens{"Comment {a", "LineBreak \r\n", "Comment b"}));
  // The source ends right after a line break inside the comment: an empty last token.
  EXPECT_EQ(Scan("{a\r\n"), (Tokens{"Comment {a", "LineBreak \r\n", "Comment "}));
  EXPECT_EQ(Scan("(*a\n"),
            (Tokens{"Symbol ", "Comment (*a", "LineBreak \n", "Comment ", "Unknown "}));
}

TEST(ScanAssemblerTest, BlockRunsToTheNextLowerCaseEnd) {
  EXPECT_EQ(Scan("asm\r\n  mov eax, 1\r\nend;"),
            (Tokens{"Keyword asm", "LineBreak \r\n", "Assembler   mov eax, 1", "LineBreak \r\n",
                    "Assembler ", "Keyword end", "Symbol ;"}));
  EXPECT_EQ(Scan("asm\n  cmp al, '<'\n  end;"),
            (Tokens{"Keyword asm", "LineBreak \n", "Assembler   cmp al, '" + kLt + "'",
                    "LineBreak \n", "Assembler   ", "Keyword end", "Symbol ;"}));
  EXPECT_EQ(Scan("asm call SendMessage end"),
            (Tokens{"Keyword asm", "Assembler  call S", "Identifier endMessage", "Space  ",
                    "Keyword end"}));
  EXPECT_EQ(Scan("asm { end } END; x"),
            (Tokens{"Keyword asm", "Assembler  { ", "Keyword end", "Space  ", "Unknown }",
                    "Space  ", "Keyword END", "Symbol ;", "Space  ", "Identifier x"}));
  EXPECT_EQ(Scan("asm END; en\r\nd"),
            (Tokens{"Keyword asm", "Assembler  END; en", "LineBreak \r\n", "Assembler d"}));
}

TEST(ScanSingleByteTest, OtherBytesAreSingleUnknownTokens) {
  EXPECT_EQ(Scan("}|\x7f"), (Tokens{"Unknown }", "Unknown |", "Unknown \x7f"}));
  EXPECT_EQ(Scan("Stra\xDF"
                 "e"),
            (Tokens{"Identifier Stra", "Unknown \xDF", "Identifier e"}));
  EXPECT_EQ(Scan("{Stra\xDF"
                 "e}"),
            (Tokens{"Comment {Stra\xDF"
                    "e}"}));
}

TEST(ScanEndTest, ZeroByteEndsTheConversion) {
  EXPECT_EQ(Scan(std::string("a\0<b", 4)), (Tokens{"Identifier a"}));
  EXPECT_EQ(Scan(std::string("{a\0}", 4)), (Tokens{"Comment {a"}));
  EXPECT_EQ(Scan(std::string("'a\0'", 4)), (Tokens{"String 'a"}));
  EXPECT_EQ(Scan(std::string("asm a\0end", 9)), (Tokens{"Keyword asm", "Assembler  a"}));
  EXPECT_EQ(Scan(std::string("\0x", 2)), (Tokens{}));
}

} // namespace
} // namespace lexiform

// The last step of every conversion: cutting the converted text into lines and fixing
// its entities, also when the text arrives in pieces cut anywhere.

#include <gtest/gtest.h>

#include <random>

#include "convert/entity_fixup.h"
#include "convert/pas_conversion.h"
#include "convert/text_lines.h"
#include "convert/token_kind.h"

namespace lexiform {
namespace {

using Lines = std::vector<std::string>;

const std::string kMarker(1, EntityMarker);

Lines LinesOf(const std::string& bytes) {
  TextLines cutter(bytes);
  Lines lines;
  std::string_view line;
  while (cutter.Next(line)) {
    lines.emplace_back(line);
  }
  EXPECT_FALSE(cutter.Next(line)); // stays at the end once there
  return lines;
}

// The line rules spelled out byte by byte.
Lines ReferenceLines(const std::string& bytes) {
  Lines lines;
  std::size_t i = 0;
  while (i < bytes.size()) {
    if (bytes[i] == '\x1A') {
      break;
    }
    std::string line;
    while (i < bytes.size() && bytes[i] != '\r' && bytes[i] != '\n' && bytes[i] != '\x1A') {
      line += bytes[i++];
    }
    lines.push_back(line);
    if (i < bytes.size() && bytes[i] == '\x1A') {
      while (i < bytes.size() && bytes[i] != '\r' && bytes[i] != '\n') {
        ++i;
      }
    }
    if (i < bytes.size()) {
      const bool cr = bytes[i++] == '\r';
      if (cr && i < bytes.size() && bytes[i] == '\n') {
        ++i;
      }
    }
  }
  return lines;
}

// The fix-up's steps as the design states them, one line at a time, replacing the
// leftmost occurrence until none is left: the reference the one-pass fix-up must match.
std::string ReplaceEach(std::string line, const std::string& from, const std::string& to) {
  for (std::size_t at = line.find(from); at != std::string::npos;
       at = line.find(from, at + to.size())) {
    line.replace(at, from.size(), to);
  }
  return line;
}
std::string FixLineStepwise(const std::string& line) {
  std::string fixed = ReplaceEach(line, "&", "&amp;");
  fixed = ReplaceEach(fixed, "&amp;lt;" + kMarker, "&lt;");
  return ReplaceEach(fixed, "&amp;gt;" + kMarker, "&gt;");
}

std::string FixWhole(const std::string& text) {
  StringSink sink;
  FixEntities(text, sink);
  return sink.Take();
}

std::string FixInPieces(const std::string& text, const std::vector<std::size_t>& cuts) {
  StringSink sink;
  FixedTextWriter fixed(sink);
  std::size_t start = 0;
  for (std::size_t cut : cuts) {
    fixed.Write(std::string_view(text).substr(start, cut - start));
    start = cut;
  }
  fixed.Write(std::string_view(text).substr(start));
  fixed.Finish();
  return sink.Take();
}

TEST(TextLinesTest, LineEnds) {
  EXPECT_EQ(LinesOf(""), Lines{});
  EXPECT_EQ(LinesOf("a\r\nb\nc\rd"), (Lines{"a", "b", "c", "d"}));
  EXPECT_EQ(LinesOf("a\r\r\nb\n\nc\r"), (Lines{"a", "", "b", "", "c"}));
  EXPECT_EQ(LinesOf("\r\n"), Lines{""});
  EXPECT_EQ(LinesOf("\n\r"), (Lines{"", ""}));
  EXPECT_EQ(LinesOf(std::string("nul\0byte\n", 9)), Lines{std::string("nul\0byte", 8)});
  const std::string longLine(3 * 1024 * 1024 + 17, 'x');
  EXPECT_EQ(LinesOf(longLine + "\r\nnext\r\n" + longLine), (Lines{longLine, "next", longLine}));
}

TEST(TextLinesTest, CtrlZ) {
  // At the start of a line it ends the text, also as the very first byte.
  EXPECT_EQ(LinesOf("a\r\n\x1A"
                    "b\r\nc"),
            Lines{"a"});
  EXPECT_EQ(LinesOf("\x1A"
                    "a\r\n"),
            Lines{});
  EXPECT_EQ(LinesOf("a\r\x1A"
                    "b"),
            Lines{"a"});
  // Inside a line it ends the line; the rest up to the line end is skipped.
  EXPECT_EQ(LinesOf("ab\x1A"
                    "cd\r\nef\x1A\x1A\ng"),
            (Lines{"ab", "ef", "g"}));
  EXPECT_EQ(LinesOf("ab\x1A"
                    "cd\rx\x1A"),
            (Lines{"ab", "x"}));
  EXPECT_EQ(LinesOf("ab\x1A\r\n\x1A"
                    "cd\n"),
            Lines{"ab"});
}

TEST(TextLinesTest, AgreesWithTheRulesOnRandomText) {
  std::mt19937 random(12345);
  const char alphabet[] = {'a', 'b', ' ', '\r', '\n', '\x1A', '\0', '&'};
  std::discrete_distribution<int> pick({50, 20, 10, 3, 3, 1, 1, 2});
  for (int round = 0; round < 20; ++round) {
    std::string bytes(20000, ' ');
    for (char& c : bytes) {
      c = alphabet[pick(random)];
    }
    // Ctrl-Z at line starts would end the text early: keep most of them inside lines.
    for (std::size_t i = 1; i + 100 < bytes.size(); ++i) {
      if (bytes[i] == '\x1A' && (bytes[i - 1] == '\r' || bytes[i - 1] == '\n')) {
        bytes[i] = 'z';
      }
    }
    EXPECT_EQ(LinesOf(bytes), ReferenceLines(bytes)) << "round " << round;
  }
}

TEST(FixEntitiesTest, FixUpTable) {
  const std::string& m = kMarker;
  EXPECT_EQ(FixWhole("{ a&lt;" + m + "b }\r\n"), "{ a&lt;b }\r\n");
  EXPECT_EQ(FixWhole("a&gt;" + m + "b&lt;" + m + "c\r\n"), "a&gt;b&lt;c\r\n");
  EXPECT_EQ(FixWhole("Tom & Jerry && co\r\n"), "Tom &amp; Jerry &amp;&amp; co\r\n");
  EXPECT_EQ(FixWhole("'&lt;' &amp; &nbsp;\r\n"), "'&amp;lt;' &amp;amp; &amp;nbsp;\r\n");
  EXPECT_EQ(FixWhole(m + " alone " + m + "\r\n"), m + " alone " + m + "\r\n");
  EXPECT_EQ(FixWhole("&lt;&lt;" + m + "&" + m + "&gt;" + m + "&\r\n"),
            "&amp;lt;&lt;&amp;" + m + "&gt;&amp;\r\n");
  EXPECT_EQ(FixWhole("no ampersand\r\n"), "no ampersand\r\n");
  const std::string ampMarker = "\x02ToReplace\x02";
  EXPECT_EQ(FixWhole(ampMarker + "&\r\n"), ampMarker + "&amp;\r\n");
}

TEST(FixEntitiesTest, LineEndsAndCtrlZ) {
  EXPECT_EQ(FixWhole(""), "");
  EXPECT_EQ(FixWhole("a\nb\rc\r\nd"), "a\r\nb\r\nc\r\nd\r\n");
  EXPECT_EQ(FixWhole("a&\r\n\x1A"
                     "</code>\r\n</pre>\r\n"),
            "a&amp;\r\n");
  EXPECT_EQ(FixWhole("a\x1A"
                     "&b\r\n</pre>\r\n"),
            "a\r\n</pre>\r\n");
}

TEST(FixEntitiesTest, OnePassEqualsTheStepwiseReplacements) {
  const std::vector<std::string> pieces = {
      "&", "&lt;", "&gt;", kMarker, "lt;", "gt;", "amp;", "x", "&amp;lt;" + kMarker};
  std::mt19937 random(7);
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
  std::string text;
  std::string expected;
  for (int line = 0; line < 300; ++line) {
    std::string content;
    for (int i = 0; i < line % 40; ++i) {
      content += pieces[pick(random)];
    }
    text += content + "\n";
    expected += FixLineStepwise(content) + "\r\n";
  }
  // A line longer than the fix-up's slice, with entities across the slice borders.
  std::string longLine;
  while (longLine.size() < 200000) {
    longLine += pieces[pick(random)];
  }
  text += longLine;
  expected += FixLineStepwise(longLine) + "\r\n";
  EXPECT_EQ(FixWhole(text), expected);
}

// Random text rich in what the fix-up and the line rules care about.
std::string RandomText(std::mt19937& random, std::size_t length) {
  static const std::string kPieces[] = {"&",  "&lt;\x01", "&gt;\x01", "&lt;", "\r\n",
                                        "\r", "\n",       "\x1a",     "a",    "bc ",
                                        "<",  "\x01",     "&amp;"};
  std::string text;
  while (text.size() < length) {
    text += kPieces[random() % std::size(kPieces)];
  }
  return text;
}

TEST(FixedTextWriterTest, PiecesCutAnywhereGiveTheWholeResult) {
  std::mt19937 random(11);
  for (int round = 0; round < 300; ++round) {
    const std::string text = RandomText(random, random() % 200);
    std::vector<std::size_t> cuts;
    for (std::size_t at = 0; at < text.size(); at += 1 + random() % 9) {
      cuts.push_back(at);
    }
    ASSERT_EQ(FixInPieces(text, cuts), FixWhole(text)) << ::testing::PrintToString(text);
  }
}

TEST(FixedTextWriterTest, CrLfSplitBetweenPiecesIsOneLineEnd) {
  EXPECT_EQ(FixInPieces("a\r\nb", {2}), "a\r\nb\r\n");
  EXPECT_EQ(FixInPieces("a\r", {}), "a\r\n");
  EXPECT_EQ(FixInPieces("a\r\n\x1a"
                        "b\r\nc",
                        {4}),
            "a\r\n");
}

TEST(ConvertToTest, PiecesJoinToTheFragmentOfConvert) {
  std::mt19937 random(5);
  std::string source;
  while (source.size() < 3 * TPasConversion::kPieceSize) {
    source += "begin x := 'a<b' + 12; { c & d }\r\n";
    if (random() % 50 == 0) {
      source += std::string(random() % 200000, 'y') + "\n\r";
    }
  }
  TPasConversion whole;
  whole.KeywordPrefix = "<b>";
  whole.KeywordSuffix = "</b>";
  whole.LoadFromBytes(source);
  whole.Convert();

  TPasConversion streamed;
  streamed.KeywordPrefix = "<b>";
  streamed.KeywordSuffix = "</b>";
  streamed.LoadFromBytes(source);
  std::string joined;
  std::size_t pieces = 0;
  EXPECT_EQ(streamed.ConvertTo([&](std::string_view piece) {
    ++pieces;
    joined.append(piece);
  }),
            source.size());
  EXPECT_EQ(joined, whole.Content());
  EXPECT_GE(pieces, 3u);
  EXPECT_EQ(streamed.Size(), 0u);
}

} // namespace
} // namespace lexiform

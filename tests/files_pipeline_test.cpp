// The way a converted text takes into the temporary file: piece by piece through the
// fix-up, into a file rewritten in place. Whatever the pieces, the bytes must be those
// of converting whole, saving, and fixing the file.

#include <gtest/gtest.h>

#include <random>

#include "convert/pas_conversion.h"
#include "convert/token_kind.h"
#include "files/temp_files.h"
#include "files/text_io.h"
#include "platform/platform.h"
#include "test_support.h"

namespace lexiform {
namespace {

using test::ReadBytes;
using test::ScratchDir;
using test::WriteBytes;

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

std::string FixedWhole(const ScratchDir& dir, const std::string& text) {
  const std::string path = dir / "whole";
  WriteBytes(path, text);
  FixEntities(path);
  return ReadBytes(path);
}

std::string FixedInPieces(const ScratchDir& dir, const std::string& text,
                          const std::vector<std::size_t>& cuts) {
  const std::string path = dir / "pieces";
  WriteBytes(path, "");
  BufferedFileWriter output(OpenForRewrite(path));
  FixedTextWriter fixed(output);
  std::size_t start = 0;
  for (std::size_t cut : cuts) {
    fixed.Write(std::string_view(text).substr(start, cut - start));
    start = cut;
  }
  fixed.Write(std::string_view(text).substr(start));
  fixed.Finish();
  output.Close();
  return ReadBytes(path);
}

TEST(FixedTextWriterTest, PiecesCutAnywhereGiveTheFixedFile) {
  ScratchDir dir;
  std::mt19937 random(11);
  for (int round = 0; round < 300; ++round) {
    const std::string text = RandomText(random, random() % 200);
    std::vector<std::size_t> cuts;
    for (std::size_t at = 0; at < text.size(); at += 1 + random() % 9) {
      cuts.push_back(at);
    }
    ASSERT_EQ(FixedInPieces(dir, text, cuts), FixedWhole(dir, text))
        << ::testing::PrintToString(text);
  }
}

TEST(FixedTextWriterTest, CrLfSplitBetweenPiecesIsOneLineEnd) {
  ScratchDir dir;
  EXPECT_EQ(FixedInPieces(dir, "a\r\nb", {2}), "a\r\nb\r\n");
  EXPECT_EQ(FixedInPieces(dir, "a\r", {}), "a\r\n");
  EXPECT_EQ(FixedInPieces(dir,
                          "a\r\n\x1a"
                          "b\r\nc",
                          {4}),
            "a\r\n");
}

TEST(RewriteModeTest, OverwritesFromTheStartAndCutsAtClose) {
  ScratchDir dir;
  const std::string path = dir / "temp";
  WriteBytes(path, "a long first content\r\n");
  {
    platform::File file = OpenForRewrite(path);
    file.Write("short", 5);
    file.Close();
  }
  EXPECT_EQ(ReadBytes(path), "short");
  { OpenForRewrite(path).Close(); }
  EXPECT_EQ(ReadBytes(path), "");
  // A temporary file that has gone is made again.
  platform::RemoveFile(path);
  {
    platform::File file = OpenForRewrite(path);
    file.Write("new", 3);
  }
  EXPECT_EQ(ReadBytes(path), "new");
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

#include "files/text_io.h"

#include <gtest/gtest.h>

#include <random>

#include "test_support.h"

namespace lexiform {
namespace {

using Lines = std::vector<std::string>;

Lines ReadAllLines(const std::string& path) {
  TextLineReader reader(path);
  Lines lines;
  std::string_view line;
  while (reader.NextLine(line)) {
    lines.emplace_back(line);
  }
  // Stays at the end once there.
  EXPECT_FALSE(reader.NextLine(line));
  return lines;
}

Lines ReadLinesOf(const std::string& bytes) {
  test::ScratchDir dir;
  test::WriteBytes(dir / "text", bytes);
  return ReadAllLines(dir / "text");
}

// The reading rules spelled out byte by byte, for comparing with the buffered reader.
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

TEST(TextLineReaderTest, LineEnds) {
  EXPECT_EQ(ReadLinesOf(""), Lines{});
  EXPECT_EQ(ReadLinesOf("a\r\nb\nc\rd"), (Lines{"a", "b", "c", "d"}));
  EXPECT_EQ(ReadLinesOf("a\r\r\nb\n\nc\r"), (Lines{"a", "", "b", "", "c"}));
  EXPECT_EQ(ReadLinesOf("\r\n"), Lines{""});
  EXPECT_EQ(ReadLinesOf("\n\r"), (Lines{"", ""}));
  EXPECT_EQ(ReadLinesOf("last line without end"), Lines{"last line without end"});
  EXPECT_EQ(ReadLinesOf(std::string("nul\0byte\n", 9)), Lines{std::string("nul\0byte", 8)});
}

TEST(TextLineReaderTest, CtrlZ) {
  // At the start of a line it ends the text, also as the very first byte.
  EXPECT_EQ(ReadLinesOf("a\r\n\x1A"
                        "b\r\nc"),
            Lines{"a"});
  EXPECT_EQ(ReadLinesOf("\x1A"
                        "a\r\n"),
            Lines{});
  EXPECT_EQ(ReadLinesOf("a\r\x1A"
                        "b"),
            Lines{"a"});
  // Inside a line it ends the line; the rest up to the line end is skipped.
  EXPECT_EQ(ReadLinesOf("ab\x1A"
                        "cd\r\nef\x1A\x1A\ng"),
            (Lines{"ab", "ef", "g"}));
  EXPECT_EQ(ReadLinesOf("ab\x1A"
                        "cd\rx\x1A"),
            (Lines{"ab", "x"}));
  EXPECT_EQ(ReadLinesOf("ab\x1A"
                        "cd"),
            Lines{"ab"});
  EXPECT_EQ(ReadLinesOf("ab\x1A\r\n\x1A"
                        "cd\n"),
            Lines{"ab"});
}

TEST(TextLineReaderTest, LongLinesAreReadWhole) {
  const std::string longLine(5 * 1024 * 1024 + 17, 'x');
  EXPECT_EQ(ReadLinesOf(longLine + "\r\nnext\r\n" + longLine), (Lines{longLine, "next", longLine}));
}

TEST(TextLineReaderTest, LineEndsAcrossBufferBoundaries) {
  // The reader fills 1 MiB at a time: put a CR as the last byte of the first fill,
  // with its LF, a lone CR's successor or a Ctrl-Z as the first byte of the next.
  const std::string first((1 << 20) - 1, 'a');
  EXPECT_EQ(ReadLinesOf(first + "\r\nb"), (Lines{first, "b"}));
  EXPECT_EQ(ReadLinesOf(first + "\rb"), (Lines{first, "b"}));
  EXPECT_EQ(ReadLinesOf(first + "\r\x1A"
                                "b\r\nc"),
            (Lines{first}));
  EXPECT_EQ(ReadLinesOf(first + "\x1A\r\nb"), (Lines{first, "b"}));
}

TEST(TextLineReaderTest, AgreesWithTheRulesOnRandomText) {
  std::mt19937 random(12345);
  // Line stops are frequent enough to meet every combination, and the text spans
  // several buffer fills.
  const char alphabet[] = {'a', 'b', ' ', '\r', '\n', '\x1A', '\0', '&'};
  std::discrete_distribution<int> pick({50, 20, 10, 3, 3, 1, 1, 2});
  for (int round = 0; round < 2; ++round) {
    std::string bytes(2 * 1024 * 1024 + 333, ' ');
    for (char& c : bytes) {
      c = alphabet[pick(random)];
    }
    // Ctrl-Z at line starts would end the text early: keep most of them inside lines.
    for (std::size_t i = 1; i < bytes.size(); ++i) {
      if (bytes[i] == '\x1A' && (bytes[i - 1] == '\r' || bytes[i - 1] == '\n') &&
          i < bytes.size() - 100) {
        bytes[i] = 'z';
      }
    }
    EXPECT_EQ(ReadLinesOf(bytes), ReferenceLines(bytes)) << "round " << round;
  }
}

TEST(TextLineReaderTest, MissingFileThrows) {
  test::ScratchDir dir;
  EXPECT_THROW(TextLineReader(dir / "missing"), platform::FileError);
  EXPECT_THROW(TextLineReader(dir.Path()), platform::FileError);
}

TEST(BufferedFileWriterTest, WritesEverythingInOrder) {
  test::ScratchDir dir;
  const std::string big(3 * 1024 * 1024, 'b');
  {
    BufferedFileWriter writer(dir / "out", platform::File::Mode::CreateTruncate);
    writer.WriteLine("first");
    writer.Write(big);
    writer.WriteLine("");
    writer.Write("tail");
    writer.Close();
  }
  EXPECT_EQ(test::ReadBytes(dir / "out"), "first\r\n" + big + "\r\ntail");
  {
    BufferedFileWriter writer(dir / "out", platform::File::Mode::Append);
    writer.WriteLine("!");
  } // the destructor flushes too
  EXPECT_EQ(test::ReadBytes(dir / "out"), "first\r\n" + big + "\r\ntail!\r\n");
}

TEST(BufferedFileWriterTest, OpenFailuresAreReported) {
  test::ScratchDir dir;
  EXPECT_THROW(BufferedFileWriter(dir / "no/such/dir", platform::File::Mode::CreateTruncate),
               platform::FileError);
}

TEST(BufferedFileWriterTest, WriteFailuresAreReported_PosixOnly) {
  LEXIFORM_SKIP_ON_OTHER_PLATFORM();
  if (!test::Exists("/dev/full")) {
    GTEST_SKIP() << "no /dev/full";
  }
  BufferedFileWriter writer("/dev/full", platform::File::Mode::Append);
  writer.WriteLine("cannot stay");
  EXPECT_THROW(writer.Close(), platform::FileError);
}

} // namespace
} // namespace lexiform

// Faults and bad input, end to end: the real program, copied into a scratch directory,
// meets one bad entry (or one failure) between two good files. Each case checks the
// exit status, the console lines, and that the good files' sections are in the
// document whole: byte for byte what a run over the good files alone gives them.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "test_support.h"

namespace fs = std::filesystem;

namespace lexiform {
namespace {

using test::ReadBytes;
using test::RunResult;
using test::ScratchDir;
using test::SplitConsoleLines;
using test::WriteBytes;

const std::string kBefore =
    "program Before;\r\n{ a < b & c }\r\nbegin\r\n  Writeln('<x>');\r\nend.\r\n";
const std::string kAfter = "unit After;\r\ninterface\r\nconst N = $FF; // last\r\nend.\r\n";
const std::string kClosingLines = "</code>\r\n</pre>\r\n";

std::size_t Count(const std::string& text, const std::string& piece) {
  std::size_t count = 0;
  for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
    ++count;
  }
  return count;
}

// Section `number` of a document with an index: from its "<hr>" to the next section or,
// for the last one, to `footer` when the document ends with it; empty when the
// document has no such section.
std::string Section(const std::string& document, std::size_t number,
                    const std::string& footer = "") {
  const std::string start = "<hr>\r\n<a name=\"File_" + std::to_string(number) + "\"></a>\r\n";
  const std::size_t begin = document.find(start);
  if (begin == std::string::npos) {
    return {};
  }
  std::size_t end = document.find("<hr>\r\n", begin + start.size());
  const bool endsWithFooter =
      document.size() >= footer.size() &&
      document.compare(document.size() - footer.size(), footer.size(), footer) == 0;
  if (end == std::string::npos && endsWithFooter) {
    end = document.size() - footer.size();
  }
  return document.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

// The section as it would stand under another number.
std::string Renumbered(const std::string& section, std::size_t from, std::size_t to) {
  std::string result = section;
  for (const auto& [before, after] :
       {std::pair<std::string, std::string>{"File_" + std::to_string(from) + "\"",
                                            "File_" + std::to_string(to) + "\""},
        std::pair<std::string, std::string>{"File " + std::to_string(from) + ": ",
                                            "File " + std::to_string(to) + ": "}}) {
    const std::size_t at = result.find(before);
    if (at != std::string::npos) {
      result.replace(at, before.size(), after);
    }
  }
  return result;
}

// The converted text of a section: from "<pre>" on.
std::string Body(const std::string& section) {
  const std::size_t pre = section.find("<pre>\r\n");
  return pre == std::string::npos ? std::string() : section.substr(pre);
}

class FaultMatrixTest : public test::ProgramTest {
protected:
  FaultMatrixTest() {
    WriteBytes(work / "before.pas", kBefore);
    WriteBytes(work / "after.pas", kAfter);
  }
  void SetUp() override { LEXIFORM_SKIP_ON_OTHER_PLATFORM(); }

  // The good files' sections as a run over them alone gives them (same program, same
  // configuration, same user), numbered as they stand around one entry between them.
  struct GoodSections {
    std::string before;
    std::string after;
    std::string footer; // as the document ends with it
  };
  GoodSections ReferenceSections(bool asNobody = false) {
    const std::vector<std::string> arguments = {"before.pas,after.pas", "reference.html"};
    const RunResult result = asNobody ? RunAsNobody(arguments) : Run(arguments);
    EXPECT_EQ(result.status, 0) << result.err;
    const std::string document = ReadBytes(work / "reference.html");
    fs::remove(work / "reference.html");
    // The good files' sections end with their closing lines; the footer follows.
    const std::size_t closing = document.rfind(kClosingLines);
    EXPECT_NE(closing, std::string::npos);
    GoodSections good;
    good.footer = document.substr(closing + kClosingLines.size());
    good.before = Section(document, 1, good.footer);
    good.after = Renumbered(Section(document, 2, good.footer), 2, 3);
    return good;
  }

  // Sections 1 and `afterNumber` are the good files' whole sections; the document ends
  // with the footer.
  void ExpectGoodFilesWhole(const std::string& document, const GoodSections& good,
                            std::size_t afterNumber = 3) {
    ASSERT_NE(good.before.find(kClosingLines), std::string::npos) << good.before;
    EXPECT_EQ(Section(document, 1, good.footer), good.before);
    EXPECT_EQ(Section(document, afterNumber, good.footer), Renumbered(good.after, 3, afterNumber));
    ASSERT_GE(document.size(), good.footer.size());
    EXPECT_EQ(document.substr(document.size() - good.footer.size()), good.footer);
  }
};

// The console of a run over three entries: the entry lines with `middle` (the lines the
// middle entry gets) between them, and the summary.
void ExpectConsole(const RunResult& result, const std::string& entry2,
                   const std::vector<std::string>& middle) {
  const auto lines = SplitConsoleLines(result.out);
  std::size_t at = 0;
  while (at < lines.size() && lines[at] != " Files:") {
    ++at;
  }
  std::vector<std::string> expected = {
      " Files:", "  1: before.pas (" + std::to_string(kBefore.size()) + " bytes)", entry2};
  expected.insert(expected.end(), middle.begin(), middle.end());
  expected.push_back("  3: after.pas (" + std::to_string(kAfter.size()) + " bytes)");
  for (const std::string& line : SplitConsoleLines(test::ConsoleText("\n") + test::ConsoleRule() +
                                                   "     Processed files: 3")) {
    expected.push_back(line);
  }
  ASSERT_LE(at + expected.size() + 1, lines.size()) << result.out;
  EXPECT_EQ(
      std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(at),
                               lines.begin() + static_cast<std::ptrdiff_t>(at + expected.size())),
      expected);
  EXPECT_TRUE(std::regex_match(lines[at + expected.size()],
                               std::regex("      Execution time: \\d+:\\d\\d:\\d\\d")));
  EXPECT_EQ(result.err, "");
}

TEST_F(FaultMatrixTest, UnreadableFile_PosixOnly) {
  if (!CanRunAsNobody()) {
    GTEST_SKIP() << "setpriv is needed to run as another user";
  }
  WriteBytes(work / "locked.pas", "secret\r\n");
  fs::permissions(work / "locked.pas", fs::perms::none);
  const GoodSections good = ReferenceSections(true);
  const RunResult result = RunAsNobody({"before.pas,locked.pas,after.pas", "out"});
  EXPECT_EQ(result.status, 0);
  ExpectConsole(result, "  2: locked.pas ( 8 bytes)", {"  Could not open file: locked.pas"});
  const std::string document = ReadBytes(work / "out.html");
  ExpectGoodFilesWhole(document, good);
  EXPECT_EQ(Section(document, 2), "");
  EXPECT_EQ(document.find("secret"), std::string::npos);
  EXPECT_EQ(LeftoverFiles(), 0u);
}

TEST_F(FaultMatrixTest, DirectoryAmongTheFiles) {
  fs::create_directories(work / "folder.pas");
  const GoodSections good = ReferenceSections();
  const RunResult result = Run({"before.pas,folder.pas,after.pas", "out"});
  EXPECT_EQ(result.status, 0);
  ExpectConsole(result, "  2: folder.pas ( 0 bytes)", {"  File not exists: folder.pas"});
  const std::string document = ReadBytes(work / "out.html");
  ExpectGoodFilesWhole(document, good);
  EXPECT_EQ(Section(document, 2), "");
  EXPECT_EQ(Count(document, "<li>"), 3u);
}

// A dangling link is found by the wildcard and then does not exist as a file: the same
// road as a file removed between the listing and its turn.
TEST_F(FaultMatrixTest, DanglingLinkFoundByAWildcard_PosixOnly) {
  fs::create_directories(work / "src");
  WriteBytes(work / "src/a.pas", kBefore);
  fs::create_symlink("gone.pas", work / "src/b.pas");
  WriteBytes(work / "src/c.pas", kAfter);
  const RunResult result = Run({"src/*.pas", "out"});
  EXPECT_EQ(result.status, 0);
  EXPECT_NE(result.out.find("  1: src/a.pas (" + std::to_string(kBefore.size()) +
                            " bytes)\n  2: src/b.pas ( 0 bytes)\n"
                            "  File not exists: src/b.pas\n  3: src/c.pas ("),
            std::string::npos)
      << result.out;
  const std::string document = ReadBytes(work / "out.html");
  EXPECT_NE(Section(document, 1).find("</pre>\r\n"), std::string::npos);
  EXPECT_EQ(Section(document, 2), "");
  EXPECT_NE(Section(document, 3).find("</pre>\r\n"), std::string::npos);
}

// A real removal at a known moment: the program stops at its first entry line, when
// every entry has been looked at and the index written, and the file is removed then.
// The console and the index keep what the one look found; the file cannot be read at
// its turn, which is said, and gets no section. The writer alone reads the file: a
// worker might have read it before it was removed.
// Removed, or replaced by a FIFO that nobody writes, after the entry was looked at: the
// run must neither wait for a writer nor lose the other sections.
TEST_F(FaultMatrixTest, FileRemovedOrReplacedBetweenListingAndItsTurn_PosixOnly) {
  const GoodSections good = ReferenceSections();
  for (const bool byFifo : {false, true}) {
    SCOPED_TRACE(byFifo ? "replaced by a FIFO" : "removed");
    WriteBytes(work / "doomed.pas", "doomed\r\n");
    std::vector<std::string> environment = Environment();
    environment.push_back("LEXIFORM_THREADS=1");
    const RunResult result = test::RunProgramWithConsoleStalled(
        program, {"before.pas,doomed.pas,after.pas", "out"}, work.Path(), environment,
        [this, byFifo](int) {
          fs::remove(work / "doomed.pas");
          if (byFifo) {
            ASSERT_EQ(test::RunShell("mkfifo doomed.pas", work.Path()).status, 0);
          }
        });
    EXPECT_EQ(result.status, 0) << result.err;
    ExpectConsole(result, "  2: doomed.pas ( 8 bytes)", {"  Could not open file: doomed.pas"});
    const std::string document = ReadBytes(work / "out.html");
    // Listed with its size, then gone at its turn: an index item and no section.
    EXPECT_NE(document.find("doomed.pas</a><font size=\"-2\">&nbsp;&nbsp; &mdash; "
                            "&nbsp;&nbsp;<b> 8 bytes</b>"),
              std::string::npos);
    ExpectGoodFilesWhole(document, good);
    EXPECT_EQ(Section(document, 2), "");
    fs::remove(work / "doomed.pas");
  }
}

TEST_F(FaultMatrixTest, UnreadableDirectoryDuringSub_PosixOnly) {
  if (!CanRunAsNobody()) {
    GTEST_SKIP() << "setpriv is needed to run as another user";
  }
  fs::create_directories(work / "src/locked/inner");
  fs::create_directories(work / "src/z");
  WriteBytes(work / "src/a.pas", kBefore);
  WriteBytes(work / "src/locked/hidden.pas", "hidden\r\n");
  WriteBytes(work / "src/locked/inner/deeper.pas", "deeper\r\n");
  WriteBytes(work / "src/z/z.pas", kAfter);
  for (const char* directory : {"src", "src/z"}) {
    fs::permissions(work / directory, fs::perms::all);
  }
  fs::permissions(work / "src/locked", fs::perms::none);
  const RunResult result = RunAsNobody({"src/*.pas", "out", "-sub"});
  EXPECT_EQ(result.status, 0) << result.err;
  const auto lines = SplitConsoleLines(result.out);
  ASSERT_GE(lines.size(), 7u);
  // The directory that cannot be searched is said once, with the system's reason.
  EXPECT_EQ(lines[1], "  Cannot search directory: src/locked (Permission denied)");
  EXPECT_EQ(Count(result.out, "Cannot search directory"), 1u);
  EXPECT_EQ(lines[2], "     Processing 2 files ...");
  EXPECT_EQ(Count(result.out, "  1: src/a.pas ("), 1u);
  EXPECT_EQ(Count(result.out, "  2: src/z/z.pas ("), 1u);
  EXPECT_EQ(result.out.find("hidden"), std::string::npos);
  const std::string document = ReadBytes(work / "out.html");
  EXPECT_NE(Section(document, 1).find("</pre>\r\n"), std::string::npos);
  EXPECT_NE(Section(document, 2).find("</pre>\r\n"), std::string::npos);
  EXPECT_EQ(document.substr(document.size() - 9), "</html>\r\n");
}

TEST_F(FaultMatrixTest, SymbolicLinkLoopUnderSub_PosixOnly) {
  fs::create_directories(work / "src/sub");
  WriteBytes(work / "src/a.pas", kBefore);
  WriteBytes(work / "src/sub/b.pas", kAfter);
  fs::create_directory_symlink(".", work / "src/self");
  fs::create_directory_symlink("..", work / "src/sub/up");
  fs::create_directory_symlink("../sub", work / "src/sub/again");
  const RunResult result = Run({"src/*.pas", "out", "-sub"});
  EXPECT_EQ(result.status, 0) << result.err;
  const auto lines = SplitConsoleLines(result.out);
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[1], "     Processing 2 files ...");
  EXPECT_NE(result.out.find("  1: src/a.pas ("), std::string::npos);
  EXPECT_NE(result.out.find("  2: src/sub/b.pas ("), std::string::npos);
  const std::string document = ReadBytes(work / "out.html");
  EXPECT_NE(Section(document, 2).find("</pre>\r\n"), std::string::npos);
}

TEST_F(FaultMatrixTest, EmptyFileAndFileOfZeroBytes) {
  WriteBytes(work / "empty.pas", "");
  WriteBytes(work / "zeros.pas", std::string(4096, '\0'));
  const GoodSections good = ReferenceSections();
  const RunResult result = Run({"before.pas,empty.pas,zeros.pas,after.pas", "out"});
  EXPECT_EQ(result.status, 0);
  EXPECT_NE(result.out.find(
                test::ConsoleText("  2: empty.pas ( 0 bytes)\n  3: zeros.pas (4.00 KB)\n  4: ")),
            std::string::npos)
      << result.out;
  EXPECT_EQ(Count(result.out, "  File not exists"), 0u);
  EXPECT_EQ(Count(result.out, "  Could not open file"), 0u);
  const std::string document = ReadBytes(work / "out.html");
  ExpectGoodFilesWhole(document, good, 4);
  // The empty file: head lines only. The zeros: the scan stops at the first zero byte,
  // leaving the frames with one empty line between them.
  EXPECT_EQ(Body(Section(document, 2)), "");
  EXPECT_NE(Section(document, 2).find("File size:  0 bytes</font>\r\n"), std::string::npos);
  EXPECT_EQ(Body(Section(document, 3)), "<pre>\r\n<code>\r\n\r\n</code>\r\n</pre>\r\n");
  EXPECT_EQ(document.find('\0'), std::string::npos);
}

// One line of 50 MB, made here: a comment with markup characters all along, so that the
// line goes through escaping and the fix-up pass whole.
TEST_F(FaultMatrixTest, SingleLineOfFiftyMegabytes) {
  const std::string piece = "lorem <ipsum> & dolor sit amet, consectetur adipiscing elit ";
  std::string comment;
  comment.reserve(50u << 20);
  while (comment.size() + piece.size() <= (50u << 20) - 2) {
    comment += piece;
  }
  comment = "{" + comment + "}";
  WriteBytes(work / "huge.pas", comment);
  const GoodSections good = ReferenceSections();
  const RunResult result = Run({"before.pas,huge.pas,after.pas", "out"});
  EXPECT_EQ(result.status, 0);
  ExpectConsole(result, "  2: huge.pas (50.00 MB)", {});
  const std::string document = ReadBytes(work / "out.html");
  ExpectGoodFilesWhole(document, good);

  std::string escaped;
  escaped.reserve(comment.size() + comment.size() / 4);
  for (char c : comment) {
    if (c == '<') {
      escaped += "&lt;";
    } else if (c == '>') {
      escaped += "&gt;";
    } else if (c == '&') {
      escaped += "&amp;";
    } else {
      escaped += c;
    }
  }
  const std::string section = Section(document, 2, good.footer);
  EXPECT_TRUE(Body(section) == "<pre>\r\n<code>\r\n<font color=navy><i>" + escaped +
                                   "</font></i>\r\n</code>\r\n</pre>\r\n")
      << "section of " << section.size() << " bytes, the converted line has " << escaped.size();
}

TEST_F(FaultMatrixTest, LineEndsOfCrOnly) {
  const std::string crlf = "program P;\r\nbegin\r\n  x := 'a<b';\r\n\r\nend.\r\n";
  std::string cr;
  for (char c : crlf) {
    if (c != '\n') {
      cr += c;
    }
  }
  WriteBytes(work / "crlf.pas", crlf);
  WriteBytes(work / "cr.pas", cr);
  const RunResult result = Run({"before.pas,cr.pas,crlf.pas,after.pas", "out"});
  EXPECT_EQ(result.status, 0);
  const std::string document = ReadBytes(work / "out.html");
  // The lines of the CR file stand as lines of their own, as those of the CR LF file.
  EXPECT_EQ(Body(Section(document, 2)), Body(Section(document, 3)));
  EXPECT_EQ(Count(Body(Section(document, 2)), "\r\n"), 10u);
  EXPECT_NE(Section(document, 4).find("</pre>\r\n"), std::string::npos);
}

// Ctrl-Z ends the text: at the start of a line (a file that ends the old way) it takes
// the converter's closing lines with it; inside a line it cuts only that line.
TEST_F(FaultMatrixTest, FilesEndingInCtrlZ) {
  WriteBytes(work / "dos.pas", "begin\r\nend.\r\n\x1a");
  WriteBytes(work / "cut.pas", "begin\r\nend.\x1a");
  const GoodSections good = ReferenceSections();
  const RunResult result = Run({"before.pas,dos.pas,cut.pas,after.pas", "out"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(Count(result.out, "  Could not open file"), 0u);
  const std::string document = ReadBytes(work / "out.html");
  ExpectGoodFilesWhole(document, good, 4);
  const std::string code =
      "<pre>\r\n<code>\r\n<b>begin</b>\r\n<b>end</b><font color=maroon>.</font>\r\n";
  EXPECT_EQ(Body(Section(document, 2)), code);
  EXPECT_EQ(Body(Section(document, 3)), code + "</code>\r\n</pre>\r\n");
  EXPECT_EQ(document.find('\x1a'), std::string::npos);
}

TEST_F(FaultMatrixTest, ConfigurationOfRandomBytes) {
  // Random bytes, with pieces of the configuration's syntax mixed in so that some of
  // them form sections and keys.
  const char* const pieces[] = {
      "[Header]", "[Footer]", "[Comment]", "[keyword]", "Prefix=", "Suffix=", "0=",  "\r\n",
      "\n",       "\r",       "\"",        "'",         "=",       ";",       "\x1a"};
  std::mt19937 random(6);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<std::size_t> piece(0, std::size(pieces) - 1);
  std::string ini;
  while (ini.size() < 8192) {
    if (byte(random) < 64) {
      ini += pieces[piece(random)];
    } else {
      ini += static_cast<char>(byte(random));
    }
  }
  WriteBytes(bin / "lexiform.ini", ini);
  const GoodSections good = ReferenceSections();
  WriteBytes(work / "middle.pas", kBefore + kAfter);
  const RunResult result = Run({"before.pas,middle.pas,after.pas", "out"});
  EXPECT_EQ(result.status, 0);
  ExpectConsole(
      result, "  2: middle.pas (" + std::to_string(kBefore.size() + kAfter.size()) + " bytes)", {});
  const std::string document = ReadBytes(work / "out.html");
  ExpectGoodFilesWhole(document, good);
  EXPECT_NE(Section(document, 2).find("</pre>\r\n"), std::string::npos);
  // The program never rewrites a configuration file that exists.
  EXPECT_EQ(ReadBytes(bin / "lexiform.ini"), ini);
}

TEST_F(FaultMatrixTest, UnwritableProgramDirectory_PosixOnly) {
  if (!CanRunAsNobody()) {
    GTEST_SKIP() << "setpriv is needed to run as another user";
  }
  WriteBytes(work / "middle.pas", "{ note }\r\n");
  const GoodSections good = ReferenceSections(true);
  const RunResult result = RunAsNobody({"before.pas,middle.pas,after.pas", "out"});
  EXPECT_EQ(result.status, 0) << result.err;
  ExpectConsole(result, "  2: middle.pas (10 bytes)", {});
  EXPECT_FALSE(test::Exists(bin / "lexiform.ini"));
  const std::string document = ReadBytes(work / "out.html");
  ExpectGoodFilesWhole(document, good);
  // The built-in styles serve.
  EXPECT_EQ(
      Body(Section(document, 2)),
      "<pre>\r\n<code>\r\n<i><font color=navy>{ note }</i></font>\r\n\r\n</code>\r\n</pre>\r\n");
}

TEST_F(FaultMatrixTest, OutputInAMissingDirectory) {
  const RunResult result = Run({"before.pas,after.pas", "missing/dir/out"});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("missing/dir/out.html"), std::string::npos) << result.err;
  EXPECT_EQ(result.out.find("Processed files"), std::string::npos);
  EXPECT_FALSE(test::Exists(work / "missing"));
  EXPECT_EQ(LeftoverFiles(), 0u);
}

// What a full disk while the document is written must give: the good first section
// A document that cannot be written ends the run with status 1 and a message that
// names the output and the system's reason; the earlier document stays whole and no
// unfinished file is left beside it. The sources are not blamed.
void ExpectFailedWriteOutcome(const RunResult& result, const std::string& outputDirectory,
                              const std::string& outputName, const std::string& earlier) {
  EXPECT_EQ(result.status, 1) << result.out << result.err;
  EXPECT_EQ(result.out.find("Could not open file"), std::string::npos) << result.out;
  EXPECT_EQ(result.out.find("Processed files"), std::string::npos);
  EXPECT_NE(result.err.find("Cannot write \""), std::string::npos) << result.err;
  EXPECT_NE(result.err.find(outputName + "\": "), std::string::npos) << result.err;
  EXPECT_EQ(ReadBytes(outputDirectory + "/" + outputName), earlier);
  EXPECT_EQ(test::UnfinishedFiles(outputDirectory), std::vector<std::string>{});
}

// Pascal-like text of at least `size` bytes, mostly words (which get no markup in the
// default styles), so that its converted text is only a little larger.
std::string BigSource(std::size_t size) {
  std::string text;
  for (std::size_t line = 0; text.size() < size; ++line) {
    text += line % 10 == 0 ? "{ note <" + std::to_string(line) + "> & more }\r\n"
                           : "alpha beta gamma delta epsilon zeta eta theta iota kappa\r\n";
  }
  return text;
}

// The document may grow to 1 MiB only: a file-size limit on the program's process.
TEST_F(FaultMatrixTest, DocumentBeyondTheFileSizeLimit_PosixOnly) {
  WriteBytes(work / "big.pas", BigSource(600u << 10));
  WriteBytes(work / "big2.pas", BigSource(600u << 10));
  WriteBytes(work / "out.html", "<html>the earlier document</html>\r\n");
  std::string command = "ulimit -f 1024 && exec " + test::ShellQuote(program) +
                        " before.pas,big2.pas,big.pas,after.pas out";
  const RunResult result =
      test::RunShell("bash -c " + test::ShellQuote(command), work.Path(), Environment());
  ExpectFailedWriteOutcome(result, work.Path(), "out.html",
                           "<html>the earlier document</html>\r\n");
}

// The same on a file system that is really full: a 1 MiB tmpfs holds the document.
TEST_F(FaultMatrixTest, FullFileSystemWhileWritingTheDocument_PosixOnly) {
  fs::create_directories(work / "small");
  const std::string mount = "mount -t tmpfs -o size=1m tmpfs " + test::ShellQuote(work / "small");
  if (test::RunShell(mount, work.Path()).status != 0) {
    GTEST_SKIP() << "cannot mount a small tmpfs here; the file-size limit test stands in";
  }
  struct Unmount {
    std::string path;
    ~Unmount() { test::RunShell("umount " + test::ShellQuote(path), "/"); }
  } unmount{work / "small"};
  WriteBytes(work / "big.pas", BigSource(2u << 20));
  WriteBytes(work / "small/out.html", "<html>the earlier document</html>\r\n");
  const RunResult result = Run({"before.pas,big.pas,after.pas", "small/out"});
  ExpectFailedWriteOutcome(result, work / "small", "out.html",
                           "<html>the earlier document</html>\r\n");
}

// Two runs at the same time make the same documents as one run alone.
TEST_F(FaultMatrixTest, TwoRunsAtOnceInOneTemporaryDirectory_PosixOnly) {
  std::string list;
  for (int i = 0; i < 6; ++i) {
    const std::string name = "f" + std::to_string(i) + ".pas";
    WriteBytes(work / name, BigSource((200u << 10) + static_cast<std::size_t>(i) * 1000));
    list += (list.empty() ? "" : ",") + name;
  }
  ASSERT_EQ(Run({list, "single"}).status, 0);
  const std::string single = ReadBytes(work / "single.html");
  const std::string quoted = test::ShellQuote(program) + " " + test::ShellQuote(list);
  const RunResult both = test::RunShell(
      quoted + " one >one.txt & " + quoted + " two >two.txt & wait", work.Path(), Environment());
  EXPECT_EQ(both.status, 0);
  EXPECT_TRUE(ReadBytes(work / "one.html") == single);
  EXPECT_TRUE(ReadBytes(work / "two.html") == single);
  for (const char* console : {"one.txt", "two.txt"}) {
    const std::string out = ReadBytes(work / console);
    EXPECT_EQ(Count(out, "Could not open file"), 0u) << out;
    EXPECT_NE(out.find("     Processed files: 6"), std::string::npos);
  }
  EXPECT_EQ(LeftoverFiles(), 0u);
}

} // namespace
} // namespace lexiform

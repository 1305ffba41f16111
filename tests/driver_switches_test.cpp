// The switches that make the program fit into scripts and pipes, through the real
// program: -q, -strict with its exit status, and "-" for standard input and output.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "test_support.h"

namespace lexiform {
namespace {

using test::ConsoleText;
using test::RunResult;

class SwitchesTest : public test::ProgramTest {
protected:
  SwitchesTest() { Write("a.pas", "program A; { a & b < c }\r\nbegin end.\r\n"); }
};

TEST_F(SwitchesTest, QuietRunSaysOnlyItsProblemsOnStandardError) {
  const RunResult result = Run({"-q", "a.pas,missing.pas", "out"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, ConsoleText("File not exists: missing.pas\n"));
  EXPECT_NE(Document().find("<a name=\"File_1\"></a>"), std::string::npos);
  // A fatal error is reported as always.
  EXPECT_EQ(Run({"a.pas", "no/such/dir/out", "-q"}).status, 1);
}

TEST_F(SwitchesTest, StrictRunEndsWithStatusTwoWhenSomethingIsMissing) {
  EXPECT_EQ(Run({"a.pas", "out", "-strict"}).status, 0);
  EXPECT_EQ(Run({"a.pas,missing.pas", "out"}).status, 0); // without -strict, as always
  // Too few arguments: the usage screen, or "Not enough parameters.".
  EXPECT_EQ(Run({}).status, 0);
  EXPECT_EQ(Run({"-strict"}).status, 2);
  EXPECT_EQ(Run({"a.pas", "-strict"}).status, 2);
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"a.pas,missing.pas", "out", "-strict"},
        std::vector<std::string>{"*.none,a.pas", "out", "-STRICT"},
        std::vector<std::string>{"a.pas", "out", "-strict", "-nonsense"},
        std::vector<std::string>{"a.pas,nowhere/*.pas", "out", "-sub", "-strict"}}) {
    std::remove((work / "out.html").c_str());
    const RunResult result = Run(arguments);
    EXPECT_EQ(result.status, 2) << arguments[0] << " " << arguments.back() << "\n" << result.out;
    // The document is still written, with what could be had.
    EXPECT_NE(Document().find("program"), std::string::npos);
  }
  const RunResult said = Run({"*.none,a.pas", "out", "-strict", "-nonsense"});
  EXPECT_NE(said.out.find("  No file matches: *.none"), std::string::npos) << said.out;
  EXPECT_NE(said.out.find("  Unknown switch: -nonsense"), std::string::npos) << said.out;
}

// "git show HEAD:a.pas | lexiform - - > a.html": the source from standard input, the
// document to standard output, the console text to standard error.
TEST_F(SwitchesTest, StandardInputAndOutputMakeAPipe_PosixOnly) {
  LEXIFORM_SKIP_ON_OTHER_PLATFORM();
  ASSERT_EQ(Run({"a.pas", "file.html"}).status, 0);
  const std::string quoted = test::ShellQuote(program);
  const RunResult piped =
      test::RunShell("cat a.pas | " + quoted + " - - >piped.html", work.Path(), Environment());
  EXPECT_EQ(piped.status, 0) << piped.err;
  EXPECT_NE(piped.err.find("  1: stdin (38 bytes)"), std::string::npos) << piped.err;
  // The same document as from the file, but for the source's name.
  std::string expected = Document("file.html");
  expected.replace(expected.find("a.pas"), 5, "stdin");
  EXPECT_EQ(Document("piped.html"), expected);

  const RunResult toOutput =
      test::RunShell(quoted + " a.pas - >stdout.html", work.Path(), Environment());
  EXPECT_EQ(toOutput.status, 0);
  EXPECT_EQ(Document("stdout.html"), Document("file.html"));
  EXPECT_NE(toOutput.err.find(" Files:"), std::string::npos);
}

} // namespace
} // namespace lexiform

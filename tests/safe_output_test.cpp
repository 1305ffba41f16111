// Nothing a user has may be lost: the document replaces the output only when a run has
// finished, never lands on an input, and an interrupted or failing run leaves the
// earlier document whole and nothing behind.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"

namespace fs = std::filesystem;

namespace lexiform {
namespace {

using test::ReadBytes;
using test::RunResult;

const std::string kEarlier = "<!DOCTYPE html>\r\n<title>the earlier document</title>\r\n";

class SafeOutputTest : public test::ProgramTest {
protected:
  void SetUp() override { LEXIFORM_SKIP_ON_OTHER_PLATFORM(); }

  // Files that a run left unfinished.
  std::vector<std::string> Unfinished(const std::string& directory = "") const {
    return test::UnfinishedFiles(directory.empty() ? work.Path() : directory);
  }

  // A refused run: status 1, the reason on standard error, and nothing written.
  void ExpectRefused(const RunResult& result, const std::string& says) {
    EXPECT_EQ(result.status, 1) << result.out << result.err;
    EXPECT_NE(result.err.find(says), std::string::npos) << result.err;
    EXPECT_EQ(result.out.find(" Files:"), std::string::npos) << result.out;
    EXPECT_TRUE(Unfinished().empty());
  }
};

// "lexiform *.pas doc.html" typed without quotes reaches the program as one argument
// per file, and the second file would become the output.
TEST_F(SafeOutputTest, ShellExpandedListIsRefused_PosixOnly) {
  for (const char* name : {"alpha.pas", "beta.pas", "gamma.pas"}) {
    Write(name, std::string("unit ") + name + ";\r\n");
  }
  const RunResult result = Run({"alpha.pas", "beta.pas", "gamma.pas", "doc.html"});
  ExpectRefused(result, "Unexpected argument \"gamma.pas\"");
  EXPECT_NE(result.err.find("lexiform \"*.pas\" doc.html"), std::string::npos) << result.err;
  EXPECT_EQ(Document("beta.pas"), "unit beta.pas;\r\n");
  EXPECT_FALSE(test::Exists(work / "doc.html"));
  // "-sub" and its depth may still follow the two names, in any case, more than once.
  EXPECT_EQ(Run({"*.pas", "doc.html", "-SUB", "2", "-sub"}).status, 0);
}

TEST_F(SafeOutputTest, OutputThatIsAnInputIsRefused_PosixOnly) {
  Write("a.pas", "unit A;\r\n");
  Write("b.pas", "unit B;\r\n");
  Write("a.html", "<p>a page someone wrote</p>\r\n");
  fs::create_hard_link(work / "a.pas", work / "hard.html");
  fs::create_symlink("a.pas", work / "soft.html");
  fs::create_symlink("b.pas", work / "soft.out");

  ExpectRefused(Run({"a.pas", "a.pas"}), "is the input file \"a.pas\"");
  ExpectRefused(Run({"a.html", "a"}), "The output \"a.html\" is the input file");
  ExpectRefused(Run({"a.pas", "hard.html"}), "is the input file");
  ExpectRefused(Run({"a.pas", "soft.html"}), "is the input file");
  ExpectRefused(Run({"*.pas", "soft.out"}), "is the input file \"b.pas\"");
  // A typo for b.html: b.pas is no input, but it is a Pascal source.
  ExpectRefused(Run({"a.pas", "b.pas"}), "is an existing Pascal source");
  Write("C.Dpr", "program C;\r\n");
  ExpectRefused(Run({"a.pas", "C.Dpr"}), "is an existing Pascal source");
  // The extension is the last dot's.
  Write("my.unit.pas", "unit My.Unit;\r\n");
  ExpectRefused(Run({"a.pas", "my.unit.pas"}), "is an existing Pascal source");
  EXPECT_EQ(Document("a.pas"), "unit A;\r\n");
  EXPECT_EQ(Document("b.pas"), "unit B;\r\n");
  EXPECT_EQ(Document("a.html"), "<p>a page someone wrote</p>\r\n");
}

TEST_F(SafeOutputTest, OutputThatIsTheConfigurationOrNoPlainFileIsRefused_PosixOnly) {
  Write("a.pas", "unit A;\r\n");
  ASSERT_EQ(Run({"a.pas", "first"}).status, 0); // writes the configuration file
  const std::string ini = ReadBytes(bin / "lexiform.ini");
  ExpectRefused(Run({"a.pas", bin / "lexiform.ini"}), "is the configuration file");
  EXPECT_EQ(ReadBytes(bin / "lexiform.ini"), ini);

  fs::create_directory(work / "folder.html");
  ExpectRefused(Run({"a.pas", "folder.html"}), "names a folder");
  ASSERT_EQ(test::RunShell("mkfifo pipe.html", work.Path()).status, 0);
  ExpectRefused(Run({"a.pas", "pipe.html"}), "is not a regular file");
}

TEST_F(SafeOutputTest, DocumentReplacesTheOutputWholeKeepingLinksAndPermissions_PosixOnly) {
  Write("a.pas", "unit A;\r\n");
  Write("docs/real.html", kEarlier);
  fs::permissions(work / "docs/real.html",
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink("docs/real.html", work / "link.html");
  // No temporary directory is needed at all.
  const RunResult result =
      test::RunProgram(program, {"a.pas", "link.html"}, work.Path(), {"TMPDIR=/nonexistent"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(fs::is_symlink(work / "link.html"));
  const std::string document = ReadBytes(work / "docs/real.html");
  EXPECT_NE(document.find("<b>unit</b> A"), std::string::npos);
  EXPECT_EQ(fs::status(work / "docs/real.html").permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_TRUE(Unfinished(work / "docs").empty());

  // A relative link counts from its own folder, not from the current one.
  fs::create_symlink("real.html", work / "docs/out.html");
  Write("real.html", kEarlier);
  ASSERT_EQ(Run({"a.pas", "docs/out.html"}).status, 0);
  EXPECT_TRUE(fs::is_symlink(work / "docs/out.html"));
  EXPECT_NE(ReadBytes(work / "docs/real.html").find("<b>unit</b> A"), std::string::npos);
  EXPECT_EQ(Document("real.html"), kEarlier);
}

// Run as root, replacing a user's document must leave it the user's, or they could no
// longer read it.
TEST_F(SafeOutputTest, ReplacedDocumentKeepsItsOwnerAndGroup_PosixOnly) {
  Write("a.pas", "unit A;\r\n");
  Write("out.html", kEarlier);
  if (test::RunShell("chown 65534:65534 out.html", work.Path()).status != 0) {
    GTEST_SKIP() << "only root can give a file to another user";
  }
  ASSERT_EQ(Run({"a.pas", "out.html"}).status, 0);
  EXPECT_NE(Document().find("<b>unit</b> A"), std::string::npos);
  EXPECT_EQ(test::RunShell("stat -c %u:%g out.html", work.Path()).out, "65534:65534\n");
}

// A file that is not a document, named as the output by a slip ("lexiform *" in a
// folder of a.pas and readme.txt), is refused; documents of every kind are replaced.
TEST_F(SafeOutputTest, ExistingFileThatIsNoDocumentIsRefused) {
  Write("a.pas", "unit A;\r\n");
  const std::string readme = "Read me first.\r\n";
  const std::string project = "<?xml version=\"1.0\"?>\r\n<CONFIG>\r\n<html/>\r\n";
  Write("readme.txt", readme);
  Write("project.lpi", project);
  for (const char* output : {"readme.txt", "project.lpi"}) {
    const RunResult result = Run({"a.pas", output});
    ExpectRefused(result, "exists and is no HTML document; nothing was written");
    EXPECT_NE(result.err.find("Quote it"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("delete the file"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("another name"), std::string::npos) << result.err;
  }
  EXPECT_EQ(Document("readme.txt"), readme);
  EXPECT_EQ(Document("project.lpi"), project);

  for (const std::string& earlier :
       {std::string(), std::string("\xEF\xBB\xBF \r\n\t<!doctype HTML>"),
        std::string("<HTML lang=en>")}) {
    Write("page.html", earlier);
    EXPECT_EQ(Run({"a.pas", "page.html"}).status, 0) << earlier;
    EXPECT_NE(Document("page.html").find("<b>unit</b> A"), std::string::npos) << earlier;
  }
  // A document made with the user's own header, which need not look like HTML.
  test::WriteBytes(bin / "lexiform.ini", "[Header]\r\n0=Plain text first\r\n1=<pre>\r\n");
  ASSERT_EQ(Run({"a.pas", "plain.txt"}).status, 0);
  ASSERT_EQ(Document("plain.txt").rfind("Plain text first\r\n", 0), 0u);
  EXPECT_EQ(Run({"a.pas", "plain.txt"}).status, 0);
}

// The configuration of the run cannot be the output, whether it exists yet or not.
TEST_F(SafeOutputTest, ConfigurationToBeIsRefusedAsOutput_PosixOnly) {
  Write("a.pas", "unit A;\r\n");
  // The first run writes the default file, and must not then replace it.
  ExpectRefused(Run({"a.pas", bin / "lexiform.ini"}), "is the configuration file");
  EXPECT_EQ(ReadBytes(bin / "lexiform.ini").rfind("; Ini file for Lexiform.exe\r\n", 0), 0u);

  // A dangling link beside the program: the runs use the configuration home, and so
  // does --help.
  fs::remove(bin / "lexiform.ini");
  fs::create_symlink("nowhere.ini", bin / "lexiform.ini");
  std::vector<std::string> environment = Environment();
  environment.push_back("XDG_CONFIG_HOME=" + (work / "xdg"));
  const std::string ini = work / "xdg/lexiform/lexiform.ini";
  const RunResult help = test::RunProgram(program, {"--help"}, work.Path(), environment);
  EXPECT_NE(help.out.find("  Configuration file: " + ini + "\n"), std::string::npos) << help.out;
  ExpectRefused(
      test::RunProgram(program, {"a.pas", "xdg/lexiform/lexiform.ini"}, work.Path(), environment),
      "is the configuration file");
  EXPECT_EQ(ReadBytes(ini).rfind("; Ini file for Lexiform.exe\r\n", 0), 0u);
  EXPECT_FALSE(test::Exists(bin / "nowhere.ini"));
}

// "d/" or "/" would give a hidden ".html" in that folder; a long name, whose unfinished
// file's name would be longer than a name may be, still works.
TEST_F(SafeOutputTest, OutputNamingAFolderIsRefusedAndLongNamesWork_PosixOnly) {
  Write("a.pas", "unit A;\r\n");
  fs::create_directory(work / "d");
  const bool rootHadIt = test::Exists("/.html");
  for (const char* output : {"d/", "d", "/", "."}) {
    ExpectRefused(Run({"a.pas", output}), "names a folder; nothing was written");
  }
  EXPECT_TRUE(fs::is_empty(work / "d"));
  if (!rootHadIt && test::Exists("/.html")) {
    ADD_FAILURE() << "a run wrote /.html";
    fs::remove("/.html");
  }

  for (const std::size_t length : {237u, 255u}) {
    const std::string name = std::string(length - 5, 'n') + ".html";
    const RunResult result = Run({"a.pas", name});
    EXPECT_EQ(result.status, 0) << length << result.err;
    EXPECT_NE(Document(name).find("<b>unit</b> A"), std::string::npos);
    EXPECT_TRUE(Unfinished().empty());
  }
}

// A stop signal that comes once the document is in place does not turn the finished
// run into a stopped one.
TEST_F(SafeOutputTest, StopSignalAfterTheReplaceLeavesTheRunFinished_PosixOnly) {
  Write("a.pas", "unit A;\r\n");
  for (const int signal : test::InterruptSignals()) {
    Write("out.html", kEarlier);
    std::vector<std::string> environment = Environment();
    // See Note [interrupts after the replace].
    environment.push_back("LEXIFORM_TEST_SIGNAL_AFTER_REPLACE=" + std::to_string(signal));
    const RunResult result = test::RunProgram(program, {"a.pas", "out"}, work.Path(), environment);
    EXPECT_EQ(result.status, 0) << signal;
    EXPECT_NE(result.out.find("Processed files: 1"), std::string::npos) << result.out;
    EXPECT_NE(Document().find("<b>unit</b> A"), std::string::npos);
  }
}

// A console that goes away (a pipe into "head" closing early) does not stop the run.
TEST_F(SafeOutputTest, ClosedConsolePipeStillGivesTheWholeDocument_PosixOnly) {
  std::string list;
  for (int i = 0; i < 3000; ++i) {
    const std::string name = "unit_with_a_rather_long_name_" + std::to_string(i) + ".pas";
    Write("src/" + name, "x\r\n");
  }
  Write("out.html", kEarlier);
  const RunResult result =
      test::RunShell("{ " + test::ShellQuote(program) +
                         " 'src/*.pas' out.html; echo $? >status; } | head -c 1 >/dev/null\n"
                         "exit $(cat status)",
                     work.Path(), Environment());
  EXPECT_EQ(result.status, 0) << result.err;
  const std::string document = Document();
  EXPECT_NE(document.find("<a name=\"File_3000\"></a>"), std::string::npos);
  EXPECT_NE(document.find("</html>\r\n", document.size() - 20), std::string::npos);
  EXPECT_TRUE(Unfinished().empty());
}

// Ctrl-C, SIGTERM, SIGHUP or SIGQUIT in the middle of a run: the earlier document is
// still there, whole; the unfinished one is gone; the status is the signal's.
TEST_F(SafeOutputTest, InterruptedRunLeavesTheEarlierDocument_PosixOnly) {
  Write("a.pas", "unit A;\r\n");
  Write("b.pas", "unit B;\r\n");
  for (const int signal : test::InterruptSignals()) {
    Write("out.html", kEarlier);
    std::vector<std::string> whileRunning;
    const RunResult result = test::RunProgramWithConsoleStalled(
        program, {"a.pas,b.pas", "out.html"}, work.Path(), Environment(), [&](int pid) {
          whileRunning = Unfinished();
          test::SendSignal(pid, signal);
        });
    EXPECT_EQ(result.status, 128 + signal) << result.err;
    EXPECT_EQ(whileRunning.size(), 1u) << "the unfinished document beside the output";
    EXPECT_EQ(Document(), kEarlier);
    EXPECT_TRUE(Unfinished().empty());
  }
}

TEST_F(SafeOutputTest, TwoRunsOnOneOutputEachWriteAWholeDocument_PosixOnly) {
  std::string list;
  for (int i = 0; i < 8; ++i) {
    const std::string name = "f" + std::to_string(i) + ".pas";
    Write(name, std::string(300000 + static_cast<std::size_t>(i), 'x') + "\r\n");
    list += (list.empty() ? "" : ",") + name;
  }
  ASSERT_EQ(Run({list, "single.html"}).status, 0);
  const std::string single = Document("single.html");
  const std::string run = test::ShellQuote(program) + " " + test::ShellQuote(list) + " same.html";
  const RunResult both =
      test::RunShell(run + " >one.txt & " + run + " >two.txt; s=$?; wait $! && exit $s",
                     work.Path(), Environment());
  EXPECT_EQ(both.status, 0) << both.err;
  // The header names the output: compare from the body on.
  const std::string document = Document("same.html");
  const std::string bodyMarker = "<!-- --------------- BODY START";
  EXPECT_EQ(document.substr(document.find(bodyMarker)), single.substr(single.find(bodyMarker)));
  EXPECT_TRUE(Unfinished().empty());
}

// Sources and configurations that never end or never answer cannot hold a run.
TEST_F(SafeOutputTest, EndlessSourcesAndConfigurationsEndTheirRead_PosixOnly) {
  Write("a.pas", "unit A; { a comment }\r\n");
  ASSERT_EQ(test::RunShell("mkfifo " + test::ShellQuote(bin / "lexiform.ini"), work.Path()).status,
            0);
  const std::string run = "timeout 20 " + test::ShellQuote(program) + " ";
  RunResult result = test::RunShell(run + "a.pas out", work.Path(), Environment());
  EXPECT_EQ(result.status, 0) << "a FIFO as configuration blocked the run";
  EXPECT_NE(Document().find("<i><font color=navy>"), std::string::npos) << "built-in styles";

  fs::remove(bin / "lexiform.ini");
  fs::create_symlink("/dev/zero", bin / "lexiform.ini");
  fs::create_symlink("/dev/zero", work / "zero.pas");
  result = test::RunShell(run + "a.pas,zero.pas out", work.Path(), Environment());
  EXPECT_EQ(result.status, 0) << result.out;

  // A source that grows while it is read is read to the length it had when opened.
  result = test::RunShell("(ulimit -f 400000; while :; do echo 'begin x := 1; end;'; done "
                          ">grow.pas) 2>/dev/null & writer=$!\n"
                          "while [ $(stat -c %s grow.pas 2>/dev/null || echo 0) -lt 1000000 ]; do "
                          "sleep 0.05; done\n" +
                              run + "grow.pas out\nstatus=$?\nkill $writer\nexit $status",
                          work.Path(), Environment());
  EXPECT_EQ(result.status, 0) << result.out;
  EXPECT_NE(Document().find("</pre>\r\n"), std::string::npos);
}

// A file name can hold any byte but "/" and NUL: on a terminal it must not be able to
// move the cursor, clear the screen or set the window title.
TEST_F(SafeOutputTest, NamesReachATerminalWithoutTheirControlBytes_PosixOnly) {
  const std::string evil = "a\x1b]0;owned\x07\x1b[2J.pas";
  Write(evil, "unit A;\r\n");
  const std::string command =
      "script -qec " + test::ShellQuote(test::ShellQuote(program) + " '*.pas' out") + " /dev/null";
  const RunResult onTerminal = test::RunShell(command, work.Path(), Environment());
  ASSERT_EQ(onTerminal.status, 0) << onTerminal.err;
  EXPECT_EQ(onTerminal.out.find(evil), std::string::npos);
  EXPECT_NE(onTerminal.out.find("a?]0;owned??[2J.pas"), std::string::npos) << onTerminal.out;
  // Through a pipe the bytes stay as they are.
  EXPECT_NE(Run({"*.pas", "out"}).out.find(evil), std::string::npos);
}

} // namespace
} // namespace lexiform

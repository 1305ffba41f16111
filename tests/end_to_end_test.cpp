// The real program, copied into a scratch directory, run over small trees that each
// test makes: console text (piped, so without colour sequences), exit status and the
// bytes of the document.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include "test_support.h"

namespace fs = std::filesystem;

namespace lexiform {
namespace {

using test::ConsoleText;
using test::ReadBytes;
using test::RunResult;
using test::ScratchDir;
using test::SplitConsoleLines;
using test::WriteBytes;

const std::string kRule(80, '-');

class EndToEndTest : public test::ProgramTest {
protected:
  void SetUp() override { LEXIFORM_SKIP_ON_OTHER_PLATFORM(); }
};

// The summary that ends a run's console text: after the last line an empty line, the
// rule, the count and the time.
void ExpectSummary(const std::string& out, std::size_t count) {
  const std::string summary = ConsoleText("\n\n") + test::ConsoleRule() +
                              "     Processed files: " + std::to_string(count) +
                              ConsoleText("\n      Execution time: ");
  const std::size_t at = out.rfind(summary);
  ASSERT_NE(at, std::string::npos) << out;
  EXPECT_TRUE(std::regex_match(out.substr(at + summary.size()),
                               std::regex("\\d+:\\d\\d:\\d\\d" + test::ConsoleLineEnd())))
      << out;
}

// The syntax lines name the program file with its suffix on Windows.
std::string Exe() {
  return test::IsWindowsProgram() ? ".exe" : "";
}

std::size_t Count(const std::string& text, const std::string& piece) {
  std::size_t count = 0;
  for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
    ++count;
  }
  return count;
}

TEST_F(EndToEndTest, NoArgumentsShowUsage) {
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{}, std::vector<std::string>{""}}) {
    const RunResult result = Run(arguments);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    // The closing rule ends its line on POSIX, so the shell's prompt starts a new one.
    EXPECT_EQ(result.out,
              ConsoleText(kRule +
                          "\n"
                          "  lexiform    Version 2.0\n"
                          "  Converts Pascal sources into one syntax-highlighted "
                          "HTML document\n"
                          "\n"
                          "  http://lexiform.example.org/\n"
                          "\n"
                          "  Syntax: lexiform" +
                          Exe() +
                          " PasFile|PasFiles HtmlFile [-sub [x]]\n"
                          "  Syntax: lexiform" +
                          Exe() +
                          " www\n"
                          "\n"
                          "    PasFile = filename, e.g. 1) Unit1.pas, 2) \"Unit 1.pas\"\n"
                          "    PasFiles = comma separated list of files\n"
                          "               e.g. \"First File.pas,My_Great_Prog.dpr\"\n"
                          "    HtmlFile = HTML file to create\n"
                          "    -sub = recurse subdirectories (to x-dir)\n"
                          "\n") +
                  test::ConsoleRule());
  }
  EXPECT_FALSE(test::Exists(bin / "lexiform.ini"));
  EXPECT_EQ(LeftoverFiles(), 0u);
}

// The version that CMakeLists.txt declares in project(... VERSION x ...).
std::string DeclaredVersion() {
  const std::string cmake = ReadBytes(std::string(LEXIFORM_SOURCE_DIR) + "/CMakeLists.txt");
  std::smatch match;
  EXPECT_TRUE(std::regex_search(cmake, match, std::regex("project\\([^)]*VERSION ([0-9.]+)")));
  return match[1];
}

TEST_F(EndToEndTest, HelpSwitchesShowTheUsageScreenAndVersionItsOneLine) {
  const RunResult usage = Run({});
  std::vector<std::string> helpSwitches = {"--help", "-h", "-?"};
  if (test::IsWindowsProgram()) {
    helpSwitches.push_back("/?");
  }
  for (const std::string& help : helpSwitches) {
    // Whatever follows: the request is answered and nothing is converted. After the
    // usage screen, on lines of their own, the newer switches and the exit statuses,
    // and last the configuration file in use.
    const RunResult result = Run({help, "out"});
    EXPECT_EQ(result.status, 0) << help;
    EXPECT_EQ(result.err, "") << help;
    EXPECT_EQ(result.out.rfind(usage.out, 0), 0u) << help;
    const std::string rest = result.out.substr(std::min(usage.out.size(), result.out.size()));
    EXPECT_TRUE(std::regex_match(rest, std::regex((test::IsWindowsProgram() ? "\r\n" : "") +
                                                  std::string("  Switches[\\s\\S]*"
                                                              "  Configuration file: .*[/\\\\]"
                                                              "lexiform\\.ini") +
                                                  test::ConsoleLineEnd())))
        << result.out;
    for (const char* listed : {"-html5 ", "-lines ", "-cp x ", "-q ", "-strict ", "- ",
                               "--version ", "Exit status: 0"}) {
      EXPECT_NE(rest.find("  " + std::string(listed)), std::string::npos) << listed;
    }
  }
  const RunResult version = Run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.err, "");
  EXPECT_EQ(version.out, "lexiform " + DeclaredVersion() + test::ConsoleLineEnd());
  EXPECT_NE(usage.out.find("    Version " + DeclaredVersion() + test::ConsoleLineEnd()),
            std::string::npos);

  EXPECT_FALSE(test::Exists(bin / "lexiform.ini"));
  EXPECT_FALSE(test::Exists(work / "out.html"));
  EXPECT_EQ(LeftoverFiles(), 0u);
}

TEST_F(EndToEndTest, SlashQuestionIsAPathNotASwitch_PosixOnly) {
  const RunResult result = Run({"/?"});
  EXPECT_EQ(result.status, 0);
  EXPECT_NE(result.out.find(" Error: Not enough parameters."), std::string::npos) << result.out;
}

TEST_F(EndToEndTest, UsageShowsTheProgramsOwnName) {
  const std::string renamed = test::InstallProgram(bin, "pas2html");
  const RunResult result = test::RunProgram(renamed, {}, work.Path());
  EXPECT_NE(result.out.find(ConsoleText("  pas2html    Version 2.0\n")), std::string::npos);
  EXPECT_NE(result.out.find(ConsoleText("  Syntax: pas2html" + Exe() + " www\n")),
            std::string::npos);
}

// Waits up to `seconds` for `path` to hold a whole line, and returns what it holds.
std::string AwaitLine(const std::string& path, int seconds) {
  for (int tenth = 0; tenth < seconds * 10; ++tenth) {
    const std::string text = test::Exists(path) ? ReadBytes(path) : std::string();
    if (!text.empty() && text.back() == '\n') {
      return text;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return {};
}

TEST_F(EndToEndTest, WwwStartsTheOpenerWithoutWaitingForIt_PosixOnly) {
  // An opener that stays (as one may until the browser ends): the program must not
  // wait for it.
  Write("fakebin/xdg-open", "#!/bin/sh\necho $$ > \"$(dirname \"$0\")/pid\"\n"
                            "echo \"$@\" > \"$(dirname \"$0\")/opened\"\nexec sleep 60\n");
  fs::permissions(work / "fakebin/xdg-open", fs::perms::owner_all);
  const std::string path = "PATH=" + (work / "fakebin") + ":/usr/bin:/bin";
  for (const char* word : {"www", "WwW"}) {
    fs::remove(work / "fakebin/opened");
    fs::remove(work / "fakebin/pid");
    const auto start = std::chrono::steady_clock::now();
    const RunResult result = test::RunProgram(program, {word}, work.Path(), {path});
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_LT(took, std::chrono::seconds(30));
    EXPECT_EQ(AwaitLine(work / "fakebin/opened", 20), "http://lexiform.example.org/\n");
    const std::string pid = AwaitLine(work / "fakebin/pid", 20);
    ASSERT_FALSE(pid.empty());
    test::RunShell("kill " + pid, work.Path());
  }
}

TEST_F(EndToEndTest, WwwWithoutAnOpenerShowsTheAddress_PosixOnly) {
  const RunResult missing = test::RunProgram(program, {"www"}, work.Path(), {"PATH=/nonexistent"});
  EXPECT_EQ(missing.status, 0);
  EXPECT_EQ(missing.out, "http://lexiform.example.org/\n");
}

TEST_F(EndToEndTest, OneArgumentIsNotEnough) {
  const RunResult result = Run({"a.pas"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out.rfind(ConsoleText(" Lexiform   Version 1.1\n\n Command line: " + program +
                                         " a.pas\n Error: Not enough parameters.\n\n"),
                             0),
            0u)
      << result.out;
  ExpectSummary(result.out, 0);
  EXPECT_FALSE(test::Exists(work / "a.html"));
}

TEST_F(EndToEndTest, OneFileMakesADocumentWithoutIndex) {
  Write("Unit1.pas", "unit Unit1;\r\n{ a < b & c }\r\nend.\r\n");
  const RunResult result = Run({"Unit1.pas", "out"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  const auto lines = SplitConsoleLines(result.out);
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], " Command line: " + fs::path(program).filename().string() + " Unit1.pas out");
  EXPECT_EQ(lines[2], " Files:");
  EXPECT_EQ(lines[3], "  1: Unit1.pas (34 bytes)");
  ExpectSummary(result.out, 1);

  const std::string document = Document();
  EXPECT_EQ(Count(document, "<blockquote>"), 0u);
  EXPECT_EQ(Count(document, "<a name="), 0u);
  EXPECT_NE(document.find("\r\n\r\n<hr>\r\n<font face=\"arial\" size=\"-1\">File 1: <b><font "
                          "face=\"arial\" color=\"#e3060c\">Unit1.pas</b></font></font><br>\r\n"
                          "<font face=\"arial\" size=\"-1\">File size: 34 bytes</font>\r\n"
                          "<pre>\r\n<code>\r\n"),
            std::string::npos);
  EXPECT_NE(document.find("{ a &lt; b &amp; c }"), std::string::npos) << document;
  EXPECT_EQ(document.find('\x01'), std::string::npos);
  EXPECT_EQ(document.substr(document.size() - 11), "</html>\r\n\r\n");
  EXPECT_TRUE(test::Exists(bin / "lexiform.ini"));
  EXPECT_EQ(LeftoverFiles(), 0u);
}

TEST_F(EndToEndTest, CommaListWithMissingEmptyAndDirectoryEntries) {
  Write("a.pas", "begin end.\r\n");
  Write("empty.pas", "");
  fs::create_directories(work / "folder");
  const RunResult result = Run({"a.pas,missing.pas,empty.pas,folder", "doc.htm"});
  EXPECT_EQ(result.status, 0);
  EXPECT_NE(
      result.out.find(ConsoleText("  2: missing.pas ( 0 bytes)\n  File not exists: missing.pas\n")),
      std::string::npos);
  EXPECT_NE(result.out.find(ConsoleText("  3: empty.pas ( 0 bytes)\n  4: folder ( 0 bytes)\n"
                                        "  File not exists: folder\n")),
            std::string::npos);
  ExpectSummary(result.out, 4);

  const std::string document = Document("doc.htm");
  EXPECT_EQ(Count(document, "<li>"), 4u);
  EXPECT_NE(document.find("<li><a href=#File_2>missing.pas</a><font size=\"-2\">&nbsp;&nbsp; "
                          "&mdash; &nbsp;&nbsp;<b> 0 bytes</b></font></li>\r\n"),
            std::string::npos);
  EXPECT_EQ(Count(document, "<hr>"), 2u);
  EXPECT_NE(document.find("<a name=\"File_1\"></a>"), std::string::npos);
  EXPECT_EQ(document.find("<a name=\"File_2\"></a>"), std::string::npos);
  // The empty file gets its head lines and no body.
  EXPECT_NE(document.find("<a name=\"File_3\"></a>\r\n<font face=\"arial\" size=\"-1\">File 3: "
                          "<b><font face=\"arial\" color=\"#e3060c\">empty.pas</b></font></font>"
                          "<br>\r\n<font face=\"arial\" size=\"-1\">File size:  0 bytes</font>\r\n"
                          "<!--"),
            std::string::npos);
  EXPECT_EQ(Count(document, "<pre>"), 1u);
}

TEST_F(EndToEndTest, WildcardsAndDuplicatesInPlainMode) {
  Write("src/b.pas", "b\r\n");
  Write("src/a.pas", "a\r\n");
  Write("src/notes.txt", "n\r\n");
  const RunResult result = Run({"src/*.pas,src/a.pas,src/*.none", "out"});
  EXPECT_EQ(result.status, 0);
  EXPECT_NE(result.out.find(ConsoleText("  1: src/a.pas ( 3 bytes)\n  2: src/b.pas ( 3 bytes)\n"
                                        "  3: src/a.pas ( 3 bytes)\n")),
            std::string::npos);
  ExpectSummary(result.out, 3);
  const std::string document = Document();
  EXPECT_NE(document.find("<li>src/<a href=#File_1>a.pas</a>"), std::string::npos);
  EXPECT_NE(document.find("File 2: src/<b><font face=\"arial\" color=\"#e3060c\">b.pas</b>"),
            std::string::npos);
}

TEST_F(EndToEndTest, RecursiveSearchHonoursDepth) {
  Write("top.pas", "x\r\n");
  Write("src/a.pas", "x\r\n");
  Write("src/lib/l.pas", "x\r\n");
  Write("src/lib/deep/d.pas", "x\r\n");
  Write("src/util/u.pas", "x\r\n");

  auto filesOf = [](const RunResult& result) {
    std::vector<std::string> files;
    const std::regex entry("  \\d+: (.*) \\( 3 bytes\\)");
    for (const std::string& line : SplitConsoleLines(result.out)) {
      std::smatch match;
      if (std::regex_match(line, match, entry)) {
        files.push_back(match[1]);
      }
    }
    return files;
  };

  const RunResult all = Run({"src/*.pas", "out", "-sub"});
  // The search joins what it finds with the platform's separator.
  auto native = [](std::vector<std::string> paths) {
    for (std::string& path : paths) {
      path = test::NativePath(path);
    }
    return paths;
  };
  EXPECT_EQ(filesOf(all),
            native({"src/a.pas", "src/lib/l.pas", "src/lib/deep/d.pas", "src/util/u.pas"}));
  const auto lines = SplitConsoleLines(all.out);
  ASSERT_GE(lines.size(), 2u) << all.out;
  EXPECT_EQ(lines[0], "     Please wait ...");
  EXPECT_EQ(lines[1], "     Processing 4 files ...");

  EXPECT_EQ(filesOf(Run({"src/*.pas", "out", "-sub", "1"})),
            native({"src/a.pas", "src/lib/l.pas", "src/util/u.pas"}));
  EXPECT_EQ(filesOf(Run({"src/*.pas", "out", "-SUB", "0"})), native({"src/a.pas"}));

  // A bare mask searches the current directory, named by its absolute path.
  const std::string cwd = fs::canonical(work.Path()).string();
  EXPECT_EQ(filesOf(Run({"d.pas,top.pas", "out", "-sub"})),
            (std::vector<std::string>{cwd + test::NativePath("/src/lib/deep/d.pas"),
                                      cwd + test::NativePath("/top.pas")}));
}

// Names that tell the two foldings apart: with letters folded to upper case (as NTFS
// orders a directory) "[" and "_" sort after every letter; folded to lower case they
// would sort before them.
TEST_F(EndToEndTest, EntriesAndDirectoriesInTheOrderOfUpperCaseFolding) {
  for (const char* name : {"a_b.pas", "a[.pas", "aZ.pas", "ab.pas", "a_b/x.pas", "ab/x.pas"}) {
    Write(name, "x\r\n");
  }
  const RunResult plain = Run({"*.pas", "out"});
  EXPECT_NE(plain.out.find(ConsoleText("  1: ab.pas ( 3 bytes)\n  2: aZ.pas ( 3 bytes)\n"
                                       "  3: a[.pas ( 3 bytes)\n  4: a_b.pas ( 3 bytes)\n")),
            std::string::npos)
      << plain.out;

  const RunResult recursive = Run({"*.pas", "out", "-sub"});
  const std::string cwd = fs::canonical(work.Path()).string();
  std::string expected;
  int number = 0;
  for (const char* name :
       {"/ab.pas", "/aZ.pas", "/a[.pas", "/a_b.pas", "/ab/x.pas", "/a_b/x.pas"}) {
    expected +=
        "  " + std::to_string(++number) + ": " + cwd + test::NativePath(name) + " ( 3 bytes)\n";
  }
  EXPECT_NE(recursive.out.find(ConsoleText(expected)), std::string::npos) << recursive.out;
}

// Beyond ASCII too, letters fold to upper case by Unicode's simple mapping on both
// platforms: byte order ("Ä1, Éb, ä, é1, é2, éa") would differ from NTFS's.
TEST_F(EndToEndTest, NamesBeyondAsciiInTheOrderOfUnicodeUpperCase) {
  const std::vector<std::string> ordered{"\xc3\xa4.pas",
                                         "\xc3\x84"
                                         "1.pas",
                                         "\xc3\xa9"
                                         "1.pas",
                                         "\xc3\xa9"
                                         "2.pas",
                                         "\xc3\xa9"
                                         "a.pas",
                                         "\xc3\x89"
                                         "b.pas"};
  for (const std::string& name : ordered) {
    Write(name, "x\r\n");
  }
  ASSERT_EQ(Run({"*.pas", "out", "-html5"}).status, 0);
  EXPECT_EQ(test::Html5IndexNames(Document()), ordered);
}

TEST_F(EndToEndTest, SubInFirstOrSecondPositionIsAlsoAnArgument) {
  Write("a.pas", "x\r\n");
  const RunResult second = Run({"a.pas", "-sub"});
  EXPECT_EQ(second.status, 0);
  EXPECT_TRUE(test::Exists(work / "-sub.html"));
  EXPECT_NE(second.out.find("     Please wait ..."), std::string::npos);

  // "-sub 2": "-sub" is the file list and "2" the document.
  const RunResult first = Run({"-sub", "2"});
  EXPECT_EQ(first.status, 0);
  EXPECT_NE(first.out.find("     Processing 0 files ..."), std::string::npos);
  EXPECT_TRUE(test::Exists(work / "2.html"));
}

TEST_F(EndToEndTest, NothingFoundGivesHeaderAndFooterOnly) {
  const RunResult result = Run({"*.none", "out"});
  EXPECT_EQ(result.status, 0);
  ExpectSummary(result.out, 0);
  const std::string document = Document();
  EXPECT_EQ(Count(document, "<hr>"), 0u);
  EXPECT_EQ(document.rfind("<!DOCTYPE", 0), 0u);
  EXPECT_NE(document.find("<body>\r\n\r\n<!-- --------------- BODY   END"), std::string::npos);
}

TEST_F(EndToEndTest, ConfigurationIsWrittenOnceAndHonouredNextRun) {
  Write("a.pas", "begin end.\r\n");
  ASSERT_EQ(Run({"a.pas", "out"}).status, 0);
  const std::string ini = ReadBytes(bin / "lexiform.ini");
  EXPECT_EQ(Count(ini, "\r\n"), 72u);
  EXPECT_NE(Document().find("<title>Created with Lexiform</title>"), std::string::npos);
  EXPECT_NE(Document().find("<b>begin</b>"), std::string::npos);

  const std::string mine = "[header]\r\n7=<title>Mine</title>\r\n[KEYWORD]\r\nPrefix=<em>\r\n";
  WriteBytes(bin / "lexiform.ini", mine);
  ASSERT_EQ(Run({"a.pas", "out"}).status, 0);
  const std::string document = Document();
  EXPECT_EQ(document.rfind("<title>Mine</title>\r\n\r\n<hr>", 0), 0u) << document;
  // A section with only a prefix writes no suffix.
  EXPECT_NE(document.find("<em>begin <em>end<font color=maroon>.</font>\r\n"), std::string::npos);
  // Existing configuration is never rewritten.
  EXPECT_EQ(ReadBytes(bin / "lexiform.ini"), mine);
}

TEST_F(EndToEndTest, NowhereToWriteTheConfigurationUsesBuiltInStyles_PosixOnly) {
  if (!CanRunAsNobody()) {
    GTEST_SKIP() << "setpriv is needed to run as another user";
  }
  Write("a.pas", "{ note }\r\n");
  // Neither the program's directory nor the configuration home can be written.
  const RunResult result = RunAsNobody({"a.pas", "out"}, {"XDG_CONFIG_HOME=/proc/none"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_FALSE(test::Exists(bin / "lexiform.ini"));
  const std::string document = Document();
  EXPECT_NE(document.find("<title>out.html - created by lexiform</title>"), std::string::npos);
  EXPECT_NE(document.find("<meta name=\"author\" content=\"nobody\">"), std::string::npos);
  EXPECT_NE(document.find("<i><font color=navy>{ note }</i></font>"), std::string::npos);
}

// Installed where its user cannot write, the program keeps its configuration in the
// user's configuration directory.
class ConfigurationHomeTest : public test::ProgramTest {
protected:
  void SetUp() override {
    LEXIFORM_SKIP_ON_OTHER_PLATFORM();
    if (!CanRunAsNobody()) {
      GTEST_SKIP() << "setpriv is needed to run as another user";
    }
    Write("a.pas", "begin end.\r\n");
    fs::create_directories(work / "home");
    fs::permissions(work / "home", fs::perms::all);
  }

  // Runs as "nobody" with the home directory in `work`.
  RunResult RunAtHome(const std::vector<std::string>& arguments, const std::string& configHome) {
    return RunAsNobody(arguments, {"HOME=" + (work / "home"), "XDG_CONFIG_HOME=" + configHome});
  }
};

TEST_F(ConfigurationHomeTest, DefaultFileIsWrittenAndReadThere_PosixOnly) {
  const std::string ini = work / "home/.config/lexiform/lexiform.ini";
  ASSERT_EQ(RunAtHome({"a.pas", "out"}, "").status, 0);
  EXPECT_FALSE(test::Exists(bin / "lexiform.ini"));
  EXPECT_EQ(Count(ReadBytes(ini), "\r\n"), 72u);
  EXPECT_NE(Document().find("<title>Created with Lexiform</title>"), std::string::npos);

  // The user's own file is read and kept; --help names it.
  WriteBytes(ini, "[Header]\r\n0=<title>Mine</title>\r\n");
  ASSERT_EQ(RunAtHome({"a.pas", "out"}, "").status, 0);
  EXPECT_EQ(Document().rfind("<title>Mine</title>\r\n", 0), 0u) << Document();
  EXPECT_EQ(ReadBytes(ini), "[Header]\r\n0=<title>Mine</title>\r\n");
  const RunResult help = RunAtHome({"--help"}, "");
  EXPECT_NE(help.out.find("\n  Configuration file: " + ini + "\n"), std::string::npos) << help.out;
}

TEST_F(ConfigurationHomeTest, XdgConfigHomeIsHonoured_PosixOnly) {
  fs::create_directories(work / "xdg");
  fs::permissions(work / "xdg", fs::perms::all);
  ASSERT_EQ(RunAtHome({"a.pas", "out"}, work / "xdg").status, 0);
  EXPECT_EQ(Count(ReadBytes(work / "xdg/lexiform/lexiform.ini"), "\r\n"), 72u);
  EXPECT_FALSE(test::Exists(work / "home/.config"));
  // A relative XDG_CONFIG_HOME is not taken: the default place serves.
  ASSERT_EQ(RunAtHome({"a.pas", "out"}, "xdg").status, 0);
  EXPECT_TRUE(test::Exists(work / "home/.config/lexiform/lexiform.ini"));
}

TEST_F(ConfigurationHomeTest, AFileBesideTheProgramWins_PosixOnly) {
  WriteBytes(bin / "lexiform.ini", "[Header]\r\n0=<title>Beside</title>\r\n");
  ASSERT_EQ(RunAtHome({"a.pas", "out"}, "").status, 0);
  EXPECT_EQ(Document().rfind("<title>Beside</title>\r\n", 0), 0u) << Document();
  EXPECT_FALSE(test::Exists(work / "home/.config"));
  EXPECT_NE(RunAtHome({"-h"}, "").out.find("  Configuration file: " + (bin / "lexiform.ini")),
            std::string::npos);
}

// Installed by a package (into a usr/bin below some root), the program leaves no file of
// its own beside itself, even where it could (root's runs): the configuration home
// serves, unless a file already stands beside it.
TEST_F(EndToEndTest, ProgramInASystemFolderKeepsItsConfigurationAtHome_PosixOnly) {
  Write("a.pas", "begin end.\r\n");
  for (const char* folder : {"usr/bin", "usr/local/bin"}) {
    fs::create_directories(work / folder);
    const std::string installed = work / (std::string(folder) + "/lexiform");
    fs::copy_file(program, installed);
    const std::vector<std::string> environment = {"XDG_CONFIG_HOME=" + (work / "xdg")};
    const std::string home = work / "xdg/lexiform/lexiform.ini";
    ASSERT_EQ(test::RunProgram(installed, {"a.pas", "out"}, work.Path(), environment).status, 0);
    EXPECT_FALSE(test::Exists(installed + ".ini")) << folder;
    EXPECT_EQ(Count(ReadBytes(home), "\r\n"), 72u);
    EXPECT_NE(test::RunProgram(installed, {"--help"}, work.Path(), environment)
                  .out.find("  Configuration file: " + home + "\n"),
              std::string::npos);

    WriteBytes(installed + ".ini", "[Header]\r\n0=<title>Beside</title>\r\n");
    ASSERT_EQ(test::RunProgram(installed, {"a.pas", "out"}, work.Path(), environment).status, 0);
    EXPECT_EQ(Document().rfind("<title>Beside</title>\r\n", 0), 0u) << folder;
    fs::remove(home);
    fs::remove(work / "out.html"); // its header is not the next run's
  }
}

TEST_F(EndToEndTest, OutputInMissingDirectoryFailsWithStatusOne) {
  Write("a.pas", "x\r\n");
  const RunResult result = Run({"a.pas", "no/such/dir/out"});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("no/such/dir/out.html"), std::string::npos) << result.err;
  EXPECT_EQ(result.out.find("Processed files"), std::string::npos);
  EXPECT_EQ(LeftoverFiles(), 0u);
}

TEST_F(EndToEndTest, UnreadableFileIsReportedAndTheRunGoesOn_PosixOnly) {
  if (!CanRunAsNobody()) {
    GTEST_SKIP() << "setpriv is needed to run as another user";
  }
  Write("a.pas", "a\r\n");
  Write("locked.pas", "secret\r\n");
  Write("c.pas", "c\r\n");
  fs::permissions(work / "locked.pas", fs::perms::none);
  const RunResult result = RunAsNobody({"a.pas,locked.pas,c.pas", "out"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.out.find("  Could not open file: locked.pas\n"), std::string::npos);
  const std::string document = Document();
  EXPECT_NE(document.find("<a name=\"File_1\"></a>"), std::string::npos);
  EXPECT_EQ(document.find("secret"), std::string::npos);
  EXPECT_NE(document.find("<a name=\"File_3\"></a>"), std::string::npos);
  EXPECT_EQ(document.substr(document.size() - 9), "</html>\r\n");

  // An HTML5 index, written before any entry is converted, already knows: the item is
  // marked and links nowhere, and no section is written.
  const RunResult html5 = RunAsNobody({"a.pas,locked.pas,c.pas", "out", "-html5"});
  EXPECT_EQ(html5.status, 0) << html5.err;
  const std::string modern = Document();
  EXPECT_NE(modern.find("<li class=\"unreadable\"><span class=\"name\">locked.pas</span>"),
            std::string::npos);
  EXPECT_EQ(modern.find("locked-pas"), std::string::npos) << "a link or a section of locked.pas";
  EXPECT_NE(modern.find("<section id=\"f-c-pas-"), std::string::npos);
}

// A file that opens but cannot be read (a kernel attribute that refuses it) fails only
// during its conversion, when the HTML5 index already links it: a short section under
// the same id, with the reason, stands in for its text, so that the link lands. The
// classic document stays as it was: no section.
TEST_F(EndToEndTest, FileFailingAfterTheIndexStillHasItsSection_PosixOnly) {
  const std::string refusing = "/sys/class/net/lo/speed";
  std::error_code error;
  const bool sized = fs::file_size(refusing, error) > 0 && !error;
  std::ifstream probe(refusing, std::ios::binary);
  char byte = 0;
  if (!sized || !probe.is_open() || probe.read(&byte, 1).gcount() != 0) {
    GTEST_SKIP() << refusing << " is not a file that opens and then refuses to be read";
  }
  Write("a.pas", "a\r\n");
  fs::create_symlink(refusing, work / "speed.pas");
  const RunResult html5 = Run({"a.pas,speed.pas", "out", "-html5"});
  EXPECT_EQ(html5.status, 0) << html5.err;
  EXPECT_NE(html5.out.find("  Could not open file: speed.pas\n"), std::string::npos);
  const std::string document = Document();
  std::smatch link;
  ASSERT_TRUE(
      std::regex_search(document, link, std::regex("<a href=\"#(f-speed-pas-[0-9a-f]+)\">")))
      << document;
  const std::string section =
      "<section id=\"" + link[1].str() +
      "\">\r\n<h2><span class=\"name\">speed.pas</span> <span class=\"state\">(could not be "
      "read)</span><a class=\"up\" href=\"#index\">&uarr; Files</a></h2>\r\n<p class=\"state\">";
  const std::size_t at = document.find(section);
  ASSERT_NE(at, std::string::npos) << document;
  const std::size_t end = document.find("</p>\r\n</section>\r\n", at);
  EXPECT_NE(end, std::string::npos);
  EXPECT_NE(document.substr(at + section.size(), end - at - section.size()).find("speed.pas"),
            std::string::npos)
      << "the reason names the file";
  const std::string documentEnd = "</body>\r\n</html>\r\n";
  EXPECT_EQ(document.substr(document.size() - documentEnd.size()), documentEnd);

  EXPECT_EQ(Run({"a.pas,speed.pas", "out"}).status, 0);
  EXPECT_EQ(Document().find("<a name=\"File_2\">"), std::string::npos);
}

// An unknown code page, named by -cp or by [Options], refuses the run before anything is
// written, with the pages the program knows.
TEST_F(EndToEndTest, UnknownCodePageRefusesTheRun) {
  Write("a.pas", "x\r\n");
  Write("out.html", "<html>kept");
  const RunResult result = Run({"a.pas", "out", "-html5", "-cp", "1999"});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("Unknown code page \"1999\" (-cp)"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("1250 (windows-1250)"), std::string::npos) << result.err;
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(Document(), "<html>kept");

  test::WriteBytes(bin / "lexiform.ini", "[Options]\r\nCodePage=koi8-r\r\n");
  const RunResult configured = Run({"a.pas", "out", "-html5"});
  EXPECT_EQ(configured.status, 1);
  EXPECT_NE(configured.err.find("\"koi8-r\" (CodePage in [Options] of "), std::string::npos)
      << configured.err;
  EXPECT_EQ(Document(), "<html>kept");
  // The command line overrides the configuration.
  EXPECT_EQ(Run({"a.pas", "out", "-html5", "-cp", "850"}).status, 0);
}

TEST_F(EndToEndTest, NamesWithMarkupAreEscapedInTheDocument_PosixOnly) {
  const std::string name = "a&b <c> \"d\".pas";
  Write(name, "x\r\n");
  const RunResult result = Run({name + ",x.pas", "out"});
  EXPECT_EQ(result.status, 0);
  EXPECT_NE(result.out.find("  1: " + name + " ( 3 bytes)"), std::string::npos);
  const std::string document = Document();
  EXPECT_NE(document.find(">a&amp;b &lt;c&gt; &quot;d&quot;.pas</a>"), std::string::npos);
  EXPECT_EQ(document.find("<c>"), std::string::npos);
}

// Checks console text for what a pipe must not get: escape sequences, and line ends
// other than the platform's: a bare LF or CR CR from a Windows program, any CR from a
// POSIX one (logs and grep would see it).
void ExpectPlainConsoleText(const std::string& text) {
  EXPECT_EQ(text.find('\x1b'), std::string::npos) << text;
  if (!test::IsWindowsProgram()) {
    EXPECT_EQ(text.find('\r'), std::string::npos) << text;
    return;
  }
  EXPECT_EQ(text.find("\r\r"), std::string::npos) << text;
  for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1)) {
    ASSERT_TRUE(at > 0 && text[at - 1] == '\r') << "bare LF at " << at << " in " << text;
  }
}

TEST_F(EndToEndTest, PipedConsoleTextIsPlainWithThePlatformsLineEnds) {
  Write("a.pas", "x\r\n");
  auto runPiped = [this](const std::vector<std::string>& arguments) {
    return test::RunProgramThroughPipe(program, arguments, work.Path(), Environment());
  };
  const RunResult run = runPiped({"a.pas,gone.pas", "out"});
  ASSERT_EQ(run.status, 0) << run.err;
  ExpectPlainConsoleText(run.out);
  // The same text on every platform, but for the program's file name and the line ends.
  const std::string expected = ConsoleText("\n Command line: lexiform" + Exe() +
                                           " a.pas,gone.pas out\n"
                                           " Files:\n"
                                           "  1: a.pas ( 3 bytes)\n"
                                           "  2: gone.pas ( 0 bytes)\n"
                                           "  File not exists: gone.pas\n");
  EXPECT_EQ(run.out.substr(0, expected.size()), expected);
  ExpectSummary(run.out, 2);

  const RunResult usage = runPiped({});
  ExpectPlainConsoleText(usage.out);
  EXPECT_EQ(usage.out.rfind(ConsoleText(kRule + "\n  lexiform    Version 2.0\n"), 0), 0u)
      << usage.out;

  const RunResult error = runPiped({"a.pas"});
  ExpectPlainConsoleText(error.out);
  ExpectSummary(error.out, 0);
}

TEST_F(EndToEndTest, ColoursOnlyOnATerminal_PosixOnly) {
  Write("a.pas", "x\r\n");
  const std::string command = "script -qec " +
                              test::ShellQuote(test::ShellQuote(program) + " a.pas,gone.pas out") +
                              " /dev/null";
  const RunResult result = test::RunShell(command, work.Path(), Environment());
  ASSERT_EQ(result.status, 0);
  EXPECT_NE(result.out.find("\x1b]0;Lexiform\x07"), std::string::npos);
  EXPECT_NE(result.out.find("  1: \x1b[32ma.pas\x1b[0m ( 3 bytes)"), std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find("\x1b[91m  File not exists: gone.pas"), std::string::npos);

  const RunResult piped = Run({"a.pas,gone.pas", "out"});
  EXPECT_EQ(piped.out.find('\x1b'), std::string::npos);
}

} // namespace
} // namespace lexiform

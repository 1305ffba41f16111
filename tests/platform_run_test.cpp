// The harness that the end-to-end tests start programs with: exit status, captured
// output, working directory and environment, on POSIX through sh and on Windows
// through cmd.exe, so the same end-to-end tests hold under both.

#include <gtest/gtest.h>

#include <filesystem>

#include "test_support.h"

namespace fs = std::filesystem;

namespace lexiform::test {
namespace {

// A shell command that prints the value of `variable` followed by a line end.
std::string PrintVariable(const std::string& variable) {
  return IsWindowsProgram() ? "echo %" + variable + "%" : "echo \"$" + variable + "\"";
}

std::string LineEnd() {
  return IsWindowsProgram() ? "\r\n" : "\n";
}

TEST(RunShellTest, ReportsStatusAndKeepsBothStreamsApart) {
  ScratchDir dir;
  const RunResult result = RunShell("echo out&& echo err 1>&2&& exit 3", dir.Path());
  EXPECT_EQ(result.status, 3);
  EXPECT_EQ(result.out, "out" + LineEnd());
  EXPECT_EQ(result.err.substr(0, 3), "err");
}

TEST(RunShellTest, RunsInTheWorkDirectoryWithTheGivenEnvironment) {
  ScratchDir dir;
  WriteBytes(dir / "marker.txt", "here");
  const RunResult listed =
      RunShell(IsWindowsProgram() ? "type marker.txt" : "cat marker.txt", dir.Path());
  EXPECT_EQ(listed.out, "here");

  const RunResult named =
      RunShell(PrintVariable("LEXIFORM_PROBE"), dir.Path(), {"LEXIFORM_PROBE=a b"});
  EXPECT_EQ(named.out, "a b" + LineEnd());

  // One assignment moves the temporary directory wherever the system looks for it.
  for (const char* variable : {"TMPDIR", "TMP", "TEMP"}) {
    if (!IsWindowsProgram() && std::string(variable) != "TMPDIR") {
      continue;
    }
    const RunResult temp = RunShell(PrintVariable(variable), dir.Path(), {"TMPDIR=" + (dir / "t")});
    EXPECT_EQ(temp.out, (dir / "t") + LineEnd()) << variable;
  }
}

TEST(RunShellTest, QuotedArgumentsSurviveTheShell) {
  ScratchDir dir;
  // Each name is written by the shell's redirection, so quoting decides where it lands.
  for (const std::string name : {"plain.txt", "with blank.txt", "a&b.txt", "x,y.txt"}) {
    const RunResult result = RunShell("echo x>" + ShellQuote(name), dir.Path());
    EXPECT_EQ(result.status, 0) << name << result.err;
    EXPECT_TRUE(fs::exists(dir / name)) << name;
  }
}

} // namespace
} // namespace lexiform::test

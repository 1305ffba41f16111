#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace lexiform::test {

// A fresh directory for one test; removed when the test passed, kept for a look when
// it failed.
class ScratchDir {
public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& Path() const { return path_; }
  // `relative` inside the directory.
  std::string operator/(const std::string& relative) const;

private:
  std::string path_;
};

void WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);
bool Exists(const std::string& path);

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

// Whether the test program is a Windows program (on Windows or under Wine).
bool IsWindowsProgram();

// Sets an environment variable of the test program, or removes it. On Windows a
// variable cannot hold the empty text: setting it to "" removes it.
void SetEnvironment(const std::string& name, const std::string& value);
void UnsetEnvironment(const std::string& name);

// Puts "NAME=value" assignments into the test program's environment for one scope and
// restores the earlier values (or their absence) when it ends. "TMPDIR=x" stands for
// every variable that names the temporary directory here (TMPDIR; TMP and TEMP on
// Windows), so one assignment moves the program's temporary files on both platforms.
class ScopedEnvironment {
public:
  explicit ScopedEnvironment(const std::vector<std::string>& assignments);
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// Why the running test is skipped here: a test whose name ends in "_PosixOnly" holds
// only where the test program is a POSIX program, one ending in "_WindowsOnly" only
// where it is a Windows program. Empty when the test runs. See
// LEXIFORM_SKIP_ON_OTHER_PLATFORM below.
std::string PlatformSkipReason();

// Quotes one argument for the shell that RunShell uses: POSIX sh, or on Windows
// cmd.exe, where the argument is quoted as the C runtime splits a command line
// (only when it needs quotes: empty, or holding blanks, quotes or cmd.exe's special
// characters) so that the command line reads as a user would type it.
std::string ShellQuote(const std::string& argument);

// Runs `commandLine` through the shell (sh, or cmd.exe on Windows) in `workDir`, with
// standard input empty and the given extra environment assignments ("NAME=value").
// On Windows "TMPDIR=x" also sets TMP and TEMP, where the system looks for the
// temporary directory, so one assignment moves the temporary files on both platforms.
RunResult RunShell(const std::string& commandLine, const std::string& workDir,
                   const std::vector<std::string>& environment = {});

// Copies the built program into `dir` under `name` (plus the executable suffix) and
// returns the copy's path: the program writes its configuration file beside itself.
std::string InstallProgram(const ScratchDir& dir, const std::string& name = "lexiform");

// Runs an installed program with arguments (each quoted) in `workDir`, with the
// environment handled as by RunShell. On Windows the program is started directly,
// without cmd.exe, so its raw command line is the quoted program and arguments.
RunResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                     const std::string& workDir, const std::vector<std::string>& environment = {});

// `path` with every "/" replaced by the separator that the program puts between a
// directory and a name ("\\" on Windows).
std::string NativePath(const std::string& path);

// As RunProgram, with the program's standard output going into a pipe that the test
// reads, as when a user pipes the program into another one.
RunResult RunProgramThroughPipe(const std::string& program,
                                const std::vector<std::string>& arguments,
                                const std::string& workDir,
                                const std::vector<std::string>& environment = {});

// Runs the program (POSIX only) with its standard output going into a pipe that is
// full before it starts, so that the program stops where it first flushes its console
// text (the first entry line, when the document has been started); then runs
// `whileStalled` with the program's process id and reads the console text after it.
// A program that never gets there, or never ends, is given 60 seconds each.
RunResult RunProgramWithConsoleStalled(const std::string& program,
                                       const std::vector<std::string>& arguments,
                                       const std::string& workDir,
                                       const std::vector<std::string>& environment,
                                       const std::function<void(int pid)>& whileStalled);

// The signals that interrupt a run from outside (POSIX: SIGINT, SIGTERM, SIGHUP,
// SIGQUIT; none on Windows), and sending one to a process.
std::vector<int> InterruptSignals();
void SendSignal(int pid, int signal);

// The unfinished documents (".NAME.lexiform-" and random characters, beside the
// output) in `directory` and below, by path.
std::vector<std::string> UnfinishedFiles(const std::string& directory);

// The names (the part after the directory) of an -html5 document's index, in its order.
std::vector<std::string> Html5IndexNames(const std::string& document);

// Splits text at CR LF; a trailing CR LF gives no empty last element.
std::vector<std::string> SplitCrLfLines(const std::string& text);

// The line end of the program's console text: CR LF for a Windows program, LF on POSIX.
std::string ConsoleLineEnd();
// `text`, written with "\n" line ends, as the program's console text has it here.
std::string ConsoleText(const std::string& text);
// The rule of 80 "-" as the console gets it: with a line end of its own on POSIX, none
// on Windows (whose console wraps after it).
std::string ConsoleRule();
// Splits console text at the program's line ends; a final line end gives no empty last
// element.
std::vector<std::string> SplitConsoleLines(const std::string& text);

// The real program copied into a scratch directory of its own (it writes its
// configuration file beside itself), run in another scratch directory `work` whose
// "tmp" folder is its temporary directory.
class ProgramTest : public ::testing::Test {
protected:
  ProgramTest();

  std::vector<std::string> Environment() const { return {"TMPDIR=" + (work / "tmp")}; }
  RunResult Run(const std::vector<std::string>& arguments) {
    return RunProgram(program, arguments, work.Path(), Environment());
  }
  // Writes `bytes` to `relative` inside `work`, making its directories.
  void Write(const std::string& relative, const std::string& bytes);
  std::string Document(const std::string& relative = "out.html") const {
    return ReadBytes(work / relative);
  }
  // What a run left behind that it should not have: unfinished documents anywhere in
  // `work`, and anything at all in the temporary directory, which the program never uses.
  std::size_t LeftoverFiles() const;

  // Whether the program can be run as the unprivileged user "nobody" (POSIX, setpriv).
  static bool CanRunAsNobody();
  // Runs the program as "nobody" (the tests run as root, who may read anything): the
  // scratch directories are opened to everyone first, the program's own directory
  // only for reading. `environment` adds assignments to Environment().
  RunResult RunAsNobody(const std::vector<std::string>& arguments,
                        const std::vector<std::string>& environment = {});

  ScratchDir bin;
  ScratchDir work;
  std::string program;
};

} // namespace lexiform::test

// First statement of a test (or of a fixture's SetUp) whose name says it holds on one
// platform only: skips it, with the reason, on the other.
#define LEXIFORM_SKIP_ON_OTHER_PLATFORM()                                                          \
  do {                                                                                             \
    const std::string lexiformSkipReason = ::lexiform::test::PlatformSkipReason();                 \
    if (!lexiformSkipReason.empty()) {                                                             \
      GTEST_SKIP() << lexiformSkipReason;                                                          \
    }                                                                                              \
  } while (false)

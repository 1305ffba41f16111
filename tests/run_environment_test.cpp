// The run in a hostile environment, end to end: standard streams closed, a FIFO in the
// list, limits on open files, memory and file size, folders that cannot be searched, a
// terminal that control bytes could take over, an absurd thread count, a file edited
// while the writer is busy. Each case runs the real program.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"

namespace fs = std::filesystem;

namespace lexiform {
namespace {

// An earlier document the program may replace: it must look like one.
constexpr const char* kEarlierDocument = "<!DOCTYPE html>\r\n<p>the earlier document</p>\r\n";

using test::ReadBytes;
using test::RunResult;
using test::ShellQuote;

const std::string kSource = "program A;\r\n{ a < b & c }\r\nbegin\r\n  Writeln('<x>');\r\nend.\r\n";

std::size_t Count(const std::string& text, const std::string& piece) {
  std::size_t count = 0;
  for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
    ++count;
  }
  return count;
}

// The threads of a running process, from /proc; 0 when it cannot be read.
int ThreadCount(int pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("Threads:", 0) == 0) {
      return std::stoi(line.substr(8));
    }
  }
  return 0;
}

class RunEnvironmentTest : public test::ProgramTest {
protected:
  void SetUp() override {
    LEXIFORM_SKIP_ON_OTHER_PLATFORM();
    Write("a.pas", kSource);
  }

  // The program's command line with `arguments`, for the shell.
  std::string Command(const std::vector<std::string>& arguments) const {
    std::string command = ShellQuote(program);
    for (const std::string& argument : arguments) {
      command += " " + ShellQuote(argument);
    }
    return command;
  }
  // `command` run by bash after `setup` (ulimit and the like), given `seconds` at most:
  // a program that hangs ends with status 124 instead of hanging the test.
  RunResult RunLimited(const std::string& setup, const std::string& command, int seconds = 60,
                       const std::vector<std::string>& environment = {}) {
    std::vector<std::string> assignments = Environment();
    assignments.insert(assignments.end(), environment.begin(), environment.end());
    const std::string script = setup + (setup.empty() ? "" : " && ") + "exec " + command;
    return test::RunShell("timeout " + std::to_string(seconds) + " bash -c " + ShellQuote(script),
                          work.Path(), assignments);
  }
  // `command` on a terminal of its own (script), what the terminal showed as the output.
  RunResult RunOnTerminal(const std::string& command) {
    return test::RunShell("script -qec " + ShellQuote(command) + " /dev/null", work.Path(),
                          Environment());
  }
  // Whether the earlier document is still there and no unfinished file is left beside it.
  void ExpectEarlierDocumentKept(const std::string& earlier) {
    EXPECT_EQ(Document(), earlier);
    for (const auto& entry : fs::directory_iterator(work.Path())) {
      EXPECT_EQ(entry.path().filename().string().find(".lexiform-"), std::string::npos)
          << entry.path();
    }
  }
};

// A closed standard stream must not become the document: the console text (or a quiet
// run's problem line) would be written into it.
TEST_F(RunEnvironmentTest, ClosedStandardStreamsNeverBecomeTheDocument_PosixOnly) {
  ASSERT_EQ(Run({"a.pas,missing.pas", "reference"}).status, 0);
  const std::string reference = Document("reference.html");
  ASSERT_EQ(reference.rfind("<", 0), 0u);
  for (const char* closing : {">&-", "2>&-", "<&-"}) {
    for (const char* quiet : {"", " -q"}) {
      const std::string command = Command({"a.pas,missing.pas", "out"}) + quiet + " " + closing;
      const RunResult result = test::RunShell(command, work.Path(), Environment());
      EXPECT_EQ(result.status, 0) << command << "\n" << result.err;
      EXPECT_TRUE(Document() == reference) << command << ":\n" << Document().substr(0, 200);
    }
  }
}

// Opening a FIFO waits for a writer that never comes: the index of an HTML5 document
// must not open it to look at it, and its turn must not either.
TEST_F(RunEnvironmentTest, FifoInTheListIsNeverOpened_PosixOnly) {
  ASSERT_EQ(test::RunShell("mkfifo fifo.pas", work.Path()).status, 0);
  for (const char* layout : {"-html5", "-lines"}) {
    const RunResult result = RunLimited("", Command({"a.pas,fifo.pas,a.pas", "out", layout}));
    ASSERT_EQ(result.status, 0) << layout << " (124: the run hung)\n" << result.err;
    EXPECT_NE(result.out.find("  2: fifo.pas ( 0 bytes)"), std::string::npos) << result.out;
    const std::string document = Document();
    EXPECT_EQ(Count(document, "Writeln"), 2u);
    EXPECT_NE(document.find("</html>", document.size() - 16), std::string::npos);
  }
}

// LEXIFORM_THREADS=99999 over many files must not start a thread per file. The run is
// held at its first entry line, when every worker has started; large enough bodies
// keep the workers from ending before.
TEST_F(RunEnvironmentTest, ThreadCountIsCapped_PosixOnly) {
  std::string list;
  const std::string line = "alpha := beta < gamma; { note & more }\r\n";
  std::string text;
  while (text.size() < (40u << 10)) {
    text += line;
  }
  for (int i = 0; i < 300; ++i) {
    Write("many/" + std::to_string(i) + ".pas", text);
  }
  int threads = 0;
  const test::ScopedEnvironment environment({"LEXIFORM_THREADS=99999"});
  const RunResult result = test::RunProgramWithConsoleStalled(
      program, {"many/*.pas", "out", "-sub"}, work.Path(), Environment(),
      [&threads](int pid) { threads = ThreadCount(pid); });
  EXPECT_EQ(result.status, 0) << result.err;
  const unsigned hardware = std::max(std::thread::hardware_concurrency(), 1u);
  const int most = static_cast<int>(std::min(4 * hardware, 64u));
  EXPECT_GT(threads, 0);
  EXPECT_LE(threads, most + 1) << "(one more for a sanitizer's own thread)";
}

// Running out of open files or memory is no fault of the entry at hand: the run ends as
// a fatal error that names the reason, and the earlier document stays.
TEST_F(RunEnvironmentTest, ResourcesRunningOutEndTheRun_PosixOnly) {
  Write("out.html", kEarlierDocument);
  if (RunLimited("ulimit -n 4", Command({"--version"})).status != 0) {
    GTEST_SKIP() << "the program cannot start with four files (a sanitizer build)";
  }
  const RunResult files = RunLimited("ulimit -n 4", Command({"a.pas,a.pas", "out"}));
  EXPECT_EQ(files.status, 1) << files.out;
  EXPECT_NE(files.err.find("OutOfResources: Cannot open \"a.pas\": Too many open files"),
            std::string::npos)
      << files.err;
  EXPECT_EQ(files.out.find("Could not open file"), std::string::npos) << files.out;
  ExpectEarlierDocumentKept(kEarlierDocument);

  const std::string memoryLimit = "ulimit -v 262144";
  if (RunLimited(memoryLimit, Command({"--version"})).status != 0) {
    GTEST_SKIP() << "the program cannot start within the memory limit (a sanitizer build)";
  }
  // A sparse file: it takes no room on the disk, but loading it needs more memory than
  // the limit leaves.
  std::ofstream(work / "big.pas").close();
  fs::resize_file(work / "big.pas", std::uintmax_t{512} << 20);
  const RunResult memory = RunLimited(memoryLimit, Command({"a.pas,big.pas,a.pas", "out"}));
  EXPECT_EQ(memory.status, 1) << memory.out;
  EXPECT_NE(memory.err.find("OutOfMemory: Not enough memory to convert \"big.pas\""),
            std::string::npos)
      << memory.err;
  EXPECT_EQ(memory.out.find("Could not open file"), std::string::npos) << memory.out;
  ExpectEarlierDocumentKept(kEarlierDocument);
}

// A document that fails early (the file-size limit) while workers are busy with many
// entries ahead: the workers are told to stop and the run ends at once.
TEST_F(RunEnvironmentTest, FailedDocumentStopsTheWorkers_PosixOnly) {
  std::string text;
  for (int line = 0; text.size() < (400u << 10); ++line) {
    text += "alpha beta gamma delta epsilon zeta eta theta iota kappa\r\n";
  }
  for (int i = 0; i < 40; ++i) {
    Write("big/" + std::to_string(100 + i) + ".pas", text);
  }
  Write("out.html", kEarlierDocument);
  const RunResult result = RunLimited("ulimit -f 1024", Command({"big/*.pas", "out", "-sub"}), 60,
                                      {"LEXIFORM_THREADS=3"});
  EXPECT_EQ(result.status, 1) << "(124: the run hung)\n" << result.err;
  EXPECT_NE(result.err.find("Cannot write \"out.html\""), std::string::npos) << result.err;
  ExpectEarlierDocumentKept(kEarlierDocument);
}

// A file edited after its look (see Note [one look at an entry]), while the writer is
// held up at its first entry line: the index, the console and the section all show the
// size of the look, and the section the text read up to that size: the old text when a
// worker read it before the edit, else the start of the new one. The run is held until
// the one worker (if any) has converted everything and ended.
TEST_F(RunEnvironmentTest, FileEditedAfterItsLookKeepsThatLooksSize_PosixOnly) {
  const std::string old = "{ old }\r\n";
  const std::string edited = "{ new, and longer than the old text }\r\nbegin end.\r\n";
  for (const char* threads : {"LEXIFORM_THREADS=2", "LEXIFORM_THREADS=1"}) {
    SCOPED_TRACE(threads);
    Write("b.pas", old);
    Write("c.pas", kSource);
    const test::ScopedEnvironment environment({threads});
    const RunResult result = test::RunProgramWithConsoleStalled(
        program, {"a.pas,b.pas,c.pas", "out"}, work.Path(), Environment(), [&](int pid) {
          // The worker has ended when the writer is alone; a sanitizer's own thread may
          // stay, so a count that holds for a second does too.
          using Clock = std::chrono::steady_clock;
          const auto deadline = Clock::now() + std::chrono::seconds(30);
          auto changed = Clock::now();
          for (int count = ThreadCount(pid); count > 1 && Clock::now() < deadline &&
                                             Clock::now() - changed < std::chrono::seconds(1);) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            const int now = ThreadCount(pid);
            if (now != count) {
              count = now;
              changed = Clock::now();
            }
          }
          Write("b.pas", edited);
        });
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("  2: b.pas ( 9 bytes)"), std::string::npos) << result.out;
    const std::string document = Document();
    EXPECT_NE(document.find("b.pas</a><font size=\"-2\">&nbsp;&nbsp; &mdash; "
                            "&nbsp;&nbsp;<b> 9 bytes</b>"),
              std::string::npos);
    const std::string section = document.substr(document.find("<a name=\"File_2\">"),
                                                document.find("<a name=\"File_3\">") -
                                                    document.find("<a name=\"File_2\">"));
    EXPECT_NE(section.find("File size:  9 bytes"), std::string::npos) << section;
    const bool workerRead = std::string(threads) == "LEXIFORM_THREADS=2";
    EXPECT_NE(section.find(workerRead ? "{ old }" : "{ new, an"), std::string::npos) << section;
    EXPECT_EQ(section.find("longer"), std::string::npos) << section;
  }
}

// A folder that can be read but not searched hides its files' very existence: it is
// reported as such, not the file as missing.
TEST_F(RunEnvironmentTest, FolderThatCannotBeSearched_PosixOnly) {
  if (!CanRunAsNobody()) {
    GTEST_SKIP() << "setpriv is needed to run as another user";
  }
  Write("locked/b.pas", kSource);
  fs::permissions(work / "locked",
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  const RunResult result = RunAsNobody({"a.pas,locked/b.pas,a.pas", "out"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.out.find("  2: locked/b.pas ( 0 bytes)\n"
                            "  Cannot search directory: locked (Permission denied)\n"
                            "  3: a.pas ("),
            std::string::npos)
      << result.out;
  EXPECT_EQ(result.out.find("File not exists"), std::string::npos);
  const RunResult strict = RunAsNobody({"a.pas,locked/b.pas", "out", "-strict"});
  EXPECT_EQ(strict.status, 2);
}

// On a terminal a name cannot bring its control bytes (DEL among them) along: not on
// standard output, not on standard error in a quiet run, not in a fatal message.
TEST_F(RunEnvironmentTest, ControlBytesInNamesNeverReachATerminal_PosixOnly) {
  if (test::RunShell("command -v script", work.Path()).status != 0) {
    GTEST_SKIP() << "script is needed for a terminal";
  }
  const std::string clear = "\x1b[2J";
  Write("d\x7f"
        "el.pas",
        kSource);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {Command({"d\x7f"
                "el.pas",
                "out"}),
       "  1: \x1b[32md?el.pas\x1b[0m ("},
      {Command({"mi" + clear + "ss\x7f.pas", "out", "-q"}) + " >/dev/null",
       "File not exists: mi?[2Jss?.pas"},
      {Command({"a.pas", "no/such" + clear + "dir/out"}) + " >/dev/null",
       "Cannot create \"no/such?[2Jdir/out.html\""},
      {Command({"a.pas", "out", "extra" + clear + "\x7f"}) + " >/dev/null", "\"extra?[2J?\""},
  };
  for (const auto& [command, shown] : cases) {
    const RunResult result = RunOnTerminal(command);
    EXPECT_NE(result.out.find(shown), std::string::npos) << command << "\n" << result.out;
    EXPECT_EQ(result.out.find(clear), std::string::npos) << command;
    EXPECT_EQ(result.out.find('\x7f'), std::string::npos) << command;
  }
}

// The 32-bit Windows program may use the address space above 2 GB (on a 64-bit Windows,
// 4 GB in all): the flag IMAGE_FILE_LARGE_ADDRESS_AWARE in its file header.
TEST_F(RunEnvironmentTest, ProgramIsLargeAddressAware_WindowsOnly) {
  if (sizeof(void*) != 4) {
    GTEST_SKIP() << "a 64-bit program has the whole address space anyway";
  }
  const std::string image = ReadBytes(program);
  ASSERT_GT(image.size(), 0x40u);
  const auto byteAt = [&image](std::size_t at) {
    return static_cast<unsigned>(static_cast<unsigned char>(image.at(at)));
  };
  const std::size_t header = byteAt(0x3C) | byteAt(0x3D) << 8 | byteAt(0x3E) << 16;
  ASSERT_EQ(image.substr(header, 4), std::string("PE\0\0", 4));
  const unsigned characteristics = byteAt(header + 22) | byteAt(header + 23) << 8;
  EXPECT_NE(characteristics & 0x20u, 0u);
}

} // namespace
} // namespace lexiform

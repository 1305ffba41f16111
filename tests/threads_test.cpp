// Converting ahead on worker threads changes no byte: a run with any number of threads
// writes the document and the console text that a run on one thread writes, with
// missing, empty, unreadable and large entries among the others, in the document as it
// has always been, in an HTML5 document with numbered lines, and in a site.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "test_support.h"

namespace fs = std::filesystem;

namespace lexiform {
namespace {

using test::RunResult;

// Pascal-like text of about `size` bytes, with what the fix-up and the line rules care
// about, line ends of every kind, and bytes that are UTF-8 in some texts and not in
// others.
std::string SourceText(std::mt19937& random, std::size_t size) {
  static const char* const kLines[] = {
      "begin x := a < b; end;", "{ Tom & Jerry <tag> }",
      "s := 'it''s & <b>';",    "asm mov eax, 1 end;",
      "(* multi\rline *)",      "// note & more",
      "y := $FF + 12.5e3;",     "property P: Integer read FP write FP;",
      "{ n\xC3\xA3o }",         "{ n\xE3o \x93q\x94 }"};
  static const char* const kEnds[] = {"\r\n", "\n", "\r"};
  std::string text;
  while (text.size() < size) {
    text += kLines[random() % std::size(kLines)];
    text += kEnds[random() % 20 == 0 ? 1 + random() % 2 : 0];
  }
  return text;
}

// Sections of either kind of document.
std::size_t SectionCount(const std::string& document) {
  std::size_t count = 0;
  for (const char* start : {"<hr>\r\n", "<section id="}) {
    for (std::size_t at = document.find(start); at != std::string::npos;
         at = document.find(start, at + 1)) {
      ++count;
    }
  }
  return count;
}

class ThreadsTest : public test::ProgramTest {
protected:
  void SetUp() override { LEXIFORM_SKIP_ON_OTHER_PLATFORM(); }

  // The document (if the run wrote one) and the console text of a run with `threads`
  // threads, less the elapsed time, which no two runs share.
  std::pair<std::string, std::string> RunWith(const std::string& threads,
                                              const std::vector<std::string>& arguments) {
    const test::ScopedEnvironment environment({"LEXIFORM_THREADS=" + threads});
    const RunResult result = asNobody_ ? RunAsNobody(arguments) : Run(arguments);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    std::string console = result.out;
    console.erase(console.find("      Execution time: "));
    return {test::Exists(work / "out.html") ? Document() : std::string(), console};
  }

  void WriteSources();

  bool asNobody_ = false;
};

// Sources of every size, empty ones and some larger than a worker takes among them;
// two cannot be read where the program can run as another user.
void ThreadsTest::WriteSources() {
  std::mt19937 random(2024);
  asNobody_ = CanRunAsNobody();
  for (int i = 0; i < 240; ++i) {
    const std::string name = (i % 3 == 0 ? "src/sub/" : "src/") + std::to_string(i) + ".pas";
    std::size_t size = random() % 30000;
    if (i % 40 == 7) {
      size = (600u << 10) + random() % (900u << 10); // more than a worker takes
    } else if (i % 25 == 3) {
      size = 0;
    }
    Write(name, SourceText(random, size));
    if (asNobody_ && (i == 50 || i == 127)) {
      fs::permissions(work / name, fs::perms::none); // 127 is one of the large ones
    }
  }
  if (asNobody_) {
    for (const char* directory : {"src", "src/sub"}) {
      fs::permissions(work / directory, fs::perms::all);
    }
  }
}

TEST_F(ThreadsTest, AnyNumberOfThreadsWritesWhatOneThreadWrites_PosixOnly) {
  WriteSources();
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"src/*.pas,missing.pas,src/sub/*.pas,,gone.pas", "out"},
        std::vector<std::string>{"*.pas", "out", "-sub"},
        std::vector<std::string>{"src/*.pas,missing.pas,src/sub/*.pas,gone.pas", "out", "-html5",
                                 "-lines"},
        std::vector<std::string>{"*.pas", "out", "-sub", "-lines"}}) {
    const auto reference = RunWith("1", arguments);
    ASSERT_GE(SectionCount(reference.first), 200u);
    if (asNobody_) {
      ASSERT_NE(reference.second.find("  Could not open file: "), std::string::npos);
    }
    for (const char* threads : {"2", "5", ""}) {
      const auto other = RunWith(threads, arguments);
      EXPECT_TRUE(other.first == reference.first) << "threads: " << threads;
      EXPECT_EQ(other.second, reference.second) << "threads: " << threads;
    }
  }
}

// The same for a site: every page, the index and the shared files.
TEST_F(ThreadsTest, AnyNumberOfThreadsWritesTheSiteOneThreadWrites_PosixOnly) {
  WriteSources();
  const std::vector<std::string> arguments = {"src/*.pas,missing.pas", "site", "-sub", "-site"};
  const auto siteOf = [this](const std::string& threads, const std::vector<std::string>& args) {
    fs::remove_all(work / "site");
    std::string console = RunWith(threads, args).second;
    std::string site;
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(work / "site")) {
      if (entry.is_regular_file()) {
        files.push_back(entry.path());
      }
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
      site += file.string() + "\n" + test::ReadBytes(file.string());
    }
    return std::make_pair(site, console);
  };
  const auto reference = siteOf("1", arguments);
  ASSERT_NE(reference.first.find("sub/99.pas.html"), std::string::npos);
  for (const char* threads : {"2", "5", ""}) {
    const auto other = siteOf(threads, arguments);
    EXPECT_TRUE(other.first == reference.first) << "threads: " << threads;
    EXPECT_EQ(other.second, reference.second) << "threads: " << threads;
  }
}

} // namespace
} // namespace lexiform

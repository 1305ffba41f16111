// A code site through the real program: it never touches a folder or a file that it did
// not write, it updates its own earlier site, and an interrupted or failing run leaves
// no stray folder and a site a browser can use.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "test_support.h"

namespace fs = std::filesystem;

namespace lexiform {
namespace {

using test::ReadBytes;
using test::RunResult;

// Every file below `folder` with its bytes, by its path from there.
std::map<std::string, std::string> Tree(const fs::path& folder) {
  std::map<std::string, std::string> files;
  std::error_code error;
  for (const auto& entry : fs::recursive_directory_iterator(folder, error)) {
    if (entry.is_regular_file()) {
      files[entry.path().lexically_relative(folder).generic_string()] =
          ReadBytes(entry.path().string());
    }
  }
  return files;
}

// Names that hold ".lexiform-": what a run leaves unfinished, at any depth.
std::vector<std::string> Leftovers(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::recursive_directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (name.find(".lexiform-") != std::string::npos) {
      names.push_back(entry.path().string());
    }
  }
  return names;
}

class SiteRunTest : public test::ProgramTest {
protected:
  void WriteSources(int count, std::size_t bytes = 40) {
    for (int i = 0; i < count; ++i) {
      const std::string name = "u" + std::to_string(i);
      std::string text = "unit " + name + ";\r\n";
      while (text.size() < bytes) {
        text += "{ padding } const C" + std::to_string(text.size()) + " = 1;\r\n";
      }
      Write("src/" + std::string(i % 2 == 0 ? "" : "sub/") + name + ".pas", text);
    }
  }

  RunResult RunSite(const std::string& target) {
    return Run({"src/*.pas", target, "-sub", "-site"});
  }

  void ExpectRefused(const RunResult& result, const std::string& says) {
    EXPECT_EQ(result.status, 1) << result.out << result.err;
    EXPECT_NE(result.err.find(says), std::string::npos) << result.err;
    EXPECT_TRUE(Leftovers(work.Path()).empty());
  }

  // A site a browser can use: its index, every page the index links to, the shared
  // files, and nothing half-written.
  void ExpectWholeSite(const fs::path& site) {
    const std::map<std::string, std::string> files = Tree(site);
    ASSERT_TRUE(files.count("index.html") > 0) << site;
    const std::string& index = files.at("index.html");
    ASSERT_NE(index.find("</html>\r\n"), std::string::npos);
    std::size_t links = 0;
    const std::string href = "<a href=\"";
    for (std::size_t at = index.find(href); at != std::string::npos;
         at = index.find(href, at + 1)) {
      const std::size_t start = at + href.size();
      const std::string page = index.substr(start, index.find('"', start) - start);
      ++links;
      ASSERT_TRUE(files.count(page) > 0) << page;
      EXPECT_NE(files.at(page).find("</html>\r\n"), std::string::npos) << page;
    }
    EXPECT_GT(links, 0u);
    for (const char* shared : {"site.css", "site.js", "files.js", "lexiform-site.txt"}) {
      EXPECT_TRUE(files.count("_lexiform/" + std::string(shared)) > 0) << shared;
    }
    EXPECT_TRUE(Leftovers(site).empty());
  }
};

TEST_F(SiteRunTest, RefusesEveryPlaceThatIsNotItsOwnAndTouchesNothing) {
  WriteSources(3);
  Write("docs/README", "my notes\n");
  Write("notes.txt", "a file\n");
  const std::map<std::string, std::string> before = Tree(work.Path());

  ExpectRefused(RunSite("docs"), "\"docs\" is not empty and holds no site");
  ExpectRefused(RunSite("src"), "holds the input");
  ExpectRefused(RunSite(work.Path()), "holds the input");
  ExpectRefused(RunSite("notes.txt"), "is not a folder");
  ExpectRefused(RunSite("src/u0.pas"), "is the input file");
  ExpectRefused(RunSite("-"), "cannot go to standard output");
  ExpectRefused(Run({"-", "site", "-site"}), "cannot be made from standard input");
  EXPECT_EQ(Tree(work.Path()), before);
}

TEST_F(SiteRunTest, ARunOverItsOwnSiteUpdatesItAndKeepsTheUsersFiles) {
  WriteSources(4);
  Write("src/deep/er/still/d.pas", "unit D;\r\n"); // the folders on its way hold no page
  fs::create_directories(work / "site");           // an empty folder is taken as it is
  ASSERT_EQ(RunSite("site").status, 0);
  ExpectWholeSite(work / "site");
  EXPECT_TRUE(test::Exists(work / "site/sub/u1.pas.html"));
  EXPECT_TRUE(test::Exists(work / "site/deep/er/still/d.pas.html"));
  // A manifest can only ever name files of the site.
  Write("victim.txt", "outside\n");
  const std::string manifest = work / "site/_lexiform/lexiform-site.txt";
  test::WriteBytes(manifest, ReadBytes(manifest) + "../victim.txt\n" + work / "victim.txt\n");
  Write("site/CNAME", "example.org\n");
  Write("site/.git/config", "[core]\n");
  Write("site/sub/README.md", "kept\n");
  fs::remove(work / "src/sub/u1.pas");
  fs::remove(work / "src/u2.pas");
  Write("src/new/n.pas", "unit N;\r\n");

  const RunResult again = RunSite("site");
  ASSERT_EQ(again.status, 0) << again.out << again.err;
  ExpectWholeSite(work / "site");
  const std::map<std::string, std::string> site = Tree(work / "site");
  EXPECT_EQ(site.count("sub/u1.pas.html"), 0u) << "the earlier site's page of a file now gone";
  EXPECT_EQ(site.count("u2.pas.html"), 0u);
  EXPECT_EQ(site.count("new/n.pas.html"), 1u);
  EXPECT_EQ(site.at("CNAME"), "example.org\n");
  EXPECT_EQ(site.at(".git/config"), "[core]\n");
  EXPECT_EQ(site.at("sub/README.md"), "kept\n");
  EXPECT_EQ(Document("victim.txt"), "outside\n");
  EXPECT_TRUE(Leftovers(work.Path()).empty());

  // A file of the user's where a new page would go stops the run before it writes.
  Write("src/later.pas", "unit Later;\r\n");
  Write("site/later.pas.html", "mine\n");
  const std::map<std::string, std::string> kept = Tree(work / "site");
  ExpectRefused(RunSite("site"), "\"later.pas.html\", which Lexiform did not write");
  EXPECT_EQ(Tree(work / "site"), kept);
}

// SIGINT at a random moment of a large run: whatever the moment, no stray folder, and
// the site (when the run had got far enough to have one) is whole; a second run over
// an interrupted update completes it.
TEST_F(SiteRunTest, InterruptAtAnyMomentLeavesNoStrayFolder_PosixOnly) {
  LEXIFORM_SKIP_ON_OTHER_PLATFORM();
  WriteSources(400, 20000);
  std::mt19937 random(std::random_device{}());
  // A shell starts background jobs with SIGINT ignored; env gives it back its default.
  const std::string run = "env --default-signal=INT " + test::ShellQuote(program) +
                          " 'src/*.pas' site -sub -site -q & ";
  // The moment: anywhere in the time a whole run takes here.
  const auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(RunSite("site").status, 0);
  std::chrono::duration<double> whole = std::chrono::steady_clock::now() - started;
  int interrupted = 0;
  // A busy machine can make the first run slow and the later ones fast: a run that ended
  // before its interrupt halves the span the next moment is drawn from.
  for (int attempt = 0; attempt < 4 || (interrupted == 0 && attempt < 10); ++attempt) {
    const bool update = attempt % 2 == 1;
    fs::remove_all(work / "site");
    if (update) {
      ASSERT_EQ(RunSite("site").status, 0);
    }
    const double delay = std::uniform_real_distribution<double>(0.0, 0.9 * whole.count())(random);
    const RunResult result = test::RunShell(run + "pid=$!\nsleep " + std::to_string(delay) +
                                                "\nkill -INT $pid\nwait $pid\nexit $?",
                                            work.Path(), Environment());
    EXPECT_TRUE(result.status == 0 || result.status == 128 + 2)
        << "after " << delay << " s: " << result.status << result.err;
    interrupted += result.status != 0 ? 1 : 0;
    if (result.status == 0) {
      whole /= 2;
    }
    EXPECT_TRUE(Leftovers(work.Path()).empty()) << "after " << delay << " s";
    if (update || test::Exists(work / "site")) {
      ExpectWholeSite(work / "site");
    }
  }
  EXPECT_GT(interrupted, 0) << "no run was interrupted: the runs are too short to test";
  ASSERT_EQ(RunSite("site").status, 0);
  ExpectWholeSite(work / "site");
  std::size_t pagesAndData = 0;
  for (const auto& [file, bytes] : Tree(work / "site")) {
    const bool data =
        file.rfind("_lexiform/refs/", 0) == 0 || file.rfind("_lexiform/lines/", 0) == 0;
    pagesAndData += data ? 0 : 1;
  }
  EXPECT_EQ(pagesAndData, 400u + 7u)
      << "the pages, the index, the shared files (with the cross-references' index and "
         "symbol list)";
}

// A disk that fills up: the first run leaves nothing, a later one the earlier site.
TEST_F(SiteRunTest, AFullDiskLeavesNoStrayFolderAndTheEarlierSite_PosixOnly) {
  LEXIFORM_SKIP_ON_OTHER_PLATFORM();
  fs::create_directories(work / "disk");
  const std::string disk = test::ShellQuote(work / "disk");
  if (test::RunShell("mount -t tmpfs -o size=256k tmpfs " + disk, work.Path()).status != 0) {
    GTEST_SKIP() << "no small file system can be mounted here";
  }
  struct Unmount {
    std::string disk;
    std::string where;
    ~Unmount() { test::RunShell("umount " + disk, where); }
  } unmount{disk, work.Path()};

  WriteSources(4);
  ASSERT_EQ(RunSite("disk/site").status, 0);
  const std::map<std::string, std::string> earlier = Tree(work / "disk/site");
  WriteSources(60, 8000);
  const RunResult full = RunSite("disk/site");
  EXPECT_EQ(full.status, 1) << full.out;
  EXPECT_NE(full.err.find("No space left on device"), std::string::npos) << full.err;
  EXPECT_TRUE(Leftovers(work / "disk").empty());
  ExpectWholeSite(work / "disk/site");
  EXPECT_EQ(Tree(work / "disk/site").at("index.html"), earlier.at("index.html"));

  // A first run writes its pages on several threads; the one that fails is written
  // again by the writer, which must meet the full disk, not its own unfinished page.
  fs::remove_all(work / "disk/site");
  const RunResult first = RunSite("disk/site");
  EXPECT_EQ(first.status, 1);
  EXPECT_NE(first.err.find("No space left on device"), std::string::npos) << first.err;
  EXPECT_TRUE(fs::is_empty(work / "disk")) << "a first run that fails leaves nothing";
}

// Text nested far deeper than programs nest (routines in routines, types in types,
// variant parts in variant parts) on worker threads, whose stacks are small: the site is
// written whole, its names linked as far as the nesting allows.
TEST_F(SiteRunTest, DeeplyNestedTextNeverExhaustsAStack) {
  const int depth = 20000;
  auto repeat = [](const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) {
      text += piece;
    }
    return text;
  };
  std::string routines = "program Routines;\r\n";
  std::string types = "unit Types;\r\ninterface\r\ntype\r\n";
  for (int i = 0; i < depth; ++i) {
    routines += "procedure P" + std::to_string(i) + "; ";
    types += "T" + std::to_string(i) + " = class type ";
  }
  routines += repeat("begin end; ", depth) + "begin end.\r\n";
  types += repeat("end; ", depth) + "implementation\r\nend.\r\n";
  Write("src/routines.pas", routines);
  Write("src/types.pas", types);
  Write("src/variants.pas", "unit Variants;\r\ninterface\r\ntype R = record case Integer of " +
                                repeat("1: (A: record case Integer of ", depth) +
                                "2: (X: Integer)" + repeat(") end", depth) +
                                "; end;\r\nimplementation\r\nend.\r\n");
  WriteSources(3);
  const test::ScopedEnvironment threads({"LEXIFORM_THREADS=4"});
  const RunResult result = RunSite("site");
  ASSERT_EQ(result.status, 0) << result.out << result.err;
  ExpectWholeSite(work / "site");
}

} // namespace
} // namespace lexiform

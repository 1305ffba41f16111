#include "files/file_set.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "test_support.h"

namespace fs = std::filesystem;

namespace lexiform {
namespace {

using test::ScratchDir;
using test::WriteBytes;

TEST(SplitFileArgumentTest, KeepsPiecesEmptyEntriesAndBlanks) {
  struct Case {
    std::string argument;
    TStringList expected;
  };
  const Case cases[] = {
      {"", {}},
      {"Unit1.pas", {"Unit1.pas"}},
      {"a.pas,b.pas", {"a.pas", "b.pas"}},
      {"a.pas,,b.pas", {"a.pas", "", "b.pas"}},
      {"a.pas,", {"a.pas", ""}},
      {",", {"", ""}},
      {"a.pas, b.pas", {"a.pas", " b.pas"}},
      {"no such dir/x.pas", {"no such dir/x.pas"}},
  };
  for (const Case& c : cases) {
    TStringList list;
    SplitFileArgument(c.argument, ",", list);
    EXPECT_EQ(list, c.expected) << c.argument;
  }
}

class FileTreeTest : public ::testing::Test {
protected:
  void SetUp() override { LEXIFORM_SKIP_ON_OTHER_PLATFORM(); }
  void Touch(const std::string& relative) {
    fs::create_directories(fs::path(dir / relative).parent_path());
    WriteBytes(dir / relative, "x");
  }
  void MakeDir(const std::string& relative) { fs::create_directories(dir / relative); }
  std::string Abs(const std::string& relative) const { return dir / relative; }

  ScratchDir dir;
};

TEST_F(FileTreeTest, WildcardsListFilesOfOneDirectoryInCaseInsensitiveOrder_PosixOnly) {
  Touch("src/b.pas");
  Touch("src/A.pas");
  Touch("src/.hidden.pas");
  Touch("src/c.PAS");
  Touch("src/notes.txt");
  MakeDir("src/dir.pas");
  TStringList list;
  SplitFileArgument(Abs("src/*.pas") + "," + Abs("src/b.pas") + "," + Abs("src/*.none") + "," +
                        Abs("src/?.pas"),
                    ",", list);
  // "?" is a wildcard too: one byte, so neither ".hidden.pas" nor a literal "?" name.
  EXPECT_EQ(list, (TStringList{Abs("src/.hidden.pas"), Abs("src/A.pas"), Abs("src/b.pas"),
                               Abs("src/b.pas"), Abs("src/A.pas"), Abs("src/b.pas")}));
}

TEST_F(FileTreeTest, LinksToDirectoriesAreNotFilesButDanglingLinksAre_PosixOnly) {
  MakeDir("src/real");
  Touch("src/a.pas");
  fs::create_directory_symlink(Abs("src/real"), Abs("src/link.pas"));
  fs::create_symlink(Abs("src/gone"), Abs("src/dangling.pas"));
  TStringList list;
  AddMatchingFiles(Abs("src/*.pas"), list);
  EXPECT_EQ(list, (TStringList{Abs("src/a.pas"), Abs("src/dangling.pas")}));
}

TEST_F(FileTreeTest, CollectFilesWalksLevelsInSortedDirectoryOrder_PosixOnly) {
  Touch("src/a.pas");
  Touch("src/util/u.pas");
  Touch("src/lib/l.pas");
  Touch("src/lib/x/deep.pas");
  Touch("src/lib/x/y/deeper.pas");
  Touch("src/Lib2/m.pas");
  Touch("src/lib/skip.txt");

  TStringList all;
  CollectFiles("*.pas", Abs("src"), all, 30);
  EXPECT_EQ(all, (TStringList{Abs("src/a.pas"), Abs("src/lib/l.pas"), Abs("src/lib/x/deep.pas"),
                              Abs("src/lib/x/y/deeper.pas"), Abs("src/Lib2/m.pas"),
                              Abs("src/util/u.pas")}));

  TStringList one;
  CollectFiles("*.pas", Abs("src/"), one, 1);
  EXPECT_EQ(one, (TStringList{Abs("src/a.pas"), Abs("src/lib/l.pas"), Abs("src/Lib2/m.pas"),
                              Abs("src/util/u.pas")}));

  for (std::int32_t depth : {0, -5}) {
    TStringList alone;
    CollectFiles("*.pas", Abs("src"), alone, depth);
    EXPECT_EQ(alone, TStringList{Abs("src/a.pas")});
  }

  TStringList none;
  CollectFiles("", Abs("src"), none, 30);
  EXPECT_TRUE(none.empty());
  CollectFiles("*.pas", Abs("missing"), none, 30);
  EXPECT_TRUE(none.empty());
}

TEST_F(FileTreeTest, CollectFilesNeverFollowsDirectoryLinks_PosixOnly) {
  Touch("tree/a.pas");
  // Two links back to the top: followed, they would multiply the walk to 2^30.
  fs::create_directory_symlink(Abs("tree"), Abs("tree/loop1"));
  fs::create_directory_symlink(Abs("tree"), Abs("tree/loop2"));
  TStringList list;
  CollectFiles("*", Abs("tree"), list, 30);
  EXPECT_EQ(list, TStringList{Abs("tree/a.pas")});
}

} // namespace
} // namespace lexiform

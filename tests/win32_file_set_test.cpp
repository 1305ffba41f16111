// The input file set on Windows: names with "\" and ":", drive roots, and the
// directory order that "\" gives. Built only into the Windows test program.

#include "files/file_set.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "test_support.h"

namespace fs = std::filesystem;

namespace lexiform {
namespace {

using test::ScratchDir;
using test::WriteBytes;

TStringList Sorted(TStringList list) {
  std::sort(list.begin(), list.end());
  return list;
}

// Runs the test body inside a directory and returns to the previous one afterwards.
class InDirectory {
public:
  explicit InDirectory(const std::string& directory) : previous_(fs::current_path()) {
    fs::current_path(directory);
  }
  ~InDirectory() { fs::current_path(previous_); }
  InDirectory(const InDirectory&) = delete;
  InDirectory& operator=(const InDirectory&) = delete;

private:
  fs::path previous_;
};

class Win32FileSetTest : public ::testing::Test {
protected:
  void Touch(const std::string& relative) {
    fs::create_directories(fs::path(dir / relative).parent_path());
    WriteBytes(dir / relative, "x");
  }

  ScratchDir dir;
};

TEST_F(Win32FileSetTest, WildcardPiecesKeepTheirDirectoryPartAsTyped) {
  Touch("src/a.pas");
  Touch("src/B.PAS");
  Touch("src/notes.txt");
  Touch("top.pas");
  const InDirectory inside(dir.Path());

  for (const std::string prefix : {"src\\", "src/", "C:src\\", ".\\src\\"}) {
    TStringList list;
    SplitFileArgument(prefix + "*.pas", ",", list);
    EXPECT_EQ(Sorted(list), (TStringList{prefix + "B.PAS", prefix + "a.pas"})) << prefix;
  }
  // A drive with no directory: the current directory of that drive, named "C:" + name.
  TStringList driveRelative;
  SplitFileArgument("C:*.pas", ",", driveRelative);
  EXPECT_EQ(driveRelative, TStringList{"C:top.pas"});

  const std::string absolute = dir.Path() + "\\src\\*.PAS";
  TStringList list;
  SplitFileArgument(absolute + ",src\\a.pas", ",", list);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(Sorted({list[0], list[1]}),
            (TStringList{dir.Path() + "\\src\\B.PAS", dir.Path() + "\\src\\a.pas"}));
  EXPECT_EQ(list[2], "src\\a.pas");
}

TEST_F(Win32FileSetTest, CollectFilesJoinsWithBackslashAndSortsByThatText) {
  Touch("src/a.pas");
  Touch("src/lib/l.pas");
  Touch("src/lib/x/deep.pas");
  Touch("src/Lib2/m.pas");
  const std::string src = dir.Path() + "\\src";

  // "\" sorts before every other byte, so the subtree of "src\lib" comes before its
  // sibling "src\Lib2", as "/" puts it on POSIX.
  const TStringList expected{src + "\\a.pas", src + "\\lib\\l.pas", src + "\\lib\\x\\deep.pas",
                             src + "\\Lib2\\m.pas"};
  for (const std::string& start : {src, src + "\\", src + "/"}) {
    TStringList all;
    CollectFiles("*.pas", start, all, 30);
    EXPECT_EQ(all, expected) << start;
  }
}

TEST_F(Win32FileSetTest, DriveRootIsSearchedWithOneBackslash) {
  // A file of our own at the root of drive C:, so the result is known.
  const std::string name = fs::path(dir.Path()).filename().string() + ".pas";
  const std::string path = "C:\\" + name;
  WriteBytes(path, "x");
  TStringList found;
  CollectFiles(name, "C:\\", found, 0);
  TStringList foundWithoutBackslash;
  CollectFiles(name, "C:", foundWithoutBackslash, 0);
  fs::remove(path);
  EXPECT_EQ(found, TStringList{path});
  EXPECT_EQ(foundWithoutBackslash, TStringList{path});
}

} // namespace
} // namespace lexiform

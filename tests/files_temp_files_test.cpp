#include "files/temp_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>

#include "convert/token_kind.h"
#include "platform/platform.h"
#include "test_support.h"

namespace lexiform {
namespace {

namespace fs = std::filesystem;

// Points the program's temporary directory (TMPDIR) at `directory` for one test.
class TemporaryDirectoryOverride {
public:
  explicit TemporaryDirectoryOverride(const std::string& directory) {
    if (const char* old = std::getenv("TMPDIR")) {
      old_ = old;
      hadOld_ = true;
    }
    ::setenv("TMPDIR", directory.c_str(), 1);
  }
  ~TemporaryDirectoryOverride() {
    if (hadOld_) {
      ::setenv("TMPDIR", old_.c_str(), 1);
    } else {
      ::unsetenv("TMPDIR");
    }
  }

private:
  std::string old_;
  bool hadOld_ = false;
};

std::vector<std::string> DirectoryNames(const std::string& directory) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(directory)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

const std::string kMarker(1, EntityMarker);

// FixEntities on a file holding `bytes`; returns the file's bytes afterwards.
std::string FixBytes(const std::string& bytes) {
  test::ScratchDir dir;
  TemporaryDirectoryOverride tmp(dir.Path());
  test::WriteBytes(dir / "converted", bytes);
  FixEntities(dir / "converted");
  EXPECT_EQ(DirectoryNames(dir.Path()), std::vector<std::string>{"converted"});
  return test::ReadBytes(dir / "converted");
}

TEST(TempDirectoryTest, FollowsTmpdir) {
  {
    TemporaryDirectoryOverride tmp("/some/where");
    EXPECT_EQ(GetTempDirectory(), "/some/where");
  }
  TemporaryDirectoryOverride tmp("");
  EXPECT_EQ(GetTempDirectory(), "/tmp");
}

TEST(TempFileTest, UniqueExclusiveAndRemoved) {
  test::ScratchDir dir;
  TemporaryDirectoryOverride tmp(dir.Path());
  // A link planted under the fixed name the files once had must not be followed.
  test::WriteBytes(dir / "victim", "precious");
  fs::create_symlink(dir / "victim", dir / std::string(kTempFilePrefix));
  fs::create_symlink(dir / "victim", dir / std::string(kFixFilePrefix));
  std::string firstPath;
  {
    TempFile first(kTempFilePrefix);
    TempFile second(kTempFilePrefix);
    firstPath = first.Path();
    EXPECT_NE(first.Path(), second.Path());
    EXPECT_EQ(fs::path(first.Path()).parent_path(), fs::path(dir.Path()));
    EXPECT_EQ(fs::path(first.Path()).filename().string().rfind(kTempFilePrefix, 0), 0u);
    EXPECT_FALSE(fs::is_symlink(first.Path()));
    EXPECT_EQ(test::ReadBytes(first.Path()), "");

    test::WriteBytes(first.Path(), "a & b\n");
    FixEntities(first.Path());
    EXPECT_EQ(test::ReadBytes(first.Path()), "a &amp; b\r\n");

    TempFile moved(std::move(second));
    EXPECT_TRUE(test::Exists(moved.Path()));
  }
  EXPECT_FALSE(test::Exists(firstPath));
  EXPECT_EQ(test::ReadBytes(dir / "victim"), "precious");
  EXPECT_EQ(DirectoryNames(dir.Path()).size(), 3u); // the victim and the two links
}

TEST(TempFileTest, UnusableDirectoryThrows) {
  test::ScratchDir dir;
  TemporaryDirectoryOverride tmp(dir / "missing");
  EXPECT_THROW(TempFile{kTempFilePrefix}, platform::FileError);
}

TEST(FixEntitiesTest, FixUpTable) {
  const std::string& m = kMarker;
  EXPECT_EQ(FixBytes("{ a&lt;" + m + "b }\r\n"), "{ a&lt;b }\r\n");
  EXPECT_EQ(FixBytes("a&gt;" + m + "b&lt;" + m + "c\r\n"), "a&gt;b&lt;c\r\n");
  EXPECT_EQ(FixBytes("Tom & Jerry && co\r\n"), "Tom &amp; Jerry &amp;&amp; co\r\n");
  EXPECT_EQ(FixBytes("'&lt;' &amp; &nbsp;\r\n"), "'&amp;lt;' &amp;amp; &amp;nbsp;\r\n");
  EXPECT_EQ(FixBytes(m + " alone " + m + "\r\n"), m + " alone " + m + "\r\n");
  EXPECT_EQ(FixBytes("&lt;&lt;" + m + "&" + m + "&gt;" + m + "&\r\n"),
            "&amp;lt;&lt;&amp;" + m + "&gt;&amp;\r\n");
  EXPECT_EQ(FixBytes("no ampersand\r\n"), "no ampersand\r\n");
  // The eleven-byte sequence that once stood in for "&" while escaping stays as it was.
  const std::string ampMarker = "\x02ToReplace\x02";
  EXPECT_EQ(FixBytes(ampMarker + "&\r\n"), ampMarker + "&amp;\r\n");
}

TEST(FixEntitiesTest, LineEndsAndCtrlZ) {
  EXPECT_EQ(FixBytes(""), "");
  EXPECT_EQ(FixBytes("a\nb\rc\r\nd"), "a\r\nb\r\nc\r\nd\r\n");
  EXPECT_EQ(FixBytes("a&\r\n\x1A"
                     "</code>\r\n</pre>\r\n"),
            "a&amp;\r\n");
  EXPECT_EQ(FixBytes("a\x1A"
                     "&b\r\n</pre>\r\n"),
            "a\r\n</pre>\r\n");
}

TEST(FixEntitiesTest, SameResultAsTheStepwiseFunctions) {
  const std::vector<std::string> pieces = {
      "&", "&lt;", "&gt;", kMarker, "lt;", "gt;", "amp;", "x", "&amp;lt;" + kMarker};
  std::mt19937 random(7);
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
  std::string text;
  std::string expected;
  for (int line = 0; line < 300; ++line) {
    std::string content;
    for (int i = 0; i < line % 40; ++i) {
      content += pieces[pick(random)];
    }
    text += content + "\n";
    expected += RestoreMarkedGt(RestoreMarkedLt(EscapeAmpersands(content))) + "\r\n";
  }
  EXPECT_EQ(FixBytes(text), expected);
}

TEST(FixEntitiesTest, StepwiseFunctions) {
  const std::string& m = kMarker;
  EXPECT_EQ(EscapeAmpersands("a&b&&"), "a&amp;b&amp;&amp;");
  EXPECT_EQ(RestoreMarkedLt("&amp;lt;" + m + "&amp;lt;&amp;gt;" + m), "&lt;&amp;lt;&amp;gt;" + m);
  EXPECT_EQ(RestoreMarkedGt("&amp;gt;" + m + "x&amp;gt;" + m), "&gt;x&gt;");
}

TEST(FixEntitiesTest, FailureLeavesNoFixFile) {
  test::ScratchDir dir;
  TemporaryDirectoryOverride tmp(dir.Path());
  EXPECT_THROW(FixEntities(dir / "missing"), platform::FileError);
  fs::create_directory(dir / "folder");
  EXPECT_THROW(FixEntities(dir / "folder"), platform::FileError);
  EXPECT_EQ(DirectoryNames(dir.Path()), std::vector<std::string>{"folder"});
}

} // namespace
} // namespace lexiform

#include "files/temp_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "convert/token_kind.h"
#include "platform/platform.h"
#include "test_support.h"

namespace lexiform {
namespace {

namespace fs = std::filesystem;

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
  test::ScopedEnvironment tmp({"TMPDIR=" + dir.Path()});
  test::WriteBytes(dir / "converted", bytes);
  FixEntities(dir / "converted");
  EXPECT_EQ(DirectoryNames(dir.Path()), std::vector<std::string>{"converted"});
  return test::ReadBytes(dir / "converted");
}

// The variables that name the temporary directory (TMPDIR; TMP and TEMP on Windows)
// move it; the system may add a separator at its end.
TEST(TempDirectoryTest, FollowsTheEnvironment) {
  test::ScratchDir dir;
  test::ScopedEnvironment tmp({"TMPDIR=" + (dir / "elsewhere")});
  std::string directory = GetTempDirectory();
  if (!directory.empty() && platform::EndsDirectoryPart(directory.back())) {
    directory.pop_back();
  }
  EXPECT_EQ(directory, dir / "elsewhere");
}

TEST(TempDirectoryTest, FallsBackToTmp_PosixOnly) {
  LEXIFORM_SKIP_ON_OTHER_PLATFORM();
  test::ScopedEnvironment tmp({"TMPDIR="});
  EXPECT_EQ(GetTempDirectory(), "/tmp");
}

TEST(TempFileTest, UniqueExclusiveAndRemoved) {
  test::ScratchDir dir;
  test::ScopedEnvironment tmp({"TMPDIR=" + dir.Path()});
  std::string firstPath;
  {
    TempFile first(kTempFilePrefix);
    TempFile second(kTempFilePrefix);
    TempFile fix(kFixFilePrefix);
    firstPath = first.Path();
    EXPECT_NE(first.Path(), second.Path());
    EXPECT_EQ(fs::path(first.Path()).parent_path(), fs::path(dir.Path()));
    EXPECT_EQ(fs::path(first.Path()).filename().string().rfind(kTempFilePrefix, 0), 0u);
    EXPECT_EQ(fs::path(fix.Path()).filename().string().rfind(kFixFilePrefix, 0), 0u);
    EXPECT_EQ(test::ReadBytes(first.Path()), "");

    test::WriteBytes(first.Path(), "a & b\n");
    FixEntities(first.Path());
    EXPECT_EQ(test::ReadBytes(first.Path()), "a &amp; b\r\n");

    TempFile moved(std::move(second));
    EXPECT_TRUE(test::Exists(moved.Path()));
  }
  EXPECT_FALSE(test::Exists(firstPath));
  EXPECT_TRUE(DirectoryNames(dir.Path()).empty());
}

TEST(TempFileTest, PlantedLinksAreNotFollowed_PosixOnly) {
  LEXIFORM_SKIP_ON_OTHER_PLATFORM();
  test::ScratchDir dir;
  test::ScopedEnvironment tmp({"TMPDIR=" + dir.Path()});
  // A link planted under the fixed name the files once had must not be followed.
  test::WriteBytes(dir / "victim", "precious");
  fs::create_symlink(dir / "victim", dir / std::string(kTempFilePrefix));
  fs::create_symlink(dir / "victim", dir / std::string(kFixFilePrefix));
  {
    TempFile file(kTempFilePrefix);
    EXPECT_FALSE(fs::is_symlink(file.Path()));
    test::WriteBytes(file.Path(), "a & b\n");
    FixEntities(file.Path());
    EXPECT_EQ(test::ReadBytes(file.Path()), "a &amp; b\r\n");
  }
  EXPECT_EQ(test::ReadBytes(dir / "victim"), "precious");
  EXPECT_EQ(DirectoryNames(dir.Path()).size(), 3u); // the victim and the two links
}

TEST(TempFileTest, UnusableDirectoryThrows) {
  test::ScratchDir dir;
  test::ScopedEnvironment tmp({"TMPDIR=" + (dir / "missing")});
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
  test::ScopedEnvironment tmp({"TMPDIR=" + dir.Path()});
  EXPECT_THROW(FixEntities(dir / "missing"), platform::FileError);
  fs::create_directory(dir / "folder");
  EXPECT_THROW(FixEntities(dir / "folder"), platform::FileError);
  EXPECT_EQ(DirectoryNames(dir.Path()), std::vector<std::string>{"folder"});
}

} // namespace
} // namespace lexiform

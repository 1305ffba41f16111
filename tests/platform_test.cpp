#include "platform/platform.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace lexiform::platform {
namespace {

TEST(WildcardTest, StarAndQuestionMarkOnlyOtherBytesLiteral) {
  EXPECT_TRUE(MatchesWildcard("*.pas", "unit1.pas"));
  EXPECT_TRUE(MatchesWildcard("*", ".hidden"));
  EXPECT_TRUE(MatchesWildcard("u?it*.p*s", "unit1.pas"));
  EXPECT_FALSE(MatchesWildcard("*.pas", "unit1.PAS"));
  EXPECT_FALSE(MatchesWildcard("?", ""));
  EXPECT_TRUE(MatchesWildcard("[ab].pas", "[ab].pas"));
  EXPECT_FALSE(MatchesWildcard("[ab].pas", "a.pas"));
  EXPECT_TRUE(MatchesWildcard("a\\b", "a\\b"));
  EXPECT_TRUE(MatchesWildcard("**a*", "xxa"));
}

TEST(WildcardTest, ManyStarsStayFast) {
  const std::string name(5000, 'a');
  EXPECT_FALSE(MatchesWildcard(std::string(50, '*') + "b", name));
}

TEST(CompareNoCaseTest, FoldsAsciiLettersToUpperCaseThenBytes) {
  EXPECT_LT(CompareNoCase("Alpha", "beta"), 0);
  EXPECT_GT(CompareNoCase("b", "A"), 0);
  EXPECT_LT(CompareNoCase("ABC", "abc"), 0); // tie broken by byte order
  EXPECT_EQ(CompareNoCase("same", "same"), 0);
  EXPECT_LT(CompareNoCase("src", "src/lib"), 0);
  // The bytes between "Z" and "a" sort after every letter, as on NTFS.
  EXPECT_LT(CompareNoCase("ab.pas", "a_b.pas"), 0);
  EXPECT_LT(CompareNoCase("aZ.pas", "a[.pas"), 0);
  EXPECT_LT(CompareNoCase("a[.pas", "a_b.pas"), 0);
  EXPECT_LT(CompareNoCase("a.pas", "ab.pas"), 0);
}

TEST(CompareNoCaseTest, PathsKeepEachSubtreeBehindItsDirectory) {
  const std::string lib = "src" + std::string(1, PathSeparator()) + "lib";
  EXPECT_LT(ComparePathsNoCase("src", lib), 0);
  // Whatever the sibling's bytes (below "/", digits, letters, between "Z" and "a"), the
  // subtree of "src" comes before it.
  for (const std::string sibling : {"src-x", "src1", "srcA", "src_x", "srcz"}) {
    EXPECT_LT(ComparePathsNoCase(lib, sibling), 0) << sibling;
  }
  EXPECT_LT(ComparePathsNoCase("a/ab", "a/a_b"), 0);
}

TEST(PlatformFileTest, WritesReadsAndRefusesMissingFiles) {
  test::ScratchDir dir;
  {
    File file(dir / "a.bin", File::Mode::CreateTruncate);
    file.Write("one\r\ntwo\n", 9);
    file.Close();
  }
  {
    File file(dir / "a.bin", File::Mode::Append);
    file.Write("\x1a", 1);
  }
  EXPECT_EQ(test::ReadBytes(dir / "a.bin"), std::string("one\r\ntwo\n\x1a"));
  EXPECT_EQ(FileSize(dir / "a.bin"), 10u);
  EXPECT_TRUE(IsExistingFile(dir / "a.bin"));
  EXPECT_FALSE(IsExistingFile(dir.Path()));
  EXPECT_EQ(FileSize(dir.Path()), 0u);
  EXPECT_THROW(File(dir / "missing", File::Mode::Read), FileError);
  EXPECT_THROW(File(dir / "missing", File::Mode::Append), FileError);
}

TEST(PlatformFileTest, UniqueFilesAreNewEachTime) {
  test::ScratchDir dir;
  const std::string first = CreateUniqueFile(dir.Path(), "Lexiform_Tmp_File");
  const std::string second = CreateUniqueFile(dir.Path(), "Lexiform_Tmp_File");
  EXPECT_NE(first, second);
  EXPECT_TRUE(IsExistingFile(first));
  EXPECT_NE(first.find("Lexiform_Tmp_File"), std::string::npos);
  EXPECT_THROW(CreateUniqueFile(dir / "no/such/dir", "x"), FileError);
}

} // namespace
} // namespace lexiform::platform

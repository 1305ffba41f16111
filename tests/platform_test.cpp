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

// "?" is one character, not one byte; letter case is ignored by Unicode's simple upper
// case where asked (Windows), and a byte that is no UTF-8 matches only itself.
TEST(WildcardTest, CharactersNotBytesAndCaseFoldingBeyondAscii) {
  EXPECT_TRUE(MatchesWildcard("?.pas", "\xc3\xa9.pas"));
  EXPECT_TRUE(MatchesWildcard("?.pas", "\xe9.pas"));
  EXPECT_FALSE(MatchesWildcard("*.pas", "\xc3\xa9.PAS"));
  EXPECT_TRUE(MatchesWildcard("\xc3\xa9*.pas", "\xc3\x89T\xc3\x89.PAS", LetterCase::Ignored));
  EXPECT_TRUE(MatchesWildcard("\xce\xa9*", "\xcf\x89mega", LetterCase::Ignored)); // Ω, ω
  EXPECT_FALSE(MatchesWildcard("\xc9*", "\xe9", LetterCase::Ignored));
  EXPECT_FALSE(MatchesWildcard("*.pas", "notes.pascal", LetterCase::Ignored));
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

// The simple mapping only: one character to one ("\xc3\x9f", sharp s, has none).
TEST(CompareNoCaseTest, UpperCaseIsUnicodesSimpleMapping) {
  EXPECT_EQ(UpperCase(U'a'), U'A');
  EXPECT_EQ(UpperCase(U'\u00e4'), U'\u00c4');
  EXPECT_EQ(UpperCase(U'\u00ff'), U'\u0178');
  EXPECT_EQ(UpperCase(U'\u03c9'), U'\u03a9');
  EXPECT_EQ(UpperCase(U'\u0444'), U'\u0424');
  EXPECT_EQ(UpperCase(U'\U00010428'), U'\U00010400');
  EXPECT_EQ(UpperCase(U'\u00df'), U'\u00df');
  EXPECT_EQ(UpperCase(U'\u00c4'), U'\u00c4');
  EXPECT_EQ(UpperCase(U'\u3042'), U'\u3042');
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

TEST(PlatformFileTest, WritesTruncatesReadsAndRefusesMissingFiles) {
  test::ScratchDir dir;
  {
    File file = File::CreateUnique(dir.Path(), "doc-");
    file.Write("one\r\ntwo\n", 9);
    EXPECT_EQ(file.Size(), 9u);
    file.Truncate(5); // cut back, and go on writing from there
    file.Write("\x1a", 1);
    file.Close();
    EXPECT_EQ(test::ReadBytes(file.Path()), std::string("one\r\n\x1a"));
    EXPECT_EQ(FileSize(file.Path()), 6u);
    EXPECT_TRUE(IsExistingFile(file.Path()));
    EXPECT_EQ(KindOf(file.Path()), PathKind::Regular);
  }
  EXPECT_FALSE(IsExistingFile(dir.Path()));
  EXPECT_EQ(KindOf(dir.Path()), PathKind::Directory);
  EXPECT_EQ(KindOf(dir / "missing"), PathKind::Missing);
  EXPECT_EQ(FileSize(dir.Path()), 0u);
  EXPECT_THROW(File(dir / "missing", File::Mode::Read), FileError);
}

TEST(PlatformFileTest, UniqueFilesAreNewEachTime) {
  test::ScratchDir dir;
  File first = File::CreateUnique(dir.Path(), ".out.html.lexiform-");
  File second = File::CreateUnique(dir.Path(), ".out.html.lexiform-");
  EXPECT_NE(first.Path(), second.Path());
  EXPECT_TRUE(IsExistingFile(first.Path()));
  EXPECT_EQ(first.Path().rfind(dir.Path(), 0), 0u);
  EXPECT_NE(first.Path().find(".out.html.lexiform-"), std::string::npos);
  EXPECT_THROW(File::CreateUnique(dir / "no/such/dir", "x"), FileError);
  EXPECT_THROW(File(first.Path(), File::Mode::CreateNew), FileError);
}

TEST(PlatformFileTest, OneFileHasOneIdentityUnderEveryName) {
  test::ScratchDir dir;
  test::WriteBytes(dir / "a.pas", "a");
  test::WriteBytes(dir / "b.pas", "a");
  const std::optional<FileId> a = IdentifyFile(dir / "a.pas");
  ASSERT_TRUE(a.has_value());
  EXPECT_EQ(IdentifyFile(test::NativePath(dir.Path() + "/./a.pas")), a);
  EXPECT_FALSE(IdentifyFile(dir / "b.pas") == a);
  EXPECT_FALSE(IdentifyFile(dir / "missing.pas").has_value());
}

} // namespace
} // namespace lexiform::platform

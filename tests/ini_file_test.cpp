#include "document/ini_file.h"

#include <gtest/gtest.h>

#include <random>

#include "test_support.h"

namespace lexiform {
namespace {

using Names = std::vector<std::string>;
using namespace std::string_literals;

IniFile LoadText(const std::string& bytes) {
  test::ScratchDir dir;
  test::WriteBytes(dir / "config.ini", bytes);
  return IniFile::Load(dir / "config.ini");
}

TEST(IniFileTest, NamesMatchInAnyCaseAndBlanksAreTrimmed) {
  const IniFile ini = LoadText("[HeAdEr]\r\n  Alpha  =  one two  \r\n\tBETA\t=\t2\r\n"
                               "[  Keyword  ] trailing text\r\nPrefix=<b>\r\n");
  EXPECT_TRUE(ini.SectionExists("header"));
  EXPECT_EQ(ini.KeyNames("HEADER"), (Names{"Alpha", "BETA"}));
  EXPECT_EQ(ini.ReadString("header", "alpha", "-"), "one two");
  EXPECT_EQ(ini.ReadString("Header", "beta", "-"), "2");
  EXPECT_EQ(ini.ReadString("keyword", "PREFIX", "-"), "<b>");
  EXPECT_EQ(ini.ReadString("keyword", "Suffix", "-"), "-");
  EXPECT_EQ(ini.ReadString("missing", "Prefix", "-"), "-");
}

TEST(IniFileTest, QuotesAroundAValueKeepItsBlanks) {
  const IniFile ini = LoadText("[S]\nd=\"  two blanks \"\ns= '  single'  \nmixed=\"x'\n"
                               "one=\"\ninner=a \"b\" c\nempty=\"\"\n");
  EXPECT_EQ(ini.ReadString("S", "d", "-"), "  two blanks ");
  EXPECT_EQ(ini.ReadString("S", "s", "-"), "  single");
  EXPECT_EQ(ini.ReadString("S", "mixed", "-"), "\"x'");
  EXPECT_EQ(ini.ReadString("S", "one", "-"), "\"");
  EXPECT_EQ(ini.ReadString("S", "inner", "-"), "a \"b\" c");
  EXPECT_EQ(ini.ReadString("S", "empty", "-"), "");
}

TEST(IniFileTest, CommentsBlankLinesAndLinesWithoutKeys) {
  const IniFile ini = LoadText("before=ignored\n[S]\n; a=comment\n   ;b=comment\n\n   \n"
                               "no equals sign\n=no name\nc=3\n");
  EXPECT_EQ(ini.KeyNames("S"), Names{"c"});
}

TEST(IniFileTest, KeysKeepFileOrderAndFirstOfTwoWins) {
  const IniFile ini = LoadText("[Header]\n5=five\n1=one\n3=three\n1=again\nx=ex\n"
                               "[Other]\nk=v\n[header]\n0=zero\n3=later\n");
  EXPECT_EQ(ini.KeyNames("header"), (Names{"5", "1", "3", "x", "0"}));
  EXPECT_EQ(ini.ReadString("header", "1", ""), "one");
  EXPECT_EQ(ini.ReadString("header", "3", ""), "three");
  EXPECT_EQ(ini.ReadString("header", "0", ""), "zero");
}

TEST(IniFileTest, SectionWithoutKeysIsAbsent) {
  const IniFile ini = LoadText("[Header]\n; only a comment\n\n[Footer]\n0=x\n");
  EXPECT_FALSE(ini.SectionExists("Header"));
  EXPECT_TRUE(ini.KeyNames("Header").empty());
  EXPECT_TRUE(ini.SectionExists("Footer"));
}

TEST(IniFileTest, LongValuesAreCutAndLongKeyListsEnd) {
  const std::string fits(IniFile::kMaxValueLength, 'v');
  const IniFile values = LoadText("[S]\nlong=" + fits + "tail\nexact=\"" + fits + "\"\n");
  EXPECT_EQ(values.ReadString("S", "long", ""), fits);
  EXPECT_EQ(values.ReadString("S", "exact", ""), fits);

  // Names of 200 bytes take 201 bytes of the list each: 81 fit, the 82nd does not.
  std::string text = "[S]\n";
  for (int i = 0; i < 100; ++i) {
    text += std::string(197, 'k') + std::to_string(100 + i) + "=v\n";
  }
  const Names names = LoadText(text).KeyNames("S");
  ASSERT_EQ(names.size(), 81u);
  EXPECT_EQ(names.back(), std::string(197, 'k') + "180");

  // At the very edge: 81 names take 16,281 bytes and the list's end one more, so a name
  // of 101 bytes fills the list exactly and one of 102 bytes no longer fits.
  std::string edge = "[S]\n";
  for (int i = 0; i < 81; ++i) {
    edge += std::string(197, 'k') + std::to_string(100 + i) + "=v\n";
  }
  EXPECT_EQ(LoadText(edge + std::string(101, 'x') + "=v\n").KeyNames("S").size(), 82u);
  EXPECT_EQ(LoadText(edge + std::string(102, 'x') + "=v\n").KeyNames("S").size(), 81u);
}

TEST(IniFileTest, MissingOrUnreadableFilesHaveNoSections) {
  test::ScratchDir dir;
  EXPECT_FALSE(IniFile::Load(dir / "missing.ini").SectionExists("Header"));
  EXPECT_FALSE(IniFile::Load(dir.Path()).SectionExists("Header"));
}

TEST(IniFileTest, JunkNulsAndOddLineEnds) {
  // CR-only line ends, NUL bytes inside a value, no line end after the last line.
  const IniFile odd = LoadText("[A]\rk=v\0w\r\x1A=z\rlast=1"s);
  EXPECT_EQ(odd.KeyNames("a"), (Names{"k", "\x1A", "last"}));
  EXPECT_EQ(odd.ReadString("a", "k", ""), "v\0w"s);
  EXPECT_EQ(odd.ReadString("a", "last", ""), "1");

  std::mt19937 random(99);
  std::uniform_int_distribution<int> byte(0, 255);
  std::string junk(1 << 20, '\0');
  for (char& c : junk) {
    c = static_cast<char>(byte(random));
  }
  const IniFile ini = LoadText(junk + "\n[Keyword]\nPrefix=<b>\n" + junk);
  EXPECT_EQ(ini.ReadString("Keyword", "Prefix", ""), "<b>");
}

} // namespace
} // namespace lexiform

// The pieces of an HTML5 document: anchors, escaping of names, the line gutter, and
// the line prefix of "-lines" in the other documents.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "document/html5_document.h"
#include "document/style_config.h"

namespace lexiform {
namespace {

bool IsIdByte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

TEST(Html5DocumentTest, AnchorsAreStableUniqueIdsAndFragments) {
  const std::vector<std::string> paths = {
      "a.pas",
      "A.pas",
      "a-pas",
      "a_pas",
      "a pas",
      "dir/a.pas",
      "dir\\a.pas",
      "dir/a.pas/",
      "n\xE3o.pas",
      "n\xC3\xA3o.pas",
      "",
      "---",
      "#?&\"<>.pas",
      std::string(300, 'x') + "/long.pas",
      "a.pas",
      "other/a.pas",
  };
  const std::vector<std::string> anchors = FileAnchors(paths);
  ASSERT_EQ(anchors.size(), paths.size());
  EXPECT_EQ(std::set<std::string>(anchors.begin(), anchors.end()).size(), anchors.size());
  EXPECT_EQ(anchors[0], FileAnchor("a.pas"));
  EXPECT_EQ(anchors[14], anchors[0] + "-2") << "a path listed twice";
  for (const std::string& anchor : anchors) {
    EXPECT_EQ(anchor.rfind("f-", 0), 0u) << anchor;
    EXPECT_LE(anchor.size(), 45u) << anchor;
    for (const char c : anchor) {
      EXPECT_TRUE(IsIdByte(c)) << anchor;
    }
  }
  // The same path keeps its anchor whatever else the list holds.
  EXPECT_EQ(FileAnchors({"z.pas", "dir/a.pas"})[1], anchors[5]);
  EXPECT_EQ(FileAnchor("src/Main.dpr").substr(0, 11), "f-main-dpr-");
  // A long name keeps the end of its slug, with the extension.
  EXPECT_EQ(FileAnchor("src/A_Very_Long_Unit_Name_Of_Many_Parts.pas").substr(0, 35),
            "f-long-unit-name-of-many-parts-pas-");
  EXPECT_EQ(FileAnchor("").size(), 10u);
}

TEST(Html5DocumentTest, NamesAreShownEscapedInUtf8) {
  const std::string start = Html5DocumentStart("out&<1>.html", "");
  EXPECT_NE(start.find("<title>out&amp;&lt;1&gt;.html</title>"), std::string::npos);
  EXPECT_EQ(start.rfind("<!DOCTYPE html>\r\n<html lang=\"en\">\r\n<head>\r\n"
                        "<meta charset=\"utf-8\">\r\n",
                        0),
            0u);
  EXPECT_NE(start.find("<style>\r\n:root {\r\n  color-scheme: light dark;"), std::string::npos);
  EXPECT_NE(Html5DocumentStart("o", "pre {}").find("<style>\r\npre {}\r\n</style>"),
            std::string::npos);

  const std::string head = Html5SectionStart("d\xE9r/<a&b>.pas", "f-x", "10 bytes");
  EXPECT_EQ(head, "<section id=\"f-x\">\r\n<h2>d\xC3\xA9r/<span class=\"name\">&lt;a&amp;b&gt;"
                  ".pas</span> <span class=\"size\">10 bytes</span><a class=\"up\" "
                  "href=\"#index\">&uarr; Files</a></h2>\r\n");
}

TEST(Html5DocumentTest, IndexLinksOnlyFilesThatHaveASection) {
  const std::string index = Html5Index({
      {"a.pas", "f-a", "1 bytes", Html5FileState::Present},
      {"gone.pas", "f-g", "0 bytes", Html5FileState::Missing},
      {"locked.pas", "f-l", "0 bytes", Html5FileState::Unreadable},
  });
  EXPECT_NE(index.find("<li><a href=\"#f-a\">"), std::string::npos);
  EXPECT_EQ(index.find("#f-g"), std::string::npos);
  EXPECT_EQ(index.find("#f-l"), std::string::npos);
  EXPECT_NE(index.find("<li class=\"missing\"><span class=\"name\">gone.pas</span> "
                       "<span class=\"state\">(missing)</span></li>"),
            std::string::npos);
  EXPECT_NE(index.find("(could not be read)"), std::string::npos);
}

TEST(Html5DocumentTest, LineNumbersStayOutOfTheText) {
  std::string text = "x";
  AppendNumberedLine(text, "f-a", 120, "<span class=\"k\">begin</span>");
  EXPECT_EQ(text, "x<span class=\"line\" id=\"f-a-L120\"><span class=\"k\">begin</span></span>");
  TStyleConfig config;
  SetDefaultStyles(config);
  EXPECT_EQ(LineNumberPrefix(2, 7, 3, config.LineNumber),
            "<a name=\"File_2_L7\"></a><font color=gray>  7</font> ");
  EXPECT_EQ(LineNumberPrefix(1, 1234, 2, {"[", "]"}), "<a name=\"File_1_L1234\"></a>[1234]");
}

TEST(Html5DocumentTest, TokenStylesAreClassesAndLineBreaksStayBare) {
  const auto styles = Html5TokenStyles();
  EXPECT_EQ(styles[static_cast<std::size_t>(TTokenKind::Keyword)].Prefix, "<span class=\"k\">");
  std::set<std::string> prefixes;
  for (const TTokenKind kind :
       {TTokenKind::Assembler, TTokenKind::Comment, TTokenKind::Directive, TTokenKind::Keyword,
        TTokenKind::Number, TTokenKind::String, TTokenKind::Symbol}) {
    const TStyle& style = styles[static_cast<std::size_t>(kind)];
    EXPECT_EQ(style.Suffix, "</span>");
    prefixes.insert(style.Prefix);
  }
  EXPECT_EQ(prefixes.size(), 7u);
  for (const TTokenKind kind :
       {TTokenKind::Identifier, TTokenKind::Space, TTokenKind::Unknown, TTokenKind::LineBreak}) {
    EXPECT_EQ(styles[static_cast<std::size_t>(kind)].Prefix, "");
    EXPECT_EQ(styles[static_cast<std::size_t>(kind)].Suffix, "");
  }
}

} // namespace
} // namespace lexiform

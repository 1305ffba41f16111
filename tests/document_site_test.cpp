// The names of a code site's files and the links on its pages: where each page goes,
// how pages name each other, and how a link lands around the name it stands on.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "convert/text_sink.h"
#include "document/entry_conversion.h"
#include "document/site_pages.h"
#include "document/site_plan.h"
#include "document/site_xref.h"
#include "platform/platform.h"

namespace lexiform {
namespace {

std::string Native(std::string path) {
  for (char& c : path) {
    c = c == '/' ? platform::PathSeparator() : c;
  }
  return path;
}

std::string Folded(std::string text) {
  for (char& c : text) {
    c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  }
  return text;
}

TEST(SitePlanTest, PagesNeverMeetEachOtherOrTheSitesOwnFiles) {
  const std::string top = Native("/w/rtl");
  const std::vector<std::string> list = {
      Native("/w/rtl/unix/classes.pp"),   Native("/w/rtl/index"),
      Native("/w/rtl/_lexiform/x.pas"),   Native("/w/rtl/unix/../unix/classes.pp"),
      Native("/w/rtl/Unix/Classes.pp"),   Native("/w/rtl/missing.pas"),
      Native("/w/rtl/a.pas.html/b.pas"),  Native("/w/rtl/a.pas"),
      Native("/w/rtl/inc/n\xC3\xA3o.inc")};
  std::vector<bool> hasPage(list.size(), true);
  hasPage[5] = false;
  const SitePlan plan = PlanSite(list, hasPage, top);

  EXPECT_EQ(plan.topName, "rtl");
  EXPECT_EQ(plan.sharedFolder, "_lexiform_2") << "a source folder took the usual name";
  ASSERT_EQ(plan.pages.size(), 7u) << "a file listed twice has one page";
  EXPECT_EQ(plan.pageOfEntry[3], plan.pageOfEntry[0]);
  EXPECT_EQ(plan.pageOfEntry[5], kNoPage);
  EXPECT_EQ(plan.pages[0].path, "unix/classes.pp");
  EXPECT_EQ(plan.pages[0].file, "unix/classes.pp.html");
  EXPECT_EQ(plan.pages[1].file, "index~2.html");
  EXPECT_EQ(plan.pages[2].file, "_lexiform/x.pas.html");
  EXPECT_EQ(plan.pages[3].file, "Unix/Classes.pp~2.html") << "letter case tells no page apart";
  EXPECT_EQ(plan.pages[5].file, "a.pas~2.html") << "a folder has the name";

  std::set<std::string> files = {"index.html", Folded(plan.sharedFolder)};
  for (const SitePage& page : plan.pages) {
    EXPECT_TRUE(files.insert(Folded(page.file)).second) << page.file;
  }
  // Letters beyond ASCII too, as Windows' file systems compare them.
  const SitePlan accents =
      PlanSite({Native("/w/\xC3\x84.pas"), Native("/w/\xC3\xA4.pas")}, {true, true}, top);
  EXPECT_EQ(accents.pages[1].file, "\xC3\xA4.pas~2.html");
  // Relative entries meet whole ones.
  const SitePlan relative =
      PlanSite({"a.pas", Native("./a.pas"), Native("/w/rtl/a.pas")}, {true, true, true}, top);
  EXPECT_EQ(relative.pages.size(), 1u);
}

TEST(SitePlanTest, UrlsAndIdsAreSafeAsTheyStand) {
  EXPECT_EQ(UrlPath("inc/n\xC3\xA3o x#?%.inc.html"), "inc/n%C3%A3o%20x%23%3F%25.inc.html");
  EXPECT_EQ(RelativeUrl("unix/classes.pp.html", "inc/cl a.inc.html"), "../inc/cl%20a.inc.html");
  EXPECT_EQ(RelativeUrl("unix/classes.pp.html", "unix/x.pp.html"), "x.pp.html");
  EXPECT_EQ(RelativeUrl("a.pas.html", "unix/linux/x.pp.html"), "unix/linux/x.pp.html");
  EXPECT_EQ(RelativeUrl("a/b/c.html", "a/d.html"), "../d.html");
  EXPECT_EQ(WayUp("a/b/c.html"), "../../");
  EXPECT_EQ(WayUp("c.html"), "");
  EXPECT_EQ(FolderId("rtl/n\xC3\xA3o dir_x"), "d-rtl/n_C3_A3o_20dir_5Fx");
  EXPECT_NE(FolderId("a_20b"), FolderId("a b"));
}

class SiteLinkTest : public ::testing::Test {
protected:
  std::string Page(std::string_view text, std::vector<xref::FileLink> links) {
    StringSink body;
    ConvertPageText(text, LinkInsertions(plan, 0, std::move(links), text),
                    SitePageFormat(kDefaultCodePage), body);
    return body.Text();
  }

  SitePlan plan = PlanSite({Native("/s/unix/classes.pp"), Native("/s/inc/a&b.inc"),
                            Native("/s/unix/sysutils.pp"), Native("/s/win/sysutils.pp")},
                           {true, true, true, true}, Native("/s"));
};

TEST_F(SiteLinkTest, LinksWrapTheNamesTheyStandOnWithinTheirLines) {
  const std::string text = "uses SysUtils, Foo;\r\n{$I a&b.inc}\r\n(*$I\r\nx*)";
  using xref::FileLinkKind;
  const std::string page =
      Page(text, {{21, 12, FileLinkKind::Include, 1, {}},
                  {5, 8, FileLinkKind::Uses, 2, {3}},
                  {7, 2, FileLinkKind::Uses, 3, {}},       // inside the first: left out
                  {35, 9, FileLinkKind::Include, 1, {}}}); // over a line end: left out
  EXPECT_NE(page.find("<span class=\"line\" id=\"L1\"><span class=\"k\">uses</span> "
                      "<a class=\"xref choice\" href=\"sysutils.pp.html\" title=\"One of "
                      "several files; the others: win/sysutils.pp\">SysUtils</a><span "
                      "class=\"o\">,</span> Foo"),
            std::string::npos)
      << page;
  EXPECT_NE(page.find("<span class=\"line\" id=\"L2\"><a class=\"xref\" "
                      "href=\"../inc/a%26b.inc.html\"><span class=\"c\">{$I "
                      "a&amp;b.inc}</span></a></span>"),
            std::string::npos)
      << page;
  EXPECT_EQ(page.find("xref", page.find("id=\"L3\"")), std::string::npos) << page;
}

TEST_F(SiteLinkTest, ALinkOnTheLastNameEndsBeforeTheCode) {
  const std::string page = Page("uses Foo", {{5, 3, xref::FileLinkKind::Uses, 1, {}}});
  EXPECT_NE(page.find("<a class=\"xref\" href=\"../inc/a%26b.inc.html\">Foo</a></span>\r\n"),
            std::string::npos)
      << page;
}

TEST(SitePagesTest, AChoiceKeepsQuotesOutOfItsTitle) {
  const std::string link = SiteLinkStart("x.html", {"a\"b.pp", "c'd.pp"});
  EXPECT_EQ(link, "<a class=\"xref choice\" href=\"x.html\" title='One of several files; the "
                  "others: a\"b.pp, c\xE2\x80\x99"
                  "d.pp'>");
}

} // namespace
} // namespace lexiform

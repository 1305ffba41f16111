#include "xref/file_links.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace lexiform::xref {
namespace {

// Each reference as the text it covers, then what it names: "covered=name" or
// "covered=name in path".
std::vector<std::string> Described(std::string_view text,
                                   const std::vector<NameReference>& references) {
  std::vector<std::string> described;
  for (const NameReference& reference : references) {
    std::string line(text.substr(reference.offset, reference.length));
    line += "=" + reference.name;
    if (!reference.inPath.empty()) {
      line += " in " + reference.inPath;
    }
    described.push_back(line);
  }
  return described;
}

using Lines = std::vector<std::string>;

TEST(ScanFileFactsTest, UnitHeadingUsesAndIncludes) {
  const std::string text = "\xEF\xBB\xBF{ uses NotThis; (*$I not.inc*) }\n"
                           "{$mode objfpc}(* comment *)// unit Other;\n"
                           "unit My . Utils;\n"
                           "interface\n"
                           "uses\n"
                           "  SysUtils, Sys.Types in 'x\\it''s.pas',\n"
                           "  {$ifdef unix}cthreads,{$endif}\n"
                           "  {$ifdef a}Left{$else}Right{$endif}\n"
                           "  {$I units.inc}, Last;\n"
                           "const s = 'uses Str; {$I str.inc}'#13#$0A;\n"
                           "{$I+}{$I-}{$i+,r-}{$I %DATE%}{$INCLUDE %FILE%}{$IFDEF X}{$I}{$I ''}\n"
                           "{$i lower}{$INCLUDE 'my file.inc'}(*$I paren.inc *){$I'q.inc'}\n"
                           "implementation\n"
                           "uses Impl;\n"
                           "type T = class function Contains: Boolean; end;\n"
                           "end.\n";
  const FileFacts facts = ScanFileFacts(text);
  EXPECT_EQ(facts.declaredUnit, "My.Utils");
  EXPECT_EQ(Described(text, facts.uses),
            (Lines{"SysUtils=SysUtils", "Sys.Types=Sys.Types in x\\it's.pas", "cthreads=cthreads",
                   "Left=Left", "Right=Right", "Last=Last", "Impl=Impl"}));
  EXPECT_EQ(
      Described(text, facts.includes),
      (Lines{"{$I units.inc}=units.inc", "{$i lower}=lower", "{$INCLUDE 'my file.inc'}=my file.inc",
             "(*$I paren.inc *)=paren.inc", "{$I'q.inc'}=q.inc"}));
}

TEST(ScanFileFactsTest, HeadingsAndBrokenText) {
  // A package's requires names packages; its contains names units.
  const std::string package = "package Pkg;\nrequires rtl, vcl;\n"
                              "contains A in 'a.pas', B;\nend.\n";
  EXPECT_EQ(Described(package, ScanFileFacts(package).uses), (Lines{"A=A in a.pas", "B=B"}));
  EXPECT_EQ(ScanFileFacts(package).declaredUnit, "");
  // `contains` outside a package is an ordinary identifier.
  EXPECT_TRUE(ScanFileFacts("unit U; interface function contains: Boolean;").uses.empty());
  // Only a heading declares the unit.
  EXPECT_EQ(ScanFileFacts("program P; uses unit;").declaredUnit, "");
  EXPECT_EQ(ScanFileFacts("x; unit U;").declaredUnit, "");
  // A stray quote costs its line only; an unclosed comment hides the rest and an
  // unclosed directive is no include.
  const std::string broken = "unit U; const s = 'open\nuses After; {$I after.inc} (* open";
  EXPECT_EQ(Described(broken, ScanFileFacts(broken).uses), (Lines{"After=After"}));
  EXPECT_EQ(ScanFileFacts(broken).includes.size(), 1u);
  EXPECT_TRUE(ScanFileFacts("uses A; {$I never.inc").includes.empty());
  EXPECT_TRUE(ScanFileFacts("{ uses A; {$I never.inc}").uses.empty());
}

struct SiteFile {
  std::string path;
  std::string text;
};

// The links of the first file as "target" or "target (or alternative, ...)", in text
// order.
Lines LinksOfFirst(const std::vector<SiteFile>& site) {
  std::vector<std::string> paths;
  std::vector<FileFacts> facts;
  for (const SiteFile& file : site) {
    paths.push_back(file.path);
    facts.push_back(ScanFileFacts(file.text));
  }
  const FileLinkResolver resolver(paths, facts);
  Lines described;
  for (const FileLink& link : resolver.LinksOf(0)) {
    std::string line = paths[link.target];
    for (std::size_t i = 0; i < link.alternatives.size(); ++i) {
      line += (i == 0 ? " (or " : ", ") + paths[link.alternatives[i]];
    }
    described.push_back(link.alternatives.empty() ? line : line + ")");
  }
  return described;
}

TEST(FileLinkResolverTest, ResolvesAsTheCompilerLooks) {
  const struct {
    const char* rule;
    std::vector<SiteFile> site;
    Lines expected;
  } cases[] = {
      {"the same folder wins over a nearer-looking one",
       {{"a/b/u.pas", "unit u; uses SysUtils;"},
        {"c/sysutils.pp", ""},
        {"a/sysutils.pp", ""},
        {"a/b/sysutils.pp", ""},
        {"a/b/sub/sysutils.pp", ""}},
       {"a/b/sysutils.pp"}},
      {"then the longest shared folder prefix; a tie is a choice in list order",
       {{"rtl/unix/classes.pp", "uses SysUtils;"},
        {"other/unix/sysutils.pp", ""},
        {"rtl/win/sysutils.pp", ""},
        {"rtlx/sysutils.pp", ""},
        {"rtl/linux/x/SYSUTILS.PAS", ""}},
       {"rtl/win/sysutils.pp (or rtl/linux/x/SYSUTILS.PAS)"}},
      {"file names ignore case and take .pas, .pp, .p; dotted names keep their dots",
       {{"p.dpr", "program p; uses My.Utils, Foo, Bar, p;"},
        {"lib/MY.UTILS.PAS", ""},
        {"lib/foo.p", ""},
        {"bar.inc", ""}},
       {"lib/MY.UTILS.PAS", "lib/foo.p"}},
      {"a declared unit counts only where no file is named after it",
       {{"p.pas", "uses Strange, Plain;"},
        {"x/odd.pas", "{$mode objfpc} unit Strange;"},
        {"y/other.pas", "unit Plain;"},
        {"far/away/plain.pp", ""}},
       {"x/odd.pas", "far/away/plain.pp"}},
      {"an in path names the file, relative to the using file, either separator",
       {{"prog/p.dpr", "uses B in '..\\LIB/b.pas', C in 'missing.pas', D in './d.pas';"},
        {"prog/b.pas", ""},
        {"lib/b.pas", ""},
        {"c.pas", ""},
        {"prog/d.pas", ""}},
       {"lib/b.pas", "prog/d.pas"}},
      {"includes: each form in the own folder, then anywhere, before the next form",
       {{"src/u.pas", "{$I foo}{$I bar}{$i ..\\inc\\Deep.inc}{$I sub/h}{$I u.pas}"},
        {"src/foo.pas", ""},
        {"far/foo", ""},
        {"src/bar.pp", ""},
        {"src/bar.inc", ""},
        {"inc/deep.inc", ""},
        {"a/xsub/h.inc", ""},
        {"b/sub/h.inc", ""}},
       {"far/foo", "src/bar.inc", "inc/deep.inc", "b/sub/h.inc"}},
      {"a file never links to itself, and uses and includes come in text order",
       {{"a/x.inc", "{$I x.inc} uses x;"}, {"b/x.inc", ""}, {"a/x.pas", ""}},
       {"b/x.inc", "a/x.pas"}},
  };
  for (const auto& test : cases) {
    EXPECT_EQ(LinksOfFirst(test.site), test.expected) << test.rule;
  }
}

TEST(FileLinkResolverTest, UsedByListsEachUserOnceInListOrder) {
  const std::vector<std::string> paths = {"c.pas", "b.pas", "lib.pas", "a.pas", "lone.pas"};
  const std::vector<FileFacts> facts = {ScanFileFacts("uses Lib; {$I lib.pas}"),
                                        ScanFileFacts("uses Lib, Lib;"), ScanFileFacts("unit Lib;"),
                                        ScanFileFacts("uses C, Lib;"), FileFacts{}};
  const FileLinkResolver resolver(paths, facts);
  EXPECT_EQ(resolver.UsedBy(2), (std::vector<std::size_t>{0, 1, 3}));
  EXPECT_EQ(resolver.UsedBy(0), (std::vector<std::size_t>{3}));
  EXPECT_TRUE(resolver.UsedBy(4).empty());
  EXPECT_EQ(resolver.LinksOf(1).size(), 2u);
}

// The FPC sources' classes unit for Unix, over the folders its library is built from,
// links where the compiler finds its units and include files: the make files pass
// -Fi for objpas/classes, and each unit is compiled from its own folder first.
TEST(FileLinkResolverTest, FreePascalClassesUnitLinksWhereTheCompilerLooks) {
  namespace fs = std::filesystem;
  const fs::path root = "/usr/share/fpcsrc/3.2.2";
  if (!fs::exists(root / "rtl/unix/classes.pp")) {
    GTEST_SKIP() << "the Free Pascal sources are not installed";
  }
  std::vector<std::string> paths;
  for (const char* folder : {"rtl/objpas", "rtl/inc", "rtl/unix", "rtl/linux"}) {
    std::error_code error;
    for (fs::recursive_directory_iterator it(root / folder, error), end; !error && it != end;
         it.increment(error)) {
      const std::string extension = it->path().extension().string();
      if (it->is_regular_file() &&
          (extension == ".pp" || extension == ".pas" || extension == ".inc" || extension == ".p")) {
        paths.push_back(it->path().lexically_relative(root).generic_string());
      }
    }
  }
  std::sort(paths.begin(), paths.end());
  std::vector<FileFacts> facts;
  for (const std::string& path : paths) {
    std::ifstream in(root / path, std::ios::binary);
    facts.push_back(ScanFileFacts(
        std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>())));
  }
  auto indexOf = [&paths](const std::string& path) {
    return static_cast<std::size_t>(std::find(paths.begin(), paths.end(), path) - paths.begin());
  };
  const std::size_t classes = indexOf("rtl/unix/classes.pp");
  const FileLinkResolver resolver(paths, facts);
  Lines found;
  for (const FileLink& link : resolver.LinksOf(classes)) {
    found.push_back(paths[link.target] + (link.alternatives.empty() ? "" : " (a choice)"));
  }
  EXPECT_EQ(found, (Lines{"rtl/unix/sysutils.pp", "rtl/objpas/types.pp", "rtl/objpas/typinfo.pp",
                          "rtl/objpas/fgl.pp", "rtl/objpas/rtlconsts.pp",
                          "rtl/objpas/classes/classesh.inc", "rtl/unix/baseunix.pp",
                          "rtl/unix/unix.pp", "rtl/objpas/classes/classes.inc"}));
  const std::vector<std::size_t>& users =
      resolver.UsedBy(indexOf("rtl/objpas/classes/classesh.inc"));
  EXPECT_NE(std::find(users.begin(), users.end(), classes), users.end());
}

} // namespace
} // namespace lexiform::xref

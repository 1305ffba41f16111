// The cross-references on a site's pages and in its data files, from symbols and
// occurrences given directly: anchors, links, their merge with the links between files,
// and the data that the references panel and the symbol search read.

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>
#include <vector>

#include "convert/text_sink.h"
#include "document/entry_conversion.h"
#include "document/site_plan.h"
#include "document/site_xref.h"
#include "platform/platform.h"

namespace lexiform {
namespace {

using xref::Occurrence;
using xref::ReferencePlace;
using xref::Symbol;
using xref::SymbolKind;

std::string Native(std::string path) {
  for (char& c : path) {
    c = c == '/' ? platform::PathSeparator() : c;
  }
  return path;
}

// The names are literals, which outlive every symbol.
Symbol MakeSymbol(std::uint32_t file, std::uint32_t offset, std::string_view name, SymbolKind kind,
                  std::uint32_t line, std::uint32_t counterpart = xref::kNoSymbol) {
  Symbol symbol;
  symbol.file = file;
  symbol.offset = offset;
  symbol.length = static_cast<std::uint32_t>(name.size());
  symbol.line = line;
  symbol.SetNames(name, name);
  symbol.kind = kind;
  symbol.counterpart = counterpart;
  return symbol;
}

// Two pages: "lib/a&b.pas" declares a class, a routine's heading and a variable;
// "main.pas" the routine's body and a reference to the class through its uses clause.
class SiteXrefTest : public ::testing::Test {
protected:
  SiteXrefTest() {
    texts = {"type TFoo = class;\r\nfunction Bar: TFoo;\r\nvar X: TFoo;\r\n",
             "uses TFoo;\r\nfunction Bar: TFoo;\r\nbegin X := nil end;\nTF\r\noo 1e5 $FF 0..E"};
    symbols = {MakeSymbol(0, 5, "TFoo", SymbolKind::Class, 1),
               MakeSymbol(0, 29, "Bar", SymbolKind::Function, 2, 3),
               MakeSymbol(0, 45, "X", SymbolKind::Variable, 3),
               MakeSymbol(1, 21, "Bar", SymbolKind::Function, 2, 1),
               MakeSymbol(7, 0, "Nowhere", SymbolKind::Constant, 1)};
    symbols[3].DropQualifiedName();
    occurrences = {
        {{5, 4, 0, true, false},
         {29, 3, 1, true, false},
         {34, 4, 0, false, false},
         {45, 1, 2, true, false},
         {48, 4, 0, false, true}},
        {{5, 4, 0, false, false},   // a unit name with a link between files
         {21, 3, 3, true, false},   // the body
         {26, 4, 0, false, false},  // TFoo
         {39, 1, 2, false, true},   // X, uncertain
         {44, 3, 4, false, false},  // a symbol without a page
         {53, 6, 0, false, false},  // over a line end
         {61, 1, 2, false, false},  // within a number
         {65, 2, 2, false, false},  // within a hexadecimal number
         {71, 1, 0, false, false}}, // read as the exponent of "0.."
    };
    references = {{{0, 34, 2, false}, {0, 48, 3, true}, {1, 5, 1, false}, {1, 26, 2, false}},
                  {},
                  {{1, 39, 3, true}},
                  {},
                  {}};
    facts.symbols = &symbols;
    facts.occurrencesIn = [this](std::size_t file) -> const std::vector<Occurrence>& {
      return occurrences.at(file);
    };
    facts.referencesTo = [this](std::size_t symbol) -> const std::vector<ReferencePlace>& {
      return references.at(symbol);
    };
    facts.relatedTo = [](std::size_t) { return xref::RelatedList(); };
  }

  std::string Page(const SiteXref& xref, std::size_t page, std::vector<xref::FileLink> links) {
    StringSink body;
    ConvertPageText(texts[page],
                    MergeInsertions(LinkInsertions(plan, page, std::move(links), texts[page]),
                                    xref.LinksOfNames(page, texts[page])),
                    SitePageFormat(kDefaultCodePage), body);
    return body.Text();
  }

  SitePlan plan =
      PlanSite({Native("/s/lib/a&b.pas"), Native("/s/main.pas")}, {true, true}, Native("/s"));
  std::vector<std::string> texts;
  std::vector<Symbol> symbols;
  std::vector<std::vector<Occurrence>> occurrences;
  std::vector<std::vector<ReferencePlace>> references;
  SiteXrefFacts facts;
};

TEST_F(SiteXrefTest, DeclarationsHaveIdsOfTheirOwnAndReferencesLeadThere) {
  const SiteXref xref(plan, facts);
  const std::string first = Page(xref, 0, {});
  EXPECT_NE(first.find("<a class=\"decl\" id=\"s1\" href=\"#s1\" title=\"class\">TFoo</a>"),
            std::string::npos)
      << first;
  EXPECT_NE(first.find("<a class=\"decl\" id=\"s2\" href=\"../main.pas.html#s1\" "
                       "title=\"function\">Bar</a>"),
            std::string::npos)
      << "a heading links on to its body: " << first;
  EXPECT_NE(first.find("<a href=\"#s1\" title=\"class, line 1\">TFoo</a>"), std::string::npos)
      << first;
  EXPECT_NE(first.find("<a class=\"u\" href=\"#s1\" title=\"class, line 1; uncertain: "),
            std::string::npos)
      << first;
  std::set<std::string> ids;
  const std::regex id("id=\"(s[0-9]+)\"");
  for (auto it = std::sregex_iterator(first.begin(), first.end(), id); it != std::sregex_iterator();
       ++it) {
    EXPECT_TRUE(ids.insert((*it)[1]).second) << (*it)[1];
  }
  EXPECT_EQ(ids, (std::set<std::string>{"s1", "s2", "s3"}));

  const std::string second = Page(xref, 1, {{5, 4, xref::FileLinkKind::Uses, 0, {}}});
  EXPECT_NE(second.find("<span class=\"k\">uses</span> <a class=\"xref\" "
                        "href=\"lib/a%26b.pas.html\">TFoo</a>"),
            std::string::npos)
      << "the link between files keeps the name: " << second;
  EXPECT_NE(second.find("<a class=\"decl\" id=\"s1\" href=\"lib/a%26b.pas.html#s2\" "
                        "title=\"function\">Bar</a>"),
            std::string::npos)
      << second;
  EXPECT_NE(second.find("<a href=\"lib/a%26b.pas.html#s1\" title=\"class, line "
                        "1\">TFoo</a>"),
            std::string::npos)
      << second;
  EXPECT_NE(second.find("<a class=\"u\" href=\"lib/a%26b.pas.html#s3\" title=\"variable, "
                        "line 3; uncertain"),
            std::string::npos)
      << second;
  EXPECT_EQ(second.find("Nowhere"), std::string::npos);
  EXPECT_EQ(second.find("<a", second.find("id=\"L4\"")), std::string::npos)
      << "no link spans two lines or stands within a token, none leads to a symbol without a "
         "page: "
      << second;
}

// "0..E" is a number with an exponent for the converter, but "T2.E" a name, a dot and a
// name: only the first loses its link.
TEST_F(SiteXrefTest, NameAfterANameEndingInDigitsKeepsItsLink) {
  const auto at = static_cast<std::uint32_t>(texts[1].size() + 4);
  texts[1] += "\nQ2.Extra";
  occurrences[1].push_back({at, 5, 0, false, false});
  const SiteXref xref(plan, facts);
  const std::string second = Page(xref, 1, {});
  EXPECT_NE(second.find(">0..E</span>"), std::string::npos) << second;
  EXPECT_NE(second.find("<a href=\"lib/a%26b.pas.html#s1\" title=\"class, line 1\">Extra</a>"),
            std::string::npos)
      << second;
}

TEST_F(SiteXrefTest, DataFilesHoldWhatThePanelAndTheSearchRead) {
  const SiteXref xref(plan, facts);
  EXPECT_EQ(xref.DataFiles(),
            (std::vector<std::string>{"xref.js", "symbols.js", "refs/0.js", "lines/0.js"}));
  EXPECT_EQ(xref.RefsFile(0), "lexiformData(\"r0\",[\n"
                              "0,[\n"
                              "[2,1,0,[],[0,2,2,-3,1,2,1,2]],\n"
                              "[16,2,[1,1,2],[],[]],\n"
                              "[11,3,0,[],[1,1,-3]],\n"
                              "],\n"
                              "1,[\n"
                              "[16,2,[0,2,2],[],[]],\n"
                              "],\n"
                              "]);\n");
  std::string symbolsFile;
  xref.WriteSymbolsFile([&symbolsFile](std::string_view piece) { symbolsFile += piece; });
  EXPECT_EQ(symbolsFile, "lexiformData(\"s\",[\n"
                         "[\"TFoo\",2,0,1],\n"
                         "[\"Bar\",16,0,2],\n"
                         "[\"X\",11,0,3],\n"
                         "]);\n");
  EXPECT_NE(xref.IndexFile().find("\"refs\":[0],\n\"lines\":[0]});"), std::string::npos);
  // Lines counted as the pages number them (CR LF, CR, LF), trimmed, JSON-safe.
  EXPECT_EQ(xref.LinesData(0, texts[0]), "0,[2,\"function Bar: TFoo;\",3,\"var X: TFoo;\"],\n");
  EXPECT_EQ(xref.LinesData(1, "uses TFoo;\r\nfunction Bar: TFoo;\r\n\r  X<\"\xFF"),
            "1,[1,\"uses TFoo;\",2,\"function Bar: TFoo;\",4,\"X\\u003c\\\"\\ufffd\"],\n");
  std::string linesFile;
  SiteXref::WriteLinesFile(3, "1,[2,\"x\"],\n",
                           [&linesFile](std::string_view piece) { linesFile += piece; });
  EXPECT_EQ(linesFile, "lexiformData(\"l3\",[\n1,[2,\"x\"],\n]);\n");
}

TEST_F(SiteXrefTest, ManyReferencesSpreadOverSeveralFilesEachEndingAfterItsLastPage) {
  std::vector<SitePage> pages(5, plan.pages[1]);
  plan.pages = pages;
  occurrences.resize(5);
  occurrences[1].assign(25000, {0, 1, 0, false, false});
  occurrences[3].assign(25000, {0, 1, 0, false, false});
  references[0].assign(50000, {1, 0, 1, false});
  const SiteXref xref(plan, facts);
  EXPECT_EQ(xref.RefsFileCount(), 2u);
  std::vector<std::size_t> lineFiles;
  std::vector<bool> ends;
  for (std::size_t page = 0; page < 5; ++page) {
    lineFiles.push_back(xref.LinesFileOf(page));
    ends.push_back(xref.EndsLinesFile(page));
  }
  EXPECT_EQ(lineFiles, (std::vector<std::size_t>{0, 0, 1, 1, 2}));
  EXPECT_EQ(ends, (std::vector<bool>{false, true, false, true, true}));
  EXPECT_EQ(xref.DataFiles().size(), 2u + 2u + 3u);
}

} // namespace
} // namespace lexiform

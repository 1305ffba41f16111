#include "xref/cross_references.h"
#include "xref/pascal_tokens.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <string>
#include <system_error>
#include <vector>

#include "test_support.h"

namespace lexiform::xref {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Folded(std::string text) {
  for (char& c : text) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return text;
}

// The files of a site, read from disk, with their links resolved.
struct Site {
  std::vector<std::string> paths; // relative to `root`
  std::vector<std::string> texts;
  FileLinkResolver Links() const {
    std::vector<FileFacts> facts;
    for (const std::string& text : texts) {
      facts.push_back(ScanFileFacts(text));
    }
    return FileLinkResolver(paths, facts);
  }
  std::size_t IndexOf(const std::string& path) const {
    return static_cast<std::size_t>(std::find(paths.begin(), paths.end(), path) - paths.begin());
  }
};

Site ReadSite(const fs::path& root, const std::vector<std::string>& folders,
              const std::vector<std::string>& extensions) {
  Site site;
  for (const std::string& folder : folders) {
    std::error_code error;
    for (fs::recursive_directory_iterator it(root / folder, error), end; !error && it != end;
         it.increment(error)) {
      const std::string extension = Folded(it->path().extension().string());
      if (it->is_regular_file() &&
          std::find(extensions.begin(), extensions.end(), extension) != extensions.end()) {
        site.paths.push_back(
            it->path().lexically_normal().lexically_relative(root).generic_string());
      }
    }
  }
  std::sort(site.paths.begin(), site.paths.end());
  for (const std::string& path : site.paths) {
    site.texts.push_back(ReadFile(root / path));
  }
  return site;
}

bool IsIdentChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}

// Over the Free Pascal RTL: every marked name is a whole identifier that is its
// symbol's name, in text order; the share of identifiers that are links is reported.
TEST(CrossReferencesTest, FreePascalRuntimeLinksNamesToDeclarationsOfTheSameName) {
  const fs::path root = "/usr/share/fpcsrc/3.2.2";
  if (!fs::exists(root / "rtl/objpas/classes/classesh.inc")) {
    GTEST_SKIP() << "the Free Pascal sources are not installed";
  }
  const Site site = ReadSite(root, {"rtl/objpas", "rtl/inc", "rtl/unix", "rtl/linux"},
                             {".pp", ".pas", ".inc", ".p"});
  const FileLinkResolver links = site.Links();
  const CrossReferences references(
      links, site.paths.size(), [&](std::size_t i) { return site.texts[i]; }, 2);
  std::size_t marked = 0;
  std::size_t uncertain = 0;
  for (std::size_t file = 0; file < site.paths.size(); ++file) {
    const std::string& text = site.texts[file];
    std::size_t end = 0;
    for (const Occurrence& occurrence : references.OccurrencesIn(file)) {
      ASSERT_GE(occurrence.offset, end) << site.paths[file];
      end = occurrence.offset + occurrence.length;
      ASSERT_LE(end, text.size());
      const Symbol& symbol = references.Symbols().at(occurrence.symbol);
      const std::string covered = text.substr(occurrence.offset, occurrence.length);
      ASSERT_EQ(Folded(covered), Folded(std::string(symbol.Name())))
          << site.paths[file] << ":" << occurrence.offset;
      ASSERT_TRUE(occurrence.offset == 0 || !IsIdentChar(text[occurrence.offset - 1]));
      ASSERT_TRUE(end == text.size() || !IsIdentChar(text[end]));
      const std::string& declared = site.texts[symbol.file];
      ASSERT_EQ(Folded(declared.substr(symbol.offset, symbol.length)),
                Folded(std::string(symbol.Name())));
      marked += 1;
      uncertain += occurrence.uncertain ? 1 : 0;
    }
  }
  std::size_t identifiers = 0;
  for (const std::string& text : site.texts) {
    for (const Token& token : ScanPascal(text).tokens) {
      identifiers += token.kind == PasToken::Identifier ? 1 : 0;
    }
  }
  std::cout << "marked " << marked << " of " << identifiers << " identifiers ("
            << 100 * marked / identifiers << "%), " << uncertain << " uncertain\n";
  const std::size_t stringl = site.IndexOf("rtl/objpas/classes/stringl.inc");
  const std::size_t classesh = site.IndexOf("rtl/objpas/classes/classesh.inc");
  bool linked = false;
  for (const Occurrence& occurrence : references.OccurrencesIn(stringl)) {
    const Symbol& symbol = references.Symbols()[occurrence.symbol];
    if (Folded(std::string(symbol.Name())) == "tstringlist" && !occurrence.declaration) {
      EXPECT_EQ(symbol.file, classesh);
      EXPECT_EQ(symbol.kind, SymbolKind::Class);
      linked = true;
    }
  }
  EXPECT_TRUE(linked);
  const auto& symbols = references.Symbols();
  const auto sort = std::find_if(symbols.begin(), symbols.end(), [](const Symbol& symbol) {
    return symbol.QualifiedName() == "TStringList.Sort";
  });
  ASSERT_NE(sort, symbols.end());
  EXPECT_EQ(sort->file, classesh);
  ASSERT_NE(sort->counterpart, kNoSymbol);
  EXPECT_EQ(symbols[sort->counterpart].file, stringl);
}

// A site held in memory: (path, text) pairs.
struct MemorySite {
  std::vector<std::string> paths;
  std::vector<std::string> texts;
};

CrossReferences Resolve(const MemorySite& site, const FileLinkResolver& links) {
  return CrossReferences(links, site.paths.size(), [&](std::size_t i) { return site.texts[i]; });
}

FileLinkResolver LinksOf(const MemorySite& site) {
  std::vector<FileFacts> facts;
  for (const std::string& text : site.texts) {
    facts.push_back(ScanFileFacts(text));
  }
  return FileLinkResolver(site.paths, facts);
}

// Each marked name of a file as "text@line->name@line", "?" for an uncertain link.
std::vector<std::string> Marked(const CrossReferences& references, const MemorySite& site,
                                std::size_t file) {
  std::vector<std::string> marked;
  const std::string& text = site.texts[file];
  for (const Occurrence& occurrence : references.OccurrencesIn(file)) {
    const Symbol& symbol = references.Symbols()[occurrence.symbol];
    const auto line =
        1 + std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(occurrence.offset),
                       '\n');
    marked.push_back(
        text.substr(occurrence.offset, occurrence.length) + "@" + std::to_string(line) +
        (occurrence.declaration ? "" : "->") + (occurrence.uncertain ? "?" : "") +
        (occurrence.declaration ? ""
                                : std::string(symbol.Name()) + "@" + std::to_string(symbol.line)));
  }
  return marked;
}

// Branches of conditional compilation are all read: a name declared in two is one
// target with the other listed, and a branch that cuts a declaration in two leaves
// the rest of the file in order.
TEST(CrossReferencesTest, BranchesDeclareOnceAndDoNotDerailTheRest) {
  const MemorySite site{
      {"m.pas"},
      {"unit m;\n"
       "interface\n"
       "const\n"
       "{$ifdef A}\n"
       "  Width = 1;\n"
       "{$else}\n"
       "  Width = 2;\n"
       "{$endif}\n"
       "  Size: {$ifdef CPU16}word{$else}cardinal{$endif} = 3;\n"
       "type TR = record {$ifdef A} X: Byte; end; {$else} X: Word; end; {$endif}\n"
       "const After = Width + Size; { Width } S = 'Width';\n"
       "implementation\n"
       "end.\n"}};
  const FileLinkResolver links = LinksOf(site);
  const CrossReferences references = Resolve(site, links);
  EXPECT_EQ(Marked(references, site, 0),
            (std::vector<std::string>{"m@1", "Width@5", "Width@7", "Size@9", "TR@10", "X@10",
                                      "After@11", "Width@11->Width@5", "Size@11->Size@9", "S@11"}));
  const auto& symbols = references.Symbols();
  const auto first = std::find_if(symbols.begin(), symbols.end(),
                                  [](const Symbol& symbol) { return symbol.Name() == "Width"; });
  ASSERT_NE(first, symbols.end());
  const xref::RelatedList related =
      references.RelatedTo(static_cast<std::size_t>(first - symbols.begin()));
  ASSERT_EQ(related.size(), 1u);
  EXPECT_EQ(symbols[related[0]].line, 7u);
}

// Include files that include each other, and that no unit includes, are still read.
TEST(CrossReferencesTest, IncludeCycleThatNoUnitReachesIsRead) {
  const MemorySite site{{"a.inc", "b.inc"},
                        {"const A = 1;\n{$I b.inc}\n", "const B = A;\n{$I a.inc}\n"}};
  const FileLinkResolver links = LinksOf(site);
  const CrossReferences references = Resolve(site, links);
  EXPECT_EQ(Marked(references, site, 0), std::vector<std::string>{"A@1"});
  EXPECT_EQ(Marked(references, site, 1), (std::vector<std::string>{"B@1", "A@1->A@1"}));
}

// Units of megabytes of text (tables of data) are read one at a time while the other
// workers go on with small ones, and with only large ones left, wait for their turn:
// every unit is read, and the links are those of a single thread.
TEST(CrossReferencesTest, LargeUnitsBindAsOnOneThread) {
  const std::string table = "{" + std::string(std::size_t{4} << 20, '-') + "}\n";
  const MemorySite site{
      {"big1.pas", "big2.pas", "big3.pas", "table.inc", "small.pas", "main.pas"},
      {"unit big1;\ninterface\nconst One = 1;\n" + table + "implementation\nend.\n",
       "unit big2;\ninterface\nconst Two = 2;\n{$I table.inc}\nimplementation\nend.\n",
       "unit big3;\ninterface\nconst Three = 3;\n" + table + "implementation\nend.\n", table,
       "unit small;\ninterface\nuses big1, big2;\nconst Small = One + Two;\nimplementation\nend.\n",
       "program main;\nuses big1, big2, big3, small;\nbegin\n  Inc(Small + Three + One);\nend.\n"}};
  const FileLinkResolver links = LinksOf(site);
  const auto read = [&](std::size_t i) { return site.texts[i]; };
  const CrossReferences alone(links, site.paths.size(), read, 1);
  const CrossReferences together(links, site.paths.size(), read, 4);
  for (std::size_t file = 0; file < site.paths.size(); ++file) {
    EXPECT_EQ(Marked(together, site, file), Marked(alone, site, file)) << site.paths[file];
  }
  EXPECT_EQ(
      Marked(together, site, 5),
      (std::vector<std::string>{"main@1", "Small@4->Small@4", "Three@4->Three@3", "One@4->One@3"}));
}

// A unit or include file chosen among several makes the links through it uncertain.
TEST(CrossReferencesTest, ChoicesAmongFilesGiveUncertainLinks) {
  const MemorySite site{
      {"a/main.pas", "b/u.pas", "c/u.pas", "b/k.inc", "c/k.inc"},
      {"program main;\nuses u;\n{$I k.inc}\nbegin\n  Inc(FromUnit + FromInclude);\nend.\n",
       "unit u;\ninterface\nconst FromUnit = 1;\nimplementation\nend.\n",
       "unit u;\ninterface\nconst FromUnit = 2;\nimplementation\nend.\n",
       "const FromInclude = 3;\n", "const FromInclude = 4;\n"}};
  const FileLinkResolver links = LinksOf(site);
  const CrossReferences references = Resolve(site, links);
  EXPECT_EQ(Marked(references, site, 0),
            (std::vector<std::string>{"main@1", "FromUnit@5->?FromUnit@3",
                                      "FromInclude@5->?FromInclude@1"}));
  const auto& places = references.ReferencesTo(references.OccurrencesIn(0)[1].symbol);
  ASSERT_EQ(places.size(), 1u);
  EXPECT_TRUE(places[0].uncertain);
  EXPECT_EQ(places[0].line, 5u);
}

// Names after a dot resolve in the declared type of what stands before it: a nested
// type, a default array property, a local's type bound where it is declared; a `with`
// whose type is not known hides every name that might be its member.
TEST(CrossReferencesTest, MembersThroughDeclaredTypes) {
  const MemorySite site{{"t.pas"},
                        {"unit t;\n"
                         "{$mode objfpc}\n"
                         "interface\n"
                         "type\n"
                         "  TOuter = class\n"
                         "  type\n"
                         "    TInner = class\n"
                         "      Depth: Integer;\n"
                         "    end;\n"
                         "  public\n"
                         "    function Item(I: Integer): TInner;\n"
                         "    property Items[I: Integer]: TInner read Item; default;\n"
                         "  end;\n"
                         "var\n"
                         "  Outer: TOuter;\n"
                         "  Count: Integer;\n"
                         "implementation\n"
                         "procedure Use;\n"
                         "var\n"
                         "  Inner: TOuter.TInner;\n"
                         "begin\n"
                         "  Count := Outer[2].Depth + Inner.Depth;\n"
                         "  with Unknown do Count := Depth;\n"
                         "  with Inner do Count := Depth;\n"
                         "end;\n"
                         "end.\n"}};
  const FileLinkResolver links = LinksOf(site);
  const CrossReferences references = Resolve(site, links);
  const std::vector<std::string> marked = Marked(references, site, 0);
  EXPECT_EQ(
      std::vector<std::string>(marked.begin() + 14, marked.end()),
      (std::vector<std::string>{"Use@18", "Inner@20", "TOuter@20->TOuter@5", "TInner@20->TInner@7",
                                "Count@22->Count@16", "Outer@22->Outer@15", "Depth@22->Depth@8",
                                "Inner@22->Inner@20", "Depth@22->Depth@8", "Inner@24->Inner@20",
                                "Count@24->Count@16", "Depth@24->Depth@8"}));
}

// A `private` member is seen in its own unit only, a `strict private` one in its own
// class only: elsewhere the name means what it means outside the class.
TEST(CrossReferencesTest, PrivateMembersAreSeenWhereTheLanguageShowsThem) {
  const MemorySite site{{"a.pas", "b.pas"},
                        {"unit a;\n"
                         "interface\n"
                         "type\n"
                         "  TBase = class\n"
                         "  private\n"
                         "    Hidden: Integer;\n"
                         "  strict private\n"
                         "    Secret: Integer;\n"
                         "  public\n"
                         "    procedure Touch;\n"
                         "  end;\n"
                         "implementation\n"
                         "procedure TBase.Touch;\n"
                         "begin\n"
                         "  Secret := Hidden;\n"
                         "end;\n"
                         "procedure Other(B: TBase);\n"
                         "begin\n"
                         "  B.Hidden := 1;\n"
                         "  B.Secret := 2;\n"
                         "end;\n"
                         "end.\n",
                         "unit b;\n"
                         "interface\n"
                         "uses a;\n"
                         "const Hidden = 5;\n"
                         "type\n"
                         "  TDerived = class(TBase)\n"
                         "    procedure Use;\n"
                         "  end;\n"
                         "implementation\n"
                         "procedure TDerived.Use;\n"
                         "begin\n"
                         "  Touch;\n"
                         "  if Hidden = 5 then ;\n"
                         "end;\n"
                         "end.\n"}};
  const FileLinkResolver links = LinksOf(site);
  const CrossReferences references = Resolve(site, links);
  const std::vector<std::string> inA = Marked(references, site, 0);
  // B.Hidden@19 is seen in its unit; B.Secret@20 is no link.
  EXPECT_EQ(std::vector<std::string>(inA.end() - 8, inA.end()),
            (std::vector<std::string>{"Secret@15->Secret@8", "Hidden@15->Hidden@6", "Other@17",
                                      "B@17", "TBase@17->TBase@4", "B@19->B@17",
                                      "Hidden@19->Hidden@6", "B@20->B@17"}));
  const std::vector<std::string> inB = Marked(references, site, 1);
  EXPECT_EQ(std::vector<std::string>(inB.end() - 2, inB.end()),
            (std::vector<std::string>{"Touch@12->Touch@10", "Hidden@13->Hidden@4"}));
}

// A body that leaves out its heading's parameters still has them.
TEST(CrossReferencesTest, BodyWithoutParameterListSeesTheHeadings) {
  const MemorySite site{{"d.pas"},
                        {"unit d;\n"
                         "{$mode delphi}\n"
                         "interface\n"
                         "type TFoo = class\n"
                         "  Value: Integer;\n"
                         "  procedure SetIt(Value: Integer);\n"
                         "end;\n"
                         "implementation\n"
                         "procedure TFoo.SetIt;\n"
                         "begin\n"
                         "  Self.Value := Value;\n"
                         "end;\n"
                         "end.\n"}};
  const FileLinkResolver links = LinksOf(site);
  const CrossReferences references = Resolve(site, links);
  const std::vector<std::string> marked = Marked(references, site, 0);
  EXPECT_EQ(std::vector<std::string>(marked.end() - 2, marked.end()),
            (std::vector<std::string>{"Value@11->Value@5", "Value@11->Value@6"}));
}

// `on E: Exception do` declares E for its handler, with the type named.
TEST(CrossReferencesTest, ExceptionHandlerDeclaresItsName) {
  const MemorySite site{{"e.pas"},
                        {"unit e;\n"
                         "{$mode objfpc}\n"
                         "interface\n"
                         "type Exception = class Message: string; end;\n"
                         "implementation\n"
                         "procedure P;\n"
                         "begin\n"
                         "  try\n"
                         "  except\n"
                         "    on E: Exception do\n"
                         "      if E.Message = '' then ;\n"
                         "  end;\n"
                         "  E := nil;\n"
                         "end;\n"
                         "end.\n"}};
  const FileLinkResolver links = LinksOf(site);
  const CrossReferences references = Resolve(site, links);
  const std::vector<std::string> marked = Marked(references, site, 0);
  EXPECT_EQ(std::vector<std::string>(marked.end() - 4, marked.end()),
            (std::vector<std::string>{"E@10", "Exception@10->Exception@4", "E@11->E@10",
                                      "Message@11->Message@4"}));
}

// Note [project markers]
// The project under tests/xref_project carries its expectations in comments right
// after the names they concern: `Name{#tag}` declares the symbol `tag`, `Name{>tag}`
// must link to it (`{>?tag}`: linked as uncertain), `Name{>-}` must be no link. The
// compiler agrees: the program prints what only the intended declarations give.
struct Marker {
  std::size_t file = 0;
  std::size_t offset = 0; // of the name before the marker
  std::string tag;        // "-" for no link
  bool declaration = false;
  bool uncertain = false;
};

std::vector<Marker> MarkersOf(const Site& site) {
  std::vector<Marker> markers;
  for (std::size_t file = 0; file < site.paths.size(); ++file) {
    const std::string& text = site.texts[file];
    for (std::size_t at = text.find('{'); at != std::string::npos; at = text.find('{', at + 1)) {
      if (at + 1 >= text.size() || (text[at + 1] != '#' && text[at + 1] != '>') || at == 0 ||
          !IsIdentChar(text[at - 1])) {
        continue;
      }
      Marker marker;
      marker.file = file;
      marker.declaration = text[at + 1] == '#';
      std::size_t tagStart = at + 2;
      marker.uncertain = text[tagStart] == '?';
      tagStart += marker.uncertain ? 1 : 0;
      marker.tag = text.substr(tagStart, text.find('}', at) - tagStart);
      marker.offset = at;
      while (marker.offset > 0 && IsIdentChar(text[marker.offset - 1])) {
        --marker.offset;
      }
      markers.push_back(marker);
    }
  }
  return markers;
}

const Occurrence* OccurrenceAt(const CrossReferences& references, std::size_t file,
                               std::size_t offset) {
  for (const Occurrence& occurrence : references.OccurrencesIn(file)) {
    if (occurrence.offset == offset) {
      return &occurrence;
    }
  }
  return nullptr;
}

Site ProjectSite() {
  return ReadSite(fs::path(LEXIFORM_SOURCE_DIR) / "tests/xref_project", {"."}, {".pas", ".inc"});
}

// Every rule of binding, case by case, in a project the compiler agrees with.
TEST(CrossReferencesTest, ProjectNamesLinkWhereTheCompilerBindsThem) {
  const Site site = ProjectSite();
  ASSERT_GE(site.paths.size(), 8u);
  const FileLinkResolver links = site.Links();
  const CrossReferences references(links, site.paths.size(),
                                   [&](std::size_t i) { return site.texts[i]; });
  const std::vector<Marker> markers = MarkersOf(site);
  std::map<std::string, std::uint32_t> declared;
  for (const Marker& marker : markers) {
    if (!marker.declaration) {
      continue;
    }
    const Occurrence* occurrence = OccurrenceAt(references, marker.file, marker.offset);
    const std::string where = site.paths[marker.file] + " #" + marker.tag;
    if (marker.tag == "my.utils" || occurrence == nullptr) {
      ADD_FAILURE() << where << " is not declared";
      continue;
    }
    EXPECT_TRUE(occurrence->declaration) << where;
    declared[marker.tag] = occurrence->symbol;
  }
  std::size_t checked = 0;
  for (const Marker& marker : markers) {
    if (marker.declaration) {
      continue;
    }
    const Occurrence* occurrence = OccurrenceAt(references, marker.file, marker.offset);
    const std::string where =
        site.paths[marker.file] + ":" + std::to_string(marker.offset) + " >" + marker.tag;
    checked += 1;
    if (marker.tag == "-") {
      EXPECT_EQ(occurrence, nullptr)
          << where << " is linked to " << references.Symbols()[occurrence->symbol].QualifiedName();
      continue;
    }
    ASSERT_TRUE(declared.count(marker.tag) != 0) << where << ": no such declaration";
    if (occurrence == nullptr) {
      ADD_FAILURE() << where << " is no link";
      continue;
    }
    EXPECT_FALSE(occurrence->declaration) << where;
    EXPECT_EQ(occurrence->symbol, declared[marker.tag])
        << where << " links to " << references.Symbols()[occurrence->symbol].Name() << " of line "
        << references.Symbols()[occurrence->symbol].line;
    EXPECT_EQ(occurrence->uncertain, marker.uncertain) << where;
  }
  EXPECT_GE(checked, 60u);

  // Bodies and headings, forward and full declarations, lead to each other.
  for (const auto& [tag, symbol] : declared) {
    const std::size_t cut = tag.rfind(".body");
    const std::string heading = tag.substr(0, cut);
    if (cut != std::string::npos && cut == tag.size() - 5 && declared.count(heading) != 0) {
      EXPECT_EQ(references.Symbols()[symbol].counterpart, declared[heading]) << tag;
      EXPECT_EQ(references.Symbols()[declared[heading]].counterpart, symbol) << tag;
    }
  }
  EXPECT_EQ(references.Symbols()[declared["shapes.tnode.forward"]].counterpart,
            declared["shapes.tnode"]);
  const xref::RelatedList related = references.RelatedTo(declared["shapes.twice"]);
  EXPECT_EQ(std::vector<std::uint32_t>(related.begin(), related.end()),
            std::vector<std::uint32_t>{declared["shapes.twice.s"]});
  // The `overload` directive joins the overloads of the units a unit uses.
  const xref::RelatedList across = references.RelatedTo(declared["cells.describe"]);
  EXPECT_EQ(std::vector<std::uint32_t>(across.begin(), across.end()),
            std::vector<std::uint32_t>{declared["boxes.describe"]});
  EXPECT_TRUE(references.RelatedTo(declared["boxes.describe"]).empty());
  EXPECT_EQ(references.Symbols()[declared["shapes.tbase.describe"]].QualifiedName(),
            "TBase.Describe");

  // The references of a symbol, by file and line.
  std::vector<std::string> places;
  for (const ReferencePlace& place : references.ReferencesTo(declared["beta.shared"])) {
    places.push_back(site.paths[place.file] + ":" + std::to_string(place.line));
  }
  EXPECT_EQ(places, (std::vector<std::string>{"gamma.pas:26", "main.pas:82"}));
}

// The project is real Pascal: the compiler builds it and its output is what only the
// intended declarations give.
TEST(CrossReferencesTest, ProjectPrintsWhatTheIntendedDeclarationsGive_PosixOnly) {
  LEXIFORM_SKIP_ON_OTHER_PLATFORM(); // the compiler is the Linux one, run from its shell
  if (!fs::exists("/usr/bin/fpc")) {
    GTEST_SKIP() << "no Free Pascal compiler";
  }
  const test::ScratchDir scratch;
  const fs::path project = fs::path(LEXIFORM_SOURCE_DIR) / "tests/xref_project";
  const std::string command = "cd '" + project.string() + "' && fpc -Mobjfpc -FE'" +
                              scratch.Path() + "' main.pas > '" + scratch / "build.txt" +
                              "' 2>&1 && '" + scratch / "main" + "' > '" + scratch / "out.txt" +
                              "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << test::ReadBytes(scratch / "build.txt");
  EXPECT_EQ(test::ReadBytes(scratch / "out.txt"), ReadFile(project / "expected_output.txt"));
}

} // namespace
} // namespace lexiform::xref

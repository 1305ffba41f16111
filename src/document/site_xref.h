#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/pas_conversion.h"
#include "document/site_pages.h"
#include "document/site_plan.h"
#include "xref/cross_references.h"
#include "xref/file_links.h"
#include "xref/string_pool.h"

// The cross-references of a code site as its pages and data files show them: an anchor
// on every declared name, a link on every name that refers to one, and the data that
// the pages' script loads for the references panel and the symbol search (see
// Note [xref data]).
namespace lexiform {

// What the site is told of the cross-references; in the program, a CrossReferences.
struct SiteXrefFacts {
  const std::vector<xref::Symbol>* symbols = nullptr;
  std::function<const std::vector<xref::Occurrence>&(std::size_t file)> occurrencesIn;
  std::function<xref::ReferenceList(std::size_t symbol)> referencesTo;
  std::function<xref::RelatedList(std::size_t symbol)> relatedTo;
};

// The id of the anchor numbered `number` (from 1, in text order) on its page: "s<N>".
std::string DeclarationId(std::size_t number);

// The markup that puts the `links` of page `page` of `plan` around the names they stand
// on in its `text`: "<a class="xref" ...>" before, "</a>" after. A link that the text
// does not hold whole on one line (the file changed since it was scanned), that
// overlaps an earlier one or that leads to no page is left out: a link never spans two
// numbered lines, and links never nest.
PageInsertions LinkInsertions(const SitePlan& plan, std::size_t page,
                              std::vector<xref::FileLink> links, std::string_view text);

// The insertions that put the links between files (`fileLinks`, pairs of start and end
// as LinkInsertions makes them) and the marked names of `names` (SiteXref::NameLinks)
// into a page, in offset order. A name that meets a link between files is left out:
// links never nest.
struct NameLink {
  std::size_t offset = 0;
  std::size_t length = 0;
  std::string_view start; // the markup before the name; "</a>" follows it
};
// A page's name links and the markup they point into.
struct NameLinks {
  std::vector<NameLink> links;
  xref::StringPool markup;
};
PageInsertions MergeInsertions(PageInsertions fileLinks, NameLinks names);

// The cross-references of the pages of `plan`; file N of `facts` is page N.
class SiteXref {
public:
  SiteXref(const SitePlan& plan, SiteXrefFacts facts);

  // The declared names and the references of page `page` whose bytes `text` holds
  // whole, each on one line, in text order. A declaration is
  // <a class="decl" id="s<N>" href="..."> (to its counterpart, else to itself); a
  // reference <a href="...#s<N>" title="kind, line L">, an uncertain one of class "u"
  // and with a title that says so.
  NameLinks LinksOfNames(std::size_t page, std::string_view text) const;

  // The page's lines that hold a reference, as its part of a lines file (see
  // Note [xref data]); empty when it has none.
  std::string LinesData(std::size_t page, std::string_view text) const;

  // The data files, within the shared folder, in the order they are best written.
  std::vector<std::string> DataFiles() const;

  // Which lines file takes the lines of page `page`; pages are written in order, and
  // a lines file is complete after the last page of its range.
  std::size_t LinesFileOf(std::size_t page) const;
  bool EndsLinesFile(std::size_t page) const;
  static std::string LinesFileName(std::size_t number);
  // A lines file from the LinesData of its pages, concatenated, handed to `write` in
  // pieces: the data of a range of pages runs to megabytes, and is not copied again.
  static void WriteLinesFile(std::size_t number, std::string_view pagesData,
                             const std::function<void(std::string_view)>& write);

  // "xref.js": the kinds' names and the ranges of pages of the refs and lines files.
  std::string IndexFile() const;
  // "symbols.js": what symbol search looks through, every declaration of the site that
  // has a qualified name, tens of megabytes over a large tree: handed to `write` in
  // pieces of about a megabyte.
  void WriteSymbolsFile(const std::function<void(std::string_view piece)>& write) const;
  std::size_t RefsFileCount() const { return refsStarts_.size(); }
  static std::string RefsFileName(std::size_t number);
  // The refs file `number`: the references of each declaration of its pages.
  std::string RefsFile(std::size_t number) const;

private:
  void AppendPlace(std::string& text, std::size_t symbol) const; // [page,anchor,line
  void AppendReferences(std::string& text, xref::ReferenceList places) const;

  const SitePlan& plan_;
  SiteXrefFacts facts_;
  // Both over millions of symbols: 32 bits each, as the symbols' own numbers.
  std::vector<std::uint32_t> anchor_;                  // by symbol; 0: not shown
  std::vector<std::vector<std::uint32_t>> declaredOn_; // by page: symbols by anchor
  std::vector<std::size_t> refsStarts_, linesStarts_;  // first page of each file
};

} // namespace lexiform

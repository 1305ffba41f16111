#pragma once

#include <cstddef>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "convert/code_pages.h"
#include "convert/text_sink.h"
#include "document/entry_format.h"
#include "document/site_pages.h"
#include "document/site_plan.h"
#include "document/site_xref.h"
#include "files/source_file.h"
#include "xref/cross_references.h"
#include "xref/file_links.h"

namespace lexiform {

// What the first pass learns of a source: checked once (see Note [one look at an
// entry]), and handed to the index, the console and the pages alike. Of its text only
// the facts about other files are kept.
struct CheckedSource {
  SourceEntry::State state = SourceEntry::State::Missing;
  std::string folder; // Unsearchable: the folder that cannot be searched, and why
  std::string reason;
  SiteFileFacts file;
  xref::FileFacts links;
  std::exception_ptr fatal; // the system ran out of files or memory: the run ends
};

// Everything the pages of a code site are made from, planned before the first is
// written, and only read after: worker threads convert pages from it. Making it binds
// the names of every source on `bindingThreads` threads; it takes the facts of the
// sources from `checked` (by list position).
class SiteBuild {
public:
  SiteBuild(const std::vector<std::string>& fileList, std::vector<CheckedSource>& checked,
            const std::string& target, CodePage sourcePage, unsigned bindingThreads);

  const SitePlan& Plan() const { return plan_; }
  const std::vector<SiteFileFacts>& Facts() const { return facts_; }

  // Every file of the site, from the top.
  std::vector<std::string> Files() const;

  std::string SharedFile(std::string_view name) const {
    return plan_.sharedFolder + "/" + std::string(name);
  }

  // files.js: the pages' paths that the search box looks through.
  std::string SearchData() const;

  // The page's text, as the first pass read it.
  std::string TextOf(std::size_t page) const;

  const SiteXref& Xref() const { return siteXref_; }

  // Once the data files hold the references, the pages need only the marked names.
  void ReleaseReferences() { xrefs_.ReleaseReferences(); }
  // Once a page is written, its marked names are needed no more: the workers may be
  // converting later pages meanwhile, never this one.
  void PageDone(std::size_t page) { xrefs_.ReleaseOccurrencesIn(page); }

  // The code of page `page` from its `text`, with its links between files, its
  // declarations and references; keeps the page's lines for the references panel.
  void WriteCode(std::size_t page, std::string_view text, TextSink& body) const;

  // What WriteCode kept of page `page` for its lines file; see Note [xref data].
  std::string TakeLinesData(std::size_t page) const { return std::move(linesData_[page]); }

  std::string PageStart(std::size_t page) const;
  std::string PageEnd(std::size_t page) const;
  std::string Index(const std::vector<CheckedSource>& checked) const;

private:
  static SitePlan MakePlan(const std::vector<std::string>& fileList,
                           const std::vector<CheckedSource>& checked, const std::string& target);
  // The resolver takes the facts of every page; the first pass keeps none of them.
  xref::FileLinkResolver Resolve(std::vector<CheckedSource>& checked);
  static SiteXrefFacts XrefFacts(const xref::CrossReferences& xrefs);

  const std::vector<std::string>& fileList_;
  const TEntryFormat format_;
  const CodePage sourcePage_;
  std::vector<SiteFileFacts> facts_; // by page
  const SitePlan plan_;
  const xref::FileLinkResolver resolver_;
  xref::CrossReferences xrefs_;
  const SiteXref siteXref_;
  // By page, written by whichever thread converts the page, once, and taken by the
  // writer after the page is written.
  mutable std::vector<std::string> linesData_;
};

} // namespace lexiform

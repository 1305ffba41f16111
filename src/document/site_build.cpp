#include "document/site_build.h"

#include <utility>

#include "convert/utf8_text.h"
#include "document/entry_conversion.h"
#include "document/site_assets.h"
#include "files/path_parts.h"
#include "platform/platform.h"

namespace lexiform {

using EntryState = SourceEntry::State;

SiteBuild::SiteBuild(const std::vector<std::string>& fileList, std::vector<CheckedSource>& checked,
                     const std::string& target, CodePage sourcePage, unsigned bindingThreads)
    : fileList_(fileList), format_(SitePageFormat(sourcePage)), sourcePage_(sourcePage),
      plan_(MakePlan(fileList, checked, target)), resolver_(Resolve(checked)),
      xrefs_(
          resolver_, plan_.pages.size(), [this](std::size_t page) { return TextOf(page); },
          bindingThreads, [] { platform::ReturnFreedMemory(); }),
      siteXref_(plan_, XrefFacts(xrefs_)), linesData_(plan_.pages.size()) {}

std::vector<std::string> SiteBuild::Files() const {
  std::vector<std::string> files = {std::string(kSiteIndexFile), SharedFile("files.js")};
  for (const SiteAsset& asset : SiteStaticAssets()) {
    files.push_back(SharedFile(asset.name));
  }
  for (const std::string& data : siteXref_.DataFiles()) {
    files.push_back(SharedFile(data));
  }
  for (const SitePage& page : plan_.pages) {
    files.push_back(page.file);
  }
  return files;
}

std::string SiteBuild::SearchData() const {
  std::vector<SiteSearchEntry> entries;
  entries.reserve(plan_.pages.size());
  for (const SitePage& page : plan_.pages) {
    entries.push_back({UrlPath(page.file), TextToUtf8(page.path)});
  }
  return SiteSearchData(entries);
}

std::string SiteBuild::TextOf(std::size_t page) const {
  return ReadPageText(plan_.pages[page].sourcePath, facts_[page].size, sourcePage_);
}

void SiteBuild::WriteCode(std::size_t page, std::string_view text, TextSink& body) const {
  ConvertPageText(text,
                  MergeInsertions(LinkInsertions(plan_, page, resolver_.LinksOf(page), text),
                                  siteXref_.LinksOfNames(page, text)),
                  format_, body);
  linesData_[page] = siteXref_.LinesData(page, text);
}

std::string SiteBuild::PageStart(std::size_t page) const {
  return SitePageStart(plan_.pages[page], plan_.sharedFolder, plan_.topName, facts_[page], page);
}

std::string SiteBuild::PageEnd(std::size_t page) const {
  std::vector<const SitePage*> users;
  for (const std::size_t user : resolver_.UsedBy(page)) {
    users.push_back(&plan_.pages[user]);
  }
  return SitePageEnd(plan_.pages[page], users);
}

std::string SiteBuild::Index(const std::vector<CheckedSource>& checked) const {
  std::vector<SiteAbsentEntry> absent;
  for (std::size_t i = 0; i < fileList_.size(); ++i) {
    if (checked[i].state != EntryState::Present) {
      absent.push_back({fileList_[i], checked[i].state == EntryState::Missing
                                          ? SiteProblem::Missing
                                          : SiteProblem::Unreadable});
    }
  }
  return SiteIndex(plan_, facts_, absent);
}

SitePlan SiteBuild::MakePlan(const std::vector<std::string>& fileList,
                             const std::vector<CheckedSource>& checked, const std::string& target) {
  std::vector<bool> hasPage(fileList.size());
  for (std::size_t i = 0; i < fileList.size(); ++i) {
    hasPage[i] = checked[i].state == EntryState::Present;
  }
  SitePlan plan = PlanSite(fileList, hasPage, platform::CurrentDirectory());
  if (plan.topName.empty()) {
    plan.topName = NamePart(target);
  }
  return plan;
}

xref::FileLinkResolver SiteBuild::Resolve(std::vector<CheckedSource>& checked) {
  std::vector<std::string> paths;
  std::vector<xref::FileFacts> links;
  std::vector<bool> taken(plan_.pages.size());
  facts_.resize(plan_.pages.size());
  links.resize(plan_.pages.size());
  for (std::size_t i = 0; i < checked.size(); ++i) {
    const std::size_t page = plan_.pageOfEntry[i];
    if (page != kNoPage && !taken[page]) {
      taken[page] = true;
      facts_[page] = checked[i].file;
      links[page] = std::move(checked[i].links);
    }
    checked[i].links = {};
  }
  for (const SitePage& page : plan_.pages) {
    paths.push_back(page.path);
  }
  return xref::FileLinkResolver(std::move(paths), std::move(links));
}

SiteXrefFacts SiteBuild::XrefFacts(const xref::CrossReferences& xrefs) {
  SiteXrefFacts facts;
  facts.symbols = &xrefs.Symbols();
  facts.occurrencesIn = [&xrefs](std::size_t file) -> const std::vector<xref::Occurrence>& {
    return xrefs.OccurrencesIn(file);
  };
  facts.referencesTo = [&xrefs](std::size_t symbol) { return xrefs.ReferencesTo(symbol); };
  facts.relatedTo = [&xrefs](std::size_t symbol) { return xrefs.RelatedTo(symbol); };
  return facts;
}

} // namespace lexiform

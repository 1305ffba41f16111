#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "convert/pas_conversion.h"
#include "document/site_plan.h"
#include "xref/string_pool.h"

// The markup of a code site's pages and index, in the shape that Note [site markup]
// fixes. Every piece ends with CR LF; names are shown in UTF-8 (read as the sources
// are, see TextToUtf8) and escaped.
namespace lexiform {

// What stands for the converter's frame around a page's code; the lines between are
// numbered with the ids "L1", "L2", ... (AppendNumberedLine without an anchor).
inline constexpr std::string_view kSiteCodeStart = "<pre class=\"code\"><code>";
inline constexpr std::string_view kSiteCodeEnd = "</code></pre>\r\n";

// What the index and a page say of a source.
struct SiteFileFacts {
  std::uint64_t size = 0;
  std::size_t lines = 0;
};

// From the doctype to the opening of the code: the search box, the breadcrumb of the
// page's folders (each a link into the index) and the heading with the size text and
// the line count. `topName` names the site's top in the breadcrumb; `number` is the
// page's place in the site's file list, which <main data-page> gives the script.
std::string SitePageStart(const SitePage& page, std::string_view sharedFolder,
                          std::string_view topName, const SiteFileFacts& facts, std::size_t number);

// A link from a page to `url`, opening before the name it stands on; a choice among
// several files names the others (`others`, shown paths) in its title. The text goes
// through the converter's fix-up (see Note [entity markers]), which escapes its "&".
std::string SiteLinkStart(std::string_view url, const std::vector<std::string>& others);
inline constexpr std::string_view kSiteLinkEnd = "</a>";

// After the code: the list of the pages that use or include this one (`users`, their
// page files from the top), when there are any, and the end of the page.
std::string SitePageEnd(const SitePage& page, const std::vector<const SitePage*>& users);

// Markup to write into a page (see TPasConversion::Insertions), and the bytes it points
// into. A page of a table of data has hundreds of thousands of links whose markup is
// alike: one string each cost more memory than the page's text.
struct PageInsertions {
  std::vector<TPasConversion::TInsertion> at; // in offset order
  xref::StringPool markup;
};

// An entry of the run that has no page, and why.
enum class SiteProblem { Missing, Unreadable };
struct SiteAbsentEntry {
  std::string path; // as listed
  SiteProblem problem = SiteProblem::Missing;
};

// The index: the tree of folders (collapsible, open without the script) and pages, each
// page with its size text and line count, each folder with its file count; then the
// entries without a page with their reason, and the totals.
std::string SiteIndex(const SitePlan& plan, const std::vector<SiteFileFacts>& facts,
                      const std::vector<SiteAbsentEntry>& absent);

} // namespace lexiform

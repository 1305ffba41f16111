// ScanFileFacts and FileLinkResolver on arbitrary bytes.
//
// The input is split at NUL bytes into up to eight files, each a path (its first line,
// with `\` made `/`) and a text (the rest). Checked: nothing crashes; every reference
// lies inside its text and covers whole tokens (a unit name from the start of an
// identifier to the end of one, an include from its `{$`/`(*$` to its `}`/`*)`); every
// link leads to another file of the run, its alternatives likewise, in list order and
// without the target; UsedBy lists exactly the files linking to a file, in list order.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "xref/file_links.h"

namespace lexiform {
namespace {

bool IsIdentChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}

void CheckUnitName(std::string_view text, const xref::NameReference& reference) {
  const std::size_t end = reference.offset + reference.length;
  FUZZ_CHECK(reference.length > 0 && end <= text.size(),
             "unit name at " << reference.offset << "+" << reference.length);
  FUZZ_CHECK(IsIdentChar(text[reference.offset]) && IsIdentChar(text[end - 1]),
             "unit name " << fuzz::Printable(text.substr(reference.offset, reference.length)));
  FUZZ_CHECK(reference.offset == 0 || !IsIdentChar(text[reference.offset - 1]),
             "unit name starts inside a word at " << reference.offset);
  FUZZ_CHECK(end == text.size() || !IsIdentChar(text[end]),
             "unit name ends inside a word at " << end);
  FUZZ_CHECK(text.substr(reference.offset, reference.length).substr(0, reference.name.find('.')) ==
                 std::string_view(reference.name).substr(0, reference.name.find('.')),
             "unit name " << reference.name << " is not the text it covers");
}

void CheckInclude(std::string_view text, const xref::NameReference& reference) {
  FUZZ_CHECK(reference.offset + reference.length <= text.size() && reference.length >= 3,
             "include at " << reference.offset << "+" << reference.length);
  const std::string_view covered = text.substr(reference.offset, reference.length);
  const bool brace = covered.substr(0, 2) == "{$" && covered.back() == '}';
  const bool paren = covered.size() >= 5 && covered.substr(0, 3) == "(*$" &&
                     covered.substr(covered.size() - 2) == "*)";
  FUZZ_CHECK(brace || paren, "include covers " << fuzz::Printable(covered));
  FUZZ_CHECK(!reference.name.empty(), "include without a name");
}

struct Site {
  std::vector<std::string> paths;
  std::vector<std::string> texts;
};

Site SplitSite(std::string_view data) {
  Site site;
  while (site.paths.size() < 8) {
    const std::size_t nul = data.find('\0');
    std::string_view file = data.substr(0, nul);
    const std::size_t lineEnd = file.find('\n');
    std::string path(file.substr(0, lineEnd));
    std::replace(path.begin(), path.end(), '\\', '/');
    site.paths.push_back(path);
    site.texts.emplace_back(lineEnd == std::string_view::npos ? std::string_view()
                                                              : file.substr(lineEnd + 1));
    if (nul == std::string_view::npos) {
      break;
    }
    data.remove_prefix(nul + 1);
  }
  return site;
}

void CheckLinks(const xref::FileLinkResolver& resolver, const Site& site,
                const std::vector<xref::FileFacts>& facts) {
  const std::size_t count = site.paths.size();
  std::vector<std::vector<std::size_t>> users(count);
  for (std::size_t file = 0; file < count; ++file) {
    std::size_t lastOffset = 0;
    for (const xref::FileLink& link : resolver.LinksOf(file)) {
      FUZZ_CHECK(link.target < count && link.target != file, "link to " << link.target);
      FUZZ_CHECK(link.offset >= lastOffset, "links out of text order");
      lastOffset = link.offset;
      const auto& references =
          link.kind == xref::FileLinkKind::Uses ? facts[file].uses : facts[file].includes;
      FUZZ_CHECK(std::any_of(references.begin(), references.end(),
                             [&](const xref::NameReference& r) {
                               return r.offset == link.offset && r.length == link.length;
                             }),
                 "a link without its reference at " << link.offset);
      FUZZ_CHECK(std::is_sorted(link.alternatives.begin(), link.alternatives.end()) &&
                     std::adjacent_find(link.alternatives.begin(), link.alternatives.end()) ==
                         link.alternatives.end(),
                 "alternatives out of list order");
      for (std::size_t other : link.alternatives) {
        FUZZ_CHECK(other < count && other != file && other > link.target,
                   "alternative " << other << " of target " << link.target);
      }
      if (users[link.target].empty() || users[link.target].back() != file) {
        users[link.target].push_back(file);
      }
    }
  }
  for (std::size_t file = 0; file < count; ++file) {
    FUZZ_CHECK(resolver.UsedBy(file) == users[file], "UsedBy of " << file);
  }
}

} // namespace
} // namespace lexiform

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lexiform;
  const Site site = SplitSite(std::string_view(reinterpret_cast<const char*>(data), size));
  std::vector<xref::FileFacts> facts;
  for (const std::string& text : site.texts) {
    facts.push_back(xref::ScanFileFacts(text));
    for (const xref::NameReference& reference : facts.back().uses) {
      CheckUnitName(text, reference);
    }
    for (const xref::NameReference& reference : facts.back().includes) {
      CheckInclude(text, reference);
    }
  }
  const xref::FileLinkResolver resolver(site.paths, facts);
  CheckLinks(resolver, site, facts);
  return 0;
}

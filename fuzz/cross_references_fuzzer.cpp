// CrossReferences on arbitrary bytes.
//
// The input is split at NUL bytes into up to six files, each a path (its first line)
// and a text (the rest), so that uses clauses and include directives between them can
// link. Checked: nothing crashes; every file's marked names are in text order, never
// overlap, each covers one whole identifier whose text is its symbol's name (letter
// case aside); every symbol's own place holds its name; references point at marked
// names of their symbol.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "xref/cross_references.h"

namespace lexiform {
namespace {

bool IsIdentChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}

std::string Folded(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) {
    c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return folded;
}

struct Site {
  std::vector<std::string> paths;
  std::vector<std::string> texts;
};

Site SplitSite(std::string_view data) {
  Site site;
  while (site.paths.size() < 6) {
    const std::size_t nul = data.find('\0');
    const std::string_view file = data.substr(0, nul);
    const std::size_t lineEnd = file.find('\n');
    site.paths.emplace_back(file.substr(0, lineEnd));
    site.texts.emplace_back(lineEnd == std::string_view::npos ? std::string_view()
                                                              : file.substr(lineEnd + 1));
    if (nul == std::string_view::npos) {
      break;
    }
    data.remove_prefix(nul + 1);
  }
  return site;
}

void CheckOccurrences(const xref::CrossReferences& references, const Site& site) {
  const auto& symbols = references.Symbols();
  for (std::size_t file = 0; file < site.texts.size(); ++file) {
    const std::string& text = site.texts[file];
    std::size_t end = 0;
    for (const xref::Occurrence& occurrence : references.OccurrencesIn(file)) {
      FUZZ_CHECK(occurrence.offset >= end,
                 "occurrences overlap or out of order at " << occurrence.offset);
      end = occurrence.offset + occurrence.length;
      FUZZ_CHECK(occurrence.length > 0 && end <= text.size(), "occurrence past the text");
      FUZZ_CHECK(occurrence.offset == 0 || !IsIdentChar(text[occurrence.offset - 1]),
                 "occurrence starts inside a word at " << occurrence.offset);
      FUZZ_CHECK(end == text.size() || !IsIdentChar(text[end]),
                 "occurrence ends inside a word at " << end);
      FUZZ_CHECK(occurrence.symbol < symbols.size(), "no such symbol");
      const xref::Symbol& symbol = symbols[occurrence.symbol];
      const std::string_view covered =
          std::string_view(text).substr(occurrence.offset, occurrence.length);
      FUZZ_CHECK(Folded(covered) == Folded(symbol.Name()),
                 fuzz::Printable(covered) << " linked to " << fuzz::Printable(symbol.Name()));
      FUZZ_CHECK(!occurrence.declaration ||
                     (symbol.file == file && symbol.offset == occurrence.offset),
                 "a declaration away from its symbol's place");
    }
  }
  for (std::size_t id = 0; id < symbols.size(); ++id) {
    const xref::Symbol& symbol = symbols[id];
    FUZZ_CHECK(symbol.file < site.texts.size() &&
                   symbol.offset + symbol.length <= site.texts[symbol.file].size(),
               "symbol " << symbol.Name() << " outside its text");
    FUZZ_CHECK(
        Folded(std::string_view(site.texts[symbol.file]).substr(symbol.offset, symbol.length)) ==
            Folded(symbol.Name()),
        "symbol " << fuzz::Printable(symbol.Name()) << " is not the text at its place");
    for (const xref::ReferencePlace& place : references.ReferencesTo(id)) {
      const auto& occurrences = references.OccurrencesIn(place.file);
      FUZZ_CHECK(std::any_of(occurrences.begin(), occurrences.end(),
                             [&](const xref::Occurrence& o) {
                               return o.offset == place.offset && o.symbol == id;
                             }),
                 "a reference without its occurrence");
    }
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
  }
  const xref::FileLinkResolver links(site.paths, facts);
  const xref::CrossReferences references(links, site.paths.size(),
                                         [&](std::size_t i) { return site.texts[i]; });
  CheckOccurrences(references, site);
  return 0;
}

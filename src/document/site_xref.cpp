#include "document/site_xref.h"

#include <algorithm>
#include <charconv>
#include <unordered_map>
#include <utility>

#include "document/site_assets.h"

namespace lexiform {

namespace {

// Note [xref data]
// The references panel and the symbol search read data files in the shared folder,
// each a script that hands its value to lexiformData(name, value), which site.js
// defines and loads them with <script src> on first use (no fetch: pages work from
// file://). Pages are numbered as in files.js, declarations by their anchor "s<N>" on
// their page.
// - "xref.js", name "x": {kinds: [kind names], refs: [first page of each refs file],
//   lines: [first page of each lines file]}.
// - "symbols.js", name "s": [[qualified name, kind, page, anchor], ...] for search.
// - "refs/<K>.js", name "r<K>": [page, [declaration, ...], ...] for the pages of its
//   range, each declaration (in anchor order) [kind, line, counterpart, related,
//   references]: counterpart 0 or [page, anchor, line]; related [[page, anchor, line,
//   kind], ...]; references flat, a run per file: file, count, line, line, ... (a
//   negative line for an uncertain reference).
// - "lines/<K>.js", name "l<K>": [page, [line, "text", line, "text", ...], ...]: the
//   lines of its pages that hold a reference, trimmed, as the panel shows them.
// Files are grouped by ranges of pages so that a site of thousands of pages gets a few
// hundred data files, not one per declaration (a site is written at the speed of its
// file system calls), and so that the writer holds the lines of one range at a time.
constexpr std::size_t kRefsPerFile = 40000;
constexpr std::size_t kLinesPerFile = 20000;
constexpr std::size_t kMaxLineText = 160;
constexpr auto kKindCount = static_cast<std::size_t>(xref::SymbolKind::Label) + 1;

// Millions of numbers go into the pages and data files: written in place, without a
// string of their own each.
void AppendNumber(std::string& text, std::size_t number) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
  text.append(digits, static_cast<std::size_t>(end - digits));
}

void AppendAnchor(std::string& text, std::size_t number) {
  text += "#s";
  AppendNumber(text, number);
}

// `weights` by page cut into ranges of about `perFile`; the first page of each.
std::vector<std::size_t> Ranges(const std::vector<std::size_t>& weights, std::size_t perFile) {
  std::vector<std::size_t> starts;
  std::size_t weight = 0;
  for (std::size_t page = 0; page < weights.size(); ++page) {
    if (starts.empty() || weight >= perFile) {
      starts.push_back(page);
      weight = 0;
    }
    weight += weights[page];
  }
  return starts;
}

std::size_t RangeOf(const std::vector<std::size_t>& starts, std::size_t page) {
  return static_cast<std::size_t>(std::upper_bound(starts.begin(), starts.end(), page) -
                                  starts.begin()) -
         1;
}

std::string NumberList(const std::vector<std::size_t>& numbers) {
  std::string text = "[";
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    if (i > 0) {
      text += ',';
    }
    AppendNumber(text, numbers[i]);
  }
  return text + "]";
}

bool IsLineBreak(char c) {
  return c == '\r' || c == '\n';
}

bool IsNameByte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Whether a name at `offset` that starts with "E" follows a number and dots, as in
// "0..ELF_NGREG": the converter reads the "E" as the number's exponent. Digits that end
// a name ("TFoo2.Extra") are no number.
bool AfterNumberAndDots(std::string_view text, std::size_t offset) {
  if (text[offset] != 'e' && text[offset] != 'E') {
    return false;
  }
  std::size_t at = offset;
  while (at > 0 && text[at - 1] == '.') {
    --at;
  }
  if (at == offset || at == 0 || text[at - 1] < '0' || text[at - 1] > '9') {
    return false;
  }
  while (at > 0 && text[at - 1] >= '0' && text[at - 1] <= '9') {
    --at;
  }
  return at == 0 || !IsNameByte(text[at - 1]);
}

// Whether the bytes of `name` in `text` can be one whole identifier token, so that the
// converter puts the markup right around it: the converter puts an insertion before the
// first token that starts at or after its place, and a place inside a token (the "e"
// of "1e-8", the "FF" of "$FF") would put an empty link after it.
bool IsWholeName(std::string_view text, const xref::Occurrence& name) {
  if (name.length == 0 || name.offset > text.size() || name.length > text.size() - name.offset) {
    return false;
  }
  const std::string_view bytes = text.substr(name.offset, name.length);
  if (std::any_of(bytes.begin(), bytes.end(), IsLineBreak) ||
      (bytes[0] >= '0' && bytes[0] <= '9')) {
    return false;
  }
  const char before = name.offset > 0 ? text[name.offset - 1] : ' ';
  const std::size_t end = name.offset + name.length;
  return !IsNameByte(before) && before != '$' && before != '&' && before != '#' && before != '%' &&
         (end == text.size() || !IsNameByte(text[end])) && !AfterNumberAndDots(text, name.offset);
}

// The line of `text` that holds byte `at`, without its indentation, trailing blanks and
// what goes beyond kMaxLineText bytes (cut between UTF-8 characters).
std::string_view LineAround(std::string_view text, std::size_t at) {
  std::size_t start = at;
  while (start > 0 && !IsLineBreak(text[start - 1])) {
    --start;
  }
  std::size_t end = at;
  while (end < text.size() && !IsLineBreak(text[end])) {
    ++end;
  }
  while (start < end && (text[start] == ' ' || text[start] == '\t')) {
    ++start;
  }
  while (end > start && (text[end - 1] == ' ' || text[end - 1] == '\t')) {
    --end;
  }
  if (end - start > kMaxLineText) {
    end = start + kMaxLineText;
    while (end > start && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
      --end;
    }
  }
  return text.substr(start, end - start);
}

// Counts lines as the pages number them: CR LF, a lone CR and a lone LF each end one.
class LineCounter {
public:
  explicit LineCounter(std::string_view text) : text_(text) {}

  std::size_t LineAt(std::size_t offset) {
    for (; at_ < offset && at_ < text_.size(); ++at_) {
      if (text_[at_] == '\n' ||
          (text_[at_] == '\r' && (at_ + 1 >= text_.size() || text_[at_ + 1] != '\n'))) {
        ++line_;
      }
    }
    return line_;
  }

private:
  std::string_view text_;
  std::size_t at_ = 0;
  std::size_t line_ = 1;
};

} // namespace

std::string DeclarationId(std::size_t number) {
  std::string id = "s";
  AppendNumber(id, number);
  return id;
}

PageInsertions MergeInsertions(PageInsertions fileLinks, NameLinks names) {
  const std::vector<TPasConversion::TInsertion>& between = fileLinks.at;
  PageInsertions merged;
  merged.at.reserve(between.size() + 2 * names.links.size());
  std::size_t link = 0; // the next pair of links between files
  for (const NameLink& name : names.links) {
    for (; link + 1 < between.size() && between[link + 1].Offset <= name.offset; link += 2) {
      merged.at.push_back(between[link]);
      merged.at.push_back(between[link + 1]);
    }
    if (link + 1 < between.size() && between[link].Offset < name.offset + name.length) {
      continue; // the link between files keeps the name
    }
    merged.at.push_back({name.offset, name.start});
    merged.at.push_back({name.offset + name.length, "</a>"});
  }
  for (; link < between.size(); ++link) {
    merged.at.push_back(between[link]);
  }
  merged.markup = std::move(fileLinks.markup);
  merged.markup.Absorb(std::move(names.markup));
  return merged;
}

SiteXref::SiteXref(const SitePlan& plan, SiteXrefFacts facts)
    : plan_(plan), facts_(std::move(facts)), declaredOn_(plan.pages.size()) {
  const std::vector<xref::Symbol>& symbols = *facts_.symbols;
  anchor_.assign(symbols.size(), 0);
  for (std::size_t s = 0; s < symbols.size(); ++s) {
    if (symbols[s].file < declaredOn_.size()) {
      declaredOn_[symbols[s].file].push_back(static_cast<std::uint32_t>(s));
    }
  }
  std::vector<std::size_t> refWeights(declaredOn_.size());
  std::vector<std::size_t> lineWeights(declaredOn_.size());
  for (std::size_t page = 0; page < declaredOn_.size(); ++page) {
    std::vector<std::uint32_t>& declared = declaredOn_[page];
    std::stable_sort(declared.begin(), declared.end(),
                     [&symbols](std::uint32_t a, std::uint32_t b) {
                       return symbols[a].offset < symbols[b].offset;
                     });
    for (std::size_t n = 0; n < declared.size(); ++n) {
      anchor_[declared[n]] = static_cast<std::uint32_t>(n + 1);
      refWeights[page] += 1 + facts_.referencesTo(declared[n]).size();
    }
    lineWeights[page] = facts_.occurrencesIn(page).size();
  }
  refsStarts_ = Ranges(refWeights, kRefsPerFile);
  linesStarts_ = Ranges(lineWeights, kLinesPerFile);
}

NameLinks SiteXref::LinksOfNames(std::size_t page, std::string_view text) const {
  const std::vector<xref::Symbol>& symbols = *facts_.symbols;
  const std::string& from = plan_.pages[page].file;
  // A page refers to a few pages many times over.
  std::unordered_map<std::size_t, std::string> urls;
  const auto urlOf = [&](std::size_t target) -> const std::string& {
    const auto [place, added] = urls.try_emplace(target);
    if (added && target != page) {
      place->second = RelativeUrl(from, plan_.pages[target].file);
    }
    return place->second;
  };
  NameLinks links;
  links.links.reserve(facts_.occurrencesIn(page).size());
  // The references to one symbol share their markup (see PageInsertions).
  std::unordered_map<std::uint64_t, std::string_view> referenceStarts;
  std::string start;
  std::size_t reached = 0;
  for (const xref::Occurrence& name : facts_.occurrencesIn(page)) {
    if (name.symbol >= symbols.size() || anchor_[name.symbol] == 0 || name.offset < reached ||
        !IsWholeName(text, name)) {
      continue;
    }
    const xref::Symbol& symbol = symbols[name.symbol];
    const std::string_view kind = xref::SymbolKindName(symbol.kind);
    const std::uint64_t reference = std::uint64_t{name.symbol} << 1 | name.uncertain;
    if (const auto known = referenceStarts.find(reference);
        !name.declaration && known != referenceStarts.end()) {
      links.links.push_back({name.offset, name.length, known->second});
      reached = name.offset + name.length;
      continue;
    }
    if (name.declaration) {
      if (symbol.file != page || symbol.offset != name.offset) {
        continue;
      }
      start = "<a class=\"decl\" id=\"s";
      AppendNumber(start, anchor_[name.symbol]);
      start += "\" href=\"";
      const std::size_t other = symbol.counterpart;
      if (other < symbols.size() && anchor_[other] != 0) {
        start += urlOf(symbols[other].file);
        AppendAnchor(start, anchor_[other]);
      } else {
        AppendAnchor(start, anchor_[name.symbol]);
      }
      start += "\" title=\"";
      start += kind;
      start += "\">";
    } else {
      // No class on the many plain references: they are most of a page's links, and
      // the bytes count (see Note [xref data]).
      start = name.uncertain ? "<a class=\"u\" href=\"" : "<a href=\"";
      start += urlOf(symbol.file);
      AppendAnchor(start, anchor_[name.symbol]);
      start += "\" title=\"";
      start += kind;
      start += ", line ";
      AppendNumber(start, symbol.line);
      if (name.uncertain) {
        start += "; uncertain: the name may stand for a declaration outside the site or in "
                 "another of several files";
      }
      start += "\">";
    }
    const std::string_view kept = links.markup.Add(start);
    if (!name.declaration) {
      referenceStarts.emplace(reference, kept);
    }
    links.links.push_back({name.offset, name.length, kept});
    reached = name.offset + name.length;
  }
  return links;
}

std::string SiteXref::LinesData(std::size_t page, std::string_view text) const {
  const std::vector<xref::Symbol>& symbols = *facts_.symbols;
  LineCounter counter(text);
  std::string data;
  std::size_t lastLine = 0;
  for (const xref::Occurrence& name : facts_.occurrencesIn(page)) {
    if (name.declaration || name.symbol >= symbols.size() || anchor_[name.symbol] == 0 ||
        !IsWholeName(text, name)) {
      continue;
    }
    const std::size_t line = counter.LineAt(name.offset);
    if (line == lastLine) {
      continue;
    }
    if (data.empty()) {
      AppendNumber(data, page);
      data += ",[";
    } else {
      data += ',';
    }
    AppendNumber(data, line);
    data += ',';
    AppendJsonString(data, LineAround(text, name.offset));
    lastLine = line;
  }
  if (!data.empty()) {
    data += "],\n";
  }
  return data;
}

std::vector<std::string> SiteXref::DataFiles() const {
  std::vector<std::string> files = {"xref.js", "symbols.js"};
  for (std::size_t k = 0; k < refsStarts_.size(); ++k) {
    files.push_back(RefsFileName(k));
  }
  for (std::size_t k = 0; k < linesStarts_.size(); ++k) {
    files.push_back(LinesFileName(k));
  }
  return files;
}

std::size_t SiteXref::LinesFileOf(std::size_t page) const {
  return RangeOf(linesStarts_, page);
}

bool SiteXref::EndsLinesFile(std::size_t page) const {
  const std::size_t next = LinesFileOf(page) + 1;
  return page + 1 == plan_.pages.size() ||
         (next < linesStarts_.size() && linesStarts_[next] == page + 1);
}

std::string SiteXref::LinesFileName(std::size_t number) {
  return "lines/" + std::to_string(number) + ".js";
}

void SiteXref::WriteLinesFile(std::size_t number, std::string_view pagesData,
                              const std::function<void(std::string_view)>& write) {
  write("lexiformData(\"l" + std::to_string(number) + "\",[\n");
  write(pagesData);
  write("]);\n");
}

std::string SiteXref::IndexFile() const {
  std::string text = "lexiformData(\"x\",{\"kinds\":[";
  for (std::size_t kind = 0; kind < kKindCount; ++kind) {
    text += kind == 0 ? "" : ",";
    AppendJsonString(text, xref::SymbolKindName(static_cast<xref::SymbolKind>(kind)));
  }
  return text + "],\n\"refs\":" + NumberList(refsStarts_) +
         ",\n\"lines\":" + NumberList(linesStarts_) + "});\n";
}

void SiteXref::WriteSymbolsFile(const std::function<void(std::string_view)>& write) const {
  constexpr std::size_t kPiece = std::size_t{1} << 20;
  const std::vector<xref::Symbol>& symbols = *facts_.symbols;
  std::string text = "lexiformData(\"s\",[\n";
  for (std::size_t page = 0; page < declaredOn_.size(); ++page) {
    for (const std::size_t s : declaredOn_[page]) {
      if (text.size() >= kPiece) {
        write(text);
        text.clear();
      }
      if (symbols[s].QualifiedName().empty()) {
        continue;
      }
      text += '[';
      AppendJsonString(text, symbols[s].QualifiedName());
      text += ',';
      AppendNumber(text, static_cast<unsigned>(symbols[s].kind));
      text += ',';
      AppendNumber(text, page);
      text += ',';
      AppendNumber(text, anchor_[s]);
      text += "],\n";
    }
  }
  text += "]);\n";
  write(text);
}

std::string SiteXref::RefsFileName(std::size_t number) {
  return "refs/" + std::to_string(number) + ".js";
}

void SiteXref::AppendPlace(std::string& text, std::size_t symbol) const {
  const xref::Symbol& place = (*facts_.symbols)[symbol];
  text += '[';
  AppendNumber(text, place.file);
  text += ',';
  AppendNumber(text, anchor_[symbol]);
  text += ',';
  AppendNumber(text, place.line);
}

std::string SiteXref::RefsFile(std::size_t number) const {
  const std::vector<xref::Symbol>& symbols = *facts_.symbols;
  const std::size_t first = refsStarts_.at(number);
  const std::size_t end =
      number + 1 < refsStarts_.size() ? refsStarts_[number + 1] : declaredOn_.size();
  std::string text = "lexiformData(\"r";
  AppendNumber(text, number);
  text += "\",[\n";
  for (std::size_t page = first; page < end; ++page) {
    if (declaredOn_[page].empty()) {
      continue;
    }
    AppendNumber(text, page);
    text += ",[\n";
    for (const std::size_t s : declaredOn_[page]) {
      const xref::Symbol& symbol = symbols[s];
      text += '[';
      AppendNumber(text, static_cast<unsigned>(symbol.kind));
      text += ',';
      AppendNumber(text, symbol.line);
      text += ',';
      if (symbol.counterpart < symbols.size() && anchor_[symbol.counterpart] != 0) {
        AppendPlace(text, symbol.counterpart);
        text += "],";
      } else {
        text += "0,";
      }
      text += '[';
      bool firstRelated = true;
      for (const std::size_t other : facts_.relatedTo(s)) {
        if (other < symbols.size() && anchor_[other] != 0) {
          if (!firstRelated) {
            text += ',';
          }
          AppendPlace(text, other);
          text += ',';
          AppendNumber(text, static_cast<unsigned>(symbols[other].kind));
          text += ']';
          firstRelated = false;
        }
      }
      text += "],[";
      AppendReferences(text, facts_.referencesTo(s));
      text += "]],\n";
    }
    text += "],\n";
  }
  text += "]);\n";
  return text;
}

// A run per file: file, count, line, line, ... (negative when uncertain).
void SiteXref::AppendReferences(std::string& text, xref::ReferenceList places) const {
  bool firstRun = true;
  for (std::size_t i = 0; i < places.size();) {
    const std::size_t file = places[i].file;
    std::size_t runEnd = i;
    while (runEnd < places.size() && places[runEnd].file == file) {
      ++runEnd;
    }
    if (file < declaredOn_.size()) {
      if (!firstRun) {
        text += ',';
      }
      AppendNumber(text, file);
      text += ',';
      AppendNumber(text, runEnd - i);
      firstRun = false;
      for (; i < runEnd; ++i) {
        text += places[i].uncertain ? ",-" : ",";
        AppendNumber(text, places[i].line);
      }
    }
    i = runEnd;
  }
}

PageInsertions LinkInsertions(const SitePlan& plan, std::size_t page,
                              std::vector<xref::FileLink> links, std::string_view text) {
  std::stable_sort(
      links.begin(), links.end(),
      [](const xref::FileLink& a, const xref::FileLink& b) { return a.offset < b.offset; });
  PageInsertions insertions;
  std::size_t reached = 0;
  const std::string& from = plan.pages[page].file;
  for (const xref::FileLink& link : links) {
    if (link.length == 0 || link.offset < reached || link.offset > text.size() ||
        link.length > text.size() - link.offset ||
        text.substr(link.offset, link.length).find_first_of("\r\n") != std::string_view::npos ||
        link.target >= plan.pages.size()) {
      continue;
    }
    std::vector<std::string> others;
    for (const std::size_t other : link.alternatives) {
      if (other < plan.pages.size()) {
        others.push_back(plan.pages[other].path);
      }
    }
    insertions.at.push_back(
        {link.offset, insertions.markup.Add(
                          SiteLinkStart(RelativeUrl(from, plan.pages[link.target].file), others))});
    insertions.at.push_back({link.offset + link.length, kSiteLinkEnd});
    reached = link.offset + link.length;
  }
  return insertions;
}

} // namespace lexiform

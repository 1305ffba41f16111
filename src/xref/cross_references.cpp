#include "xref/cross_references.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <numeric>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <unordered_set>
#include <utility>

#include "xref/pascal_tokens.h"
#include "xref/unit_walker.h"
#include "xref/xref_model.h"

namespace lexiform::xref {

std::string_view SymbolKindName(SymbolKind kind) {
  switch (kind) {
  case SymbolKind::Unit:
    return "unit";
  case SymbolKind::Type:
    return "type";
  case SymbolKind::Class:
    return "class";
  case SymbolKind::Record:
    return "record";
  case SymbolKind::Object:
    return "object";
  case SymbolKind::Interface:
    return "interface";
  case SymbolKind::Enumeration:
    return "enumeration";
  case SymbolKind::EnumValue:
    return "enumeration value";
  case SymbolKind::TypeParameter:
    return "type parameter";
  case SymbolKind::Constant:
    return "constant";
  case SymbolKind::ResourceString:
    return "resourcestring";
  case SymbolKind::Variable:
    return "variable";
  case SymbolKind::ThreadVar:
    return "threadvar";
  case SymbolKind::Field:
    return "field";
  case SymbolKind::Property:
    return "property";
  case SymbolKind::Procedure:
    return "procedure";
  case SymbolKind::Function:
    return "function";
  case SymbolKind::Constructor:
    return "constructor";
  case SymbolKind::Destructor:
    return "destructor";
  case SymbolKind::Operator:
    return "operator";
  case SymbolKind::Parameter:
    return "parameter";
  case SymbolKind::Label:
    return "label";
  }
  return "name";
}

namespace {

constexpr std::uint32_t kMaxIncludeDepth = 16;
// A thread keeps the memory of the tokens of a unit of ordinary size (6 MB at most);
// see Note [token blocks].
constexpr std::size_t kKeptTokens = std::size_t{1} << 18;

std::vector<FileLinkMap> MapLinks(const FileLinkResolver& links, std::size_t fileCount) {
  std::vector<FileLinkMap> maps(fileCount);
  for (std::size_t file = 0; file < fileCount; ++file) {
    for (const FileLink& link : links.LinksOf(file)) {
      const FileLinkMap::Target target{static_cast<std::uint32_t>(link.target),
                                       !link.alternatives.empty()};
      auto& map = link.kind == FileLinkKind::Uses ? maps[file].uses : maps[file].includes;
      map.emplace(static_cast<std::uint32_t>(link.offset), target);
    }
    maps[file].textBytes = links.TextBytes(file);
  }
  return maps;
}

// Note [include owners]
// An include file is read wherever it is included, so that its declarations belong to
// every unit that includes it; but its names are marked once, as read from its first
// includer in list order (and that includer's own first reading).
std::vector<std::uint32_t> FirstIncluders(const std::vector<FileLinkMap>& links) {
  std::vector<std::uint32_t> first(links.size(), kNone);
  for (std::size_t file = 0; file < links.size(); ++file) {
    for (const auto& [offset, target] : links[file].includes) {
      (void)offset;
      if (target.file != file && file < first[target.file]) {
        first[target.file] = static_cast<std::uint32_t>(file);
      }
    }
  }
  return first;
}

// Note [freed memory between phases]
// glibc keeps what the program frees for its next allocations, and the tables of the
// units merged, the blocks of the large units' tokens and the marks of the units bound
// are freed in pieces that the next phase does not ask for again: over a whole tree
// they held a third of the peak memory. It goes back to the system between the passes
// and after them. Memory handed back and asked for again costs a page fault a page:
// handing it back after each large unit as well cost tens of thousands of faults a
// pass, and once the large units were read one after another from the start of each
// pass, it no longer lowered the peak.

// Note [one large unit at a time]
// A unit's tokens take about eight times its text (24 bytes a token; tables of numbers
// and records hold a token every three bytes), and the FPC tree has units of tens of
// megabytes of tokens (Unicode collations, code pages). Several of them read at once
// made the peak memory of a whole tree's site, so a unit whose files hold
// kLargeUnitBytes of text or more is read only while no other such unit is. The sizes
// are known before any unit is read: a worker takes a large unit when none is being
// read and a small one otherwise, so that no worker waits while small units are left.
// (Waiting for the large unit halfway through its reading had left one of two cores
// idle for a third of each pass.)
constexpr std::size_t kLargeUnitBytes = std::size_t{4} << 20;

// What the readings of all units share.
struct SourceFiles {
  const TextReader& readText;
  const std::vector<FileLinkMap>& links;
  const std::vector<std::uint32_t>& firstIncluders;
};

// Note [include cycles]
// The files that no other file includes are the units. Files that include each other
// and that none of those reaches (a.inc includes b.inc, which includes a.inc) would be
// read by no unit: the first of each such group in list order is read as a unit too.
std::vector<std::uint32_t> UnitRoots(const std::vector<FileLinkMap>& links,
                                     const std::vector<std::uint32_t>& firstIncluders) {
  std::vector<bool> reached(links.size());
  std::vector<std::uint32_t> roots;
  std::vector<std::uint32_t> pending;
  const auto readFrom = [&](std::uint32_t root) {
    roots.push_back(root);
    reached[root] = true;
    pending.push_back(root);
    while (!pending.empty()) {
      const std::uint32_t file = pending.back();
      pending.pop_back();
      for (const auto& [offset, target] : links[file].includes) {
        (void)offset;
        if (target.file < links.size() && !reached[target.file]) {
          reached[target.file] = true;
          pending.push_back(target.file);
        }
      }
    }
  };
  for (std::size_t file = 0; file < links.size(); ++file) {
    if (firstIncluders[file] == kNone) {
      readFrom(static_cast<std::uint32_t>(file));
    }
  }
  for (std::size_t file = 0; file < links.size(); ++file) {
    if (!reached[file]) {
      readFrom(static_cast<std::uint32_t>(file));
    }
  }
  std::sort(roots.begin(), roots.end());
  return roots;
}

// One unit's text: its root file with include files spliced in at their directives,
// each scanned straight into the unit's tokens.
class UnitSource final : private TokenSink {
public:
  // `tokens` is the calling worker's own array, used again unit after unit.
  UnitSource(std::uint32_t root, const SourceFiles& files, UnitTokens& tokens)
      : readText_(files.readText), links_(files.links), firstIncluders_(files.firstIncluders),
        tokens_(tokens) {
    tokens_.Clear(kKeptTokens);
    text_.tokens = &tokens_;
    text_.texts = &texts_;
    text_.links = &links_;
    text_.root = root;
    splicedFiles_.insert(root);
    Splice(root, true, false);
  }

  ~UnitSource() { tokens_.Clear(kKeptTokens); }
  UnitSource(const UnitSource&) = delete;
  UnitSource& operator=(const UnitSource&) = delete;

  const UnitText& Text() const { return text_; }

private:
  // Where the scan is: the file it reads and how its tokens are marked.
  struct Reading {
    std::uint32_t file = 0;
    bool marked = false;
    bool uncertain = false;
  };

  void Splice(std::uint32_t file, bool marked, bool uncertain) {
    auto [entry, added] = texts_.emplace(file, std::string());
    if (added) {
      entry->second = readText_(file);
    }
    const Reading outer = reading_;
    reading_ = Reading{file, marked, uncertain};
    ++depth_;
    // The map's strings never move, so the text stays put while includes are added.
    ScanPascal(entry->second, *this);
    --depth_;
    reading_ = outer;
  }

  Token& Add(const Token& token) override {
    CountBrackets();
    if (token.kind == PasToken::Literal && indexDepth_ == 0 && ContinuesLiteralList()) {
      // See Note [literal lists].
      tokens_.pop_back();
      Token& list = tokens_.back();
      list.length = token.offset + token.length - list.offset;
      return list;
    }
    tokens_.push_back(token, reading_.file, reading_.marked, reading_.uncertain);
    return tokens_.back();
  }

  // Note [literal lists]
  // Tables of numbers (Unicode data, code pages, fonts) make up most tokens of some
  // units: millions of `1 ,` pairs that hold no name. A literal after a comma after a
  // literal of the same file joins that literal, which then spans the whole list; no
  // rule binds a name by the literals or commas between two literals. Inside brackets
  // commas count the indexes of an array (`Grid[0, 1].X`), and lists stay apart.
  // The scan finishes a token (a symbol's character) after handing it over: the last
  // token is whole when the next one comes.
  void CountBrackets() {
    if (tokens_.size() == 0 || tokens_.back().kind != PasToken::Symbol) {
      return;
    }
    const char symbol = tokens_.back().symbol;
    if (symbol == '[') {
      ++indexDepth_;
    } else if (symbol == ']' && indexDepth_ > 0) {
      --indexDepth_;
    }
  }

  bool ContinuesLiteralList() const {
    const std::size_t count = tokens_.size();
    if (count < 2) {
      return false;
    }
    const Token& comma = tokens_.At(count - 1);
    const Token& literal = tokens_.At(count - 2);
    return comma.kind == PasToken::Symbol && comma.symbol == ',' &&
           literal.kind == PasToken::Literal && tokens_.FileOf(count - 1) == reading_.file &&
           tokens_.FileOf(count - 2) == reading_.file;
  }

  void Directive(const Token& token) override {
    const auto& includes = links_[reading_.file].includes;
    const auto include = includes.find(token.offset);
    if (include == includes.end() || depth_ >= kMaxIncludeDepth ||
        !splicedFiles_.insert(include->second.file).second) {
      return;
    }
    const std::uint32_t target = include->second.file;
    const bool markTarget = reading_.marked && firstIncluders_[target] == reading_.file &&
                            markedFiles_.insert(target).second;
    Splice(target, markTarget, reading_.uncertain || include->second.uncertain);
  }

  void ObjectPascalMode() override { text_.objectPascalMode = true; }
  void ScopedEnums(bool on) override { text_.scopedEnums.emplace_back(tokens_.size(), on); }

  const TextReader& readText_;
  const std::vector<FileLinkMap>& links_;
  const std::vector<std::uint32_t>& firstIncluders_;
  UnitTokens& tokens_;
  std::unordered_map<std::uint32_t, std::string> texts_;
  std::unordered_set<std::uint32_t> markedFiles_;
  // Note [one reading per unit]
  // A file included more than once in one unit (a template read under other defines)
  // is read at its first directive only: its names are the same, and over the FPC tree
  // the repeated readings made the unit passes several times slower.
  std::unordered_set<std::uint32_t> splicedFiles_;
  Reading reading_;
  std::uint32_t depth_ = 0;
  std::uint32_t indexDepth_ = 0; // of `[` brackets, see Note [literal lists]
  UnitText text_;
};

// The units of a pass in the order the workers take them, the large ones apart: see
// Note [one large unit at a time].
class UnitTurns {
public:
  // `units` in the order to read them; `large[unit]` tells a large one.
  UnitTurns(const std::vector<std::uint32_t>& units, const std::vector<bool>& large) {
    for (const std::uint32_t unit : units) {
      (large[unit] ? large_ : small_).push_back(unit);
    }
  }

  struct Turn {
    std::uint32_t unit = 0;
    bool large = false;
  };

  // The next unit to read: a large one when no other is being read, else a small one;
  // when only large ones are left, waits for the one being read. Nothing when no unit
  // is left or the pass was stopped.
  std::optional<Turn> Take() {
    std::unique_lock<std::mutex> lock(lock_);
    for (;;) {
      if (stopped_) {
        return std::nullopt;
      }
      if (!largeBusy_ && nextLarge_ < large_.size()) {
        largeBusy_ = true;
        return Turn{large_[nextLarge_++], true};
      }
      if (nextSmall_ < small_.size()) {
        return Turn{small_[nextSmall_++], false};
      }
      if (nextLarge_ == large_.size()) {
        return std::nullopt;
      }
      largeDone_.wait(lock);
    }
  }

  void Done(const Turn& turn) {
    if (turn.large) {
      {
        const std::lock_guard<std::mutex> lock(lock_);
        largeBusy_ = false;
      }
      largeDone_.notify_all();
    }
  }

  void Stop() {
    {
      const std::lock_guard<std::mutex> lock(lock_);
      stopped_ = true;
    }
    largeDone_.notify_all();
  }

private:
  std::vector<std::uint32_t> large_;
  std::vector<std::uint32_t> small_;
  std::size_t nextLarge_ = 0;
  std::size_t nextSmall_ = 0;
  bool largeBusy_ = false;
  bool stopped_ = false;
  std::mutex lock_;
  std::condition_variable largeDone_;
};

// Runs `work(unit, worker)` for every unit of `turns` on up to `threads` threads, the
// calling one among them (worker 0; the others 1 to threads - 1, each of its own
// memory). Threads the system will not give leave the work to fewer; the first
// failure of any work (memory running out, say) ends the others' taking of new work
// and is thrown again here, where the run decides what the user sees.
template <typename Work>
void RunParallel(UnitTurns& turns, std::size_t count, unsigned threads, const Work& work) {
  std::exception_ptr failure;
  std::mutex failureLock;
  const auto worker = [&](std::size_t self) {
    try {
      while (const std::optional<UnitTurns::Turn> turn = turns.Take()) {
        work(turn->unit, self);
        turns.Done(*turn);
      }
    } catch (...) {
      turns.Stop();
      const std::lock_guard<std::mutex> lock(failureLock);
      if (!failure) {
        failure = std::current_exception();
      }
    }
  };
  const std::size_t extra = std::min<std::size_t>(threads, count) - (count > 0 ? 1 : 0);
  std::vector<std::thread> pool;
  try {
    for (std::size_t t = 0; t < extra; ++t) {
      pool.emplace_back(worker, t + 1);
    }
  } catch (const std::system_error&) {
    // Fewer threads do the same work.
  }
  worker(0);
  for (std::thread& thread : pool) {
    thread.join();
  }
  if (failure) {
    std::rethrow_exception(failure);
  }
}

// Which units are large (see Note [one large unit at a time]), by their place in
// `roots`: the bytes of the files a root reaches through its includes, each counted
// once, as its reading splices each in once.
std::vector<bool> LargeUnits(const std::vector<std::uint32_t>& roots,
                             const std::vector<FileLinkMap>& links) {
  std::vector<bool> large(roots.size());
  std::vector<std::uint32_t> seenBy(links.size(), kNone);
  std::vector<std::uint32_t> pending;
  for (std::size_t unit = 0; unit < roots.size(); ++unit) {
    const std::uint32_t root = roots[unit];
    std::size_t bytes = 0;
    seenBy[root] = root;
    pending.assign(1, root);
    while (!pending.empty() && bytes < kLargeUnitBytes) {
      const std::uint32_t file = pending.back();
      pending.pop_back();
      bytes += links[file].textBytes;
      for (const auto& [offset, target] : links[file].includes) {
        (void)offset;
        if (target.file < links.size() && seenBy[target.file] != root) {
          seenBy[target.file] = root;
          pending.push_back(target.file);
        }
      }
    }
    large[unit] = bytes >= kLargeUnitBytes;
  }
  return large;
}

std::uint32_t Remap(const std::vector<std::uint32_t>& ids, std::uint32_t local) {
  return local == kNone ? kNone : ids[local];
}

NameTable RemapTable(const NameTable& table, const std::vector<std::uint32_t>& ids) {
  NameTable remapped;
  remapped.reserve(table.size());
  table.ForEach(
      [&](NameKey key, std::uint32_t local) { remapped.emplace(key, Remap(ids, local)); });
  return remapped;
}

// Note [related lists]
// The first declaration of a name lists every other one in its table; each other one
// lists the rest as well while the group is small, and only the first beyond that: a
// name declared for each of hundreds of platforms would otherwise cost the square of
// that in lists nobody reads.
constexpr std::size_t kFullRelatedGroup = 32;

void ListTogether(const std::vector<std::uint32_t>& group,
                  std::vector<std::pair<std::uint32_t, std::uint32_t>>& pairs) {
  for (const std::uint32_t member : group) {
    if (member != group.front() && group.size() > kFullRelatedGroup) {
      pairs.emplace_back(member, group.front());
      continue;
    }
    for (const std::uint32_t other : group) {
      if (other != member) {
        pairs.emplace_back(member, other);
      }
    }
  }
}

// Every symbol's related ones in one array, by symbol, each in the order its groups
// listed them: one vector for each of millions of symbols cost more than the lists.
void KeepRelated(SiteDeclarations& site,
                 std::vector<std::pair<std::uint32_t, std::uint32_t>>& pairs) {
  std::stable_sort(pairs.begin(), pairs.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  site.related.reserve(pairs.size());
  site.relatedStarts.assign(site.symbols.size() + 1, 0);
  for (const auto& [member, other] : pairs) {
    site.related.push_back(other);
    ++site.relatedStarts[member + 1];
  }
  for (std::size_t s = 0; s < site.symbols.size(); ++s) {
    site.relatedStarts[s + 1] += site.relatedStarts[s];
  }
}

std::uint32_t FindUnit(const SiteDeclarations& site, NameKey name, bool* several);

// Note [overloads across units]
// A routine marked `overload` is listed with the routines of its name marked so in the
// units its unit uses (named or implicit): they are the overloads the compiler weighs
// where it is visible. Bodies are left out: they go with their headings.
void ListOverloadsAcrossUnits(const SiteDeclarations& site,
                              std::vector<std::pair<std::uint32_t, std::uint32_t>>& pairs) {
  std::unordered_map<NameKey, std::vector<std::pair<std::uint32_t, std::uint32_t>>> byName;
  for (std::size_t unit = 0; unit < site.units.size(); ++unit) {
    for (const std::uint32_t overload : site.units[unit].overloads) {
      if (!site.facts[overload].body) {
        byName[KeyOf(site.symbols[overload].Name())].emplace_back(unit, overload);
      }
    }
  }
  if (byName.empty()) {
    return;
  }
  const std::uint32_t implicit[] = {site.systemUnit, site.objpasUnit};
  std::vector<std::pair<std::uint32_t, std::uint32_t>> across;
  // By unit: the unit that sees it (uses it, or has it implicitly), as last marked. A
  // common name is overloaded in hundreds of units, each asked about for every overload
  // of that name: an array, not a set for each unit.
  std::vector<std::uint32_t> seenBy(site.units.size(), kNone);
  for (std::size_t unit = 0; unit < site.units.size(); ++unit) {
    const UnitDeclarations& declarations = site.units[unit];
    if (declarations.overloads.empty()) {
      continue;
    }
    const auto self = static_cast<std::uint32_t>(unit);
    const auto see = [&](std::uint32_t other) {
      if (other < seenBy.size()) {
        seenBy[other] = self;
      }
    };
    std::for_each(std::begin(implicit), std::end(implicit), see);
    for (const std::uint32_t root : declarations.usedUnits) {
      if (root < site.unitOfRoot.size()) {
        see(site.unitOfRoot[root]);
      }
    }
    seenBy[unit] = kNone;
    for (const std::uint32_t overload : declarations.overloads) {
      const auto named = byName.find(KeyOf(site.symbols[overload].Name()));
      if (named == byName.end() || site.facts[overload].body) {
        continue;
      }
      for (const auto& [other, symbol] : named->second) {
        if (seenBy[other] == self && symbol != overload) {
          across.emplace_back(overload, symbol);
        }
      }
    }
  }
  // An include file read by several units brings its overloads to each of them.
  std::sort(across.begin(), across.end());
  across.erase(std::unique(across.begin(), across.end()), across.end());
  pairs.insert(pairs.end(), across.begin(), across.end());
}

// Gives every unit's symbols one numbering; a symbol of an include file read by several
// units is one symbol, as the first unit in list order found it. Units are merged in
// list order as soon as they are declared, so that the many copies of the symbols of
// shared include files never live all at once.
class Merger {
public:
  explicit Merger(std::size_t fileCount) {
    site_.unitOfRoot.assign(fileCount, kNone);
    site_.symbolAt.resize(fileCount);
  }

  void Merge(UnitDeclarations unit);

  SiteDeclarations Finish() {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> pairs;
    for (const std::vector<std::uint32_t>& group : relatedGroups_) {
      ListTogether(group, pairs);
    }
    bool severalSystems = false;
    site_.systemUnit = FindUnit(site_, KeyOf("system"), &severalSystems);
    site_.systemUncertain = severalSystems;
    site_.objpasUnit = FindUnit(site_, KeyOf("objpas"), nullptr);
    ListOverloadsAcrossUnits(site_, pairs);
    relatedGroups_.clear();
    KeepRelated(site_, pairs);
    site_.KeepPlacesByFile(site_.unitOfRoot.size());
    return std::move(site_);
  }

private:
  SiteDeclarations site_;
  std::vector<std::vector<std::uint32_t>> relatedGroups_;
};

void Merger::Merge(UnitDeclarations unit) {
  SiteDeclarations& site = site_;
  std::vector<std::uint32_t> ids(unit.symbols.size());
  std::vector<bool> fresh(unit.symbols.size());
  for (std::size_t local = 0; local < unit.symbols.size(); ++local) {
    const Symbol& symbol = unit.symbols[local];
    if (symbol.file >= site.symbolAt.size()) {
      site.symbolAt.resize(std::size_t{symbol.file} + 1);
    }
    const auto [slot, added] = site.symbolAt[symbol.file].Insert(
        symbol.offset, static_cast<std::uint32_t>(site.symbols.size()));
    ids[local] = slot;
    fresh[local] = added;
    if (added) {
      site.symbols.push_back(unit.symbols[local]);
      Symbol& kept = site.symbols.back();
      KeepNames(site.names, kept, symbol.Name(), symbol.QualifiedName());
      site.facts.push_back(unit.facts[local]);
      site.typeNames.push_back(unit.facts[local]);
    }
  }
  for (std::size_t local = 0; local < ids.size(); ++local) {
    if (!fresh[local]) {
      continue;
    }
    Symbol& symbol = site.symbols[ids[local]];
    if (symbol.counterpart != kNoSymbol) {
      symbol.counterpart = ids[symbol.counterpart];
    }
    SymbolFacts& facts = site.facts[ids[local]];
    facts.ownerType = Remap(ids, facts.ownerType);
    facts.defaultProperty = Remap(ids, facts.defaultProperty);
    if (facts.members != kNone) {
      const NameTable& table = unit.memberTables[facts.members];
      facts.members = static_cast<std::uint32_t>(site.memberTables.size());
      site.memberTables.push_back(RemapTable(table, ids));
    }
  }
  for (const auto& [first, others] : unit.duplicates) {
    if (!fresh[first]) {
      continue;
    }
    std::vector<std::uint32_t> group{ids[first]};
    for (const std::uint32_t other : others) {
      if (fresh[other] && std::find(group.begin(), group.end(), ids[other]) == group.end()) {
        group.push_back(ids[other]);
      }
    }
    if (group.size() > 1) {
      relatedGroups_.push_back(std::move(group));
    }
  }
  for (std::uint32_t& overload : unit.overloads) {
    overload = ids[overload];
  }
  unit.interfaceNames = RemapTable(unit.interfaceNames, ids);
  unit.topNames = RemapTable(unit.topNames, ids);
  unit.unitSymbol = Remap(ids, unit.unitSymbol);
  unit.symbols.clear();
  unit.symbols.shrink_to_fit();
  unit.names = {};
  unit.facts.clear();
  unit.facts.shrink_to_fit();
  unit.memberTables.clear();
  unit.memberTables.shrink_to_fit();
  unit.duplicates = {};
  site.unitOfRoot[unit.root] = static_cast<std::uint32_t>(site.units.size());
  site.units.push_back(std::move(unit));
}

// Merges the units' declarations in list order as they come, on whichever worker
// finished one while no other was merging: the others hand theirs over and go on
// declaring, rather than wait while a run of units is merged (a second and more over a
// large tree).
class InOrderMerge {
public:
  InOrderMerge(std::size_t count, Merger& merger)
      : declared_(count), done_(count), merger_(merger) {}

  void Add(std::size_t unit, UnitDeclarations declarations) {
    {
      const std::lock_guard<std::mutex> lock(lock_);
      declared_[unit] = std::move(declarations);
      done_[unit] = true;
      if (merging_) {
        return;
      }
      merging_ = true;
    }
    for (;;) {
      UnitDeclarations next;
      {
        const std::lock_guard<std::mutex> lock(lock_);
        if (merged_ == declared_.size() || !done_[merged_]) {
          merging_ = false;
          return;
        }
        next = std::move(declared_[merged_++]);
      }
      merger_.Merge(std::move(next));
    }
  }

private:
  std::vector<UnitDeclarations> declared_;
  std::vector<bool> done_;
  std::size_t merged_ = 0;
  bool merging_ = false;
  std::mutex lock_;
  Merger& merger_;
};

std::uint32_t FindUnit(const SiteDeclarations& site, NameKey name, bool* several) {
  std::uint32_t found = kNone;
  for (std::size_t unit = 0; unit < site.units.size(); ++unit) {
    if (site.units[unit].unitName == name && site.units[unit].unitSymbol != kNone) {
      if (found != kNone && several != nullptr) {
        *several = true;
      }
      found = found == kNone ? static_cast<std::uint32_t>(unit) : found;
    }
  }
  return found;
}

// Finds a type's name as the unit that declares it sees it, outside any routine: the
// nested types of its owners, the unit, the units it uses, the implicit ones.
class DeclarationContext {
public:
  explicit DeclarationContext(const SiteDeclarations& site) : site_(site) {}

  std::uint32_t Resolve(std::uint32_t of, NameKey name) const {
    const SymbolFacts& facts = site_.facts[of];
    for (std::uint32_t owner = facts.ownerType, hops = 0; owner != kNone && hops < 16;
         owner = site_.facts[owner].ownerType, ++hops) {
      if (site_.facts[owner].members != kNone) {
        if (const std::uint32_t found =
                Find(site_.memberTables[site_.facts[owner].members], name, of);
            found != kNone) {
          return found;
        }
      }
    }
    if (facts.unit >= site_.unitOfRoot.size() || site_.unitOfRoot[facts.unit] == kNone) {
      return kNone;
    }
    const UnitDeclarations& unit = site_.units[site_.unitOfRoot[facts.unit]];
    if (const std::uint32_t found = Find(unit.topNames, name, of); found != kNone) {
      return found;
    }
    for (auto used = unit.usedUnits.rbegin(); used != unit.usedUnits.rend(); ++used) {
      const std::uint32_t index = *used < site_.unitOfRoot.size() ? site_.unitOfRoot[*used] : kNone;
      if (index == kNone) {
        continue;
      }
      if (const std::uint32_t found = Find(site_.units[index].interfaceNames, name, of);
          found != kNone) {
        return found;
      }
    }
    for (const std::uint32_t implicitUnit :
         {unit.objectPascalMode ? site_.objpasUnit : kNone, site_.systemUnit}) {
      if (implicitUnit == kNone) {
        continue;
      }
      if (const std::uint32_t found = Find(site_.units[implicitUnit].interfaceNames, name, of);
          found != kNone) {
        return found;
      }
    }
    return kNone;
  }

private:
  std::uint32_t Find(const NameTable& table, NameKey name, std::uint32_t self) const {
    const auto found = table.find(name);
    if (found == table.end() || found->second == self || found->second == kNone) {
      return kNone;
    }
    const Symbol& symbol = site_.symbols[found->second];
    if (site_.facts[found->second].forward && symbol.counterpart != kNoSymbol) {
      return symbol.counterpart == self ? kNone : static_cast<std::uint32_t>(symbol.counterpart);
    }
    return found->second;
  }

  const SiteDeclarations& site_;
};

// Every helper under the type it helps, once that type is resolved.
void CollectHelpers(SiteDeclarations& site) {
  for (std::size_t id = 0; id < site.symbols.size(); ++id) {
    const SymbolFacts& facts = site.facts[id];
    if (facts.helper && facts.parentSymbol != kNone) {
      site.helpersOf[facts.parentSymbol].push_back(static_cast<std::uint32_t>(id));
    }
  }
}

void ResolveDeclaredTypes(SiteDeclarations& site) {
  const DeclarationContext context(site);
  const NameKey tobject = KeyOf("tobject");
  for (std::size_t id = 0; id < site.symbols.size(); ++id) {
    SymbolFacts& facts = site.facts[id];
    const TypeNames& names = site.typeNames[id];
    const auto self = static_cast<std::uint32_t>(id);
    if (names.typeName != 0) {
      facts.typeSymbol = context.Resolve(self, names.typeName);
    }
    if (names.parentName != 0) {
      facts.parentSymbol = context.Resolve(self, names.parentName);
    } else if (facts.implicitParent && KeyOf(site.symbols[id].Name()) != tobject) {
      facts.parentSymbol = context.Resolve(self, tobject);
    }
  }
}

// Note [largest units first]
// The marks of the units bound so far grow to the largest table of the run, and the
// tokens of one large unit (Unicode collations: millions of tokens) come near it. The
// largest units are bound first, while few marks are kept, so that the two peaks do
// not meet.
std::vector<std::uint32_t> LargestFirst(const std::vector<UnitDeclarations>& units) {
  std::vector<std::uint32_t> order(units.size());
  for (std::size_t i = 0; i < order.size(); ++i) {
    order[i] = static_cast<std::uint32_t>(i);
  }
  std::stable_sort(order.begin(), order.end(), [&units](std::uint32_t a, std::uint32_t b) {
    return units[a].tokenCount > units[b].tokenCount;
  });
  return order;
}

} // namespace

// Note [two passes]
// A name may stand for a declaration of any unit it uses, and units use each other in
// cycles, so no order of units lets one pass bind everything. The first pass reads each
// unit (a file that no other includes, with its include files spliced in) and records
// its declarations and tables; they are merged into one numbering and the types they
// name resolved. The second pass reads each unit again, the same walk building the same
// scopes, and binds every name against all units' tables. Only the units' compact
// tables live between the passes: texts and tokens are read again rather than kept.
CrossReferences::CrossReferences(const FileLinkResolver& links, std::size_t fileCount,
                                 const TextReader& readText, unsigned threads,
                                 const FreedMemory& freedMemory)
    : occurrences_(fileCount) {
  const std::vector<FileLinkMap> linkMaps = MapLinks(links, fileCount);
  const std::vector<std::uint32_t> firstIncluders = FirstIncluders(linkMaps);
  const std::vector<std::uint32_t> roots = UnitRoots(linkMaps, firstIncluders);
  // Units are numbered in list order in both passes: merging keeps that order.
  const std::vector<bool> large = LargeUnits(roots, linkMaps);
  threads = std::max(1u, threads);
  const SourceFiles files{readText, linkMaps, firstIncluders};
  const auto memoryFreed = [&freedMemory] {
    if (freedMemory) {
      freedMemory(); // see Note [freed memory between phases]
    }
  };
  // Each worker's tokens, kept from unit to unit (see Note [token blocks]); not
  // thread_local: the Windows build freed a bad pointer at a worker's exit under Wine
  // when the blocks lived in thread storage.
  std::vector<UnitTokens> tokens(threads);

  {
    Merger merger(fileCount);
    InOrderMerge merging(roots.size(), merger);
    std::vector<std::uint32_t> inListOrder(roots.size());
    std::iota(inListOrder.begin(), inListOrder.end(), 0u);
    UnitTurns declaring(inListOrder, large);
    RunParallel(declaring, roots.size(), threads, [&](std::uint32_t i, std::size_t worker) {
      UnitDeclarations unit;
      {
        const UnitSource source(roots[i], files, tokens[worker]);
        unit = DeclareUnit(source.Text());
        unit.tokenCount = source.Text().tokens->size();
      }
      merging.Add(i, std::move(unit));
    });
    SiteDeclarations site = merger.Finish();
    ResolveDeclaredTypes(site);
    // The binding pass builds each unit's own scope again as it walks.
    site.typeNames = {};
    for (UnitDeclarations& unit : site.units) {
      unit.topNames = {};
    }
    CollectHelpers(site);
    memoryFreed();
    site.exports.Build([&site](const auto& visit) {
      for (std::size_t unit = 0; unit < site.units.size(); ++unit) {
        site.units[unit].interfaceNames.ForEach([&](NameKey key, std::uint32_t symbol) {
          visit(key, static_cast<std::uint32_t>(unit), symbol);
        });
      }
    });

    // Each file's names are marked by one unit only (see Note [include owners]), so the
    // workers fill different files, in any order of units.
    UnitTurns binding(LargestFirst(site.units), large);
    std::mutex marksLock;
    RunParallel(binding, site.units.size(), threads, [&](std::uint32_t unit, std::size_t worker) {
      std::vector<MarkedName> marks;
      {
        const UnitSource source(site.units[unit].root, files, tokens[worker]);
        marks = BindUnit(source.Text(), site, unit);
      }
      KeepInOrder(marks);
      const std::lock_guard<std::mutex> lock(marksLock);
      // A file's names all come from this unit (see Note [include owners]): room for them
      // once, exactly, rather than a doubling vector for each of thousands of files.
      for (std::size_t i = 0, run = 0; i < marks.size(); i = run) {
        for (run = i; run < marks.size() && marks[run].file == marks[i].file; ++run) {
        }
        occurrences_[marks[i].file].reserve(occurrences_[marks[i].file].size() + (run - i));
      }
      for (const MarkedName& mark : marks) {
        occurrences_[mark.file].push_back(mark.occurrence);
      }
    });
    names_ = std::move(site.names);
    related_ = std::move(site.related);
    relatedStarts_ = std::move(site.relatedStarts);
    symbols_ = std::move(site.symbols);
  } // the tables of the declarations go before the references are gathered
  memoryFreed();
  CollectReferences();
}

// By file, then text order; where two readings of one include file met, the first
// reading wins.
void CrossReferences::KeepInOrder(std::vector<MarkedName>& marks) {
  const auto inTextOrder = [](const MarkedName& a, const MarkedName& b) {
    return a.file != b.file ? a.file < b.file : a.occurrence.offset < b.occurrence.offset;
  };
  // A unit without include files marks its names in text order already.
  if (!std::is_sorted(marks.begin(), marks.end(), inTextOrder)) {
    std::stable_sort(marks.begin(), marks.end(), inTextOrder);
  }
  std::size_t kept = 0;
  for (std::size_t i = 0; i < marks.size(); ++i) {
    if (kept > 0 && marks[kept - 1].file == marks[i].file &&
        marks[kept - 1].occurrence.offset + marks[kept - 1].occurrence.length >
            marks[i].occurrence.offset) {
      continue;
    }
    marks[kept++] = marks[i];
  }
  marks.resize(kept);
}

void CrossReferences::CollectReferences() {
  // A counting sort: count each symbol's references, then place them, in file and text
  // order, each at its symbol's next free slot.
  std::vector<std::uint32_t> starts(symbols_.size() + 1, 0);
  for (const std::vector<Occurrence>& occurrences : occurrences_) {
    for (const Occurrence& occurrence : occurrences) {
      if (!occurrence.declaration) {
        ++starts[occurrence.symbol + 1];
      }
    }
  }
  for (std::size_t s = 0; s < symbols_.size(); ++s) {
    starts[s + 1] += starts[s];
  }
  references_.resize(starts.back());
  std::vector<std::uint32_t> next(starts.begin(), starts.end() - 1);
  for (std::size_t file = 0; file < occurrences_.size(); ++file) {
    const std::vector<Occurrence>& occurrences = occurrences_[file];
    for (std::size_t i = 0; i < occurrences.size(); ++i) {
      if (occurrences[i].declaration) {
        continue;
      }
      ReferencePlace& place = references_[next[occurrences[i].symbol]++];
      place.file = static_cast<std::uint32_t>(file);
      place.offset = occurrences[i].offset;
      place.line = occurrences[i].line;
      place.uncertain = occurrences[i].uncertain;
    }
  }
  referenceStarts_ = std::move(starts);
}

const std::vector<Occurrence>& CrossReferences::OccurrencesIn(std::size_t file) const {
  return occurrences_.at(file);
}

ReferenceList CrossReferences::ReferencesTo(std::size_t symbol) const {
  if (symbol + 1 >= referenceStarts_.size()) {
    throw std::out_of_range("no such symbol");
  }
  return {references_.data() + referenceStarts_[symbol],
          references_.data() + referenceStarts_[symbol + 1]};
}

RelatedList CrossReferences::RelatedTo(std::size_t symbol) const {
  if (symbol + 1 >= relatedStarts_.size()) {
    throw std::out_of_range("no such symbol");
  }
  return {related_.data() + relatedStarts_[symbol], related_.data() + relatedStarts_[symbol + 1]};
}

void CrossReferences::ReleaseOccurrencesIn(std::size_t file) {
  occurrences_.at(file) = {};
}

void CrossReferences::ReleaseReferences() {
  references_ = {};
  referenceStarts_ = {};
}

} // namespace lexiform::xref

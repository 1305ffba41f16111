#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <unordered_map>
#include <utility>
#include <vector>

#include "xref/cross_references.h"
#include "xref/name_table.h"
#include "xref/pascal_tokens.h"

// What the declaration pass learns about a site and the binding pass reads: symbols
// with their facts, the members of each type and the names each unit exports.
namespace lexiform::xref {

inline constexpr std::uint32_t kNone = 0xFFFFFFFFu;

// What the binding pass knows of a symbol besides its place and name: one for each of
// millions of symbols, so the flags take a bit each.
struct SymbolFacts {
  SymbolFacts()
      : forward(false), body(false), implicitParent(false), chosenFile(false), unitPrivate(false),
        classPrivate(false), helper(false), namedParent(false) {}

  std::uint32_t typeSymbol = kNone;   // its type (declared, result, aliased) as resolved
  std::uint32_t parentSymbol = kNone; // a class's, object's or interface's first ancestor
  std::uint32_t members = kNone;      // index of its member table (types with members)
  std::uint32_t ownerType = kNone;    // the type whose member it is
  std::uint32_t unit = kNone;         // root file of the unit that declares it
  std::uint32_t defaultProperty = kNone;
  std::uint8_t arrayDepth = 0; // indexes before its type's values: 2 for `array of array of T`
  bool forward : 1;            // `TFoo = class;` or a routine heading marked `forward`
  bool body : 1;               // a routine body whose heading was declared before it
  bool implicitParent : 1;     // a class without parent: it descends from TObject
  bool chosenFile : 1;         // declared in an include file chosen among several
  bool unitPrivate : 1;        // a `private` member: seen in its own unit only
  bool classPrivate : 1;       // a `strict private` member: seen in its own class only
  bool helper : 1;             // a class or record helper: its parent is the type it helps
  bool namedParent : 1;        // an ancestor is named, whether or not it is in the site
};

// The names of its type and ancestor as a unit's declaring pass found them, to be
// resolved once every unit is merged.
struct TypeNames {
  NameKey typeName = 0;   // the last name of the declared type, result type or alias
  NameKey parentName = 0; // a class's, object's or interface's first ancestor as named
};

struct DeclaredFacts : SymbolFacts, TypeNames {};

// Note [place map]
// The symbol declared at each place: millions of them over a large tree. Open
// addressing in one array spares the heap block of each entry of a node map, which
// cost more in malloc than the lookups. Merging keeps one map of offsets for each file:
// the places of one unit lie in a few files, and one map of the whole tree's places
// missed the cache at nearly every lookup and took most of the merging time.
class OffsetMap {
public:
  // The symbol at `place`, made `symbol` when none was there; and whether it was added.
  std::pair<std::uint32_t, bool> Insert(std::uint32_t place, std::uint32_t symbol) {
    if ((count_ + 1) * 4 > slots_.size() * 3) {
      Grow();
    }
    Slot& slot = slots_[SlotOf(place)];
    if (slot.place == place) {
      return {slot.symbol, false};
    }
    slot = Slot{place, symbol};
    ++count_;
    return {symbol, true};
  }

private:
  static constexpr std::uint32_t kEmpty = ~std::uint32_t{0}; // no text is that long
  struct Slot {
    std::uint32_t place = kEmpty;
    std::uint32_t symbol = kNone;
  };

  // The slot that holds `place`, or the empty one where it belongs.
  std::size_t SlotOf(std::uint32_t place) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t i =
        static_cast<std::size_t>((std::uint64_t{place} * 0x9E3779B97F4A7C15u) >> 32) & mask;
    while (slots_[i].place != place && slots_[i].place != kEmpty) {
      i = (i + 1) & mask;
    }
    return i;
  }

  void Grow() {
    std::vector<Slot> old(slots_.empty() ? 16 : slots_.size() * 2);
    old.swap(slots_);
    for (const Slot& slot : old) {
      if (slot.place != kEmpty) {
        slots_[SlotOf(slot.place)] = slot;
      }
    }
  }

  std::vector<Slot> slots_;
  std::size_t count_ = 0;
};

// Keeps a symbol's names in `pool`: the qualified name holds the name at its end (see
// Note [symbol names]).
inline void KeepNames(StringPool& pool, Symbol& symbol, std::string_view name,
                      std::string_view qualifiedName) {
  if (!qualifiedName.empty() && qualifiedName.size() >= name.size() &&
      qualifiedName.substr(qualifiedName.size() - name.size()) == name) {
    const std::string_view kept = pool.Add(qualifiedName);
    symbol.SetNames(kept.substr(kept.size() - name.size()), kept);
  } else {
    symbol.SetNames(pool.Add(name), {});
  }
}

// Note [exported names]
// Which units export a name, as (unit, symbol): a name is looked up once here and the
// candidates weighed by the places of their units in the uses clauses, instead of once
// in every unit used (thirty and more in many units of the FPC tree). The candidates of
// all names lie in one array, grouped by name and in unit order; a map of vectors cost
// twice the memory.
class ExportTable {
public:
  using Exporter = std::pair<std::uint32_t, std::uint32_t>; // (unit, symbol)

  // `forEachExport(visit)` calls visit(name, unit, symbol) for every export, in unit
  // order; it is called twice.
  template <typename ForEachExport> void Build(const ForEachExport& forEachExport) {
    std::vector<std::uint32_t> counts;
    forEachExport([&](NameKey key, std::uint32_t, std::uint32_t) {
      const auto [entry, added] = groupOf_.emplace(key, static_cast<std::uint32_t>(counts.size()));
      if (added) {
        counts.push_back(0);
      }
      ++counts[entry->second];
    });
    groupStarts_.assign(counts.size() + 1, 0);
    for (std::size_t g = 0; g < counts.size(); ++g) {
      groupStarts_[g + 1] = groupStarts_[g] + counts[g];
    }
    exporters_.resize(groupStarts_.back());
    std::vector<std::uint32_t> next(groupStarts_.begin(), groupStarts_.end() - 1);
    forEachExport([&](NameKey key, std::uint32_t unit, std::uint32_t symbol) {
      exporters_[next[groupOf_.find(key)->second]++] = {unit, symbol};
    });
  }

  // The units that export `key`, in unit order; empty when none does.
  ArrayPart<Exporter> Find(NameKey key) const {
    const auto group = groupOf_.find(key);
    if (group == groupOf_.end()) {
      return {};
    }
    return {exporters_.data() + groupStarts_[group->second],
            exporters_.data() + groupStarts_[group->second + 1]};
  }

private:
  NameTable groupOf_;
  std::vector<std::uint32_t> groupStarts_;
  std::vector<Exporter> exporters_;
};

// One unit's (or program's, or lone file's) declarations as its own pass found them.
// Symbol indexes are local to it until merged.
struct UnitDeclarations {
  std::uint32_t root = 0;
  StringPool names; // of its symbols, until merged
  std::vector<Symbol> symbols;
  std::vector<DeclaredFacts> facts;
  std::vector<NameTable> memberTables;
  NameTable interfaceNames; // what other units see
  NameTable topNames;       // every declaration at the unit's level, until types are resolved
  std::uint32_t unitSymbol = kNone;
  NameKey unitName = 0;
  bool objectPascalMode = false;
  // Later declarations of a name in the table where `first` came first, by first.
  std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> duplicates;
  std::vector<std::uint32_t> usedUnits; // root files, in text order
  // Routines of its interface (or program) marked `overload`, in text order.
  std::vector<std::uint32_t> overloads;
  std::size_t tokenCount = 0; // of its text with the include files spliced in
};

// Every unit's declarations merged into one numbering.
struct SiteDeclarations {
  StringPool names;                         // of its symbols
  std::vector<std::uint32_t> related;       // every symbol's related ones, in one array
  std::vector<std::uint32_t> relatedStarts; // by symbol: where its related ones start
  std::vector<Symbol> symbols;
  std::vector<SymbolFacts> facts;
  std::vector<TypeNames> typeNames; // until the types are resolved
  std::vector<NameTable> memberTables;
  std::vector<OffsetMap> symbolAt; // by file, while merging; see Note [place map]
  // Note [places by file]
  // Once merged, the symbol at each place is looked up in one array sorted by file and
  // offset, half the bytes of the map that found them while merging: the map's slots
  // stay a quarter empty and hold the whole place, the array only the offset.
  std::vector<std::uint32_t> placeStarts; // by file: where its places start in `places`
  std::vector<std::pair<std::uint32_t, std::uint32_t>> places; // (offset, symbol)
  std::vector<std::uint32_t> unitOfRoot;                       // root file -> unit index, kNone
  std::vector<UnitDeclarations> units; // symbols moved out; tables renumbered
  ExportTable exports;                 // See Note [exported names].
  // The helpers of each type, by the type's symbol, in list and text order.
  std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> helpersOf;
  std::uint32_t systemUnit = kNone;
  std::uint32_t objpasUnit = kNone;
  bool systemUncertain = false;

  std::uint32_t SymbolAt(std::uint32_t file, std::uint32_t offset) const {
    if (std::size_t{file} + 1 >= placeStarts.size()) {
      return kNone;
    }
    const auto* first = places.data() + placeStarts[file];
    const auto* last = places.data() + placeStarts[file + 1];
    const auto found = std::lower_bound(first, last, offset,
                                        [](const std::pair<std::uint32_t, std::uint32_t>& place,
                                           std::uint32_t at) { return place.first < at; });
    return found != last && found->first == offset ? found->second : kNone;
  }

  // Sorts the places of the symbols by file (of `fileCount`) and offset, and lets the
  // merging map go.
  void KeepPlacesByFile(std::size_t fileCount) {
    placeStarts.assign(fileCount + 1, 0);
    for (const Symbol& symbol : symbols) {
      if (symbol.file < fileCount) {
        ++placeStarts[symbol.file + 1];
      }
    }
    for (std::size_t file = 0; file < fileCount; ++file) {
      placeStarts[file + 1] += placeStarts[file];
    }
    places.resize(placeStarts.back());
    std::vector<std::uint32_t> next(placeStarts.begin(), placeStarts.end() - 1);
    for (std::size_t id = 0; id < symbols.size(); ++id) {
      if (symbols[id].file < fileCount) {
        places[next[symbols[id].file]++] = {symbols[id].offset, static_cast<std::uint32_t>(id)};
      }
    }
    for (std::size_t file = 0; file < fileCount; ++file) {
      std::sort(places.data() + placeStarts[file], places.data() + placeStarts[file + 1]);
    }
    symbolAt = {};
  }
};

// The links of one file, by the offset where they start.
struct FileLinkMap {
  struct Target {
    std::uint32_t file = 0;
    bool uncertain = false;
  };
  std::unordered_map<std::uint32_t, Target> uses;
  std::unordered_map<std::uint32_t, Target> includes;
  std::size_t textBytes = 0;
};

// Note [token blocks]
// A unit's tokens (its text with include files spliced in at their directives) in
// blocks that never move. A growing vector copied every token at each doubling and took
// fresh pages for every large unit; the blocks of one unit are used again by the next
// unit its thread reads, and a unit of millions of tokens (tables of Unicode data)
// holds its blocks only while it is read. Which file a token comes from, and how it is
// marked, is kept once for each run of tokens read from one file: a third of the bytes
// of a token, kept with each, made the peak of the largest units.
class UnitTokens {
public:
  const Token& At(std::size_t i) const { return blocks_[i >> kShift]->tokens[i & kMask]; }
  Token& At(std::size_t i) { return blocks_[i >> kShift]->tokens[i & kMask]; }
  std::size_t size() const { return size_; }
  Token& back() { return At(size_ - 1); }

  void pop_back() {
    --size_;
    if (!runs_.empty() && runs_.back().first == size_) {
      runs_.pop_back();
    }
  }

  // Adds `token`, read from `file`; `marked`: its file's names are marked in this unit
  // (see Note [include owners]); `uncertain`: reached through an include file chosen
  // among several.
  void push_back(const Token& token, std::uint32_t file, bool marked, bool uncertain) {
    if ((size_ >> kShift) == blocks_.size()) {
      blocks_.push_back(std::make_unique<Block>());
    }
    if (runs_.empty() || runs_.back().file != file || runs_.back().marked != marked ||
        runs_.back().uncertain != uncertain) {
      runs_.push_back(Run{size_, file, marked, uncertain});
    }
    new (&At(size_++)) Token(token);
  }

  std::uint32_t FileOf(std::size_t i) const { return RunOf(i).file; }
  bool MarkedAt(std::size_t i) const { return RunOf(i).marked; }
  bool UncertainAt(std::size_t i) const { return RunOf(i).uncertain; }

  // Empties the array, keeping the memory of at most `keptTokens` tokens.
  void Clear(std::size_t keptTokens) {
    size_ = 0;
    runs_.clear();
    lastRun_ = 0;
    const std::size_t kept = keptTokens >> kShift;
    if (blocks_.size() > kept) {
      blocks_.resize(kept);
    }
  }

private:
  static constexpr unsigned kShift = 15; // 32K tokens, 768 KB, a block
  static constexpr std::size_t kBlock = std::size_t{1} << kShift;
  static constexpr std::size_t kMask = kBlock - 1;
  // Left as the allocator gives it: a token is written before it is read, and filling
  // a block first cost as much as the tokens.
  struct Block {
    Block() {} // NOLINT: no initialisation, on purpose
    union {
      Token tokens[kBlock];
    };
  };
  struct Run {
    std::size_t first = 0; // its first token
    std::uint32_t file = 0;
    bool marked = false;
    bool uncertain = false;
  };

  // The walk asks about tokens near each other: the run of the last question is tried
  // first.
  const Run& RunOf(std::size_t i) const {
    if (lastRun_ < runs_.size() && runs_[lastRun_].first <= i &&
        (lastRun_ + 1 == runs_.size() || i < runs_[lastRun_ + 1].first)) {
      return runs_[lastRun_];
    }
    const auto after =
        std::upper_bound(runs_.begin(), runs_.end(), i,
                         [](std::size_t at, const Run& run) { return at < run.first; });
    lastRun_ = static_cast<std::size_t>(after - runs_.begin()) - 1;
    return runs_[lastRun_];
  }

  std::vector<std::unique_ptr<Block>> blocks_;
  std::size_t size_ = 0;
  std::vector<Run> runs_;
  mutable std::size_t lastRun_ = 0;
};

} // namespace lexiform::xref

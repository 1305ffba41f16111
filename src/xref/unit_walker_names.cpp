#include <limits>

#include "xref/unit_walker_impl.h"

namespace lexiform::xref::walker {

std::uint32_t UnitWalker::EffectiveType(std::uint32_t id) const {
  for (int hop = 0; hop < 16 && id != kNone; ++hop) {
    id = Completed(id);
    const SymbolKind kind = SymbolOf(id).kind;
    if (IsStructured(kind) || (kind == SymbolKind::Enumeration && FactsOf(id).members != kNone)) {
      return id;
    }
    if (kind != SymbolKind::Type) {
      return kNone;
    }
    id = FactsOf(id).typeSymbol;
  }
  return kNone;
}

// See Note [types where declared].
void UnitWalker::KeepLocalType(std::uint32_t id, NameKey type) {
  if (Declaring() || id == kNone || type == 0 || namedType_ == kNone || AtUnitLevel() ||
      KeyOf(SymbolOf(namedType_).Name()) != type || !IsTypeKind(SymbolOf(namedType_).kind)) {
    return;
  }
  localTypes_[id] = namedType_;
}

// How many indexes a value of symbol `id` takes before it is of its ValueType: the
// arrays of its declaration and of the aliases it goes through.
unsigned UnitWalker::ArrayDepth(std::uint32_t id) const {
  if (id == kNone) {
    return 0;
  }
  unsigned depth = 0;
  if (!IsTypeKind(SymbolOf(id).kind)) {
    depth = FactsOf(id).arrayDepth;
    const auto local = localTypes_.find(id);
    id = local != localTypes_.end() ? local->second : FactsOf(id).typeSymbol;
  }
  for (int hop = 0; hop < 16 && id != kNone; ++hop) {
    id = Completed(id);
    if (SymbolOf(id).kind != SymbolKind::Type) {
      break;
    }
    depth += FactsOf(id).arrayDepth;
    id = FactsOf(id).typeSymbol;
  }
  return depth;
}

// The type a value of symbol `id` has, for the names after a dot.
std::uint32_t UnitWalker::ValueType(std::uint32_t id) const {
  if (id == kNone) {
    return kNone;
  }
  const SymbolKind kind = SymbolOf(id).kind;
  if (IsTypeKind(kind)) {
    return EffectiveType(id);
  }
  const auto local = localTypes_.find(id);
  return EffectiveType(local != localTypes_.end() ? local->second : FactsOf(id).typeSymbol);
}

// Searches a type and then its ancestors; `unknownAncestry` tells whether the search
// ran out at an ancestor that is not in the site.
// `private` members are seen in their unit, `strict private` ones in their class.
bool UnitWalker::VisibleHere(std::uint32_t member, std::uint32_t type) const {
  const SymbolFacts& facts = FactsOf(member);
  if (facts.classPrivate) {
    return EnclosingMethodClass() == type;
  }
  return !facts.unitPrivate || facts.unit == text_.root;
}

// The helper of `type` that the compiler uses here: of those in scope, the one of the
// unit itself, else of the unit named last in the uses clauses, else of an implicit
// unit; the last declared among those of one unit.
std::uint32_t UnitWalker::ActiveHelper(std::uint32_t type) const {
  if (Declaring()) {
    return kNone;
  }
  const auto helpers = site_->helpersOf.find(type);
  if (helpers == site_->helpersOf.end()) {
    return kNone;
  }
  std::uint32_t best = kNone;
  std::size_t bestRank = 0;
  for (const std::uint32_t helper : helpers->second) {
    const std::uint32_t root = FactsOf(helper).unit;
    const std::uint32_t unit = root < site_->unitOfRoot.size() ? site_->unitOfRoot[root] : kNone;
    std::size_t rank = 0; // not in scope
    if (unit == unit_) {
      rank = std::numeric_limits<std::size_t>::max();
    } else if (const std::uint32_t at = PlaceOfUse(unit); at > 0) {
      rank = std::size_t{at} + 1;
    } else if (const auto implicit = ImplicitUnits();
               unit != kNone &&
               std::find(implicit.begin(), implicit.end(), unit) != implicit.end()) {
      rank = 1;
    }
    if (rank > 0 && rank >= bestRank) {
      best = helper;
      bestRank = rank;
    }
  }
  return best;
}

// A member `type` itself declares and that is visible here (not its ancestors').
Found UnitWalker::OwnMember(std::uint32_t type, NameKey key) const {
  if (const NameTable* table = MembersOf(type)) {
    const auto found = table->find(key);
    if (found != table->end() && VisibleHere(found->second, type)) {
      return Found{Completed(found->second), false};
    }
  }
  return Found{};
}

// Class and record helpers come before the members of the type they help.
Found UnitWalker::LookupMember(std::uint32_t type, NameKey key, bool* unknownAncestry) const {
  type = EffectiveType(type);
  for (int depth = 0; depth < 32 && type != kNone; ++depth) {
    for (const std::uint32_t owner : {ActiveHelper(type), type}) {
      if (const Found found = OwnMember(owner, key); found.symbol != kNone) {
        return found;
      }
    }
    const SymbolFacts& facts = FactsOf(type);
    const std::uint32_t parent = EffectiveType(facts.parentSymbol);
    if (parent == kNone && facts.namedParent && unknownAncestry != nullptr) {
      *unknownAncestry = true;
    }
    if (parent == type) {
      break;
    }
    type = parent;
  }
  return Found{};
}

Found UnitWalker::LookupInUnits(NameKey key) const {
  if (Declaring()) {
    return Found{};
  }
  // See Note [exported names].
  const ArrayPart<ExportTable::Exporter> exporters = site_->exports.Find(key);
  std::uint32_t bestPlace = 0;
  Found best;
  for (const auto& [unit, symbol] : exporters) {
    if (const std::uint32_t at = PlaceOfUse(unit); at > bestPlace) {
      bestPlace = at;
      best = Found{Completed(symbol), visibleUnits_[at - 1].second};
    }
  }
  if (best.symbol != kNone) {
    return best;
  }
  for (const std::uint32_t implicitUnit : ImplicitUnits()) {
    for (const auto& [unit, symbol] : exporters) {
      if (unit == implicitUnit && unit != unit_) {
        return Found{Completed(symbol), site_->systemUncertain};
      }
    }
  }
  return Found{};
}

Found UnitWalker::Lookup(NameKey key) const {
  bool beyondUnknownAncestor = false;
  for (auto scope = scopes_.rbegin(); scope != scopes_.rend(); ++scope) {
    switch (scope->kind) {
    case ScopeKind::Opaque:
      return Found{};
    case ScopeKind::Members:
    case ScopeKind::With: {
      const Found found = LookupMember(scope->type, key, &beyondUnknownAncestor);
      if (found.symbol != kNone) {
        return found;
      }
      break;
    }
    case ScopeKind::Names:
      break;
    }
    const auto found = scope->names.find(key);
    if (found != scope->names.end()) {
      return Found{Completed(found->second), beyondUnknownAncestor};
    }
  }
  Found found = LookupInUnits(key);
  found.uncertain |= beyondUnknownAncestor;
  return found;
}

void UnitWalker::ChainFrom(std::uint32_t symbol) {
  lastSymbol_ = symbol;
  chainUnit_ = kNone;
  chainType_ = kNone;
  chainDepth_ = 0;
  if (symbol == kNone) {
    return;
  }
  if (SymbolOf(symbol).kind == SymbolKind::Unit) {
    chainUnit_ = FactsOf(symbol).unit;
    return;
  }
  chainType_ = ValueType(symbol);
  chainDepth_ = ArrayDepth(symbol);
}

// A name after `Unit.`: in that unit's interface.
Found UnitWalker::LookupInUnit(std::uint32_t root, NameKey key) const {
  if (Declaring() || root >= site_->unitOfRoot.size() || site_->unitOfRoot[root] == kNone) {
    return Found{};
  }
  const NameTable& names = site_->units[site_->unitOfRoot[root]].interfaceNames;
  const auto found = names.find(key);
  return found == names.end() ? Found{} : Found{Completed(found->second), false};
}

// `My.Utils.Name`: a unit's name, dotted or not, before a dot.
bool UnitWalker::UnitPrefix() {
  if (Declaring()) {
    return false;
  }
  std::string dotted;
  std::size_t best = 0;
  std::uint32_t bestUnit = kNone;
  for (std::size_t i = pos_, parts = 0; parts < 4 && IsIdent(i); i += 2, ++parts) {
    if (parts > 0) {
      dotted += '.';
    }
    dotted += TextOf(i);
    const NameKey key = KeyOf(dotted);
    for (std::uint32_t unit : UnitsNamed()) {
      if (site_->units[unit].unitName == key) {
        best = i;
        bestUnit = unit;
      }
    }
    if (!IsSym(i + 1, '.')) {
      break;
    }
  }
  if (bestUnit == kNone || !IsSym(best + 1, '.')) {
    return false;
  }
  if (best == pos_) {
    Mark(pos_, site_->units[bestUnit].unitSymbol, false, false);
  }
  pos_ = best + 1;
  ResetChain();
  chainUnit_ = site_->units[bestUnit].root;
  return true;
}

std::vector<std::uint32_t> UnitWalker::UnitsNamed() const {
  std::vector<std::uint32_t> units;
  units.push_back(unit_);
  for (const auto& used : visibleUnits_) {
    units.push_back(used.first);
  }
  return units;
}

// One token of an expression or statement: binds names and follows `A.B.C` chains.
void UnitWalker::ExpressionToken() {
  const Token& token = Cur();
  if (token.kind == PasToken::Identifier) {
    BindIdentifier();
    return;
  }
  if (token.kind == PasToken::Symbol) {
    switch (token.symbol) {
    case '(':
    case '[': {
      Bracket carried;
      carried.index = token.symbol == '[';
      if (token.symbol == '(' && lastSymbol_ != kNone) {
        carried.type = ValueType(lastSymbol_);
        carried.depth = ArrayDepth(lastSymbol_);
      } else if (token.symbol == '[' && chainDepth_ > 0) {
        carried.type = chainType_; // an element of an array
        carried.depth = chainDepth_ - 1;
      } else if (token.symbol == '[' && chainType_ != kNone) {
        const std::uint32_t defaultProperty = FactsOf(chainType_).defaultProperty;
        carried.type = defaultProperty == kNone ? kNone : ValueType(defaultProperty);
      }
      brackets_.push_back(carried);
      ResetChain();
      break;
    }
    case ')':
    case ']': {
      const Bracket carried = brackets_.empty() ? Bracket{} : brackets_.back();
      if (!brackets_.empty()) {
        brackets_.pop_back();
      }
      ResetChain();
      chainType_ = carried.type;
      chainDepth_ = carried.depth;
      break;
    }
    case ',':
      // `A[I, J]` indexes two levels of `A` at once.
      if (!brackets_.empty() && brackets_.back().index && brackets_.back().depth > 0) {
        --brackets_.back().depth;
      }
      ResetChain();
      break;
    case '.':
    case '^':
      lastSymbol_ = kNone;
      break;
    default:
      ResetChain();
    }
    ++pos_;
    return;
  }
  if (IsKeyword(pos_, kw::kInherited)) {
    ResetChain();
    ++pos_;
    if (IsIdent(pos_)) {
      const std::uint32_t type = EnclosingMethodClass();
      const Found found =
          type == kNone ? Found{} : LookupMember(FactsOf(type).parentSymbol, Cur().key);
      Mark(pos_, found.symbol, false, found.uncertain);
      ChainFrom(found.symbol);
      ++pos_;
    }
    return;
  }
  ResetChain();
  ++pos_;
}

std::uint32_t UnitWalker::EnclosingMethodClass() const {
  for (auto scope = scopes_.rbegin(); scope != scopes_.rend(); ++scope) {
    if (scope->kind == ScopeKind::Members) {
      return scope->type;
    }
  }
  return kNone;
}

void UnitWalker::BindIdentifier() {
  const NameKey key = Cur().key;
  if (pos_ > 0 && IsSym(pos_ - 1, '.')) {
    Found found;
    if (chainUnit_ != kNone) {
      found = LookupInUnit(chainUnit_, key);
    } else if (chainType_ != kNone && chainDepth_ == 0) {
      found = LookupMember(chainType_, key);
    }
    Mark(pos_, found.symbol, false, found.uncertain);
    ChainFrom(found.symbol);
    ++pos_;
    return;
  }
  if (key == word::kSelf && EnclosingMethodClass() != kNone && !HasLocal(key)) {
    ResetChain();
    chainType_ = EnclosingMethodClass();
    ++pos_;
    return;
  }
  const Found found = Lookup(key);
  if (found.symbol == kNone && IsSym(pos_ + 1, '.') && UnitPrefix()) {
    return;
  }
  Mark(pos_, found.symbol, false, found.uncertain);
  ChainFrom(found.symbol);
  ++pos_;
}

bool UnitWalker::HasLocal(NameKey key) const {
  for (auto scope = scopes_.rbegin(); scope != scopes_.rend(); ++scope) {
    if (scope->names.count(key) != 0) {
      return true;
    }
    if (scope->kind == ScopeKind::Members) {
      return false;
    }
  }
  return false;
}

} // namespace lexiform::xref::walker

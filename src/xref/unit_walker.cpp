#include "xref/unit_walker.h"

#include <iterator>

#include "xref/unit_walker_impl.h"

namespace lexiform::xref::walker {

// The innermost type being declared or whose method is being walked.
std::uint32_t UnitWalker::EnclosingType() const {
  for (auto scope = scopes_.rbegin(); scope != scopes_.rend(); ++scope) {
    if (scope->kind == ScopeKind::Members) {
      return scope->type;
    }
    if (scope->routine) {
      return kNone;
    }
  }
  return kNone;
}

std::string UnitWalker::QualifiedName(std::size_t i) const {
  const Scope& scope = scopes_.back();
  if (scope.kind == ScopeKind::Members && scope.type != kNone) {
    const std::string_view owner = SymbolOf(scope.type).QualifiedName();
    return owner.empty() ? std::string() : std::string(owner) + "." + TextOf(i);
  }
  return AtUnitLevel() ? TextOf(i) : std::string();
}

// The symbol of the name at token i: made when declaring, looked up when binding.
std::uint32_t UnitWalker::NewSymbol(std::size_t i, SymbolKind kind) {
  if (!Declaring()) {
    return site_->SymbolAt(tokens_.FileOf(i), tokens_.At(i).offset);
  }
  // A name the walk meets again is the symbol it made the first time.
  const auto [known, added] = declaredAt_.Insert(
      static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(declaring_->symbols.size()));
  if (!added) {
    return known;
  }
  Symbol symbol;
  symbol.file = tokens_.FileOf(i);
  symbol.offset = tokens_.At(i).offset;
  symbol.length = tokens_.At(i).length;
  symbol.line = tokens_.At(i).line;
  NameSymbol(symbol, TextOf(i), QualifiedName(i));
  symbol.kind = kind;
  declaring_->symbols.push_back(std::move(symbol));
  DeclaredFacts facts;
  facts.chosenFile = tokens_.UncertainAt(i);
  if (scopes_.back().kind == ScopeKind::Members) {
    facts.unitPrivate = visibility_ == Visibility::Private;
    facts.classPrivate = visibility_ == Visibility::StrictPrivate;
  }
  facts.ownerType = EnclosingType();
  facts.unit = text_.root;
  declaring_->facts.push_back(facts);
  return static_cast<std::uint32_t>(declaring_->symbols.size() - 1);
}

// Adds a name to a table; a second declaration of a name in one table stays listed
// with the first, unless it completes a forward one.
void UnitWalker::AddToTable(NameTable& table, NameKey key, std::uint32_t id) {
  const auto [slot, added] = table.emplace(key, id);
  if (added || slot->second == id) {
    return;
  }
  const std::uint32_t first = slot->second;
  if (first == kNone) {
    slot->second = id;
    return;
  }
  if (Declaring()) {
    Symbol& earlier = declaring_->symbols[first];
    if (declaring_->facts[first].forward && earlier.counterpart == kNoSymbol &&
        IsTypeKind(earlier.kind) == IsTypeKind(declaring_->symbols[id].kind)) {
      earlier.counterpart = id;
      declaring_->symbols[id].counterpart = first;
      slot->second = id;
      return;
    }
    declaring_->duplicates[first].push_back(id);
    return;
  }
  if (FactsOf(first).forward && SymbolOf(first).counterpart == id) {
    slot->second = id;
  }
}

// Declares the name at token i in the innermost scope or type.
std::uint32_t UnitWalker::Declare(std::size_t i, SymbolKind kind) {
  const std::uint32_t id = NewSymbol(i, kind);
  Mark(i, id, true, false);
  AddToScope(scopes_.size() - 1, Tok(i).key, id);
  return id;
}

// A name known only through its type (`TColor.Green`): its type's table takes it.
std::uint32_t UnitWalker::DeclareMember(std::size_t i, SymbolKind kind) {
  const std::uint32_t id = NewSymbol(i, kind);
  Mark(i, id, true, false);
  return id;
}

bool UnitWalker::ScopedEnumsAt(std::size_t i) const {
  const auto& switches = text_.scopedEnums;
  const auto after = std::upper_bound(
      switches.begin(), switches.end(), i,
      [](std::size_t index, const std::pair<std::size_t, bool>& s) { return index < s.first; });
  return after != switches.begin() && std::prev(after)->second;
}

void UnitWalker::AddToScope(std::size_t scopeIndex, NameKey key, std::uint32_t id) {
  if (id == kNone) {
    return;
  }
  Scope& scope = scopes_[scopeIndex];
  if (scope.kind == ScopeKind::Members) {
    if (Declaring() && scope.type != kNone) {
      AddToTable(declaring_->memberTables[FactsOf(scope.type).members], key, id);
    }
    return;
  }
  AddToTable(scope.names, key, id);
  if (Declaring() && scopeIndex == 0) {
    AddToTable(declaring_->topNames, key, id);
    if (section_ != Section::Implementation) {
      AddToTable(declaring_->interfaceNames, key, id);
    }
  }
}

void UnitWalker::GiveMembers(std::uint32_t type) {
  if (Declaring() && type != kNone && declaring_->facts[type].members == kNone) {
    declaring_->facts[type].members = static_cast<std::uint32_t>(declaring_->memberTables.size());
    declaring_->memberTables.emplace_back();
  }
}

} // namespace lexiform::xref::walker

namespace lexiform::xref {

using walker::UnitWalker;

UnitDeclarations DeclareUnit(const UnitText& text) {
  UnitDeclarations declarations;
  declarations.root = text.root;
  declarations.objectPascalMode = text.objectPascalMode;
  UnitWalker walker(text, &declarations, nullptr, kNone);
  walker.Walk();
  return declarations;
}

std::vector<MarkedName> BindUnit(const UnitText& text, const SiteDeclarations& site,
                                 std::uint32_t unit) {
  UnitWalker walker(text, nullptr, &site, unit);
  walker.Walk();
  return walker.TakeMarks();
}

} // namespace lexiform::xref

#include "xref/unit_walker_impl.h"

namespace lexiform::xref::walker {

void UnitWalker::TypeDeclaration() {
  if (IsWord(pos_, word::kGeneric) && IsIdent(pos_ + 1)) {
    ++pos_;
  }
  if (!IsSym(pos_ + 1, '=') && !IsSym(pos_ + 1, '<')) {
    SkipToSemicolon();
    return;
  }
  const std::size_t name = pos_;
  const std::uint32_t id = Declare(name, SymbolKind::Type);
  ++pos_;
  std::vector<std::size_t> parameters;
  if (IsSym(pos_, '<')) {
    parameters = TypeParameterNames();
  }
  if (!IsSym(pos_, '=')) {
    SkipToSemicolon();
    return;
  }
  ++pos_;
  if (IsKeyword(pos_, kw::kType)) {
    ++pos_;
  }
  const std::size_t scopeDepth = scopes_.size();
  std::vector<std::uint32_t> parameterIds;
  if (!parameters.empty()) {
    scopes_.push_back(Scope{});
    for (const std::size_t parameter : parameters) {
      parameterIds.push_back(Declare(parameter, SymbolKind::TypeParameter));
    }
  }
  const NameKey type = TypeExpression(id, false);
  const auto arrays = static_cast<std::uint8_t>(std::min(arrayDepth_, 255u));
  while (scopes_.size() > scopeDepth) {
    scopes_.pop_back();
  }
  // The bodies of a generic type's methods see its parameters as they see its members.
  if (Declaring() && id != kNone && FactsOf(id).members != kNone) {
    for (std::size_t i = 0; i < parameters.size(); ++i) {
      if (parameterIds[i] != kNone) {
        AddToTable(declaring_->memberTables[FactsOf(id).members], Tok(parameters[i]).key,
                   parameterIds[i]);
      }
    }
  }
  if (DeclaredFacts* facts = MutableFacts(id); facts != nullptr && facts->typeName == 0) {
    facts->typeName = type;
    facts->arrayDepth = arrays;
  }
  if (!IsSym(pos_, ';') && !StartsSection(pos_)) {
    SkipToSemicolon();
  } else if (IsSym(pos_, ';')) {
    ++pos_;
  }
  HintDirectives();
}

std::vector<std::size_t> UnitWalker::TypeParameterNames() {
  std::vector<std::size_t> names;
  ++pos_;
  while (!AtEnd() && !IsSym(pos_, '>') && !IsSym(pos_, '=') && !StartsSection(pos_)) {
    if (IsIdent(pos_) && (IsSym(pos_ + 1, ',') || IsSym(pos_ + 1, '>') || IsSym(pos_ + 1, ':') ||
                          IsSym(pos_ + 1, ';'))) {
      names.push_back(pos_);
    }
    ++pos_;
  }
  if (IsSym(pos_, '>')) {
    ++pos_;
  }
  return names;
}

// Reads a type after `:` or `=`; `id` is the symbol it belongs to when it is a type
// declaration's own (kNone otherwise). Returns the last name of a named type, for
// the names after a dot. Stops before the `;` (or `=` of an initial value).
NameKey UnitWalker::TypeExpression(std::uint32_t id, bool stopAtEquals) {
  arrayDepth_ = 0;
  while (IsKeyword(pos_, kw::kPacked) || IsWord(pos_, word::kBitpacked)) {
    ++pos_;
  }
  const bool named = id != kNone && !stopAtEquals;
  if (IsKeyword(pos_, kw::kClass)) {
    ++pos_;
    if (IsSym(pos_, ';')) {
      SetKind(named ? id : kNone, SymbolKind::Class);
      if (DeclaredFacts* facts = MutableFacts(named ? id : kNone)) {
        facts->forward = true;
      }
      return 0;
    }
    if (IsKeyword(pos_, kw::kOf)) {
      ++pos_;
      return TypeName();
    }
    Nested([&] { Structured(named ? id : kNone, SymbolKind::Class); });
    return 0;
  }
  if (IsKeyword(pos_, kw::kObject) || IsKeyword(pos_, kw::kRecord) ||
      IsKeyword(pos_, kw::kInterface) || IsKeyword(pos_, kw::kDispinterface)) {
    const NameKey k = Cur().key;
    ++pos_;
    const SymbolKind kind = k == kw::kObject   ? SymbolKind::Object
                            : k == kw::kRecord ? SymbolKind::Record
                                               : SymbolKind::Interface;
    if (kind == SymbolKind::Interface && IsSym(pos_, ';')) {
      SetKind(named ? id : kNone, kind);
      if (DeclaredFacts* facts = MutableFacts(named ? id : kNone)) {
        facts->forward = true;
      }
      return 0;
    }
    Nested([&] { Structured(named ? id : kNone, kind); });
    return 0;
  }
  if (IsSym(pos_, '(')) {
    Enumeration(named ? id : kNone);
    return 0;
  }
  if (IsSym(pos_, '^')) {
    ++pos_;
    return TypeName();
  }
  if (IsKeyword(pos_, kw::kProcedure) || IsKeyword(pos_, kw::kFunction) ||
      (IsWord(pos_, word::kReference) && IsKeyword(pos_ + 1, kw::kTo))) {
    if (IsWord(pos_, word::kReference)) {
      pos_ += 2;
    }
    return ProceduralType();
  }
  if (IsIdent(pos_) && !IsSym(pos_ + 1, 'r')) {
    const NameKey type = TypeName();
    TypeTail(stopAtEquals);
    return type;
  }
  return TypeTail(stopAtEquals);
}

// `Unit.TFoo`, `specialize TList<T>`, `TOuter.TInner`: binds each part and returns
// the last name.
NameKey UnitWalker::TypeName() {
  if (IsWord(pos_, word::kSpecialize)) {
    ++pos_;
  }
  NameKey last = 0;
  ResetChain();
  namedType_ = kNone;
  if (IsKeyword(pos_, KeyOf("string")) || IsKeyword(pos_, KeyOf("file"))) {
    ++pos_;
    if (IsSym(pos_, '[')) {
      SkipBracketed();
    }
    return 0;
  }
  while (IsIdent(pos_)) {
    last = Cur().key;
    ExpressionToken();
    namedType_ = lastSymbol_;
    if (!IsSym(pos_, '.') || !IsIdent(pos_ + 1)) {
      break;
    }
    ExpressionToken();
  }
  if (IsSym(pos_, '<')) {
    int depth = 0;
    while (!AtEnd() && !IsSym(pos_, ';')) {
      depth += IsSym(pos_, '<') ? 1 : IsSym(pos_, '>') ? -1 : 0;
      ExpressionToken();
      if (depth == 0) {
        break;
      }
    }
  }
  return last;
}

// The rest of a type (`array [..] of T`, subranges, `string[20]`) up to its end;
// the last name after `of` is what its elements are.
// Counts in arrayDepth_ the indexes of `array [A, B] of array of T`.
NameKey UnitWalker::TypeTail(bool stopAtEquals) {
  NameKey element = 0;
  int depth = 0;
  int indexDepth = -1; // the depth inside an array's index brackets
  while (!AtEnd()) {
    if (depth == 0 &&
        (IsSym(pos_, ';') || (stopAtEquals && IsSym(pos_, '=')) || IsSym(pos_, ')') ||
         StartsSection(pos_) || IsWord(pos_, word::kRead) || IsWord(pos_, word::kWrite))) {
      break;
    }
    if (IsKeyword(pos_, kw::kArray)) {
      ++arrayDepth_;
      if (IsSym(pos_ + 1, '[')) {
        indexDepth = depth + 1;
      }
    } else if (IsSym(pos_, ',') && depth == indexDepth) {
      ++arrayDepth_;
    }
    if (IsSym(pos_, '(') || IsSym(pos_, '[')) {
      ++depth;
    } else if ((IsSym(pos_, ')') || IsSym(pos_, ']')) && depth > 0) {
      if (depth == indexDepth) {
        indexDepth = -1;
      }
      --depth;
    }
    if (IsKeyword(pos_, kw::kOf) && IsIdent(pos_ + 1)) {
      ++pos_;
      element = TypeName();
      continue;
    }
    ExpressionToken();
  }
  return element;
}

void UnitWalker::Enumeration(std::uint32_t id) {
  SetKind(id, SymbolKind::Enumeration);
  GiveMembers(id);
  ++pos_;
  while (!AtEnd() && !IsSym(pos_, ')') && !IsSym(pos_, ';')) {
    if (IsIdent(pos_) && (IsSym(pos_ - 1, '(') || IsSym(pos_ - 1, ','))) {
      // Scoped values are reached through their type only.
      const std::uint32_t value = ScopedEnumsAt(pos_) ? DeclareMember(pos_, SymbolKind::EnumValue)
                                                      : Declare(pos_, SymbolKind::EnumValue);
      if (DeclaredFacts* facts = MutableFacts(value)) {
        facts->typeName = id == kNone ? 0 : KeyOf(SymbolOf(id).Name());
      }
      // `TColor.Green` names the value through its type.
      if (Declaring() && id != kNone && value != kNone) {
        AddToTable(declaring_->memberTables[FactsOf(id).members], Cur().key, value);
      }
      ++pos_;
    } else {
      ExpressionToken();
    }
  }
  if (IsSym(pos_, ')')) {
    ++pos_;
  }
}

NameKey UnitWalker::ProceduralType() {
  const bool function = IsKeyword(pos_, kw::kFunction);
  ++pos_;
  scopes_.push_back(Scope{});
  scopes_.back().routine = true;
  Parameters();
  if (function && IsSym(pos_, ':')) {
    ++pos_;
    TypeName();
  }
  scopes_.pop_back();
  while (IsKeyword(pos_, kw::kOf) || IsKeyword(pos_, kw::kObject) || IsKeyword(pos_, kw::kIs) ||
         IsWord(pos_, KeyOf("nested"))) {
    ++pos_;
  }
  return 0;
}

// class, record, object or interface: ancestors, then members up to `end`.
void UnitWalker::Structured(std::uint32_t id, SymbolKind kind) {
  SetKind(id, kind);
  GiveMembers(id);
  const bool helper = IsWord(pos_, word::kHelper);
  if (helper) {
    ++pos_;
    if (IsSym(pos_, '(')) {
      SkipParenthesised();
    }
    if (IsKeyword(pos_, kw::kFor)) {
      ++pos_;
      const NameKey helped = TypeName();
      // A helper's methods see its own members, then those of the type it helps.
      if (DeclaredFacts* facts = MutableFacts(id)) {
        facts->parentName = helped;
        facts->namedParent = helped != 0;
        facts->helper = true;
      }
    }
  }
  if (IsWord(pos_, KeyOf("abstract")) || IsWord(pos_, KeyOf("sealed"))) {
    ++pos_;
  }
  if (IsSym(pos_, '(')) {
    Ancestors(id);
  } else if (DeclaredFacts* facts = MutableFacts(id);
             facts != nullptr && !helper &&
             (kind == SymbolKind::Class || kind == SymbolKind::Object)) {
    facts->implicitParent = kind == SymbolKind::Class;
  }
  if (IsSym(pos_, ';')) {
    return; // `TFoo = class(TBar);`: no members of its own
  }
  if (IsSym(pos_, '[')) {
    SkipBracketed();
  }
  Scope members;
  members.kind = ScopeKind::Members;
  members.type = id;
  scopes_.push_back(std::move(members));
  const Visibility outer = visibility_;
  visibility_ = Visibility::Public;
  MemberList(false);
  visibility_ = outer;
  scopes_.pop_back();
  if (IsKeyword(pos_, kw::kEnd)) {
    ++pos_;
  }
}

void UnitWalker::Ancestors(std::uint32_t id) {
  ++pos_;
  bool first = true;
  while (!AtEnd() && !IsSym(pos_, ')') && !IsSym(pos_, ';')) {
    if (IsIdent(pos_)) {
      const NameKey name = TypeName();
      if (first) {
        if (DeclaredFacts* facts = MutableFacts(id)) {
          facts->parentName = name;
          facts->namedParent = name != 0;
        }
      }
      first = false;
      continue;
    }
    ExpressionToken();
  }
  if (IsSym(pos_, ')')) {
    ++pos_;
  }
}

// Members up to `end` (or, in a record's variant part, up to the closing `)`).
void UnitWalker::MemberList(bool variant) {
  NameKey section = kw::kVar;
  while (!AtEnd()) {
    if (IsKeyword(pos_, kw::kEnd) || (variant && IsSym(pos_, ')'))) {
      return;
    }
    if (IsVisibilityWord(pos_) && !IsSym(pos_ + 1, ':') && !IsSym(pos_ + 1, ',')) {
      section = kw::kVar;
      visibility_ = Cur().key == word::kStrict && IsWord(pos_ + 1, word::kPrivate)
                        ? Visibility::StrictPrivate
                    : Cur().key == word::kPrivate ? Visibility::Private
                    : Cur().key == word::kStrict  ? visibility_
                                                  : Visibility::Public;
      pos_ += visibility_ == Visibility::StrictPrivate && Cur().key == word::kStrict ? 2u : 1u;
    } else if (IsKeyword(pos_, kw::kClass) && IsKeyword(pos_ + 1, kw::kProperty)) {
      ++pos_;
    } else if (IsKeyword(pos_, kw::kClass) && IsKeyword(pos_ + 1, kw::kVar)) {
      section = kw::kVar;
      pos_ += 2;
    } else if (IsKeyword(pos_, kw::kType) || IsKeyword(pos_, kw::kConst) ||
               IsKeyword(pos_, kw::kVar) || IsKeyword(pos_, kw::kThreadvar)) {
      section = Cur().key;
      ++pos_;
    } else if (IsKeyword(pos_, kw::kProcedure) || IsKeyword(pos_, kw::kFunction) ||
               IsKeyword(pos_, kw::kConstructor) || IsKeyword(pos_, kw::kDestructor) ||
               IsKeyword(pos_, kw::kOperator) || IsKeyword(pos_, kw::kClass)) {
      Routine(true);
    } else if (IsKeyword(pos_, kw::kProperty)) {
      Property();
    } else if (IsKeyword(pos_, kw::kCase)) {
      Nested([this] { VariantPart(); });
    } else if (IsIdent(pos_)) {
      OneDeclaration(section == kw::kVar ? kField : section);
    } else if (StartsSection(pos_) && !IsKeyword(pos_, kw::kBegin)) {
      return;
    } else {
      ++pos_;
    }
  }
}

void UnitWalker::VariantPart() {
  ++pos_;
  if (IsIdent(pos_) && IsSym(pos_ + 1, ':')) {
    const std::uint32_t id = Declare(pos_, SymbolKind::Field);
    pos_ += 2;
    const NameKey type = TypeName();
    if (DeclaredFacts* facts = MutableFacts(id)) {
      facts->typeName = type;
    }
  } else {
    TypeName();
  }
  if (IsKeyword(pos_, kw::kOf)) {
    ++pos_;
  }
  while (!AtEnd() && !IsKeyword(pos_, kw::kEnd)) {
    if (IsSym(pos_, '(')) {
      ++pos_;
      MemberList(true);
      if (IsSym(pos_, ')')) {
        ++pos_;
      }
    } else if (IsSym(pos_, ')')) {
      return; // the end of an enclosing variant
    } else {
      ExpressionToken();
    }
  }
}

void UnitWalker::Property() {
  ++pos_;
  if (!IsIdent(pos_)) {
    return;
  }
  const std::uint32_t id = Declare(pos_, SymbolKind::Property);
  ++pos_;
  if (IsSym(pos_, '[')) {
    scopes_.push_back(Scope{});
    scopes_.back().routine = true;
    ParameterList(']');
    scopes_.pop_back();
  }
  if (IsSym(pos_, ':')) {
    ++pos_;
    const NameKey type = TypeName();
    if (DeclaredFacts* facts = MutableFacts(id)) {
      facts->typeName = type;
    }
  }
  while (!AtEnd() && !IsSym(pos_, ';') && !StartsSection(pos_)) {
    if (IsIdent(pos_) && PropertyWord(Cur().key)) {
      ++pos_;
      continue;
    }
    ExpressionToken();
  }
  if (IsSym(pos_, ';')) {
    ++pos_;
  }
  if (IsWord(pos_, word::kDefault) && IsSym(pos_ + 1, ';')) {
    if (DeclaredFacts* facts = MutableFacts(EnclosingType())) {
      facts->defaultProperty = id;
    }
    pos_ += 2;
  }
  HintDirectives();
}

bool UnitWalker::PropertyWord(NameKey key) {
  return key == word::kRead || key == word::kWrite || key == word::kStored ||
         key == word::kDefault || key == word::kNodefault || key == word::kImplements ||
         key == word::kIndex || key == KeyOf("add") || key == KeyOf("remove") ||
         key == KeyOf("dispid") || key == KeyOf("readonly") || key == KeyOf("writeonly");
}

} // namespace lexiform::xref::walker

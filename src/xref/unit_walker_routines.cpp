#include "xref/unit_walker_impl.h"

namespace lexiform::xref::walker {

SymbolKind UnitWalker::RoutineKind(NameKey k) {
  if (k == kw::kFunction) {
    return SymbolKind::Function;
  }
  if (k == kw::kConstructor) {
    return SymbolKind::Constructor;
  }
  if (k == kw::kDestructor) {
    return SymbolKind::Destructor;
  }
  if (k == kw::kOperator) {
    return SymbolKind::Operator;
  }
  return SymbolKind::Procedure;
}

// A heading, and its body where one follows. `inType`: a heading among a type's
// members, never followed by a body.
void UnitWalker::Routine(bool inType) {
  if (IsKeyword(pos_, kw::kClass)) {
    ++pos_;
  }
  if (!IsAnyKeyword(pos_)) {
    return;
  }
  const SymbolKind kind = RoutineKind(Cur().key);
  ++pos_;
  std::uint32_t ownerClass = kNone;
  std::uint32_t id = kNone;
  std::size_t plainName = kNoToken;
  if (StartsMethodBodyName(pos_) && !inType) {
    id = MethodBodyName(kind, ownerClass);
  } else if (IsIdent(pos_)) {
    id = NewSymbol(pos_, kind);
    Mark(pos_, id, true, false);
    plainName = pos_;
    ++pos_;
  } else if (!AtEnd() && !IsSym(pos_, '(')) {
    ++pos_; // an operator's symbol
  }
  if (IsSym(pos_, '<')) {
    TypeParameterNames();
  }
  const std::size_t scopeDepth = scopes_.size();
  if (ownerClass != kNone) {
    Scope members;
    members.kind = ScopeKind::Members;
    members.type = ownerClass;
    scopes_.push_back(std::move(members));
  }
  Scope routine;
  routine.routine = true;
  scopes_.push_back(std::move(routine));
  if (!IsSym(pos_, '(')) {
    HeadingParameters(id);
  }
  Parameters();
  if (IsIdent(pos_) && IsSym(pos_ + 1, ':')) {
    Declare(pos_, SymbolKind::Parameter); // an operator's named result
    ++pos_;
  }
  if (IsSym(pos_, ':')) {
    ++pos_;
    const NameKey result = TypeName();
    if (DeclaredFacts* facts = MutableFacts(id)) {
      facts->typeName = result;
    }
  }
  if (text_.objectPascalMode && (kind == SymbolKind::Function || kind == SymbolKind::Operator)) {
    scopes_.back().names.emplace(word::kResult, kNone);
  }
  const bool hasBody = RoutineDirectives(id, inType) && !inType &&
                       (section_ != Section::Interface || ownerClass != kNone);
  // See Note [overloads across units].
  if (Declaring() && overloadSeen_ && plainName != kNoToken && !inType && scopeDepth == 1 &&
      section_ != Section::Implementation && id != kNone) {
    declaring_->overloads.push_back(id);
  }
  if (plainName != kNoToken) {
    DeclareRoutineName(scopeDepth - 1, Tok(plainName).key, id, hasBody);
  }
  if (hasBody) {
    Nested([this] { RoutineBody(); });
  }
  while (scopes_.size() > scopeDepth) {
    scopes_.pop_back();
  }
}

// A body may leave its heading's parameters out (`{$mode delphi}`): they are still
// its names. A heading's parameters are the symbols declared right after it.
void UnitWalker::HeadingParameters(std::uint32_t body) {
  if (Declaring() || body == kNone || !FactsOf(body).body ||
      SymbolOf(body).counterpart == kNoSymbol) {
    return;
  }
  const auto heading = static_cast<std::uint32_t>(SymbolOf(body).counterpart);
  for (std::uint32_t id = heading + 1;
       id < site_->symbols.size() && SymbolOf(id).kind == SymbolKind::Parameter &&
       SymbolOf(id).file == SymbolOf(heading).file;
       ++id) {
    scopes_.back().names.emplace(KeyOf(SymbolOf(id).Name()), id);
  }
}

// A routine's name goes into its scope, unless it is the body of a heading there.
void UnitWalker::DeclareRoutineName(std::size_t scopeIndex, NameKey key, std::uint32_t id,
                                    bool hasBody) {
  if (id == kNone) {
    return;
  }
  if (!Declaring()) {
    if (!FactsOf(id).body) {
      AddToScope(scopeIndex, key, id);
    }
    return;
  }
  const Scope& scope = scopes_[scopeIndex];
  const auto heading = scope.names.find(key);
  if (hasBody && scope.kind == ScopeKind::Names && heading != scope.names.end() &&
      heading->second != kNone) {
    const std::uint32_t match = OpenHeading(heading->second);
    if (match != kNone) {
      LinkBody(match, id);
      return;
    }
  }
  AddToScope(scopeIndex, key, id);
}

// The first heading of that name (or an overload of it) still waiting for its body.
std::uint32_t UnitWalker::OpenHeading(std::uint32_t first) const {
  std::vector<std::uint32_t> candidates{first};
  const auto later = declaring_->duplicates.find(first);
  if (later != declaring_->duplicates.end()) {
    candidates.insert(candidates.end(), later->second.begin(), later->second.end());
  }
  for (const std::uint32_t candidate : candidates) {
    const Symbol& symbol = declaring_->symbols[candidate];
    if (IsRoutine(symbol.kind) && symbol.counterpart == kNoSymbol &&
        !declaring_->facts[candidate].body) {
      return candidate;
    }
  }
  return kNone;
}

void UnitWalker::LinkBody(std::uint32_t heading, std::uint32_t body) {
  declaring_->symbols[heading].counterpart = body;
  declaring_->symbols[body].counterpart = heading;
  declaring_->facts[body].body = true;
  declaring_->facts[body].ownerType = declaring_->facts[heading].ownerType;
  declaring_->symbols[body].DropQualifiedName();
}

// A type part of a method body's name: `TFoo.` or, of a generic type in
// `{$mode delphi}`, `TFoo<K, V>.`.
bool UnitWalker::StartsMethodBodyName(std::size_t i) const {
  return IsIdent(i) &&
         (IsSym(i + 1, '.') || (IsSym(i + 1, '<') && IsSym(AfterTypeArguments(i + 1), '.')));
}

// The token after the `>` that closes the `<` at `i`; `i` itself when none does soon.
std::size_t UnitWalker::AfterTypeArguments(std::size_t i) const {
  int depth = 0;
  for (std::size_t j = i; j < tokens_.size() && j < i + 64; ++j) {
    if (IsSym(j, '<')) {
      ++depth;
    } else if (IsSym(j, '>') && --depth == 0) {
      return j + 1;
    } else if (!IsIdent(j) && !IsSym(j, ',') && !IsSym(j, '.')) {
      return i;
    }
  }
  return i;
}

// After a type part's name: its `<K, V>` name the type's parameters.
void UnitWalker::TypeArgumentsOfBody(std::uint32_t owner) {
  const std::size_t end = AfterTypeArguments(pos_);
  for (; pos_ < end; ++pos_) {
    if (IsIdent(pos_) && owner != kNone) {
      Mark(pos_, LookupMember(owner, Cur().key).symbol, false, false);
    }
  }
}

// `TFoo.Bar` or `TOuter.TInner.Bar`: the type parts link to the types, the last part
// is the body's own name, linked to the heading in the type.
std::uint32_t UnitWalker::MethodBodyName(SymbolKind kind, std::uint32_t& ownerClass) {
  ResetChain();
  Found type = Lookup(Cur().key);
  Mark(pos_, type.symbol, false, type.uncertain);
  std::uint32_t owner = EffectiveType(type.symbol);
  ++pos_;
  TypeArgumentsOfBody(owner);
  ++pos_;
  while (StartsMethodBodyName(pos_)) {
    const Found inner = owner == kNone ? Found{} : LookupMember(owner, Cur().key);
    Mark(pos_, inner.symbol, false, false);
    owner = EffectiveType(inner.symbol);
    ++pos_;
    TypeArgumentsOfBody(owner);
    ++pos_;
  }
  ownerClass = owner;
  if (!IsIdent(pos_)) {
    return kNone;
  }
  const std::uint32_t id = NewSymbol(pos_, kind);
  if (Declaring() && owner != kNone && id != kNone) {
    const NameTable* members = MembersOf(owner);
    const auto heading =
        members == nullptr ? NameTable::const_iterator() : members->find(Cur().key);
    if (members != nullptr && heading != members->end()) {
      const std::uint32_t match = OpenHeading(heading->second);
      if (match != kNone) {
        LinkBody(match, id);
      }
    }
    declaring_->facts[id].body = true;
    declaring_->facts[id].ownerType = owner;
    declaring_->symbols[id].DropQualifiedName();
  }
  Mark(pos_, id, true, false);
  ++pos_;
  return id;
}

// `(const A, B: T = 1; var C)` or a property's `[I: Integer]`.
void UnitWalker::ParameterList(char close) {
  ++pos_;
  while (!AtEnd() && !IsSym(pos_, close)) {
    while (IsKeyword(pos_, kw::kConst) || IsKeyword(pos_, kw::kVar) ||
           ((IsWord(pos_, word::kOut) || IsWord(pos_, word::kConstref)) && IsIdent(pos_ + 1))) {
      ++pos_;
    }
    std::vector<std::uint32_t> ids;
    while (IsIdent(pos_) && (IsSym(pos_ + 1, ',') || IsSym(pos_ + 1, ':') || IsSym(pos_ + 1, ';') ||
                             IsSym(pos_ + 1, close))) {
      ids.push_back(Declare(pos_, SymbolKind::Parameter));
      ++pos_;
      if (IsSym(pos_, ',')) {
        ++pos_;
      }
    }
    if (IsSym(pos_, ':')) {
      ++pos_;
      const NameKey type = IsKeyword(pos_, kw::kArray) ? 0 : TypeName();
      for (const std::uint32_t id : ids) {
        if (DeclaredFacts* facts = MutableFacts(id)) {
          facts->typeName = type;
        }
        KeepLocalType(id, type);
      }
    }
    int depth = 0;
    while (!AtEnd() && !(depth == 0 && (IsSym(pos_, ';') || IsSym(pos_, close)))) {
      if (StartsSection(pos_) && !IsKeyword(pos_, kw::kConst) && !IsKeyword(pos_, kw::kVar)) {
        return;
      }
      depth += IsSym(pos_, '(') || IsSym(pos_, '[') ? 1 : 0;
      depth -= (IsSym(pos_, ')') || IsSym(pos_, ']')) && depth > 0 ? 1 : 0;
      ExpressionToken();
    }
    if (IsSym(pos_, ';')) {
      ++pos_;
    }
  }
  if (IsSym(pos_, close)) {
    ++pos_;
  }
}

// Directives after a heading; false when no body follows (`forward`, `external`, ...).
bool UnitWalker::RoutineDirectives(std::uint32_t id, bool inType) {
  bool body = true;
  overloadSeen_ = false;
  for (;;) {
    if (IsSym(pos_, ';')) {
      ++pos_;
    } else if (IsSym(pos_, '[')) {
      SkipBracketed();
    } else if ((IsIdent(pos_) && IsRoutineDirective(Cur().key) && !IsSym(pos_ + 1, ':') &&
                !IsSym(pos_ + 1, ',') && !(inType && IsVisibilityWord(pos_))) ||
               IsKeyword(pos_, KeyOf("inline"))) {
      const NameKey k = Cur().key;
      overloadSeen_ = overloadSeen_ || k == word::kOverload;
      if (k == word::kForward || k == word::kExternal || k == word::kAbstract) {
        body = false;
        if (DeclaredFacts* facts = MutableFacts(id); facts != nullptr && k == word::kForward) {
          facts->forward = true;
        }
      }
      while (!AtEnd() && !IsSym(pos_, ';') && !StartsSection(pos_)) {
        ++pos_;
      }
    } else {
      return body;
    }
  }
}

void UnitWalker::RoutineBody() {
  while (!AtEnd()) {
    if (IsKeyword(pos_, kw::kBegin) || IsKeyword(pos_, kw::kAsm)) {
      Block();
      if (IsSym(pos_, ';')) {
        ++pos_;
      }
      return;
    }
    if (!DeclarationPart()) {
      return;
    }
  }
}

// From `begin`, `asm` or `try` to its matching `end`.
void UnitWalker::Block() {
  const int start = depth_;
  ResetChain();
  do {
    // A block that never closed (see Note [recovering from branches]): the
    // declarations go on.
    if (StartsSection(pos_) && !IsKeyword(pos_, kw::kBegin) && !IsKeyword(pos_, kw::kEnd) &&
        !IsKeyword(pos_, kw::kAsm)) {
      depth_ = start;
      return;
    }
    Statement();
  } while (!AtEnd() && depth_ > start);
}

// Statements of an initialization or finalization part, up to the unit's `end`.
void UnitWalker::Statements() {
  const int start = depth_;
  while (!AtEnd() &&
         !(depth_ == start && (IsKeyword(pos_, kw::kEnd) || IsKeyword(pos_, kw::kFinalization)))) {
    Statement();
  }
}

// One token of statement text, keeping the block depth and the `with` scopes.
void UnitWalker::Statement() {
  const Token& token = Cur();
  if (token.kind == PasToken::Keyword) {
    const NameKey k = token.key;
    if (k == kw::kAsm) {
      while (!AtEnd() && !IsKeyword(pos_, kw::kEnd)) {
        ++pos_;
      }
      ++pos_;
      return;
    }
    if (k == kw::kBegin || k == kw::kTry || k == kw::kCase || k == kw::kRecord) {
      ++depth_;
      ++pos_;
      ResetChain();
      return;
    }
    if (k == kw::kEnd) {
      --depth_;
      ++pos_;
      ResetChain();
      EndStatementScopes();
      return;
    }
    if (k == kw::kElse || k == kw::kUntil || k == kw::kExcept || k == kw::kFinally) {
      EndStatementScopes();
    }
    if (k == kw::kWith) {
      With();
      return;
    }
  }
  if (IsWord(pos_, word::kOn) && IsIdent(pos_ + 1) && IsSym(pos_ + 2, ':')) {
    // `on E: Exception do`: E is a name of the handler's own.
    OpenStatementScope(Scope{});
    const std::uint32_t id = Declare(pos_ + 1, SymbolKind::Variable);
    pos_ += 3;
    const NameKey type = TypeName();
    if (DeclaredFacts* facts = MutableFacts(id)) {
      facts->typeName = type;
    }
    KeepLocalType(id, type);
    return;
  }
  if (IsSym(pos_, ';')) {
    EndStatementScopes();
  }
  ExpressionToken();
}

void UnitWalker::OpenStatementScope(Scope scope) {
  if (statementScopes_.empty() || statementScopes_.back().depth != depth_ ||
      statementScopes_.back().scopeCount != scopes_.size()) {
    statementScopes_.push_back(StatementScope{depth_, scopes_.size()});
  }
  scopes_.push_back(std::move(scope));
}

// A `;` (or `else`, ...) ends the `with` statements at this depth, an `end` those whose
// block it closes.
void UnitWalker::EndStatementScopes() {
  while (!statementScopes_.empty() && statementScopes_.back().depth >= depth_) {
    while (scopes_.size() > statementScopes_.back().scopeCount) {
      scopes_.pop_back();
    }
    statementScopes_.pop_back();
  }
}

// `with A, B do`: B's members first, then A's; a type that is not known hides every
// name that might be its member.
void UnitWalker::With() {
  ++pos_;
  std::vector<std::uint32_t> types;
  ResetChain();
  int depth = 0;
  while (!AtEnd() && !IsKeyword(pos_, kw::kDo) && !(depth == 0 && IsSym(pos_, ';'))) {
    if (depth == 0 && IsSym(pos_, ',')) {
      types.push_back(chainType_);
      ++pos_;
      ResetChain();
      continue;
    }
    depth += IsSym(pos_, '(') || IsSym(pos_, '[') ? 1 : 0;
    depth -= (IsSym(pos_, ')') || IsSym(pos_, ']')) && depth > 0 ? 1 : 0;
    ExpressionToken();
  }
  types.push_back(chainType_);
  if (IsKeyword(pos_, kw::kDo)) {
    ++pos_;
  }
  for (const std::uint32_t type : types) {
    Scope scope;
    scope.kind = type == kNone ? ScopeKind::Opaque : ScopeKind::With;
    scope.type = type;
    OpenStatementScope(std::move(scope));
  }
  ResetChain();
}

} // namespace lexiform::xref::walker

#include "xref/unit_walker_impl.h"

namespace lexiform::xref::walker {

void UnitWalker::Walk() {
  scopes_.push_back(Scope{});
  while (!AtEnd()) {
    TopLevelStep();
  }
}

// Note [recovering from branches]
// Every branch of conditional compilation is read, so a declaration may be cut in two
// or doubled (`{$ifdef CPU16}byte{$else}cardinal{$endif}`). Whatever does not parse
// is skipped to the next `;` or section keyword, and the walk goes on from there.
void UnitWalker::SkipToSemicolon() {
  int depth = 0;
  while (!AtEnd()) {
    if (IsSym(pos_, '(') || IsSym(pos_, '[')) {
      ++depth;
    } else if ((IsSym(pos_, ')') || IsSym(pos_, ']')) && depth > 0) {
      --depth;
    } else if (IsSym(pos_, ';') && depth == 0) {
      ++pos_;
      return;
    } else if (StartsSection(pos_) && depth == 0) {
      return;
    }
    ExpressionToken();
  }
}

void UnitWalker::TopLevelStep() {
  const Token& token = Cur();
  if (token.kind != PasToken::Keyword) {
    if (IsWord(pos_, word::kPackage) && IsIdent(pos_ + 1)) {
      ++pos_;
      UnitHeading();
      return;
    }
    ++pos_;
    return;
  }
  const NameKey k = token.key;
  if (k == kw::kUnit || k == kw::kProgram || k == kw::kLibrary) {
    ++pos_;
    UnitHeading();
  } else if (k == kw::kInterface) {
    section_ = Section::Interface;
    ++pos_;
  } else if (k == kw::kImplementation) {
    section_ = Section::Implementation;
    ++pos_;
  } else if (k == kw::kUses) {
    UsesClause();
  } else if (k == kw::kBegin) {
    Block();
  } else if (k == kw::kInitialization || k == kw::kFinalization) {
    ++pos_;
    Statements();
  } else if (!DeclarationPart()) {
    ++pos_;
  }
}

// Token j follows token i with nothing between: a dotted name is one text.
bool UnitWalker::Adjacent(std::size_t i, std::size_t j) const {
  return tokens_.FileOf(i) == tokens_.FileOf(j) &&
         tokens_.At(i).offset + tokens_.At(i).length == tokens_.At(j).offset;
}

void UnitWalker::UnitHeading() {
  if (!IsIdent(pos_)) {
    return;
  }
  const std::size_t first = pos_;
  std::string dotted = TextOf(pos_);
  while (IsSym(pos_ + 1, '.') && IsIdent(pos_ + 2) && Adjacent(pos_, pos_ + 1) &&
         Adjacent(pos_ + 1, pos_ + 2)) {
    pos_ += 2;
    dotted += "." + TextOf(pos_);
  }
  if (Declaring() && declaring_->unitSymbol == kNone) {
    const std::uint32_t id = NewSymbol(first, SymbolKind::Unit);
    Symbol& symbol = declaring_->symbols[id];
    NameSymbol(symbol, dotted, dotted);
    symbol.length = tokens_.At(pos_).offset + tokens_.At(pos_).length - symbol.offset;
    declaring_->unitSymbol = id;
    declaring_->unitName = KeyOf(dotted);
  } else if (!Declaring() && first == pos_) {
    Mark(first, site_->SymbolAt(tokens_.FileOf(first), tokens_.At(first).offset), true, false);
  }
  ++pos_;
  SkipToSemicolon();
}

void UnitWalker::UsesClause() {
  ++pos_;
  while (!AtEnd() && !IsSym(pos_, ';') && !StartsSection(pos_)) {
    if (IsIdent(pos_)) {
      UsedUnit(pos_);
      while (IsIdent(pos_) || IsSym(pos_, '.')) {
        ++pos_;
      }
      continue;
    }
    ++pos_;
  }
  if (IsSym(pos_, ';')) {
    ++pos_;
  }
}

void UnitWalker::UsedUnit(std::size_t i) {
  const FileLinkMap& links = (*text_.links)[tokens_.FileOf(i)];
  const auto found = links.uses.find(tokens_.At(i).offset);
  if (found == links.uses.end()) {
    return;
  }
  if (Declaring()) {
    declaring_->usedUnits.push_back(found->second.file);
    return;
  }
  const std::uint32_t root = found->second.file;
  if (root < site_->unitOfRoot.size() && site_->unitOfRoot[root] != kNone &&
      site_->unitOfRoot[root] != unit_) {
    visibleUnits_.emplace_back(site_->unitOfRoot[root], found->second.uncertain);
    usedAt_[site_->unitOfRoot[root]] = static_cast<std::uint32_t>(visibleUnits_.size());
  }
}

// A declaration section or routine at the current token; false when there is none.
bool UnitWalker::DeclarationPart() {
  const NameKey k = Cur().key;
  if (Cur().kind != PasToken::Keyword) {
    return false;
  }
  if (k == kw::kType || k == kw::kConst || k == kw::kVar || k == kw::kThreadvar ||
      k == kw::kResourcestring || k == kw::kLabel) {
    ++pos_;
    SectionDeclarations(k);
    return true;
  }
  if (k == kw::kProcedure || k == kw::kFunction || k == kw::kConstructor || k == kw::kDestructor ||
      k == kw::kOperator || (k == kw::kClass && IsAnyKeyword(pos_ + 1))) {
    Routine(false);
    return true;
  }
  return false;
}

void UnitWalker::SectionDeclarations(NameKey section) {
  while (!AtEnd()) {
    if (IsSym(pos_, ';')) {
      ++pos_;
    } else if (IsIdent(pos_)) {
      OneDeclaration(section);
    } else if (section == kw::kLabel && Cur().kind == PasToken::Literal) {
      ++pos_;
    } else {
      return;
    }
  }
}

void UnitWalker::OneDeclaration(NameKey section) {
  if (section == kw::kType) {
    TypeDeclaration();
  } else if (section == kw::kConst || section == kw::kResourcestring) {
    ConstDeclaration(section == kw::kConst ? SymbolKind::Constant : SymbolKind::ResourceString);
  } else if (section == kw::kLabel) {
    LabelDeclarations();
  } else if (section == kField) {
    VariableDeclaration(SymbolKind::Field);
  } else {
    VariableDeclaration(section == kw::kThreadvar ? SymbolKind::ThreadVar : SymbolKind::Variable);
  }
}

void UnitWalker::LabelDeclarations() {
  while (IsIdent(pos_) || Cur().kind == PasToken::Literal || IsSym(pos_, ',')) {
    if (IsIdent(pos_)) {
      Declare(pos_, SymbolKind::Label);
    }
    ++pos_;
  }
  SkipToSemicolon();
}

void UnitWalker::ConstDeclaration(SymbolKind kind) {
  if (!IsSym(pos_ + 1, '=') && !IsSym(pos_ + 1, ':')) {
    SkipToSemicolon();
    return;
  }
  const std::uint32_t id = Declare(pos_, kind);
  ++pos_;
  if (IsSym(pos_, ':')) {
    ++pos_;
    const NameKey type = TypeExpression(kNone, true);
    if (DeclaredFacts* facts = MutableFacts(id)) {
      facts->typeName = type;
    }
    if (IsSym(pos_, '=')) {
      TypedValue(id);
    }
  }
  SkipToSemicolon();
  HintDirectives();
}

// `= (Name: 1; Inner: (X: 2))`: the field names of a record value are the fields of
// the declared type (of its elements, for an array), and of their types inside.
void UnitWalker::TypedValue(std::uint32_t id) {
  ++pos_;
  if (Declaring() || id == kNone) {
    return;
  }
  std::vector<std::uint32_t> types;
  std::uint32_t pending = EffectiveType(FactsOf(id).typeSymbol);
  int depth = 0;
  while (!AtEnd() && !(depth == 0 && IsSym(pos_, ';')) && !StartsSection(pos_)) {
    if (IsSym(pos_, '(')) {
      types.push_back(pending != kNone ? pending : types.empty() ? kNone : types.back());
      ++depth;
    } else if (IsSym(pos_, ')')) {
      if (!types.empty()) {
        types.pop_back();
      }
      --depth;
    } else if (IsIdent(pos_) && IsSym(pos_ + 1, ':') && !types.empty() &&
               (IsSym(pos_ - 1, '(') || IsSym(pos_ - 1, ';'))) {
      const Found field = types.back() == kNone ? Found{} : LookupMember(types.back(), Cur().key);
      Mark(pos_, field.symbol, false, field.uncertain);
      pending = ValueType(field.symbol);
      pos_ += 2;
      continue;
    }
    pending = kNone;
    ExpressionToken();
  }
}

// `A, B: T = init; directives`: one or more names of one type.
void UnitWalker::VariableDeclaration(SymbolKind kind) {
  std::vector<std::uint32_t> ids;
  while (IsIdent(pos_)) {
    if (!IsSym(pos_ + 1, ',') && !IsSym(pos_ + 1, ':')) {
      SkipToSemicolon();
      return;
    }
    ids.push_back(Declare(pos_, kind));
    pos_ += IsSym(pos_ + 1, ',') ? 2u : 1u;
    if (IsSym(pos_, ':')) {
      break;
    }
  }
  if (!IsSym(pos_, ':')) {
    SkipToSemicolon();
    return;
  }
  ++pos_;
  namedType_ = kNone;
  const NameKey type = TypeExpression(ids.empty() ? kNone : ids.front(), true);
  const auto arrays = static_cast<std::uint8_t>(std::min(arrayDepth_, 255u));
  for (const std::uint32_t id : ids) {
    if (DeclaredFacts* facts = MutableFacts(id)) {
      facts->typeName = type;
      facts->arrayDepth = arrays;
    }
    KeepLocalType(id, type);
  }
  if (IsSym(pos_, '=') && ids.size() == 1) {
    TypedValue(ids.front());
  }
  SkipToSemicolon();
  HintDirectives();
}

// `platform;`, `deprecated 'why';` after a declaration: words, not names.
void UnitWalker::HintDirectives() {
  while (IsIdent(pos_) && (IsSym(pos_ + 1, ';') || Tok(pos_ + 1).kind == PasToken::Literal) &&
         (Cur().key == KeyOf("deprecated") || Cur().key == KeyOf("platform") ||
          Cur().key == KeyOf("experimental") || Cur().key == KeyOf("unimplemented"))) {
    ++pos_;
    SkipToSemicolon();
  }
}

} // namespace lexiform::xref::walker

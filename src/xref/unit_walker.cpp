#include "xref/unit_walker.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <limits>

namespace lexiform::xref {
namespace {

namespace kw {
constexpr NameKey kAsm = KeyOf("asm"), kBegin = KeyOf("begin"), kCase = KeyOf("case"),
                  kClass = KeyOf("class"), kConst = KeyOf("const"),
                  kConstructor = KeyOf("constructor"), kDestructor = KeyOf("destructor"),
                  kDispinterface = KeyOf("dispinterface"), kDo = KeyOf("do"), kElse = KeyOf("else"),
                  kEnd = KeyOf("end"), kExcept = KeyOf("except"),
                  kFinalization = KeyOf("finalization"), kFinally = KeyOf("finally"),
                  kFunction = KeyOf("function"), kImplementation = KeyOf("implementation"),
                  kInherited = KeyOf("inherited"), kInitialization = KeyOf("initialization"),
                  kInterface = KeyOf("interface"), kLabel = KeyOf("label"),
                  kLibrary = KeyOf("library"), kObject = KeyOf("object"), kOf = KeyOf("of"),
                  kOperator = KeyOf("operator"), kPacked = KeyOf("packed"),
                  kProcedure = KeyOf("procedure"), kProgram = KeyOf("program"),
                  kProperty = KeyOf("property"), kRecord = KeyOf("record"),
                  kResourcestring = KeyOf("resourcestring"), kThreadvar = KeyOf("threadvar"),
                  kTry = KeyOf("try"), kType = KeyOf("type"), kUnit = KeyOf("unit"),
                  kUntil = KeyOf("until"), kUses = KeyOf("uses"), kVar = KeyOf("var"),
                  kWith = KeyOf("with"), kArray = KeyOf("array"), kTo = KeyOf("to"),
                  kIs = KeyOf("is"), kFor = KeyOf("for");
} // namespace kw

namespace word {
constexpr NameKey kResult = KeyOf("result"), kSelf = KeyOf("self"), kGeneric = KeyOf("generic"),
                  kSpecialize = KeyOf("specialize"), kHelper = KeyOf("helper"),
                  kReference = KeyOf("reference"), kOn = KeyOf("on"), kOut = KeyOf("out"),
                  kConstref = KeyOf("constref"), kDefault = KeyOf("default"),
                  kForward = KeyOf("forward"), kOverload = KeyOf("overload"),
                  kExternal = KeyOf("external"), kAbstract = KeyOf("abstract"),
                  kStrict = KeyOf("strict"), kPrivate = KeyOf("private"),
                  kProtected = KeyOf("protected"), kPublic = KeyOf("public"),
                  kPublished = KeyOf("published"), kAutomated = KeyOf("automated"),
                  kBitpacked = KeyOf("bitpacked"), kRead = KeyOf("read"), kWrite = KeyOf("write"),
                  kStored = KeyOf("stored"), kImplements = KeyOf("implements"),
                  kIndex = KeyOf("index"), kNodefault = KeyOf("nodefault"),
                  kPackage = KeyOf("package");
} // namespace word

// Words that may follow a routine heading: what follows them up to the next `;` is
// theirs, never a name of the program's.
constexpr std::array<NameKey, 48> kRoutineDirectives = {
    KeyOf("abstract"),
    KeyOf("alias"),
    KeyOf("assembler"),
    KeyOf("cdecl"),
    KeyOf("compilerproc"),
    KeyOf("cppdecl"),
    KeyOf("deprecated"),
    KeyOf("dispid"),
    KeyOf("dynamic"),
    KeyOf("experimental"),
    KeyOf("export"),
    KeyOf("external"),
    KeyOf("far"),
    KeyOf("far16"),
    KeyOf("final"),
    KeyOf("forward"),
    KeyOf("hardfloat"),
    KeyOf("inline"),
    KeyOf("internconst"),
    KeyOf("internproc"),
    KeyOf("interrupt"),
    KeyOf("iocheck"),
    KeyOf("local"),
    KeyOf("message"),
    KeyOf("ms_abi_default"),
    KeyOf("mwpascal"),
    KeyOf("near"),
    KeyOf("noinline"),
    KeyOf("noreturn"),
    KeyOf("nostackframe"),
    KeyOf("oldfpccall"),
    KeyOf("overload"),
    KeyOf("override"),
    KeyOf("pascal"),
    KeyOf("platform"),
    KeyOf("public"),
    KeyOf("register"),
    KeyOf("reintroduce"),
    KeyOf("rtlproc"),
    KeyOf("safecall"),
    KeyOf("saveregisters"),
    KeyOf("softfloat"),
    KeyOf("static"),
    KeyOf("stdcall"),
    KeyOf("syscall"),
    KeyOf("varargs"),
    KeyOf("virtual"),
    KeyOf("winapi"),
};

// A member section's name for OneDeclaration: fields are variables of a type.
constexpr NameKey kField = KeyOf(" field");

bool IsRoutineDirective(NameKey key) {
  return std::find(kRoutineDirectives.begin(), kRoutineDirectives.end(), key) !=
         kRoutineDirectives.end();
}

bool IsStructured(SymbolKind kind) {
  return kind == SymbolKind::Class || kind == SymbolKind::Record || kind == SymbolKind::Object ||
         kind == SymbolKind::Interface;
}

bool IsRoutine(SymbolKind kind) {
  return kind == SymbolKind::Procedure || kind == SymbolKind::Function ||
         kind == SymbolKind::Constructor || kind == SymbolKind::Destructor ||
         kind == SymbolKind::Operator;
}

bool IsTypeKind(SymbolKind kind) {
  return IsStructured(kind) || kind == SymbolKind::Type || kind == SymbolKind::Enumeration ||
         kind == SymbolKind::TypeParameter;
}

constexpr std::size_t kNoToken = static_cast<std::size_t>(-1);

enum class ScopeKind : std::uint8_t { Names, Members, With, Opaque };

struct Scope {
  ScopeKind kind = ScopeKind::Names;
  NameTable names;
  std::uint32_t type = kNone; // Members, With: the type whose members are searched
  bool routine = false;       // a routine's own scope: names declared here are local
};

// A `with` or `on E:` scope that ends with the statement it governs.
struct StatementScope {
  int depth = 0;
  std::size_t scopeCount = 0;
};

enum class Section : std::uint8_t { None, Interface, Implementation };

enum class Visibility : std::uint8_t { Public, Private, StrictPrivate };

struct Found {
  std::uint32_t symbol = kNone;
  bool uncertain = false;
};

// Note [symbols by token]
// The symbol a unit declares at each token. A unit reads each file once (see Note [one
// reading per unit]), so a token stands for one place of one file, and the walk makes
// symbols in the order of its tokens but where it reads a stretch again: new ones are
// appended, in order, and found by a binary search; the few made out of order go to a
// map. A map of every place missed the cache at nearly every symbol of a large unit.
class DeclaredAt {
public:
  // The symbol at token `token`, made `symbol` when none was; and whether it was added.
  std::pair<std::uint32_t, bool> Insert(std::uint32_t token, std::uint32_t symbol) {
    if (inOrder_.empty() || token > inOrder_.back().first) {
      inOrder_.emplace_back(token, symbol);
      return {symbol, true};
    }
    const auto found = std::lower_bound(inOrder_.begin(), inOrder_.end(), token,
                                        [](const std::pair<std::uint32_t, std::uint32_t>& entry,
                                           std::uint32_t at) { return entry.first < at; });
    if (found->first == token) {
      return {found->second, false};
    }
    return outOfOrder_.Insert(token, symbol);
  }

private:
  std::vector<std::pair<std::uint32_t, std::uint32_t>> inOrder_; // (token, symbol)
  OffsetMap outOfOrder_;
};

class UnitWalker {
public:
  UnitWalker(const UnitText& text, UnitDeclarations* declaring, const SiteDeclarations* site,
             std::uint32_t unit)
      : text_(text), tokens_(*text.tokens), declaring_(declaring), site_(site), unit_(unit),
        usedAt_(site != nullptr ? site->units.size() : 0) {}

  void Walk() {
    scopes_.push_back(Scope{});
    while (!AtEnd()) {
      TopLevelStep();
    }
  }

  std::vector<MarkedName> TakeMarks() { return std::move(marks_); }

private:
  // --- Tokens ------------------------------------------------------------------------

  bool AtEnd() const { return pos_ >= tokens_.size(); }
  const Token& Tok(std::size_t i) const {
    static const Token kEnd{0, 0, 0, PasToken::Symbol, ';', 0};
    return i < tokens_.size() ? tokens_.At(i) : kEnd;
  }
  const Token& Cur() const { return Tok(pos_); }
  bool IsKeyword(std::size_t i, NameKey key) const {
    return Tok(i).kind == PasToken::Keyword && Tok(i).key == key;
  }
  bool IsWord(std::size_t i, NameKey key) const {
    return Tok(i).kind == PasToken::Identifier && Tok(i).key == key;
  }
  bool IsIdent(std::size_t i) const {
    return i < tokens_.size() && Tok(i).kind == PasToken::Identifier;
  }
  bool IsSym(std::size_t i, char c) const {
    return i < tokens_.size() && Tok(i).kind == PasToken::Symbol && Tok(i).symbol == c;
  }
  bool IsAnyKeyword(std::size_t i) const {
    return i < tokens_.size() && Tok(i).kind == PasToken::Keyword;
  }

  std::string TextOf(std::size_t i) const {
    const auto found = text_.texts->find(tokens_.FileOf(i));
    if (found == text_.texts->end()) {
      return std::string();
    }
    return found->second.substr(tokens_.At(i).offset, tokens_.At(i).length);
  }

  // Keywords that start a section or end one: a declaration that lost its way stops
  // at them. See Note [recovering from branches].
  bool StartsSection(std::size_t i) const {
    if (!IsAnyKeyword(i)) {
      return false;
    }
    const NameKey k = Tok(i).key;
    return k == kw::kType || k == kw::kConst || k == kw::kVar || k == kw::kThreadvar ||
           k == kw::kResourcestring || k == kw::kLabel || k == kw::kProcedure ||
           k == kw::kFunction || k == kw::kConstructor || k == kw::kDestructor || k == kw::kBegin ||
           k == kw::kImplementation || k == kw::kInterface || k == kw::kInitialization ||
           k == kw::kFinalization || k == kw::kEnd || k == kw::kUses || k == kw::kProperty ||
           k == kw::kAsm;
  }

  // Note [recovering from branches]
  // Every branch of conditional compilation is read, so a declaration may be cut in two
  // or doubled (`{$ifdef CPU16}byte{$else}cardinal{$endif}`). Whatever does not parse
  // is skipped to the next `;` or section keyword, and the walk goes on from there.
  void SkipToSemicolon() {
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

  // --- Symbols and tables ----------------------------------------------------------

  bool Declaring() const { return declaring_ != nullptr; }

  const Symbol& SymbolOf(std::uint32_t id) const {
    return Declaring() ? declaring_->symbols[id] : site_->symbols[id];
  }
  const SymbolFacts& FactsOf(std::uint32_t id) const {
    return Declaring() ? declaring_->facts[id] : site_->facts[id];
  }
  DeclaredFacts* MutableFacts(std::uint32_t id) {
    return Declaring() && id != kNone ? &declaring_->facts[id] : nullptr;
  }
  const NameTable* MembersOf(std::uint32_t type) const {
    if (type == kNone) {
      return nullptr;
    }
    const std::uint32_t table = FactsOf(type).members;
    if (table == kNone) {
      return nullptr;
    }
    return Declaring() ? &declaring_->memberTables[table] : &site_->memberTables[table];
  }

  void Mark(std::size_t i, std::uint32_t symbol, bool declaration, bool uncertain) {
    if (Declaring() || symbol == kNone || !tokens_.MarkedAt(i) ||
        tokens_.At(i).length > Occurrence::kMaxLength) {
      return;
    }
    const Token& token = tokens_.At(i);
    marks_.push_back(MarkedName{
        tokens_.FileOf(i),
        Occurrence(token.offset, token.length, symbol, declaration,
                   !declaration && (uncertain || FactsOf(symbol).chosenFile), token.line)});
  }

  // The innermost type being declared or whose method is being walked.
  std::uint32_t EnclosingType() const {
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

  bool AtUnitLevel() const { return scopes_.size() == 1; }

  std::string QualifiedName(std::size_t i) const {
    const Scope& scope = scopes_.back();
    if (scope.kind == ScopeKind::Members && scope.type != kNone) {
      const std::string_view owner = SymbolOf(scope.type).QualifiedName();
      return owner.empty() ? std::string() : std::string(owner) + "." + TextOf(i);
    }
    return AtUnitLevel() ? TextOf(i) : std::string();
  }

  void NameSymbol(Symbol& symbol, std::string_view name, std::string_view qualifiedName) {
    KeepNames(declaring_->names, symbol, name, qualifiedName);
  }

  // The symbol of the name at token i: made when declaring, looked up when binding.
  std::uint32_t NewSymbol(std::size_t i, SymbolKind kind) {
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

  void SetKind(std::uint32_t id, SymbolKind kind) {
    if (Declaring() && id != kNone) {
      declaring_->symbols[id].kind = kind;
    }
  }

  // Adds a name to a table; a second declaration of a name in one table stays listed
  // with the first, unless it completes a forward one.
  void AddToTable(NameTable& table, NameKey key, std::uint32_t id) {
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
  std::uint32_t Declare(std::size_t i, SymbolKind kind) {
    const std::uint32_t id = NewSymbol(i, kind);
    Mark(i, id, true, false);
    AddToScope(scopes_.size() - 1, Tok(i).key, id);
    return id;
  }

  // A name known only through its type (`TColor.Green`): its type's table takes it.
  std::uint32_t DeclareMember(std::size_t i, SymbolKind kind) {
    const std::uint32_t id = NewSymbol(i, kind);
    Mark(i, id, true, false);
    return id;
  }

  bool ScopedEnumsAt(std::size_t i) const {
    const auto& switches = text_.scopedEnums;
    const auto after = std::upper_bound(
        switches.begin(), switches.end(), i,
        [](std::size_t index, const std::pair<std::size_t, bool>& s) { return index < s.first; });
    return after != switches.begin() && std::prev(after)->second;
  }

  void AddToScope(std::size_t scopeIndex, NameKey key, std::uint32_t id) {
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

  void GiveMembers(std::uint32_t type) {
    if (Declaring() && type != kNone && declaring_->facts[type].members == kNone) {
      declaring_->facts[type].members = static_cast<std::uint32_t>(declaring_->memberTables.size());
      declaring_->memberTables.emplace_back();
    }
  }

  // --- Lookup ------------------------------------------------------------------------

  // A forward declaration stands for its full declaration; an alias for what it names.
  std::uint32_t Completed(std::uint32_t id) const {
    if (id != kNone && FactsOf(id).forward && SymbolOf(id).counterpart != kNoSymbol) {
      return static_cast<std::uint32_t>(SymbolOf(id).counterpart);
    }
    return id;
  }

  std::uint32_t EffectiveType(std::uint32_t id) const {
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
  void KeepLocalType(std::uint32_t id, NameKey type) {
    if (Declaring() || id == kNone || type == 0 || namedType_ == kNone || AtUnitLevel() ||
        KeyOf(SymbolOf(namedType_).Name()) != type || !IsTypeKind(SymbolOf(namedType_).kind)) {
      return;
    }
    localTypes_[id] = namedType_;
  }

  // How many indexes a value of symbol `id` takes before it is of its ValueType: the
  // arrays of its declaration and of the aliases it goes through.
  unsigned ArrayDepth(std::uint32_t id) const {
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
  std::uint32_t ValueType(std::uint32_t id) const {
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
  bool VisibleHere(std::uint32_t member, std::uint32_t type) const {
    const SymbolFacts& facts = FactsOf(member);
    if (facts.classPrivate) {
      return EnclosingMethodClass() == type;
    }
    return !facts.unitPrivate || facts.unit == text_.root;
  }

  // The helper of `type` that the compiler uses here: of those in scope, the one of the
  // unit itself, else of the unit named last in the uses clauses, else of an implicit
  // unit; the last declared among those of one unit.
  std::uint32_t ActiveHelper(std::uint32_t type) const {
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
  Found OwnMember(std::uint32_t type, NameKey key) const {
    if (const NameTable* table = MembersOf(type)) {
      const auto found = table->find(key);
      if (found != table->end() && VisibleHere(found->second, type)) {
        return Found{Completed(found->second), false};
      }
    }
    return Found{};
  }

  // Class and record helpers come before the members of the type they help.
  Found LookupMember(std::uint32_t type, NameKey key, bool* unknownAncestry = nullptr) const {
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

  // The units the compiler uses without their being named, the one that wins first.
  std::array<std::uint32_t, 2> ImplicitUnits() const {
    return {text_.objectPascalMode ? site_->objpasUnit : kNone, site_->systemUnit};
  }

  // 1 + the last place of `unit` among the units used, 0 when it is not used.
  std::uint32_t PlaceOfUse(std::uint32_t unit) const {
    return unit < usedAt_.size() ? usedAt_[unit] : 0;
  }

  Found LookupInUnits(NameKey key) const {
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

  Found Lookup(NameKey key) const {
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

  // --- Expressions -------------------------------------------------------------------

  void ResetChain() {
    chainType_ = kNone;
    chainDepth_ = 0;
    chainUnit_ = kNone;
    lastSymbol_ = kNone;
  }

  void ChainFrom(std::uint32_t symbol) {
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
  Found LookupInUnit(std::uint32_t root, NameKey key) const {
    if (Declaring() || root >= site_->unitOfRoot.size() || site_->unitOfRoot[root] == kNone) {
      return Found{};
    }
    const NameTable& names = site_->units[site_->unitOfRoot[root]].interfaceNames;
    const auto found = names.find(key);
    return found == names.end() ? Found{} : Found{Completed(found->second), false};
  }

  // `My.Utils.Name`: a unit's name, dotted or not, before a dot.
  bool UnitPrefix() {
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

  std::vector<std::uint32_t> UnitsNamed() const {
    std::vector<std::uint32_t> units;
    units.push_back(unit_);
    for (const auto& used : visibleUnits_) {
      units.push_back(used.first);
    }
    return units;
  }

  // One token of an expression or statement: binds names and follows `A.B.C` chains.
  void ExpressionToken() {
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

  std::uint32_t EnclosingMethodClass() const {
    for (auto scope = scopes_.rbegin(); scope != scopes_.rend(); ++scope) {
      if (scope->kind == ScopeKind::Members) {
        return scope->type;
      }
    }
    return kNone;
  }

  void BindIdentifier() {
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

  bool HasLocal(NameKey key) const {
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

  // --- Top level ---------------------------------------------------------------------

  void TopLevelStep() {
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
  bool Adjacent(std::size_t i, std::size_t j) const {
    return tokens_.FileOf(i) == tokens_.FileOf(j) &&
           tokens_.At(i).offset + tokens_.At(i).length == tokens_.At(j).offset;
  }

  void UnitHeading() {
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

  void UsesClause() {
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

  void UsedUnit(std::size_t i) {
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
  bool DeclarationPart() {
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
    if (k == kw::kProcedure || k == kw::kFunction || k == kw::kConstructor ||
        k == kw::kDestructor || k == kw::kOperator || (k == kw::kClass && IsAnyKeyword(pos_ + 1))) {
      Routine(false);
      return true;
    }
    return false;
  }

  void SectionDeclarations(NameKey section) {
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

  void OneDeclaration(NameKey section) {
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

  void LabelDeclarations() {
    while (IsIdent(pos_) || Cur().kind == PasToken::Literal || IsSym(pos_, ',')) {
      if (IsIdent(pos_)) {
        Declare(pos_, SymbolKind::Label);
      }
      ++pos_;
    }
    SkipToSemicolon();
  }

  void ConstDeclaration(SymbolKind kind) {
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
  void TypedValue(std::uint32_t id) {
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
  void VariableDeclaration(SymbolKind kind) {
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
  void HintDirectives() {
    while (IsIdent(pos_) && (IsSym(pos_ + 1, ';') || Tok(pos_ + 1).kind == PasToken::Literal) &&
           (Cur().key == KeyOf("deprecated") || Cur().key == KeyOf("platform") ||
            Cur().key == KeyOf("experimental") || Cur().key == KeyOf("unimplemented"))) {
      ++pos_;
      SkipToSemicolon();
    }
  }

  // --- Types -------------------------------------------------------------------------

  void TypeDeclaration() {
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

  std::vector<std::size_t> TypeParameterNames() {
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
  NameKey TypeExpression(std::uint32_t id, bool stopAtEquals) {
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
  NameKey TypeName() {
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
  NameKey TypeTail(bool stopAtEquals) {
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

  void Enumeration(std::uint32_t id) {
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

  NameKey ProceduralType() {
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
  void Structured(std::uint32_t id, SymbolKind kind) {
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

  void Ancestors(std::uint32_t id) {
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

  void SkipParenthesised() {
    int depth = 0;
    do {
      depth += IsSym(pos_, '(') ? 1 : IsSym(pos_, ')') ? -1 : 0;
      ExpressionToken();
    } while (!AtEnd() && depth > 0);
  }

  void SkipBracketed() {
    while (!AtEnd() && !IsSym(pos_, ']')) {
      ++pos_;
    }
    ++pos_;
  }

  bool IsVisibilityWord(std::size_t i) const {
    const NameKey k = Tok(i).key;
    return IsIdent(i) && (k == word::kPrivate || k == word::kProtected || k == word::kPublic ||
                          k == word::kPublished || k == word::kAutomated || k == word::kStrict);
  }

  // Members up to `end` (or, in a record's variant part, up to the closing `)`).
  void MemberList(bool variant) {
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

  void VariantPart() {
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

  void Property() {
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

  static bool PropertyWord(NameKey key) {
    return key == word::kRead || key == word::kWrite || key == word::kStored ||
           key == word::kDefault || key == word::kNodefault || key == word::kImplements ||
           key == word::kIndex || key == KeyOf("add") || key == KeyOf("remove") ||
           key == KeyOf("dispid") || key == KeyOf("readonly") || key == KeyOf("writeonly");
  }

  // --- Routines ----------------------------------------------------------------------

  static SymbolKind RoutineKind(NameKey k) {
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
  void Routine(bool inType) {
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
  void HeadingParameters(std::uint32_t body) {
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
  void DeclareRoutineName(std::size_t scopeIndex, NameKey key, std::uint32_t id, bool hasBody) {
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
  std::uint32_t OpenHeading(std::uint32_t first) const {
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

  void LinkBody(std::uint32_t heading, std::uint32_t body) {
    declaring_->symbols[heading].counterpart = body;
    declaring_->symbols[body].counterpart = heading;
    declaring_->facts[body].body = true;
    declaring_->facts[body].ownerType = declaring_->facts[heading].ownerType;
    declaring_->symbols[body].DropQualifiedName();
  }

  // A type part of a method body's name: `TFoo.` or, of a generic type in
  // `{$mode delphi}`, `TFoo<K, V>.`.
  bool StartsMethodBodyName(std::size_t i) const {
    return IsIdent(i) &&
           (IsSym(i + 1, '.') || (IsSym(i + 1, '<') && IsSym(AfterTypeArguments(i + 1), '.')));
  }

  // The token after the `>` that closes the `<` at `i`; `i` itself when none does soon.
  std::size_t AfterTypeArguments(std::size_t i) const {
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
  void TypeArgumentsOfBody(std::uint32_t owner) {
    const std::size_t end = AfterTypeArguments(pos_);
    for (; pos_ < end; ++pos_) {
      if (IsIdent(pos_) && owner != kNone) {
        Mark(pos_, LookupMember(owner, Cur().key).symbol, false, false);
      }
    }
  }

  // `TFoo.Bar` or `TOuter.TInner.Bar`: the type parts link to the types, the last part
  // is the body's own name, linked to the heading in the type.
  std::uint32_t MethodBodyName(SymbolKind kind, std::uint32_t& ownerClass) {
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

  void Parameters() {
    if (IsSym(pos_, '(')) {
      ParameterList(')');
    }
  }

  // `(const A, B: T = 1; var C)` or a property's `[I: Integer]`.
  void ParameterList(char close) {
    ++pos_;
    while (!AtEnd() && !IsSym(pos_, close)) {
      while (IsKeyword(pos_, kw::kConst) || IsKeyword(pos_, kw::kVar) ||
             ((IsWord(pos_, word::kOut) || IsWord(pos_, word::kConstref)) && IsIdent(pos_ + 1))) {
        ++pos_;
      }
      std::vector<std::uint32_t> ids;
      while (IsIdent(pos_) && (IsSym(pos_ + 1, ',') || IsSym(pos_ + 1, ':') ||
                               IsSym(pos_ + 1, ';') || IsSym(pos_ + 1, close))) {
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
  bool RoutineDirectives(std::uint32_t id, bool inType) {
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

  // Routines in routines and types in types are each a level of this walker's own
  // calls: text nested deeper than any program nests is read no further, so that no
  // text can exhaust a worker's stack.
  template <typename Read> void Nested(const Read& read) {
    static constexpr int kDeepest = 32;
    if (nesting_ >= kDeepest) {
      pos_ = tokens_.size();
      return;
    }
    ++nesting_;
    read();
    --nesting_;
  }

  void RoutineBody() {
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

  // --- Statements --------------------------------------------------------------------

  // From `begin`, `asm` or `try` to its matching `end`.
  void Block() {
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
  void Statements() {
    const int start = depth_;
    while (!AtEnd() && !(depth_ == start &&
                         (IsKeyword(pos_, kw::kEnd) || IsKeyword(pos_, kw::kFinalization)))) {
      Statement();
    }
  }

  // One token of statement text, keeping the block depth and the `with` scopes.
  void Statement() {
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

  void OpenStatementScope(Scope scope) {
    if (statementScopes_.empty() || statementScopes_.back().depth != depth_ ||
        statementScopes_.back().scopeCount != scopes_.size()) {
      statementScopes_.push_back(StatementScope{depth_, scopes_.size()});
    }
    scopes_.push_back(std::move(scope));
  }

  // A `;` (or `else`, ...) ends the `with` statements at this depth, an `end` those whose
  // block it closes.
  void EndStatementScopes() {
    while (!statementScopes_.empty() && statementScopes_.back().depth >= depth_) {
      while (scopes_.size() > statementScopes_.back().scopeCount) {
        scopes_.pop_back();
      }
      statementScopes_.pop_back();
    }
  }

  // `with A, B do`: B's members first, then A's; a type that is not known hides every
  // name that might be its member.
  void With() {
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

  const UnitText& text_;
  const UnitTokens& tokens_;
  UnitDeclarations* declaring_;
  const SiteDeclarations* site_;
  std::uint32_t unit_;
  std::size_t pos_ = 0;
  Section section_ = Section::None;
  std::vector<Scope> scopes_;
  std::vector<StatementScope> statementScopes_;
  std::vector<std::pair<std::uint32_t, bool>> visibleUnits_; // unit index, uncertain
  // By unit: 1 + its last place in visibleUnits_, 0 for a unit not used; looked up for
  // every unit that exports a name, so an array rather than a map.
  std::vector<std::uint32_t> usedAt_;
  // What a bracket's closing gives the chain: a call's result, an array's element.
  struct Bracket {
    std::uint32_t type = kNone;
    unsigned depth = 0;
    bool index = false; // `[`
  };
  std::vector<Bracket> brackets_;
  std::uint32_t chainType_ = kNone;
  unsigned chainDepth_ = 0;         // indexes chainType_'s values take first (arrays)
  unsigned arrayDepth_ = 0;         // of the type TypeExpression read last
  bool overloadSeen_ = false;       // among the directives RoutineDirectives read last
  std::uint32_t chainUnit_ = kNone; // root file of a unit named before a dot
  std::uint32_t lastSymbol_ = kNone;
  std::uint32_t namedType_ = kNone;            // what the last TypeName named, when binding
  Visibility visibility_ = Visibility::Public; // of the members being declared
  // Note [types where declared]
  // A routine's locals and parameters get their types bound where they are declared,
  // with the routine's scopes around them (`Inner: TOuter.TInner` names a nested type
  // that the unit-level resolution of declared types cannot see).
  std::unordered_map<std::uint32_t, std::uint32_t> localTypes_;
  int depth_ = 0;
  int nesting_ = 0; // routines and types being read inside others, see Nested
  std::vector<MarkedName> marks_;
  DeclaredAt declaredAt_; // when declaring
};

} // namespace

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

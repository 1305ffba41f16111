#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "xref/unit_walker.h"

// The unit walker's keyword tables, scopes and class, shared by the files that define its
// members and private to them.
namespace lexiform::xref::walker {

namespace kw {
inline constexpr NameKey kAsm = KeyOf("asm"), kBegin = KeyOf("begin"), kCase = KeyOf("case"),
                         kClass = KeyOf("class"), kConst = KeyOf("const"),
                         kConstructor = KeyOf("constructor"), kDestructor = KeyOf("destructor"),
                         kDispinterface = KeyOf("dispinterface"), kDo = KeyOf("do"),
                         kElse = KeyOf("else"), kEnd = KeyOf("end"), kExcept = KeyOf("except"),
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
inline constexpr NameKey kResult = KeyOf("result"), kSelf = KeyOf("self"),
                         kGeneric = KeyOf("generic"), kSpecialize = KeyOf("specialize"),
                         kHelper = KeyOf("helper"), kReference = KeyOf("reference"),
                         kOn = KeyOf("on"), kOut = KeyOf("out"), kConstref = KeyOf("constref"),
                         kDefault = KeyOf("default"), kForward = KeyOf("forward"),
                         kOverload = KeyOf("overload"), kExternal = KeyOf("external"),
                         kAbstract = KeyOf("abstract"), kStrict = KeyOf("strict"),
                         kPrivate = KeyOf("private"), kProtected = KeyOf("protected"),
                         kPublic = KeyOf("public"), kPublished = KeyOf("published"),
                         kAutomated = KeyOf("automated"), kBitpacked = KeyOf("bitpacked"),
                         kRead = KeyOf("read"), kWrite = KeyOf("write"), kStored = KeyOf("stored"),
                         kImplements = KeyOf("implements"), kIndex = KeyOf("index"),
                         kNodefault = KeyOf("nodefault"), kPackage = KeyOf("package");
} // namespace word

// Words that may follow a routine heading: what follows them up to the next `;` is
// theirs, never a name of the program's.
inline constexpr std::array<NameKey, 48> kRoutineDirectives = {
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
inline constexpr NameKey kField = KeyOf(" field");

inline bool IsRoutineDirective(NameKey key) {
  return std::find(kRoutineDirectives.begin(), kRoutineDirectives.end(), key) !=
         kRoutineDirectives.end();
}

inline bool IsStructured(SymbolKind kind) {
  return kind == SymbolKind::Class || kind == SymbolKind::Record || kind == SymbolKind::Object ||
         kind == SymbolKind::Interface;
}

inline bool IsRoutine(SymbolKind kind) {
  return kind == SymbolKind::Procedure || kind == SymbolKind::Function ||
         kind == SymbolKind::Constructor || kind == SymbolKind::Destructor ||
         kind == SymbolKind::Operator;
}

inline bool IsTypeKind(SymbolKind kind) {
  return IsStructured(kind) || kind == SymbolKind::Type || kind == SymbolKind::Enumeration ||
         kind == SymbolKind::TypeParameter;
}

inline constexpr std::size_t kNoToken = static_cast<std::size_t>(-1);

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

  void Walk();

  std::vector<MarkedName> TakeMarks() { return std::move(marks_); }

private:
  // Tokens.

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

  void SkipToSemicolon();

  // Symbols and tables (unit_walker.cpp).

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

  std::uint32_t EnclosingType() const;

  bool AtUnitLevel() const { return scopes_.size() == 1; }

  std::string QualifiedName(std::size_t i) const;

  void NameSymbol(Symbol& symbol, std::string_view name, std::string_view qualifiedName) {
    KeepNames(declaring_->names, symbol, name, qualifiedName);
  }

  std::uint32_t NewSymbol(std::size_t i, SymbolKind kind);

  void SetKind(std::uint32_t id, SymbolKind kind) {
    if (Declaring() && id != kNone) {
      declaring_->symbols[id].kind = kind;
    }
  }

  void AddToTable(NameTable& table, NameKey key, std::uint32_t id);
  std::uint32_t Declare(std::size_t i, SymbolKind kind);
  std::uint32_t DeclareMember(std::size_t i, SymbolKind kind);
  bool ScopedEnumsAt(std::size_t i) const;
  void AddToScope(std::size_t scopeIndex, NameKey key, std::uint32_t id);
  void GiveMembers(std::uint32_t type);

  // Lookup (unit_walker_names.cpp).

  // A forward declaration stands for its full declaration; an alias for what it names.
  std::uint32_t Completed(std::uint32_t id) const {
    if (id != kNone && FactsOf(id).forward && SymbolOf(id).counterpart != kNoSymbol) {
      return static_cast<std::uint32_t>(SymbolOf(id).counterpart);
    }
    return id;
  }

  std::uint32_t EffectiveType(std::uint32_t id) const;
  void KeepLocalType(std::uint32_t id, NameKey type);
  unsigned ArrayDepth(std::uint32_t id) const;
  std::uint32_t ValueType(std::uint32_t id) const;
  bool VisibleHere(std::uint32_t member, std::uint32_t type) const;
  std::uint32_t ActiveHelper(std::uint32_t type) const;
  Found OwnMember(std::uint32_t type, NameKey key) const;
  Found LookupMember(std::uint32_t type, NameKey key, bool* unknownAncestry = nullptr) const;

  // The units the compiler uses without their being named, the one that wins first.
  std::array<std::uint32_t, 2> ImplicitUnits() const {
    return {text_.objectPascalMode ? site_->objpasUnit : kNone, site_->systemUnit};
  }

  // 1 + the last place of `unit` among the units used, 0 when it is not used.
  std::uint32_t PlaceOfUse(std::uint32_t unit) const {
    return unit < usedAt_.size() ? usedAt_[unit] : 0;
  }

  Found LookupInUnits(NameKey key) const;
  Found Lookup(NameKey key) const;

  // Expressions (unit_walker_names.cpp).

  void ResetChain() {
    chainType_ = kNone;
    chainDepth_ = 0;
    chainUnit_ = kNone;
    lastSymbol_ = kNone;
  }

  void ChainFrom(std::uint32_t symbol);
  Found LookupInUnit(std::uint32_t root, NameKey key) const;
  bool UnitPrefix();
  std::vector<std::uint32_t> UnitsNamed() const;
  void ExpressionToken();
  std::uint32_t EnclosingMethodClass() const;
  void BindIdentifier();
  bool HasLocal(NameKey key) const;

  // The top level, sections and their declarations (unit_walker_sections.cpp).

  void TopLevelStep();
  bool Adjacent(std::size_t i, std::size_t j) const;
  void UnitHeading();
  void UsesClause();
  void UsedUnit(std::size_t i);
  bool DeclarationPart();
  void SectionDeclarations(NameKey section);
  void OneDeclaration(NameKey section);
  void LabelDeclarations();
  void ConstDeclaration(SymbolKind kind);
  void TypedValue(std::uint32_t id);
  void VariableDeclaration(SymbolKind kind);
  void HintDirectives();

  // Types (unit_walker_types.cpp).

  void TypeDeclaration();
  std::vector<std::size_t> TypeParameterNames();
  NameKey TypeExpression(std::uint32_t id, bool stopAtEquals);
  NameKey TypeName();
  NameKey TypeTail(bool stopAtEquals);
  void Enumeration(std::uint32_t id);
  NameKey ProceduralType();
  void Structured(std::uint32_t id, SymbolKind kind);
  void Ancestors(std::uint32_t id);

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

  void MemberList(bool variant);
  void VariantPart();
  void Property();
  static bool PropertyWord(NameKey key);

  // Routines (unit_walker_routines.cpp).

  static SymbolKind RoutineKind(NameKey k);
  void Routine(bool inType);
  void HeadingParameters(std::uint32_t body);
  void DeclareRoutineName(std::size_t scopeIndex, NameKey key, std::uint32_t id, bool hasBody);
  std::uint32_t OpenHeading(std::uint32_t first) const;
  void LinkBody(std::uint32_t heading, std::uint32_t body);
  bool StartsMethodBodyName(std::size_t i) const;
  std::size_t AfterTypeArguments(std::size_t i) const;
  void TypeArgumentsOfBody(std::uint32_t owner);
  std::uint32_t MethodBodyName(SymbolKind kind, std::uint32_t& ownerClass);

  void Parameters() {
    if (IsSym(pos_, '(')) {
      ParameterList(')');
    }
  }

  void ParameterList(char close);
  bool RoutineDirectives(std::uint32_t id, bool inType);

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

  void RoutineBody();

  // Statements (unit_walker_routines.cpp).

  void Block();
  void Statements();
  void Statement();
  void OpenStatementScope(Scope scope);
  void EndStatementScopes();
  void With();

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

} // namespace lexiform::xref::walker

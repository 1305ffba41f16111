#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "xref/file_links.h"
#include "xref/string_pool.h"

// Declarations and the names that refer to them, over every file of a site: which
// name in which file stands for which declaration, bound as the compiler binds names
// as far as that can be known without compiling. Pure text work: no file system, no
// markup.
namespace lexiform::xref {

enum class SymbolKind : std::uint8_t {
  Unit,
  Type,
  Class,
  Record,
  Object,
  Interface,
  Enumeration,
  EnumValue,
  TypeParameter,
  Constant,
  ResourceString,
  Variable,
  ThreadVar,
  Field,
  Property,
  Procedure,
  Function,
  Constructor,
  Destructor,
  Operator,
  Parameter,
  Label,
};

// The kind as a reader says it: "class", "function", "enumeration value", ...
std::string_view SymbolKindName(SymbolKind kind);

inline constexpr std::uint32_t kNoSymbol = 0xFFFFFFFFu;

// A view of a part of one array that holds many such parts.
template <typename T> class ArrayPart {
public:
  ArrayPart() = default;
  ArrayPart(const T* first, const T* last) : first_(first), last_(last) {}
  // Any vector is such a part.
  ArrayPart(const std::vector<T>& items)
      : first_(items.data()), last_(items.data() + items.size()) {}

  const T* begin() const { return first_; }
  const T* end() const { return last_; }
  std::size_t size() const { return static_cast<std::size_t>(last_ - first_); }
  bool empty() const { return first_ == last_; }
  const T& operator[](std::size_t i) const { return first_[i]; }

private:
  const T* first_ = nullptr;
  const T* last_ = nullptr;
};

// A name that a declaration introduces.
struct Symbol {
  // See Note [compact places].
  std::uint32_t file = 0;   // index of the file (as in FileLinkResolver)
  std::uint32_t offset = 0; // the name's bytes in that file's text
  std::uint32_t length = 0;
  std::uint32_t line = 1; // 1-based line of the name
  // The other half of a routine (the heading in an interface or class and the body),
  // or the full declaration of a forward one and back; kNoSymbol when it has none.
  std::uint32_t counterpart = kNoSymbol;
  SymbolKind kind = SymbolKind::Variable;

  // Both in the names of the CrossReferences that made the symbol (see Note [string pool]).
  // As written.
  std::string_view Name() const {
    return {text_ + (qualifiedLength_ >= nameLength_ ? qualifiedLength_ - nameLength_ : 0),
            nameLength_};
  }
  // For search: "TStringList", "TStringList.Sort"; empty for names local to a routine,
  // which search does not offer.
  std::string_view QualifiedName() const { return {text_, qualifiedLength_}; }

  // Note [symbol names]
  // A qualified name ends with the name, so one view of the qualified name serves both:
  // two views cost 32 bytes a symbol, a sixth of the memory of a large tree's symbols.
  // A qualified name that does not end with `name` is not kept.
  void SetNames(std::string_view name, std::string_view qualifiedName) {
    const bool endsWithName = !qualifiedName.empty() && qualifiedName.size() >= name.size() &&
                              qualifiedName.substr(qualifiedName.size() - name.size()) == name;
    text_ = endsWithName ? qualifiedName.data() : name.data();
    qualifiedLength_ = endsWithName ? static_cast<std::uint32_t>(qualifiedName.size()) : 0;
    nameLength_ = static_cast<std::uint32_t>(name.size());
  }
  void DropQualifiedName() { SetNames(Name(), {}); }

private:
  const char* text_ = nullptr; // the qualified name, else the name
  std::uint32_t qualifiedLength_ = 0;
  std::uint32_t nameLength_ = 0;
};

// The symbols listed with one: see CrossReferences::RelatedTo.
using RelatedList = ArrayPart<std::uint32_t>;

// A marked name in a file's text: a symbol's own name where it is declared, or a
// reference to a symbol.
// Note [compact places]
// Millions of them over a large tree: 32-bit fields (texts are cut at 4 GB) and the
// flags beside the length keep each to 16 bytes, its line among them.
struct Occurrence {
  static constexpr std::uint32_t kMaxLength = (std::uint32_t{1} << 30) - 1;

  Occurrence() : length(0), declaration(false), uncertain(false) {}
  Occurrence(std::uint32_t at, std::uint32_t bytes, std::uint32_t of, bool declares, bool unsure,
             std::uint32_t onLine = 1)
      : offset(at), length(bytes & kMaxLength), declaration(declares), uncertain(unsure),
        symbol(of), line(onLine) {}

  std::uint32_t offset = 0;
  std::uint32_t length : 30; // a longer name is never marked
  bool declaration : 1;      // the symbol's own name (the place it is declared)
  // The binding is not sure: through an ancestor that is not in the site, or through a
  // unit or include file chosen among several.
  bool uncertain : 1;
  std::uint32_t symbol = kNoSymbol;
  std::uint32_t line = 1; // 1-based
};

// Where a symbol is referred to (see Note [compact places]).
struct ReferencePlace {
  std::uint32_t file = 0;
  std::uint32_t offset = 0;
  std::uint32_t line = 1;
  bool uncertain = false;
};

// The references to one symbol: a part of one array that holds them all.
using ReferenceList = ArrayPart<ReferencePlace>;

// The text of file `index`, in UTF-8 as the pages show it; empty for a file that could
// not be read. It may be asked for more than once.
using TextReader = std::function<std::string(std::size_t index)>;

// Called where much memory has just been freed in small pieces, so that the program
// can hand it back to the system (see Note [freed memory between phases]).
using FreedMemory = std::function<void()>;

struct MarkedName;

class CrossReferences {
public:
  // `links` resolves the uses clauses and include directives of the same files (same
  // indexes); `threads` may read and scan files in parallel.
  CrossReferences(const FileLinkResolver& links, std::size_t fileCount, const TextReader& readText,
                  unsigned threads = 1, const FreedMemory& freedMemory = {});

  const std::vector<Symbol>& Symbols() const { return symbols_; }

  // The marked names of file `file`, in text order, never overlapping, each covering
  // one whole identifier of its text.
  const std::vector<Occurrence>& OccurrencesIn(std::size_t file) const;

  // Every reference to `symbol` (its declaration not counted), by file, then offset.
  ReferenceList ReferencesTo(std::size_t symbol) const;

  // Overloads visible with `symbol`, and declarations of the same name in the same scope
  // in other branches of conditional compilation; each lists the others.
  RelatedList RelatedTo(std::size_t symbol) const;

  // Lets the references go once they are written out; ReferencesTo then throws.
  void ReleaseReferences();
  // Lets the marked names of `file` go once its page is written; OccurrencesIn(file) is
  // then empty. Threads may release different files at once.
  void ReleaseOccurrencesIn(std::size_t file);

private:
  static void KeepInOrder(std::vector<MarkedName>& marks);
  void CollectReferences();

  StringPool names_;
  // Every symbol's related ones in one array, by symbol, as the references are.
  std::vector<std::uint32_t> related_;
  std::vector<std::uint32_t> relatedStarts_;
  std::vector<Symbol> symbols_;
  std::vector<std::vector<Occurrence>> occurrences_; // by file
  // Every symbol's references in one array, by symbol: those of symbol S from
  // referenceStarts_[S] to referenceStarts_[S + 1]. One vector for each of millions of
  // symbols cost more in heap than the places themselves.
  std::vector<ReferencePlace> references_;
  std::vector<std::uint32_t> referenceStarts_;
};

} // namespace lexiform::xref

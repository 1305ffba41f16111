#include "convert/word_tables.h"

#include <array>
#include <cstddef>
#include <cstdint>

#include "convert/pas_conversion.h"

namespace lexiform {
namespace {

constexpr std::array<std::string_view, 99> kReservedWords = {
    "ABSOLUTE",     "ABSTRACT",
    "AND",          "ARRAY",
    "AS",           "ASM",
    "ASSEMBLER",    "AUTOMATED",
    "BEGIN",        "CASE",
    "CDECL",        "CLASS",
    "CONST",        "CONSTRUCTOR",
    "DEFAULT",      "DESTRUCTOR",
    "DISPID",       "DISPINTERFACE",
    "DIV",          "DO",
    "DOWNTO",       "DYNAMIC",
    "ELSE",         "END",
    "EXCEPT",       "EXPORT",
    "EXPORTS",      "EXTERNAL",
    "FAR",          "FILE",
    "FINALIZATION", "FINALLY",
    "FOR",          "FORWARD",
    "FUNCTION",     "GOTO",
    "IF",           "IMPLEMENTATION",
    "IN",           "INDEX",
    "INHERITED",    "INITIALIZATION",
    "INLINE",       "INTERFACE",
    "IS",           "LABEL",
    "LIBRARY",      "MESSAGE",
    "MOD",          "NAME",
    "NEAR",         "NIL",
    "NODEFAULT",    "NOT",
    "OBJECT",       "OF",
    "OR",           "OUT",
    "OVERRIDE",     "PACKED",
    "PASCAL",       "PRIVATE",
    "PROCEDURE",    "PROGRAM",
    "PROPERTY",     "PROTECTED",
    "PUBLIC",       "PUBLISHED",
    "RAISE",        "READ",
    "READONLY",     "RECORD",
    "REGISTER",     "REPEAT",
    "RESIDENT",     "RESOURCESTRING",
    "SAFECALL",     "SET",
    "SHL",          "SHR",
    "STDCALL",      "STORED",
    "STRING",       "STRINGRESOURCE",
    "THEN",         "THREADVAR",
    "TO",           "TRY",
    "TYPE",         "UNIT",
    "UNTIL",        "USES",
    "VAR",          "VIRTUAL",
    "WHILE",        "WITH",
    "WRITE",        "WRITEONLY",
    "XOR",
};

constexpr std::array<std::string_view, 11> kDirectiveWords = {
    "AUTOMATED", "INDEX",  "NAME",           "NODEFAULT", "READ",      "READONLY",
    "RESIDENT",  "STORED", "STRINGRESOURCE", "WRITE",     "WRITEONLY",
};

constexpr std::array<std::string_view, 7> kPropertyEndWords = {
    "END", "FUNCTION", "PRIVATE", "PROCEDURE", "PROTECTED", "PUBLIC", "PUBLISHED",
};

// Directive words that stay directives inside a property declaration.
constexpr std::array<std::string_view, 3> kPropertyDirectiveWords = {"NAME", "RESIDENT",
                                                                     "STRINGRESOURCE"};

constexpr std::array<unsigned char, 256> MakeUpperTable() {
  std::array<unsigned char, 256> table{};
  for (std::size_t i = 0; i < table.size(); ++i) {
    table[i] = static_cast<unsigned char>(i >= 'a' && i <= 'z' ? i - ('a' - 'A') : i);
  }
  return table;
}

constexpr std::array<unsigned char, 256> kUpper = MakeUpperTable();

// Note [word keys]: a word of up to 16 bytes, upper-cased and padded with zero bytes,
// read as a 128-bit big-endian number. Comparing two keys is comparing the words byte
// by byte with the shorter first where one is a prefix of the other (no word byte is
// zero), so the tables keep their order and a binary search step is two integer
// compares. Words that hold a zero byte can share a key with a shorter word, hence the
// length check on a match.
struct WordKey {
  std::uint64_t High = 0;
  std::uint64_t Low = 0;
};

constexpr bool operator<(WordKey a, WordKey b) {
  return a.High < b.High || (a.High == b.High && a.Low < b.Low);
}
constexpr bool operator==(WordKey a, WordKey b) {
  return a.High == b.High && a.Low == b.Low;
}

constexpr std::size_t kKeyBytes = 16;

// Upper-cases the first bytes of `word` (at most kKeyBytes) into a key.
constexpr WordKey MakeKey(std::string_view word) {
  WordKey key;
  for (std::size_t i = 0; i < kKeyBytes; ++i) {
    const std::uint64_t byte = i < word.size() ? kUpper[static_cast<unsigned char>(word[i])] : 0;
    if (i < 8) {
      key.High = key.High << 8 | byte;
    } else {
      key.Low = key.Low << 8 | byte;
    }
  }
  return key;
}

template <std::size_t N> struct KeyedTable {
  std::array<WordKey, N> Keys{};
  std::array<std::size_t, N> Lengths{};
  std::size_t Longest = 0;
};

template <std::size_t N>
constexpr KeyedTable<N> MakeKeyedTable(const std::array<std::string_view, N> &words) {
  KeyedTable<N> table;
  for (std::size_t i = 0; i < N; ++i) {
    table.Keys[i] = MakeKey(words[i]);
    table.Lengths[i] = words[i].size();
    table.Longest = words[i].size() > table.Longest ? words[i].size() : table.Longest;
  }
  return table;
}

template <std::size_t N>
constexpr bool IsSortedUpperCase(const std::array<std::string_view, N> &words) {
  for (std::size_t i = 0; i < N; ++i) {
    if (words[i].empty() || words[i].size() > kKeyBytes) {
      return false;
    }
    for (const char c : words[i]) {
      if (kUpper[static_cast<unsigned char>(c)] != static_cast<unsigned char>(c)) {
        return false;
      }
    }
    if (i > 0 && !(words[i - 1] < words[i] && MakeKey(words[i - 1]) < MakeKey(words[i]))) {
      return false;
    }
  }
  return true;
}

static_assert(IsSortedUpperCase(kReservedWords));
static_assert(IsSortedUpperCase(kDirectiveWords));
static_assert(IsSortedUpperCase(kPropertyEndWords));
static_assert(IsSortedUpperCase(kPropertyDirectiveWords));

constexpr auto kReservedKeys = MakeKeyedTable(kReservedWords);
constexpr auto kDirectiveKeys = MakeKeyedTable(kDirectiveWords);
constexpr auto kPropertyEndKeys = MakeKeyedTable(kPropertyEndWords);
constexpr auto kPropertyDirectiveKeys = MakeKeyedTable(kPropertyDirectiveWords);

constexpr std::ptrdiff_t kNotFound = -1;

// Binary search for the word of `key` and `length`; its index or kNotFound.
template <std::size_t N>
constexpr std::ptrdiff_t Find(const KeyedTable<N> &table, WordKey key, std::size_t length) {
  if (length > table.Longest) {
    return kNotFound;
  }
  std::ptrdiff_t lo = 0;
  std::ptrdiff_t hi = static_cast<std::ptrdiff_t>(N) - 1;
  while (lo <= hi) {
    const std::ptrdiff_t mid = (lo + hi) / 2;
    const WordKey probe = table.Keys[static_cast<std::size_t>(mid)];
    if (probe == key) {
      return table.Lengths[static_cast<std::size_t>(mid)] == length ? mid : kNotFound;
    }
    if (probe < key) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
    }
  }
  return kNotFound;
}

template <std::size_t N>
constexpr bool Contains(const KeyedTable<N> &table, std::string_view word) {
  return Find(table, MakeKey(word), word.size()) != kNotFound;
}

// What the smaller tables say about each reserved word, worked out at compile time so
// that classifying a word in the scan takes the one search in ReservedWords only.
constexpr unsigned kOpensProperty = 1;
constexpr unsigned kEndsProperty = 2;
constexpr unsigned kDirectiveWord = 4;
constexpr unsigned kDirectiveInProperty = 8;
constexpr unsigned kAsmWord = 16;

constexpr std::array<std::uint8_t, kReservedWords.size()> MakeReservedFlags() {
  std::array<std::uint8_t, kReservedWords.size()> flags{};
  for (std::size_t i = 0; i < kReservedWords.size(); ++i) {
    const std::string_view word = kReservedWords[i];
    unsigned value = 0;
    value |= word == "PROPERTY" ? kOpensProperty : 0u;
    value |= Contains(kPropertyEndKeys, word) ? kEndsProperty : 0u;
    value |= Contains(kDirectiveKeys, word) ? kDirectiveWord : 0u;
    value |= Contains(kPropertyDirectiveKeys, word) ? kDirectiveInProperty : 0u;
    value |= word == "ASM" ? kAsmWord : 0u;
    flags[i] = static_cast<std::uint8_t>(value);
  }
  return flags;
}

constexpr auto kReservedFlags = MakeReservedFlags();

static_assert(Contains(kReservedKeys, "asm") && Contains(kReservedKeys, "Xor"));
static_assert(!Contains(kReservedKeys, "ASMX") && !Contains(kReservedKeys, "AN"));
static_assert(std::string_view("A") < std::string_view("AB")); // shorter sorts first

} // namespace

bool IsReservedWord(std::string_view word) {
  return Contains(kReservedKeys, word);
}

bool IsPropertyEnd(std::string_view word) {
  return Contains(kPropertyEndKeys, word);
}

bool IsDirective(TPasConversion &converter, std::string_view word) {
  const WordKey key = MakeKey(word);
  if (word.size() == 8 && key == MakeKey("PROPERTY")) {
    converter.InProperty = true;
  }
  if (Find(kPropertyEndKeys, key, word.size()) != kNotFound) {
    converter.InProperty = false;
  }
  if (Find(kDirectiveKeys, key, word.size()) == kNotFound) {
    return false;
  }
  return !converter.InProperty || Find(kPropertyDirectiveKeys, key, word.size()) != kNotFound;
}

TWordClass ClassifyWord(TPasConversion &converter, std::string_view word) {
  // A word longer than every reserved word is not reserved: no key, no search.
  if (word.size() > kReservedKeys.Longest) {
    return {};
  }
  const std::ptrdiff_t index = Find(kReservedKeys, MakeKey(word), word.size());
  if (index == kNotFound) {
    return {};
  }
  // The same decisions as IsDirective, read from the flags of the reserved word.
  const unsigned flags = kReservedFlags[static_cast<std::size_t>(index)];
  if ((flags & kOpensProperty) != 0) {
    converter.InProperty = true;
  }
  if ((flags & kEndsProperty) != 0) {
    converter.InProperty = false;
  }
  if ((flags & kDirectiveWord) != 0 &&
      (!converter.InProperty || (flags & kDirectiveInProperty) != 0)) {
    return {TTokenKind::Directive, false};
  }
  return {TTokenKind::Keyword, (flags & kAsmWord) != 0};
}

} // namespace lexiform

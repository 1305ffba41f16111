#include "convert/word_tables.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

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

// Note [word keys]: a word of up to 16 bytes, upper-cased and padded with zero bytes,
// read as a 128-bit big-endian number. Comparing two keys is comparing the words byte
// by byte with the shorter first where one is a prefix of the other (no word byte is
// zero), so the tables keep their order and a binary search step is an integer
// compare (see Find). Words that hold a zero byte can share a key with a shorter word,
// hence the length check on a match.
struct WordKey {
  std::uint64_t High = 0;
  std::uint64_t Low = 0;
};

// The byte order of the words (see Note [word keys]).
constexpr bool operator<(WordKey a, WordKey b) {
  return a.High < b.High || (a.High == b.High && a.Low < b.Low);
}
constexpr bool operator==(WordKey a, WordKey b) {
  return a.High == b.High && a.Low == b.Low;
}

constexpr std::size_t kKeyBytes = 16;
constexpr std::uint64_t kEachByte = 0x0101010101010101u;
constexpr std::uint64_t kAllBits = ~std::uint64_t{0};

// Upper-cases the eight bytes of `x` at once: "a" to "z" lose 0x20, all else stays.
constexpr std::uint64_t UpperCase8(std::uint64_t x) {
  const std::uint64_t low7 = x & (0x7F * kEachByte);
  const std::uint64_t atLeastA = low7 + (0x80 - 'a') * kEachByte;   // top bit: >= "a"
  const std::uint64_t aboveZ = low7 + (0x80 - 'z' - 1) * kEachByte; // top bit: > "z"
  const std::uint64_t lower = atLeastA & ~aboveZ & ~x & (0x80 * kEachByte);
  return x - (lower >> 2);
}

// Written out rather than as a loop so that compilers make it one load and a byte swap.
constexpr std::uint64_t BigEndian8(const unsigned char* b) {
  return std::uint64_t{b[0]} << 56 | std::uint64_t{b[1]} << 48 | std::uint64_t{b[2]} << 40 |
         std::uint64_t{b[3]} << 32 | std::uint64_t{b[4]} << 24 | std::uint64_t{b[5]} << 16 |
         std::uint64_t{b[6]} << 8 | std::uint64_t{b[7]};
}

// The key of a word of at most kKeyBytes bytes.
constexpr WordKey MakeKey(std::string_view word) {
  unsigned char bytes[kKeyBytes] = {};
  for (std::size_t i = 0; i < word.size() && i < kKeyBytes; ++i) {
    bytes[i] = static_cast<unsigned char>(word[i]);
  }
  return {UpperCase8(BigEndian8(bytes)), UpperCase8(BigEndian8(bytes + 8))};
}

// The key of a word of at most kKeyBytes bytes that is followed in memory by enough
// readable bytes to make kKeyBytes: two loads instead of a byte loop.
WordKey MakeKeyReadAhead(const char* word, std::size_t length) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(word);
  // Keeps the first `n` (at most 8) bytes of a big-endian half.
  const auto keep = [](std::size_t n) { return n >= 8 ? kAllBits : ~(kAllBits >> (8 * n)); };
  const std::uint64_t high = BigEndian8(bytes) & keep(length);
  const std::uint64_t low = length > 8 ? BigEndian8(bytes + 8) & keep(length - 8) : 0;
  return {UpperCase8(high), UpperCase8(low)};
}

constexpr std::size_t PowerOfTwoAtLeast(std::size_t n) {
  std::size_t power = 1;
  while (power < n) {
    power *= 2;
  }
  return power;
}

// A word table as keys, padded with keys above every word to a power of two. The high
// halves are kept apart: the search runs on them alone (see Find).
template <std::size_t N> struct KeyedTable {
  static constexpr std::size_t kSlots = PowerOfTwoAtLeast(N + 1);
  std::array<std::uint64_t, kSlots> Highs{};
  std::array<WordKey, kSlots> Keys{};
  std::array<std::size_t, kSlots> Lengths{};
  std::size_t Longest = 0;
};

template <std::size_t N>
constexpr KeyedTable<N> MakeKeyedTable(const std::array<std::string_view, N>& words) {
  KeyedTable<N> table;
  for (std::size_t i = 0; i < KeyedTable<N>::kSlots; ++i) {
    table.Keys[i] = i < N ? MakeKey(words[i]) : WordKey{kAllBits, kAllBits};
    table.Highs[i] = table.Keys[i].High;
    table.Lengths[i] = i < N ? words[i].size() : 0;
    table.Longest = i < N && words[i].size() > table.Longest ? words[i].size() : table.Longest;
  }
  return table;
}

template <std::size_t N>
constexpr bool IsSortedUpperCase(const std::array<std::string_view, N>& words) {
  for (std::size_t i = 0; i < N; ++i) {
    if (words[i].empty() || words[i].size() >= kKeyBytes) {
      return false;
    }
    for (const char c : words[i]) {
      if (c < 'A' || c > 'Z') {
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

// No two words of a table share their first eight bytes, so the high half of a key
// alone tells the words of a table apart.
template <std::size_t N> constexpr bool HighsAreDistinct(const KeyedTable<N>& table) {
  for (std::size_t i = 1; i < N; ++i) {
    if (!(table.Highs[i - 1] < table.Highs[i])) {
      return false;
    }
  }
  return true;
}

static_assert(HighsAreDistinct(kReservedKeys) && HighsAreDistinct(kDirectiveKeys) &&
              HighsAreDistinct(kPropertyEndKeys) && HighsAreDistinct(kPropertyDirectiveKeys));

// Binary search for the word of `key` and `length`: its index in the table or
// kNotFound. The search halves the padded table, so it always takes log2(kSlots)
// steps (7 for the reserved words), each one compare of high halves; the one
// candidate left is then compared whole.
template <std::size_t N>
constexpr std::ptrdiff_t Find(const KeyedTable<N>& table, WordKey key, std::size_t length) {
  std::size_t first = 0; // every high half before `first` is below the key's
  for (std::size_t half = KeyedTable<N>::kSlots / 2; half > 0; half /= 2) {
    first += table.Highs[first + half - 1] < key.High ? half : 0;
  }
  const bool found = table.Keys[first] == key && table.Lengths[first] == length;
  return found ? static_cast<std::ptrdiff_t>(first) : kNotFound;
}

template <std::size_t N>
constexpr std::ptrdiff_t Find(const KeyedTable<N>& table, std::string_view word) {
  if (word.size() > table.Longest) {
    return kNotFound; // longer than every word of the table
  }
  return Find(table, MakeKey(word), word.size());
}

template <std::size_t N>
constexpr bool Contains(const KeyedTable<N>& table, std::string_view word) {
  return Find(table, word) != kNotFound;
}

// Note [reserved word slots]: the scan classifies every word it meets, and the binary
// search above costs seven dependent loads and their mispredicted branches per word
// (a fifth of the whole conversion of the FPC sources). So the scan finds a word's one
// candidate by a multiplicative hash of the high half of its key instead: a multiplier
// that sends the 99 reserved words to 99 distinct slots of 512 (found by trying random
// odd multipliers; checked below), and a slot table of one byte per slot. The candidate
// is then compared whole, as after the search. It took the conversion of the FPC corpus
// (convert_bench, ConvertTo) from 361 to 410 MB/s. The binary search stays the plain reference
// (IsReservedWord, ClassifyWord), and the tests hold the two to the same answers.
constexpr unsigned kSlotBits = 9;
constexpr std::uint64_t kSlotMultiplier = 0x216e0f05070b946fu;

constexpr std::size_t SlotOf(std::uint64_t high) {
  return static_cast<std::size_t>((high * kSlotMultiplier) >> (64 - kSlotBits));
}

// The index of the reserved word in each slot; an empty slot holds the index of the
// first padding key, which no word's key equals.
struct ReservedSlots {
  std::array<std::uint8_t, std::size_t{1} << kSlotBits> Index{};
  bool Perfect = true; // no two reserved words share a slot
};

constexpr ReservedSlots MakeReservedSlots() {
  constexpr std::size_t kEmpty = kReservedWords.size();
  static_assert(kEmpty < decltype(kReservedKeys)::kSlots && kEmpty <= 0xFF);
  ReservedSlots slots;
  for (auto& index : slots.Index) {
    index = static_cast<std::uint8_t>(kEmpty);
  }
  for (std::size_t i = 0; i < kReservedWords.size(); ++i) {
    std::uint8_t& index = slots.Index[SlotOf(kReservedKeys.Highs[i])];
    slots.Perfect = slots.Perfect && index == kEmpty;
    index = static_cast<std::uint8_t>(i);
  }
  return slots;
}

constexpr ReservedSlots kReservedSlots = MakeReservedSlots();
static_assert(kReservedSlots.Perfect, "the multiplier must give every reserved word a slot");

// Find(kReservedKeys, key, length), by slot (see Note [reserved word slots]).
constexpr std::ptrdiff_t FindReserved(WordKey key, std::size_t length) {
  const std::size_t index = kReservedSlots.Index[SlotOf(key.High)];
  const bool found = kReservedKeys.Keys[index] == key && kReservedKeys.Lengths[index] == length;
  return found ? static_cast<std::ptrdiff_t>(index) : kNotFound;
}

static_assert(UpperCase8(0x61627A7B40607EFFu) == 0x41425A7B40607EFFu);
static_assert(Contains(kReservedKeys, "asm") && Contains(kReservedKeys, "Xor"));
static_assert(Contains(kReservedKeys, "ABSOLUTE") && Contains(kDirectiveKeys, "writeonly"));
static_assert(!Contains(kReservedKeys, "ASMX") && !Contains(kReservedKeys, "AN"));
static_assert(!Contains(kReservedKeys, "") && !Contains(kReservedKeys, "ZZZ"));

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

} // namespace

bool IsReservedWord(std::string_view word) {
  return Contains(kReservedKeys, word);
}

bool IsPropertyEnd(std::string_view word) {
  return Contains(kPropertyEndKeys, word);
}

bool IsDirective(TPasConversion& converter, std::string_view word) {
  if (word.size() == 8 && MakeKey(word) == MakeKey("PROPERTY")) {
    converter.InProperty = true;
  }
  if (Contains(kPropertyEndKeys, word)) {
    converter.InProperty = false;
  }
  if (!Contains(kDirectiveKeys, word)) {
    return false;
  }
  return !converter.InProperty || Contains(kPropertyDirectiveKeys, word);
}

namespace {

// The rest of ClassifyWord once the reserved word is found (or not).
TWordClass ClassifyReservedWord(TPasConversion& converter, std::ptrdiff_t index) {
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

} // namespace

TWordClass ClassifyWord(TPasConversion& converter, std::string_view word) {
  return ClassifyReservedWord(converter, Find(kReservedKeys, word));
}

TWordClass ClassifyWordReadAhead(TPasConversion& converter, std::string_view word) {
  if (word.size() > kReservedKeys.Longest) {
    return {};
  }
  const WordKey key = MakeKeyReadAhead(word.data(), word.size());
  return ClassifyReservedWord(converter, FindReserved(key, word.size()));
}

} // namespace lexiform

#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

// The tokens of Pascal text that name binding looks at: identifiers, keywords, symbols,
// literals and the places of compiler directives. Comments and blanks are dropped, so
// no name inside a comment, a string or a directive ever becomes a token.
namespace lexiform::xref {

// A name folded to lower case and hashed: names compare case-insensitively, and a
// 64-bit hash stands for the name in every table (no interning shared between threads).
using NameKey = std::uint64_t;

inline constexpr NameKey kEmptyKey = 14695981039346656037ull; // the key of no letters

// The key of a name that goes on with `c`.
constexpr NameKey KeyWith(NameKey hash, char c) {
  const char folded = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  return (hash ^ static_cast<unsigned char>(folded)) * 1099511628211ull;
}

constexpr NameKey KeyOf(std::string_view name) {
  NameKey hash = kEmptyKey;
  for (char c : name) {
    hash = KeyWith(hash, c);
  }
  return hash;
}

enum class PasToken : std::uint8_t {
  Identifier, // a name, or a word that is only a directive in some places
  Keyword,    // a reserved word: never a name
  Symbol,     // one or two characters: `.`, `:=`, `..`, `(`, ...
  Literal,    // a number or a string
  Directive,  // the opening of a `{$...}` or `(*$...*)` comment
};

struct Token {
  std::uint32_t offset = 0;
  std::uint32_t length = 0;
  std::uint32_t line = 1;
  PasToken kind = PasToken::Symbol;
  // Symbol: the character, or for two: `a` for `:=`, `r` for `..`, `c` for `<=`, `>=`,
  // `<>`, `[` for `(.`, `]` for `.)`.
  char symbol = 0;
  NameKey key = 0; // Identifier, Keyword: the folded name
};

struct ScannedText {
  std::vector<Token> tokens;
  bool objectPascalMode = false; // `{$mode objfpc}` or `{$mode delphi}` seen
};

// Any bytes in, no failure. Offsets are those of `text`; texts of 4 GB or more are cut.
ScannedText ScanPascal(std::string_view text);

// The same into `scanned`, whose memory is used again: the passes scan many files.
void ScanPascal(std::string_view text, ScannedText& scanned);

// Where a scan puts its tokens as it finds them: a unit's text takes them straight
// into its own array, with include files scanned into it at their directives.
class TokenSink {
public:
  // Every token but directives; the scan may still change the one it returns.
  virtual Token& Add(const Token& token) = 0;
  virtual void Directive(const Token& token) = 0;
  virtual void ObjectPascalMode() = 0; // `{$mode objfpc}` or `{$mode delphi}` seen
  // `{$scopedenums on}` or `off` seen, before the tokens that follow it.
  virtual void ScopedEnums(bool /*on*/) {}

protected:
  ~TokenSink() = default;
};

void ScanPascal(std::string_view text, TokenSink& sink);

bool IsReservedWord(NameKey key);

} // namespace lexiform::xref

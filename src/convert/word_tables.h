#pragma once

#include <cstddef>
#include <string_view>

#include "convert/token_kind.h"

namespace lexiform {

class TPasConversion;

// The fixed word tables: upper-case words in ascending byte order.
// ReservedWords: 99 words; DirectiveWords and PropertyEndWords: subsets of it.
bool IsReservedWord(std::string_view word);
bool IsPropertyEnd(std::string_view word);

// Updates the converter's InProperty for a reserved word and returns whether the word
// is written as a Directive. Call it only for words that IsReservedWord accepted.
bool IsDirective(TPasConversion& converter, std::string_view word);

// What a word scanned in code is written as.
struct TWordClass {
  TTokenKind Kind = TTokenKind::Identifier; // Identifier, Directive or Keyword
  bool OpensAssembler = false;              // the word ASM: an assembler block follows
};

// Classifies a word (a run of word bytes that does not begin with a digit) and keeps
// the converter's property context up to date. Costs one binary search per word.
TWordClass ClassifyWord(TPasConversion& converter, std::string_view word);

// The bytes a word may be followed by in memory for ClassifyWordReadAhead.
inline constexpr std::size_t kWordReadAhead = 16;

// ClassifyWord for a word that is followed in memory by at least kWordReadAhead
// readable bytes (as words in the converter's source are): the same result, faster.
TWordClass ClassifyWordReadAhead(TPasConversion& converter, std::string_view word);

} // namespace lexiform

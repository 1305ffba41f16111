#pragma once

#include <cstddef>
#include <cstdint>

namespace lexiform {

// The kinds of tokens the converter cuts, in their fixed order: the value of a kind
// indexes the per-kind markup tables.
enum class TTokenKind : std::uint8_t {
  Assembler,
  Comment,
  LineBreak,
  Directive,
  Identifier,
  Keyword,
  Number,
  Space,
  String,
  Symbol,
  Unknown,
};

inline constexpr std::size_t kTokenKindCount = 11;

// Written by the converter right after every "&lt;" and "&gt;" it makes, so that the
// entity fix-up can tell them from the same characters in the source.
inline constexpr char EntityMarker = '\x01';

} // namespace lexiform

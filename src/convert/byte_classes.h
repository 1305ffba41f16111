#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace lexiform {

// Byte classes of the scanner, bits of kByteClasses: one table lookup per byte. The
// zero byte that ends the source is in no class but every Stop class, so every
// scanning loop ends at it.
inline constexpr unsigned kSpaceByte = 1;     // 0x01-0x20 but LF and CR
inline constexpr unsigned kSymbolByte = 2;    // operators and punctuation
inline constexpr unsigned kWordByte = 4;      // "0"-"9", "A"-"Z", "a"-"z", "_"
inline constexpr unsigned kWordStartByte = 8; // a word byte that is not a digit
inline constexpr unsigned kHexByte = 16;      // "$", "0"-"9", "A"-"F", "a"-"f"
inline constexpr unsigned kDecimalByte = 32;  // ".", "0"-"9", "E", "e"
inline constexpr unsigned kCharCodeByte = 64; // "#", "0"-"9"
inline constexpr unsigned kLineEndByte = 128; // LF, CR
inline constexpr unsigned kStopBrace = 256;   // ends a stretch of brace comment: zero, LF, CR, "}"
inline constexpr unsigned kStopParen = 512;   // ends a stretch of paren comment: zero, LF, CR, "*"
inline constexpr unsigned kStopAssembler = 1024; // ends a stretch of assembler: zero, LF, CR, "e"
inline constexpr unsigned kStopString = 2048; // ends a stretch of string literal: zero, LF, CR, "'"
inline constexpr unsigned kStopLine = 4096;   // ends a line comment: zero, LF, CR

namespace detail {

constexpr bool InRange(std::size_t b, char first, char last) {
  return b >= static_cast<unsigned char>(first) && b <= static_cast<unsigned char>(last);
}

constexpr bool IsSymbolByte(std::size_t b) {
  return b == 0x21 || b == 0x22 || b == 0x25 || b == 0x26 || (b >= 0x28 && b <= 0x2F) ||
         (b >= 0x3A && b <= 0x40) || (b >= 0x5B && b <= 0x5E) || b == 0x60 || b == 0x7E;
}

constexpr std::array<std::uint16_t, 256> MakeByteClasses() {
  std::array<std::uint16_t, 256> table{};
  for (std::size_t b = 0; b < table.size(); ++b) {
    const bool digit = InRange(b, '0', '9');
    const bool letter = InRange(b, 'A', 'Z') || InRange(b, 'a', 'z');
    const bool lineEnd = b == '\n' || b == '\r';
    const bool endOfLine = b == 0 || lineEnd;
    unsigned value = 0;
    value |= b >= 0x01 && b <= 0x20 && !lineEnd ? kSpaceByte : 0u;
    value |= IsSymbolByte(b) ? kSymbolByte : 0u;
    value |= digit || letter || b == '_' ? kWordByte : 0u;
    value |= letter || b == '_' ? kWordStartByte : 0u;
    value |= b == '$' || digit || InRange(b, 'A', 'F') || InRange(b, 'a', 'f') ? kHexByte : 0u;
    value |= b == '.' || digit || b == 'E' || b == 'e' ? kDecimalByte : 0u;
    value |= b == '#' || digit ? kCharCodeByte : 0u;
    value |= lineEnd ? kLineEndByte : 0u;
    value |= endOfLine || b == '}' ? kStopBrace : 0u;
    value |= endOfLine || b == '*' ? kStopParen : 0u;
    value |= endOfLine || b == 'e' ? kStopAssembler : 0u;
    value |= endOfLine || b == '\'' ? kStopString : 0u;
    value |= endOfLine ? kStopLine : 0u;
    table[b] = static_cast<std::uint16_t>(value);
  }
  return table;
}

} // namespace detail

inline constexpr std::array<std::uint16_t, 256> kByteClasses = detail::MakeByteClasses();

inline bool HasClass(char byte, unsigned byteClass) {
  return (kByteClasses[static_cast<unsigned char>(byte)] & byteClass) != 0;
}

} // namespace lexiform

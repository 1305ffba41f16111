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

// Note [eight word bytes at a time]: a word ends at a byte that a loop of one byte per
// step can only guess, and the guess fails about once per word. Testing eight bytes at
// once in a 64-bit integer and picking the first one that is not a word byte takes the
// same steps whatever the word's length, with no branch to guess for words of up to
// seven bytes. It took the conversion of the FPC corpus (convert_bench, ConvertTo, best
// of five runs) from 451 to 474 MB/s. (The same for runs of blanks, mostly one byte
// long, made it slower.) Each byte is tested on its own: no carry crosses from one byte
// into the next. HasClass stays the plain reference: the tests hold every byte value at
// every position of the eight to the same answer.
namespace swar {

inline constexpr std::uint64_t kEachByte = 0x0101010101010101u;
inline constexpr std::uint64_t kHighBits = 0x80 * kEachByte;

// The eight bytes from `at` on, the first in the lowest bits whatever the machine's
// byte order (compilers make it one load).
inline std::uint64_t Load8(const char* at) {
  const auto* b = reinterpret_cast<const unsigned char*>(at);
  return std::uint64_t{b[0]} | std::uint64_t{b[1]} << 8 | std::uint64_t{b[2]} << 16 |
         std::uint64_t{b[3]} << 24 | std::uint64_t{b[4]} << 32 | std::uint64_t{b[5]} << 40 |
         std::uint64_t{b[6]} << 48 | std::uint64_t{b[7]} << 56;
}

// The high bit of each byte of `low7` (bytes below 0x80) that lies in [first, last].
constexpr std::uint64_t InRange(std::uint64_t low7, unsigned first, unsigned last) {
  const std::uint64_t atLeastFirst = low7 + (0x80 - first) * kEachByte;
  const std::uint64_t aboveLast = low7 + (0x7F - last) * kEachByte;
  return atLeastFirst & ~aboveLast & kHighBits;
}

// The high bit of each byte of `x` that is a word byte.
constexpr std::uint64_t WordBytes(std::uint64_t x) {
  const std::uint64_t low7 = x & ~kHighBits;
  const std::uint64_t letters = InRange(low7 | 0x20 * kEachByte, 'a', 'z');
  const std::uint64_t digits = InRange(low7, '0', '9');
  const std::uint64_t underscores = InRange(low7, '_', '_');
  return (letters | digits | underscores) & ~x; // no byte from 0x80 up
}

// The position (0 to 7) of the lowest byte whose high bit is set in `marks` (not 0).
constexpr unsigned FirstMarked(std::uint64_t marks) {
  const std::uint64_t upToFirst = ((marks ^ (marks - 1)) >> 7) & kEachByte;
  return static_cast<unsigned>((upToFirst * kEachByte) >> 56) - 1;
}

} // namespace swar

// The first byte from `at` on that is not a word byte (see Note [eight word bytes at a
// time]). Reads up to seven bytes past it; the source's tail room covers that.
inline const char* SkipWordBytes(const char* at) {
  for (;;) {
    const std::uint64_t others = ~swar::WordBytes(swar::Load8(at)) & swar::kHighBits;
    if (others != 0) {
      return at + swar::FirstMarked(others);
    }
    at += 8;
  }
}

} // namespace lexiform

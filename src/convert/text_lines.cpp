#include "convert/text_lines.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lexiform {

namespace {

constexpr char kCtrlZ = '\x1A';

constexpr std::uint64_t kOnes = 0x0101010101010101u;
constexpr std::uint64_t kHighBits = 0x8080808080808080u;

// Non-zero when one of the eight bytes of `word` is zero. Borrows can only set high
// bits above a real zero byte, so a non-zero result is never a false alarm.
constexpr std::uint64_t HasZeroByte(std::uint64_t word) {
  return (word - kOnes) & ~word & kHighBits;
}

bool IsLineStop(char c) {
  return c == '\n' || c == '\r' || c == kCtrlZ;
}

#if defined(__SSE2__)
// Index of the lowest set bit of a non-zero mask (g++ and clang both have the builtin).
unsigned CountTrailingZeros(unsigned mask) {
  return static_cast<unsigned>(__builtin_ctz(mask));
}
#endif

} // namespace

// Text lines are mostly plain bytes, so the search looks at many bytes at a time:
// sixteen with SSE2 (every x86-64 processor, and the 32-bit Windows build asks for
// it), else eight in a machine word.
const char* FindLineStop(const char* from, const char* to) {
  const char* p = from;
#if defined(__SSE2__)
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i ctrlZ = _mm_set1_epi8(kCtrlZ);
  while (to - p >= 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i hits =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, lf), _mm_cmpeq_epi8(bytes, cr)),
                     _mm_cmpeq_epi8(bytes, ctrlZ));
    const auto mask = static_cast<unsigned>(_mm_movemask_epi8(hits));
    if (mask != 0) {
      return p + CountTrailingZeros(mask);
    }
    p += 16;
  }
#endif
  while (to - p >= 8) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    if (HasZeroByte(word ^ (kOnes * '\n')) | HasZeroByte(word ^ (kOnes * '\r')) |
        HasZeroByte(word ^ (kOnes * static_cast<unsigned char>(kCtrlZ)))) {
      break;
    }
    p += 8;
  }
  while (p < to && !IsLineStop(*p)) {
    ++p;
  }
  return p;
}

void TextLines::SkipLineEnd() {
  if (text_[pos_++] == '\r' && pos_ < text_.size() && text_[pos_] == '\n') {
    ++pos_;
  }
}

bool TextLines::Next(std::string_view& line) {
  if (finished_ || pos_ >= text_.size()) {
    finished_ = true;
    return false;
  }
  const char* begin = text_.data() + pos_;
  const char* end = text_.data() + text_.size();
  const char* stop = FindLineStop(begin, end);
  const auto length = static_cast<std::size_t>(stop - begin);
  line = std::string_view(begin, length);
  pos_ += length;
  if (stop == end) {
    return true;
  }
  if (*stop != kCtrlZ) {
    SkipLineEnd();
    return true;
  }
  if (length == 0) {
    finished_ = true;
    endedByCtrlZ_ = true;
    return false;
  }
  // Ctrl-Z inside the line: the rest of the line, further Ctrl-Z included, is skipped.
  const char* rest = stop + 1;
  const char* next = FindLineStop(rest, end);
  while (next != end && *next == kCtrlZ) {
    next = FindLineStop(next + 1, end);
  }
  pos_ = static_cast<std::size_t>(next - text_.data());
  if (next != end) {
    SkipLineEnd();
  }
  return true;
}

std::size_t CountLines(std::string_view text) {
  TextLines lines(text);
  std::size_t count = 0;
  for (std::string_view line; lines.Next(line);) {
    ++count;
  }
  return count;
}

} // namespace lexiform

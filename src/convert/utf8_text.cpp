#include "convert/utf8_text.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace lexiform {
namespace {

// Note [characters a document cannot hold]
// An HTML5 document may not hold control characters other than the ASCII blanks (TAB,
// LF, FF, CR), nor noncharacters; a checker flags them and a browser shows nothing or a
// box. A C0 control (U+0001..U+001F) and DEL are shown as their Unicode control
// pictures (U+2401 "SOH" .. U+241F, U+2421 "DEL"), so that a reader sees which byte
// stands there. C1 controls (U+0080..U+009F, which have no pictures) and noncharacters
// become U+FFFD, the replacement character, like bytes that a code page leaves
// undefined. NUL alone passes unchanged: the conversion ends at it (TextToUtf8 stops
// there). Ctrl-Z (0x1A) gets its picture too, although the classic document reads it
// as the end of a line or of the file: left as it is, the reading of the converted text
// would cut a line inside a comment or string and leave its element open.

constexpr char32_t kReplacementCharacter = 0xFFFD;
constexpr char32_t kControlPictures = 0x2400;
constexpr char32_t kDeletePicture = 0x2421;

constexpr bool IsPlainAsciiByte(unsigned char byte) {
  return (byte >= 0x20 && byte < 0x7F) || byte == '\t' || byte == '\n' || byte == '\f' ||
         byte == '\r';
}

constexpr std::array<bool, 256> MakePlainAsciiTable() {
  std::array<bool, 256> table{};
  for (std::size_t byte = 0; byte < table.size(); ++byte) {
    table[byte] = IsPlainAsciiByte(static_cast<unsigned char>(byte));
  }
  return table;
}

// Bytes that stand for themselves in UTF-8 and in the document.
constexpr std::array<bool, 256> kPlainAscii = MakePlainAsciiTable();

// Whether none of the eight bytes of `word` is below 0x20 or above 0x7E: printable
// ASCII, which most bytes of most sources are.
bool AllPrintableAscii(std::uint64_t word) {
  constexpr std::uint64_t kOnes = 0x0101010101010101u;
  constexpr std::uint64_t kHighBits = 0x8080808080808080u;
  const std::uint64_t below = (word - 0x20 * kOnes) & ~word & kHighBits;
  const std::uint64_t above = ((word + kOnes) | word) & kHighBits;
  return (below | above) == 0;
}

// Every text is scanned here once a pass, and a site reads each several times: eight
// printable bytes are passed at once, the blanks and whatever else needs a look one by
// one.
const char* SkipPlainAscii(const char* at, const char* end) {
  for (;;) {
    std::uint64_t word = 0;
    while (end - at >= 8 && (std::memcpy(&word, at, 8), AllPrintableAscii(word))) {
      at += 8;
    }
    const char* const stop = end - at >= 8 ? at + 8 : end;
    while (at != stop && kPlainAscii[static_cast<unsigned char>(*at)]) {
      ++at;
    }
    if (at != stop || at == end) {
      return at;
    }
  }
}

bool IsContinuation(unsigned char byte, unsigned char low = 0x80, unsigned char high = 0xBF) {
  return byte >= low && byte <= high;
}

// Decodes the sequence that starts at `at` (a byte of 0x80 or more), strictly. Returns
// its length, 0 when it is not well-formed, and the code point in `codePoint`.
std::size_t DecodeSequence(const char* at, const char* end, char32_t& codePoint) {
  const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(at[i]); };
  const std::size_t available = static_cast<std::size_t>(end - at);
  const unsigned char lead = byteAt(0);
  std::size_t length = 0;
  // The second byte's range rules out overlong forms, surrogates and code points above
  // U+10FFFF.
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    codePoint = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    codePoint = lead & 0x0Fu;
    low = lead == 0xE0 ? 0xA0 : 0x80;
    high = lead == 0xED ? 0x9F : 0xBF;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    codePoint = lead & 0x07u;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF;
  } else {
    return 0;
  }
  if (available < length || !IsContinuation(byteAt(1), low, high)) {
    return 0;
  }
  for (std::size_t i = 1; i < length; ++i) {
    if (!IsContinuation(byteAt(i))) {
      return 0;
    }
    codePoint = (codePoint << 6) | (byteAt(i) & 0x3Fu);
  }
  return length;
}

void AppendDisplayCharacter(std::string& text, char32_t codePoint) {
  AppendUtf8(text, DisplayCharacter(codePoint));
}

bool StartsWithByteOrderMark(std::string_view bytes) {
  return bytes.substr(0, 3) == "\xEF\xBB\xBF";
}

} // namespace

bool IsValidUtf8(std::string_view bytes) {
  const char* at = bytes.data();
  const char* const end = at + bytes.size();
  while (at != end) {
    if (static_cast<unsigned char>(*at) < 0x80) {
      ++at;
      continue;
    }
    char32_t codePoint = 0;
    const std::size_t length = DecodeSequence(at, end, codePoint);
    if (length == 0) {
      return false;
    }
    at += length;
  }
  return true;
}

void AppendUtf8(std::string& text, char32_t codePoint) {
  const auto byte = [](char32_t value) { return static_cast<char>(value); };
  if (codePoint < 0x80) {
    text += byte(codePoint);
  } else if (codePoint < 0x800) {
    text += byte(0xC0 | (codePoint >> 6));
    text += byte(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    text += byte(0xE0 | (codePoint >> 12));
    text += byte(0x80 | ((codePoint >> 6) & 0x3F));
    text += byte(0x80 | (codePoint & 0x3F));
  } else {
    text += byte(0xF0 | (codePoint >> 18));
    text += byte(0x80 | ((codePoint >> 12) & 0x3F));
    text += byte(0x80 | ((codePoint >> 6) & 0x3F));
    text += byte(0x80 | (codePoint & 0x3F));
  }
}

// See Note [characters a document cannot hold].
char32_t DisplayCharacter(char32_t codePoint) {
  if (codePoint < 0x20) {
    const bool passes = codePoint == '\t' || codePoint == '\n' || codePoint == '\f' ||
                        codePoint == '\r' || codePoint == 0;
    return passes ? codePoint : kControlPictures + codePoint;
  }
  if (codePoint == 0x7F) {
    return kDeletePicture;
  }
  const bool c1Control = codePoint >= 0x80 && codePoint <= 0x9F;
  const bool nonCharacter =
      (codePoint >= 0xFDD0 && codePoint <= 0xFDEF) || (codePoint & 0xFFFE) == 0xFFFE;
  return (c1Control || nonCharacter) ? kReplacementCharacter : codePoint;
}

std::string DecodeCodePage(std::string_view bytes, CodePage page) {
  std::string text;
  text.reserve(bytes.size() + bytes.size() / 4);
  const char* at = bytes.data();
  const char* const end = at + bytes.size();
  while (at != end) {
    const char* const plainEnd = SkipPlainAscii(at, end);
    text.append(at, plainEnd);
    if (plainEnd == end) {
      break;
    }
    AppendDisplayCharacter(text, CodePageCharacter(page, static_cast<unsigned char>(*plainEnd)));
    at = plainEnd + 1;
  }
  return text;
}

bool IsPlainText(std::string_view bytes) {
  return SkipPlainAscii(bytes.data(), bytes.data() + bytes.size()) == bytes.data() + bytes.size();
}

std::string TextToUtf8(std::string bytes, CodePage page) {
  bytes.resize(std::strlen(bytes.c_str())); // See Note [characters a document cannot hold].
  const std::size_t start = StartsWithByteOrderMark(bytes) ? 3 : 0;
  const char* at = bytes.data() + start;
  const char* const end = bytes.data() + bytes.size();
  const char* const firstSpecial = SkipPlainAscii(at, end);
  if (start == 0 && firstSpecial == end) {
    return bytes;
  }
  std::string text;
  text.reserve(bytes.size() + bytes.size() / 8);
  while (at != end) {
    const char* const plainEnd = SkipPlainAscii(at, end);
    text.append(at, plainEnd);
    if (plainEnd == end) {
      break;
    }
    at = plainEnd;
    char32_t codePoint = static_cast<unsigned char>(*at);
    std::size_t length = 1;
    if (codePoint >= 0x80) {
      length = DecodeSequence(at, end, codePoint);
      if (length == 0) {
        return DecodeCodePage(bytes, page);
      }
    }
    AppendDisplayCharacter(text, codePoint);
    at += length;
  }
  return text;
}

} // namespace lexiform

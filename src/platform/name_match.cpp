#include "platform/platform.h"

#include <algorithm>
#include <iterator>

namespace lexiform::platform {

namespace {

struct UpperCasePair {
  char32_t from;
  char32_t to;
};

constexpr UpperCasePair kUpperCase[] = {
#include "platform/upper_case_table.inc"
};

// Note [names as characters]
// Names are UTF-8 inside the program on both platforms, so masks and the name order work
// on characters, not bytes: "?" stands for one character, and every letter is folded to
// upper case by Unicode's simple mapping, as NTFS folds the names of a directory. A byte
// that is not part of valid UTF-8 (a Latin-1 name on Linux) is a unit of its own that
// never folds: it stands as U+DC80..U+DCFF, where no character of a valid name lies.
constexpr char32_t kStrayByteBase = 0xDC00;

// The character that starts at `text[at]`, and moves `at` past it.
char32_t NextUnit(const std::string& text, std::size_t& at) {
  const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned lead = byte(at);
  std::size_t length = 0;
  char32_t value = 0;
  if (lead < 0x80) {
    ++at;
    return lead;
  }
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0Fu;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07u;
  }
  bool valid = length > 0 && at + length <= text.size();
  for (std::size_t i = 1; valid && i < length; ++i) {
    valid = (byte(at + i) & 0xC0u) == 0x80u;
    value = (value << 6) | (byte(at + i) & 0x3Fu);
  }
  // Overlong forms, surrogates and points past U+10FFFF are no characters.
  static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  valid = valid && value >= kSmallest[length] && value <= 0x10FFFF &&
          !(value >= 0xD800 && value <= 0xDFFF);
  if (!valid) {
    ++at;
    return kStrayByteBase + lead;
  }
  at += length;
  return value;
}

std::u32string Units(const std::string& text) {
  std::u32string units;
  units.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    units.push_back(NextUnit(text, at));
  }
  return units;
}

} // namespace

char32_t UpperCase(char32_t c) {
  if (c < 0x80) {
    return c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c;
  }
  const auto* found =
      std::lower_bound(std::begin(kUpperCase), std::end(kUpperCase), c,
                       [](const UpperCasePair& pair, char32_t value) { return pair.from < value; });
  return found != std::end(kUpperCase) && found->from == c ? found->to : c;
}

bool MatchesWildcard(const std::string& mask, const std::string& name, LetterCase letterCase) {
  // See Note [names as characters].
  std::u32string m = Units(mask);
  std::u32string n = Units(name);
  if (letterCase == LetterCase::Ignored) {
    std::transform(m.begin(), m.end(), m.begin(), UpperCase);
    std::transform(n.begin(), n.end(), n.begin(), UpperCase);
  }
  // Iterative matcher with one backtrack point: linear in practice, never exponential
  // on masks with many stars.
  std::size_t mi = 0;
  std::size_t ni = 0;
  std::size_t starMask = std::u32string::npos;
  std::size_t starName = 0;
  while (ni < n.size()) {
    if (mi < m.size() && (m[mi] == U'?' || m[mi] == n[ni])) {
      ++mi;
      ++ni;
    } else if (mi < m.size() && m[mi] == U'*') {
      starMask = mi++;
      starName = ni;
    } else if (starMask != std::u32string::npos) {
      mi = starMask + 1;
      ni = ++starName;
    } else {
      return false;
    }
  }
  while (mi < m.size() && m[mi] == U'*') {
    ++mi;
  }
  return mi == m.size();
}

namespace {

// A path separator before every other character, so that a directory's subtree follows
// it directly whatever the separator's code ("/" sorts before the digits and letters,
// "\" after the upper-case ones).
char32_t PathRank(char32_t c) {
  return (c == U'/' || c == static_cast<unsigned char>(PathSeparator())) ? 0 : UpperCase(c) + 1;
}

// Compares by the ranks of the characters, ties broken by byte order.
template <typename Rank> int CompareRanked(const std::string& a, const std::string& b, Rank rank) {
  // See Note [names as characters].
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    const char32_t x = rank(NextUnit(a, i));
    const char32_t y = rank(NextUnit(b, j));
    if (x != y) {
      return x < y ? -1 : 1;
    }
  }
  if (i < a.size() || j < b.size()) {
    return i < a.size() ? 1 : -1;
  }
  return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
}

} // namespace

int CompareNoCase(const std::string& a, const std::string& b) {
  return CompareRanked(a, b, UpperCase);
}

int ComparePathsNoCase(const std::string& a, const std::string& b) {
  return CompareRanked(a, b, PathRank);
}

} // namespace lexiform::platform

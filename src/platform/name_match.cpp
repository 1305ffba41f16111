#include "platform/platform.h"

#include <algorithm>

namespace lexiform::platform {

bool MatchesWildcard(const std::string& mask, const std::string& name) {
  // Iterative matcher with one backtrack point: linear in practice, never exponential
  // on masks with many stars.
  std::size_t m = 0;
  std::size_t n = 0;
  std::size_t starMask = std::string::npos;
  std::size_t starName = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == '?' || mask[m] == name[n])) {
      ++m;
      ++n;
    } else if (m < mask.size() && mask[m] == '*') {
      starMask = m++;
      starName = n;
    } else if (starMask != std::string::npos) {
      m = starMask + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') {
    ++m;
  }
  return m == mask.size();
}

namespace {

// Letters folded to upper case, as NTFS orders the names of a directory: "_" and the
// other bytes between "Z" and "a" then sort after the letters, not before them.
unsigned FoldToUpper(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (byte >= 'a' && byte <= 'z') ? byte - ('a' - 'A') : byte;
}

// A path separator before every other byte, so that a directory's subtree follows it
// directly whatever the separator's code ("/" sorts before the digits and letters,
// "\" after the upper-case ones).
unsigned PathRank(char c) {
  return (c == '/' || c == PathSeparator()) ? 0 : FoldToUpper(c) + 1;
}

// Compares by the ranks of the bytes, ties broken by byte order.
template <typename Rank> int CompareRanked(const std::string& a, const std::string& b, Rank rank) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const unsigned x = rank(a[i]);
    const unsigned y = rank(b[i]);
    if (x != y) {
      return x < y ? -1 : 1;
    }
  }
  if (a.size() != b.size()) {
    return a.size() < b.size() ? -1 : 1;
  }
  return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
}

} // namespace

int CompareNoCase(const std::string& a, const std::string& b) {
  return CompareRanked(a, b, FoldToUpper);
}

int ComparePathsNoCase(const std::string& a, const std::string& b) {
  return CompareRanked(a, b, PathRank);
}

} // namespace lexiform::platform

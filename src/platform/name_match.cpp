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
unsigned char FoldCase(char c) {
  auto byte = static_cast<unsigned char>(c);
  return (byte >= 'A' && byte <= 'Z') ? static_cast<unsigned char>(byte + ('a' - 'A')) : byte;
}
} // namespace

int CompareNoCase(const std::string& a, const std::string& b) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const unsigned char x = FoldCase(a[i]);
    const unsigned char y = FoldCase(b[i]);
    if (x != y) {
      return x < y ? -1 : 1;
    }
  }
  if (a.size() != b.size()) {
    return a.size() < b.size() ? -1 : 1;
  }
  return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
}

} // namespace lexiform::platform

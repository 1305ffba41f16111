#include "files/file_size.h"

#include "platform/platform.h"

namespace lexiform {

namespace {

struct SizeUnit {
  std::uint64_t bytes;
  const char* suffix;
};

// Largest first: the first unit that fits the size is the one shown.
constexpr SizeUnit kUnits[] = {
    {std::uint64_t{1} << 30, " GB"},
    {std::uint64_t{1} << 20, " MB"},
    {std::uint64_t{1} << 10, " KB"},
};

// Right-aligned in a field of at least two characters.
std::string PadToTwo(std::string number) {
  return number.size() < 2 ? std::string(2 - number.size(), ' ') + number : number;
}

// size / unit with two decimals, the last one rounded half up. Integer arithmetic
// keeps it exact: the C library's "%.2f" works on the binary double nearest to the
// quotient and rounds ties to even, so 1152 bytes would come out as "1.12 KB".
std::string FormatHundredths(std::uint64_t size, std::uint64_t unit) {
  const std::uint64_t whole = size / unit;
  const std::uint64_t rest = size % unit;
  // rest * 100 stays far below 2^64 since unit is at most 2^30.
  const std::uint64_t hundredths = whole * 100 + (rest * 100 + unit / 2) / unit;
  const std::uint64_t fraction = hundredths % 100;
  return std::to_string(hundredths / 100) + (fraction < 10 ? ".0" : ".") + std::to_string(fraction);
}

} // namespace

std::uint64_t GetFileSizeBytes(const std::string& name) {
  return platform::FileSize(name);
}

std::string FormatFileSize(std::uint64_t size) {
  for (const SizeUnit& unit : kUnits) {
    if (size >= unit.bytes) {
      return PadToTwo(FormatHundredths(size, unit.bytes)) + unit.suffix;
    }
  }
  return PadToTwo(std::to_string(size)) + " bytes";
}

std::string FileSizeText(const std::string& name) {
  return FormatFileSize(GetFileSizeBytes(name));
}

} // namespace lexiform

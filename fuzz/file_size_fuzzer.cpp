// FormatFileSize against exact integer arithmetic: binary units, two decimals rounded
// half up, the number right-aligned in at least two characters.

#include <cstddef>
#include <cstdint>
#include <string>

#include "files/file_size.h"
#include "fuzz_support.h"

namespace lexiform {
namespace {

__extension__ typedef unsigned __int128 UInt128;

std::string PadToTwo(const std::string& number) {
  return number.size() < 2 ? " " + number : number;
}

std::string ReferenceText(std::uint64_t size) {
  if (size < 1024) {
    return PadToTwo(std::to_string(size)) + " bytes";
  }
  std::uint64_t unit = std::uint64_t{1} << 10;
  const char* suffix = " KB";
  if (size >= (std::uint64_t{1} << 30)) {
    unit = std::uint64_t{1} << 30;
    suffix = " GB";
  } else if (size >= (std::uint64_t{1} << 20)) {
    unit = std::uint64_t{1} << 20;
    suffix = " MB";
  }
  // floor(100 * size / unit + 1/2), exactly: a tie goes up.
  const UInt128 hundredths = (UInt128{size} * 200 + unit) / (UInt128{unit} * 2);
  const auto whole = static_cast<std::uint64_t>(hundredths / 100);
  const auto fraction = static_cast<unsigned>(hundredths % 100);
  const std::string decimals = {static_cast<char>('0' + fraction / 10),
                                static_cast<char>('0' + fraction % 10)};
  return PadToTwo(std::to_string(whole) + "." + decimals) + suffix;
}

void Check(std::uint64_t size) {
  const std::string got = FormatFileSize(size);
  const std::string expected = ReferenceText(size);
  FUZZ_CHECK(got == expected, "FormatFileSize(" << size << ") gives \"" << got << "\", expected \""
                                                << expected << "\"");
}

} // namespace
} // namespace lexiform

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < size && i < 8; ++i) {
    value |= std::uint64_t{data[i]} << (8 * i);
  }
  // Every magnitude from the same bits: the unit boundaries and the small sizes are
  // met on every run, not only when the mutator happens to clear the high bytes.
  for (unsigned shift = 0; shift < 64; ++shift) {
    lexiform::Check(value >> shift);
  }
  return 0;
}

// ParseInteger against a plain reading of its rules, and ParseOptions over argument
// lists cut from the input at zero bytes.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "driver/options.h"
#include "fuzz_support.h"

namespace lexiform {
namespace {

int Digit(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return 99;
}

bool StartsWith(std::string_view text, std::string_view start) {
  return text.substr(0, start.size()) == start;
}

// Blanks, an optional sign, then "$", "x", "0x" (any case) and hexadecimal digits or
// plain decimal digits, and nothing after them; the value must fit 32 signed bits.
std::optional<std::int32_t> ReferenceParse(std::string_view text) {
  while (!text.empty() && text.front() == ' ') {
    text.remove_prefix(1);
  }
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  for (std::string_view prefix : {"$", "x", "X", "0x", "0X"}) {
    if (StartsWith(text, prefix)) {
      base = 16;
      text.remove_prefix(prefix.size());
      break;
    }
  }
  if (text.empty()) {
    return std::nullopt;
  }
  // Leading zeros may be many; the value is only tracked once it is not zero.
  std::int64_t value = 0;
  for (char c : text) {
    if (Digit(c) >= base) {
      return std::nullopt;
    }
    value = value * base + Digit(c);
    if (value > (std::int64_t{1} << 32)) {
      value = std::int64_t{1} << 32; // out of range whatever follows
    }
  }
  const std::int64_t signedValue = negative ? -value : value;
  if (signedValue < INT32_MIN || signedValue > INT32_MAX) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(signedValue);
}

bool IsSub(const std::string& argument) {
  if (argument.size() != 4) {
    return false;
  }
  for (std::size_t i = 0; i < 4; ++i) {
    const char c = argument[i];
    const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    if (lower != "-sub"[i]) {
      return false;
    }
  }
  return true;
}

void CheckOptions(std::string_view data) {
  std::vector<std::string> arguments;
  std::size_t start = 0;
  for (;;) {
    const std::size_t zero = data.find('\0', start);
    arguments.emplace_back(data.substr(start, zero - start));
    if (zero == std::string_view::npos) {
      break;
    }
    start = zero + 1;
  }
  TOptions expected;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (IsSub(arguments[i])) {
      expected.RecurseSubdirs = true;
      expected.SubdirDepth = kDefaultSubdirDepth;
      if (i + 1 < arguments.size()) {
        expected.SubdirDepth = ReferenceParse(arguments[i + 1]).value_or(kDefaultSubdirDepth);
      }
    }
  }
  const TOptions options = ParseOptions(arguments);
  // Without the newer switches every argument stays positional, as it always was.
  const bool anySwitch = std::any_of(arguments.begin(), arguments.end(), [](std::string text) {
    for (char& c : text) {
      c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return text == "-html5" || text == "-lines" || text == "-q" || text == "-strict" ||
           text == "-cp" || text == "-site";
  });
  FUZZ_CHECK(anySwitch || options.Positional == arguments, "positional arguments changed");
  FUZZ_CHECK(options.RecurseSubdirs == expected.RecurseSubdirs &&
                 options.SubdirDepth == expected.SubdirDepth,
             "ParseOptions gives " << options.RecurseSubdirs << "/" << options.SubdirDepth
                                   << ", the rules give " << expected.RecurseSubdirs << "/"
                                   << expected.SubdirDepth);
}

} // namespace
} // namespace lexiform

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lexiform;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::optional<std::int32_t> got = ParseInteger(text);
  const std::optional<std::int32_t> expected = ReferenceParse(text);
  FUZZ_CHECK(got == expected, "ParseInteger(" << fuzz::Printable(text) << ") gives "
                                              << (got ? std::to_string(*got) : "none")
                                              << ", the rules give "
                                              << (expected ? std::to_string(*expected) : "none"));
  CheckOptions(text);
  return 0;
}

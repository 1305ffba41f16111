#include "driver/options.h"

#include <limits>

#include "platform/platform.h"

namespace lexiform {

namespace {

bool IsSubOption(const std::string& argument) {
  if (argument.size() != 4) {
    return false;
  }
  static constexpr char kUpper[] = "-SUB";
  for (std::size_t i = 0; i < 4; ++i) {
    char c = argument[i];
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
    if (c != kUpper[i]) {
      return false;
    }
  }
  return true;
}

int DigitValue(char c, int base) {
  int value = -1;
  if (c >= '0' && c <= '9') {
    value = c - '0';
  } else if (c >= 'a' && c <= 'f') {
    value = c - 'a' + 10;
  } else if (c >= 'A' && c <= 'F') {
    value = c - 'A' + 10;
  }
  return value < base ? value : -1;
}

} // namespace

bool IsHelpSwitch(std::string_view argument) {
  return argument == "--help" || argument == "-h" || argument == "-?" ||
         (argument == "/?" && platform::SlashStartsSwitches());
}

bool IsVersionSwitch(std::string_view argument) {
  return argument == "--version";
}

std::optional<std::int32_t> ParseInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') {
    ++i;
  }
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int base = 10;
  if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i == text.size()) {
    return std::nullopt;
  }
  // The magnitude may reach 2^31 for the negative end of the range.
  const std::int64_t limit = negative ? std::int64_t{1} << 31 : (std::int64_t{1} << 31) - 1;
  std::int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const int digit = DigitValue(text[i], base);
    if (digit < 0) {
      return std::nullopt;
    }
    magnitude = magnitude * base + digit;
    if (magnitude > limit) {
      return std::nullopt;
    }
  }
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

TOptions ParseOptions(const std::vector<std::string>& arguments) {
  TOptions options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (!IsSubOption(arguments[i])) {
      continue;
    }
    options.RecurseSubdirs = true;
    std::optional<std::int32_t> depth;
    if (i + 1 < arguments.size()) {
      depth = ParseInteger(arguments[i + 1]);
    }
    options.SubdirDepth = depth.value_or(kDefaultSubdirDepth);
  }
  return options;
}

} // namespace lexiform

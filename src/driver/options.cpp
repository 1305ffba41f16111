#include "driver/options.h"

#include <limits>
#include <string>

#include "platform/platform.h"

namespace lexiform {

namespace {

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

// `argument` in lower case, for comparing switches.
std::string Lowered(const std::string& argument) {
  std::string lowered = argument;
  for (char& c : lowered) {
    c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  }
  return lowered;
}

// Sets the switch that `argument` names and returns true; false for anything else.
// `value` is the argument after it, which a switch that takes one consumes.
bool TakeSwitch(const std::string& argument, const std::string* value, TOptions& options,
                bool& consumedValue) {
  const std::string name = Lowered(argument);
  consumedValue = false;
  if (name == "-html5") {
    options.Html5 = true;
  } else if (name == "-lines") {
    options.Lines = true;
  } else if (name == "-q") {
    options.Quiet = true;
  } else if (name == "-strict") {
    options.Strict = true;
  } else if (name == "-site") {
    options.Site = true;
  } else if (name == "-cp") {
    // "-sub" is never a value: it keeps its meaning wherever it stands.
    const bool hasValue = value != nullptr && !IsSubOption(*value);
    options.CodePage = hasValue ? *value : std::string();
    consumedValue = hasValue;
  } else {
    return false;
  }
  return true;
}

} // namespace

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
    const std::string* value = i + 1 < arguments.size() ? &arguments[i + 1] : nullptr;
    bool consumedValue = false;
    if (TakeSwitch(arguments[i], value, options, consumedValue)) {
      i += consumedValue ? 1 : 0;
      continue;
    }
    const bool afterSub = i > 0 && IsSubOption(arguments[i - 1]);
    if (options.Positional.size() >= 2 && !IsSubOption(arguments[i]) && !afterSub) {
      (arguments[i].size() > 1 && arguments[i][0] == '-' ? options.Unrecognised
                                                         : options.Unexpected)
          .push_back(arguments[i]);
    }
    options.Positional.push_back(arguments[i]);
  }
  // The depth: every "-sub" of the arguments as they stand, switches and all, the last
  // one winning, as it has always been read.
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

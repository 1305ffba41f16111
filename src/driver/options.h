#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lexiform {

inline constexpr std::int32_t kDefaultSubdirDepth = 30;

struct TOptions {
  bool RecurseSubdirs = false;
  std::int32_t SubdirDepth = kDefaultSubdirDepth;
};

// Scans the arguments (without the program name) for "-sub" in any letter case; the
// argument after each occurrence gives the depth, the last occurrence wins. Arguments
// are not removed: "-sub" and its number still count as positional arguments.
TOptions ParseOptions(const std::vector<std::string>& arguments);

// Whether `argument` asks for the usage screen: "--help", "-h", "-?", and "/?" where
// "/" starts switches.
bool IsHelpSwitch(std::string_view argument);

// Whether `argument` asks for the program's version: "--version".
bool IsVersionSwitch(std::string_view argument);

// Reads a whole text as a 32-bit signed integer: leading blanks, an optional sign,
// then decimal digits or hexadecimal digits after "$", "x" or "0x" (either case),
// nothing after the digits. Empty when the text is not such a number or out of range.
std::optional<std::int32_t> ParseInteger(std::string_view text);

} // namespace lexiform

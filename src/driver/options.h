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

  // The switches that may stand anywhere after the program name, in any letter case.
  bool Html5 = false;                  // -html5
  bool Lines = false;                  // -lines
  std::optional<std::string> CodePage; // -cp N, the text of N as given
  bool Quiet = false;                  // -q
  bool Strict = false;                 // -strict
  bool Site = false;                   // -site

  // The arguments that are neither one of the switches above nor a switch's value, in
  // order: the first is the file list, the second the output. "-sub" and the argument
  // after it stay among them, as they always have.
  std::vector<std::string> Positional;
  // Of the arguments after the first two positional ones, those that begin with "-"
  // and that no switch knows (neither "-sub" nor the argument right after one)...
  std::vector<std::string> Unrecognised;
  // ... and the others: on a system whose shell expands wildcards, the rest of a list
  // it expanded.
  std::vector<std::string> Unexpected;
};

// Whether `argument` is "-sub" in any letter case.
bool IsSubOption(const std::string& argument);

// Scans the arguments (without the program name): "-sub" in any letter case, where the
// argument after each occurrence gives the depth and the last occurrence wins ("-sub"
// and its number are not removed: they still count as positional arguments); and the
// switches of TOptions, which are taken out of the positional arguments.
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

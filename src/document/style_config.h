#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "convert/token_kind.h"

namespace lexiform {

struct TStyle {
  std::string Prefix;
  std::string Suffix;
};

// The defaults that [Options] sets for the switches of the same names ("Html5=1",
// "Lines=1", "CodePage=1250"); the command line overrides them. A key that is absent,
// or whose value is no decimal number, leaves its switch alone.
struct TConfiguredOptions {
  std::optional<bool> Html5;
  std::optional<bool> Lines;
  std::optional<std::string> CodePage; // as written, like the value of -cp
};

struct TStyleConfig {
  std::string IniFileName;
  std::string HeaderText;
  std::string FooterText;
  // Indexed by TTokenKind; the LineBreak entry stays empty.
  std::array<TStyle, kTokenKindCount> Styles;
  // Markup around the number that "-lines" puts before each line of a document that is
  // not HTML5: from [LineNumber], else a grey number and a blank.
  TStyle LineNumber;
  // The stylesheet of an HTML5 document: the lines of [Html5Style], each ended by
  // CR LF; empty when the section is absent, and then the built-in stylesheet serves.
  std::string Html5StyleSheet;
  TConfiguredOptions Options;

  const TStyle& StyleOf(TTokenKind kind) const { return Styles[static_cast<std::size_t>(kind)]; }
};

// The program's home page, shown by the usage screen and opened by "www".
inline constexpr std::string_view kHomePage = "http://lexiform.example.org/";

// The default configuration file, byte for byte (72 lines, each ended by CR LF).
std::string_view DefaultIniText();

// Sets the ten token styles and the line-number style to their built-in values.
void SetDefaultStyles(TStyleConfig& config);

// Name of the account the program runs under, at most 256 bytes; empty when unknown.
std::string GetCurrentUserName();

// See Note [where the configuration lives].
//
// The configuration file a run uses, settled and made when missing: the file beside
// `programPath` (named after it, with ".ini") when it exists or the default file can be
// written there (never in a system folder); otherwise "lexiform/lexiform.ini" in
// `configHome` (the user's configuration directory; empty for none), its directories
// made and the default file written there when missing. Failures to write are silent.
// Empty when the program's path is unknown, or when a program in a system folder has
// no configuration directory and no file beside it.
std::string SettleIniFile(const std::string& programPath, const std::string& configHome);

// The file SettleIniFile would settle on, found without writing anything.
std::string IniFileInUse(const std::string& programPath, const std::string& configHome);

// The same two for the running program and the user's configuration directory.
std::string SettleIniFile();
std::string IniFileInUse();

// Loads the configuration of a run from the INI file that SettleIniFile settles on;
// only a regular file is read, anything else (a pipe, a device) gives the built-in values.
// `outputFileName` goes into the built-in header.
TStyleConfig LoadStyleConfig(const std::string& outputFileName, const std::string& programPath,
                             const std::string& configHome);

// The same for the running program and the user's configuration directory.
TStyleConfig LoadStyleConfig(const std::string& outputFileName);

} // namespace lexiform

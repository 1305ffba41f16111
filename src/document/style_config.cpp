#include "document/style_config.h"

#include <algorithm>
#include <initializer_list>
#include <iterator>

#include "document/html_escape.h"
#include "document/ini_file.h"
#include "files/path_parts.h"
#include "platform/platform.h"

namespace lexiform {

namespace {

constexpr std::string_view kCrLf = "\r\n";

// The default configuration file, one entry per line; line 2 gets the home page.
constexpr std::string_view kDefaultIniLines[] = {
    "; Ini file for Lexiform.exe",
    "; WWW: ",
    "",
    "[Header]",
    "0=<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">",
    "1=<html>",
    "2=<head>",
    "3=<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1250\">",
    "4=<meta name=\"language\" content=\"pl\">",
    "5=<meta name=\"generator\" content=\"Lexiform.exe\">",
    "6=<meta name=\"author\" content=\"varnik08\">",
    "7=<title>Created with Lexiform</title>",
    "8=<style>",
    "9=\"  body {font-family:verdana;font-size:8pt;background-color:#e3dfc4}\"",
    "10=\"  code {font-family:'courier new';font-size:9pt;}\"",
    "11=\"  a:link {color:maroon;text-decoration:none;}\"",
    "12=\"  a:visited {color:navy;text-decoration:none;}\"",
    "13=\"  pre {margin-left:0.5cm;margin-right:0.5cm;}\"",
    "14=\"  blockquote {font-family:verdana;font-size:9pt;}\"",
    "15=\"  li {margin-top:2pt;}\"",
    "100=</style>",
    "101=</head>",
    "102=<!-- --------------- BODY START --------------- -->",
    "103=<body>",
    "",
    "",
    "[Footer]",
    "0=<!-- --------------- BODY   END --------------- -->",
    "1=</body>",
    "2=</html>",
    "",
    "",
    "[Assembler]",
    "Prefix=<font color=teal>",
    "Suffix=</font>",
    "",
    "[Comment]",
    "Prefix=<font color=navy><i>",
    "Suffix=</font></i>",
    "",
    "[Directive]",
    "Prefix=<b>",
    "Suffix=</b>",
    "",
    "[Identifier]",
    "Prefix=",
    "Suffix=",
    "",
    "[Keyword]",
    "Prefix=<b>",
    "Suffix=</b>",
    "",
    "[Number]",
    "Prefix=<font color=red>",
    "Suffix=</font>",
    "",
    "[Space]",
    "Prefix=",
    "Suffix=",
    "",
    "[String]",
    "Prefix=<font color=blue>",
    "Suffix=</font>",
    "",
    "[Symbol]",
    "Prefix=<font color=maroon>",
    "Suffix=</font>",
    "",
    "[Unknown]",
    "Prefix=",
    "Suffix=",
    "",
};
static_assert(std::size(kDefaultIniLines) == 72);

std::string BuildDefaultIniText() {
  std::string text;
  for (std::size_t i = 0; i < std::size(kDefaultIniLines); ++i) {
    text += kDefaultIniLines[i];
    if (i == 1) {
      text += kHomePage;
    }
    text += kCrLf;
  }
  return text;
}

struct KindName {
  TTokenKind kind;
  const char* name;
};

// The styled kinds in the order they are read, each with its section's name.
constexpr KindName kStyledKinds[] = {
    {TTokenKind::Assembler, "Assembler"}, {TTokenKind::Comment, "Comment"},
    {TTokenKind::Directive, "Directive"}, {TTokenKind::Identifier, "Identifier"},
    {TTokenKind::Keyword, "Keyword"},     {TTokenKind::Number, "Number"},
    {TTokenKind::Space, "Space"},         {TTokenKind::String, "String"},
    {TTokenKind::Symbol, "Symbol"},       {TTokenKind::Unknown, "Unknown"},
};

TStyle& StyleOf(TStyleConfig& config, TTokenKind kind) {
  return config.Styles[static_cast<std::size_t>(kind)];
}

std::string JoinLines(std::initializer_list<std::string> lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += kCrLf;
  }
  return text;
}

// Names from the file system and the account are escaped (see HtmlEscape); file names
// are in the classic document's code page (see Note [names in UTF-8]).
std::string BuiltInHeader(const std::string& programFileName, const std::string& outputFileName) {
  const std::string program = HtmlEscape(platform::ToAnsiCodePage(programFileName));
  return JoinLines({
      R"(<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.0 Transitional//EN">)",
      "",
      "<html>",
      "<head>",
      R"(<meta http-equiv="Content-Type" content="text/html; charset=windows-1250">)",
      R"(<meta name="language" content="pl">)",
      R"(<meta name="generator" content=")" + program + R"(">)",
      R"(<meta name="author" content=")" + HtmlEscape(GetCurrentUserName()) + R"(">)",
      "<title>" + HtmlEscape(platform::ToAnsiCodePage(outputFileName)) + " - created by " +
          program + "</title>",
      "<style>",
      "  body {font-family:verdana;font-size:8pt;background-color:#e3dfc4}",
      "</style>",
      "</head>",
      "",
      "<!-- --------------- BODY START --------------- -->",
      "",
      "<body>",
  });
}

std::string BuiltInFooter() {
  return "\r\n<!-- --------------- BODY   END --------------- -->\r\n</body>\r\n</html>";
}

// Writes the default file; a failure is silent, and a half-written file is removed so
// that the next run tries again.
void WriteDefaultIniFile(const std::string& path) {
  try {
    // Only where nothing stands yet: a link planted there is refused, not followed.
    platform::File file(path, platform::File::Mode::CreateNew);
    try {
      const std::string_view text = DefaultIniText();
      file.Write(text.data(), text.size());
      file.Close();
    } catch (const platform::FileError&) {
      file = platform::File();
      platform::RemoveFile(path);
    }
  } catch (const platform::FileError&) {
    // No right to write beside the program: the built-in values serve.
  }
}

// The file beside the program, named after it.
std::string IniFileBeside(const std::string& programPath) {
  return ReplaceExtension(programPath, ".ini");
}

// The file in the user's configuration directory: "lexiform/lexiform.ini" there.
std::string UserIniFileName(const std::string& configHome) {
  const std::string separator(1, platform::PathSeparator());
  return configHome + separator + "lexiform" + separator + "lexiform.ini";
}

// The values of a section's keys in file order, each as one line; empty when the
// section is absent.
std::string SectionLines(const IniFile& ini, std::string_view section) {
  std::string text;
  for (const std::string& key : ini.KeyNames(section)) {
    text += ini.ReadString(section, key, "");
    text += kCrLf;
  }
  return text;
}

// A section that exists replaces both texts of `style`; a key missing from it gives an
// empty text.
void ReadStyle(const IniFile& ini, const char* section, TStyle& style) {
  if (ini.SectionExists(section)) {
    style = {ini.ReadString(section, "Prefix", ""), ini.ReadString(section, "Suffix", "")};
  }
}

// "1" (any decimal number but zero) is on, "0" off; anything else says nothing.
std::optional<bool> ReadSwitch(const IniFile& ini, std::string_view key) {
  const std::string value = ini.ReadString("Options", key, "");
  const bool isNumber =
      !value.empty() && value.find_first_not_of("0123456789") == std::string::npos;
  if (!isNumber) {
    return std::nullopt;
  }
  return value.find_first_not_of('0') != std::string::npos;
}

TConfiguredOptions ReadOptions(const IniFile& ini) {
  TConfiguredOptions options;
  options.Html5 = ReadSwitch(ini, "Html5");
  options.Lines = ReadSwitch(ini, "Lines");
  const std::string codePage = ini.ReadString("Options", "CodePage", "");
  if (!codePage.empty()) {
    options.CodePage = codePage;
  }
  return options;
}

} // namespace

std::string_view DefaultIniText() {
  static const std::string text = BuildDefaultIniText();
  return text;
}

void SetDefaultStyles(TStyleConfig& config) {
  StyleOf(config, TTokenKind::Assembler) = {"<font color=teal>", "</font>"};
  StyleOf(config, TTokenKind::Comment) = {"<i><font color=navy>", "</i></font>"};
  StyleOf(config, TTokenKind::Directive) = {"<b>", "</b>"};
  StyleOf(config, TTokenKind::Identifier) = {"", ""};
  StyleOf(config, TTokenKind::Keyword) = {"<b>", "</b>"};
  StyleOf(config, TTokenKind::Number) = {"<font color=red>", "</font>"};
  StyleOf(config, TTokenKind::Space) = {"", ""};
  StyleOf(config, TTokenKind::String) = {"<font color=blue>", "</font>"};
  StyleOf(config, TTokenKind::Symbol) = {"<font color=maroon>", "</font>"};
  StyleOf(config, TTokenKind::Unknown) = {"", ""};
  config.LineNumber = {"<font color=gray>", "</font> "};
}

std::string GetCurrentUserName() {
  constexpr std::size_t kUserNameBuffer = 256;
  const std::string name = platform::UserName();
  return name.substr(0, std::min(name.find('\0'), kUserNameBuffer));
}

// Note [where the configuration lives]
// The configuration file stands beside the program, named after it: a program copied
// somewhere with its file is configured there, and a renamed copy has a file of its
// own. Installed into a folder that its users cannot write (/usr/local/bin), the
// program could neither write nor find a file there that a user may edit, so on POSIX
// the user's configuration directory serves instead, under the fixed name
// lexiform/lexiform.ini. The same holds in a system folder that the user can write
// (root's runs): a file written there would outlive the package that put the program
// there. A file beside the program still wins wherever it exists, so an administrator
// can configure all users at once.

namespace {

// Whether the default file may be made beside the program: not in a system folder,
// and only where nothing, not even a dangling link, has the name yet.
bool MayWriteBeside(const std::string& programPath) {
  const std::string beside = IniFileBeside(programPath);
  const std::string folder = DirectoryPart(programPath);
  return !platform::IsSystemProgramFolder(folder) &&
         platform::KindOf(beside) == platform::PathKind::Missing &&
         platform::FollowLinks(beside) == beside && platform::CanWriteInDirectory(folder);
}

// Without a configuration directory: the file beside the program, unless the program
// stands in a system folder, which it never writes.
std::string IniFileWithoutConfigHome(const std::string& programPath) {
  return platform::IsSystemProgramFolder(DirectoryPart(programPath)) ? std::string()
                                                                     : IniFileBeside(programPath);
}

} // namespace

std::string IniFileInUse(const std::string& programPath, const std::string& configHome) {
  if (programPath.empty()) {
    return {};
  }
  const std::string beside = IniFileBeside(programPath);
  if (platform::IsExistingFile(beside) || MayWriteBeside(programPath)) {
    return beside;
  }
  return configHome.empty() ? IniFileWithoutConfigHome(programPath) : UserIniFileName(configHome);
}

std::string SettleIniFile(const std::string& programPath, const std::string& configHome) {
  if (programPath.empty()) {
    // The program cannot find itself: no configuration file rather than ".ini" in
    // whatever the current directory is.
    return {};
  }
  const std::string beside = IniFileBeside(programPath);
  if (MayWriteBeside(programPath)) {
    WriteDefaultIniFile(beside);
  }
  if (platform::IsExistingFile(beside)) {
    return beside;
  }
  if (configHome.empty()) {
    return IniFileWithoutConfigHome(programPath);
  }
  const std::string user = UserIniFileName(configHome);
  if (!platform::IsExistingFile(user) && platform::CreateDirectories(DirectoryPart(user))) {
    WriteDefaultIniFile(user);
  }
  return user;
}

std::string IniFileInUse() {
  return IniFileInUse(platform::ProgramPath(), platform::UserConfigHome());
}

std::string SettleIniFile() {
  return SettleIniFile(platform::ProgramPath(), platform::UserConfigHome());
}

TStyleConfig LoadStyleConfig(const std::string& outputFileName, const std::string& programPath,
                             const std::string& configHome) {
  TStyleConfig config;
  SetDefaultStyles(config);
  config.HeaderText = BuiltInHeader(NamePart(programPath), outputFileName);
  config.FooterText = BuiltInFooter();
  config.IniFileName = SettleIniFile(programPath, configHome);
  if (config.IniFileName.empty()) {
    return config;
  }
  if (platform::KindOf(config.IniFileName) != platform::PathKind::Regular) {
    // A pipe or a device there would block the run or never end: built-in values.
    return config;
  }

  const IniFile ini = IniFile::Load(config.IniFileName);
  if (ini.SectionExists("header")) {
    config.HeaderText = SectionLines(ini, "header");
  }
  if (ini.SectionExists("footer")) {
    config.FooterText = SectionLines(ini, "footer");
  }
  for (const KindName& styled : kStyledKinds) {
    ReadStyle(ini, styled.name, StyleOf(config, styled.kind));
  }
  ReadStyle(ini, "LineNumber", config.LineNumber);
  config.Html5StyleSheet = SectionLines(ini, "Html5Style");
  config.Options = ReadOptions(ini);
  return config;
}

TStyleConfig LoadStyleConfig(const std::string& outputFileName) {
  return LoadStyleConfig(outputFileName, platform::ProgramPath(), platform::UserConfigHome());
}

} // namespace lexiform

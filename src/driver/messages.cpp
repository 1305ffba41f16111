#include "driver/messages.h"

#include "document/style_config.h"
#include "driver/console.h"
#include "files/path_parts.h"
#include "platform/platform.h"

namespace lexiform {

namespace {

// The program file's name without its directory and extension.
std::string ProgramBaseName() {
  const std::string name = NamePart(platform::ProgramPath());
  const std::size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string TwoDigits(long long value) {
  return (value < 10 ? "0" : "") + std::to_string(value);
}

std::string RuleText() {
  return std::string(80, '-');
}

} // namespace

std::string ElapsedTimeText(std::chrono::seconds elapsed, const std::string& separator,
                            bool hourLeadingZero) {
  const long long total = elapsed.count();
  const long long hours = total / 3600;
  const std::string hourText = hourLeadingZero ? TwoDigits(hours) : std::to_string(hours);
  return hourText + separator + TwoDigits(total / 60 % 60) + separator + TwoDigits(total % 60);
}

void ShowRule() {
  Write(RuleText());
  if (platform::RuleNeedsLineEnd()) {
    WriteLine();
  }
}

void ShowUsage() {
  const std::string base = ProgramBaseName();
  const std::string program = base + platform::ExecutableSuffix();
  platform::SetConsoleTitle(base);

  WriteLine(RuleText());
  WriteLine("  " + base + "    Version " LEXIFORM_VERSION);
  WriteLine("  Converts Pascal sources into one syntax-highlighted HTML document");
  WriteLine();
  WriteColoredLine(TColor::LightBlue, "  " + std::string(kHomePage));
  WriteLine();
  WriteLine("  Syntax: " + program + " PasFile|PasFiles HtmlFile [-sub [x]]");
  WriteLine("  Syntax: " + program + " www");
  WriteLine();
  WriteLine("    PasFile = filename, e.g. 1) Unit1.pas, 2) \"Unit 1.pas\"");
  WriteLine("    PasFiles = comma separated list of files");
  WriteLine("               e.g. \"First File.pas,My_Great_Prog.dpr\"");
  WriteLine("    HtmlFile = HTML file to create");
  WriteLine("    -sub = recurse subdirectories (to x-dir)");
  WriteLine();
  ShowRule();
  FlushConsole();
}

void ShowSwitchesAndStatuses() {
  if (!platform::RuleNeedsLineEnd()) {
    // The rule above ended without a line end: a log must not get both on one line.
    WriteLine();
  }
  WriteLine("  Switches, anywhere after the program's name:");
  WriteLine("    -html5     = HTML5 document with an index of the files");
  WriteLine("    -lines     = number every line");
  WriteLine("    -site      = a site in the folder HtmlFile: a page per file, an index,");
  WriteLine("                 search, links between files");
  WriteLine("    -cp x      = code page of the sources, by number or name (e.g. 1250)");
  WriteLine("    -q         = quiet: no console text, problems on standard error");
  WriteLine("    -strict    = exit status 2 when a file is missing, unreadable or");
  WriteLine("                 unmatched, or a switch unknown");
  WriteLine("    -          = standard input as PasFile, standard output as HtmlFile");
  WriteLine("    --version  = the program's version");
  WriteLine("  Exit status: 0 done, 1 error (the earlier document kept), 2 done with");
  WriteLine("               problems (-strict), 128+n stopped by signal n");
  FlushConsole();
}

void ShowConfigurationFile(const std::string& iniFileName) {
  WriteLine("  Configuration file: " + (iniFileName.empty() ? "none" : iniFileName));
  FlushConsole();
}

void ShowVersion() {
  WriteLine("lexiform " LEXIFORM_VERSION);
  FlushConsole();
}

void ShowError(const std::string& message, const std::string& commandLine) {
  WriteLine(" Lexiform   Version 1.1");
  WriteLine();
  WriteLine(" Command line: " + Shown(commandLine));
  WriteProblemLine(" Error: " + message);
}

void ShowEntryLine(std::size_t number, const std::string& path, const std::string& sizeText) {
  Write("  " + std::to_string(number) + ": ");
  SetTextColor(TColor::Green);
  Write(Shown(path));
  SetTextColor(TColor::LightGray);
  WriteLine(" (" + sizeText + ")");
}

std::string AbsentEntryProblem(SourceEntry::State state, const std::string& path,
                               const std::string& folder, const std::string& reason) {
  switch (state) {
  case SourceEntry::State::Present:
    break;
  case SourceEntry::State::Missing:
    return "  File not exists: " + Shown(path);
  case SourceEntry::State::Unsearchable:
    return "  Cannot search directory: " + Shown(folder) + " (" + reason + ")";
  case SourceEntry::State::Unreadable:
    return "  Could not open file: " + Shown(path);
  }
  return {};
}

} // namespace lexiform

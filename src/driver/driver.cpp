#include "driver/driver.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "convert/pas_conversion.h"
#include "document/document_writer.h"
#include "document/style_config.h"
#include "driver/console.h"
#include "driver/messages.h"
#include "driver/options.h"
#include "files/file_set.h"
#include "files/file_size.h"
#include "files/path_parts.h"
#include "files/temp_files.h"
#include "files/text_io.h"
#include "platform/platform.h"

namespace lexiform {

namespace {

using Clock = std::chrono::steady_clock;

struct TRunState {
  Clock::time_point StartTime;
  std::string CommandLine;
  std::vector<std::string> Arguments; // without the program name
  TOptions Options;
  TStringList FileList;
};

// Positional argument `position` (from 1), empty when missing.
std::string Argument(const TRunState& state, std::size_t position) {
  return position <= state.Arguments.size() ? state.Arguments[position - 1] : std::string();
}

bool IsWwwCommand(const std::string& text) {
  if (text.size() != 3) {
    return false;
  }
  for (char c : text) {
    if (c != 'w' && c != 'W') {
      return false;
    }
  }
  return true;
}

std::string TwoDigits(long long value) {
  return (value < 10 ? "0" : "") + std::to_string(value);
}

// Whole seconds as hours, minutes and seconds, in the user's time format. A steady
// clock keeps the figure right across midnight and clock changes.
std::string ElapsedTimeText(Clock::duration elapsed) {
  const long long total = std::chrono::duration_cast<std::chrono::seconds>(elapsed).count();
  const long long hours = total / 3600;
  const std::string separator = platform::TimeSeparator();
  const std::string hourText =
      platform::HourHasLeadingZero() ? TwoDigits(hours) : std::to_string(hours);
  return hourText + separator + TwoDigits(total / 60 % 60) + separator + TwoDigits(total % 60);
}

// The summary that ends every run the program finishes by itself.
int FinishRun(const TRunState& state) {
  const Clock::time_point finishTime = Clock::now();
  WriteLine();
  ShowRule();
  WriteLine("     Processed files: " + std::to_string(state.FileList.size()));
  WriteLine("      Execution time: " + ElapsedTimeText(finishTime - state.StartTime));
  FlushConsole();
  return 0;
}

// With -sub every comma piece is a mask searched in its directory and below.
TStringList CollectRecursively(const std::string& argument, std::int32_t depth) {
  WriteLine("     Please wait ...");
  TStringList collectedFiles;
  TStringList unsearchable;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = argument.find(',', start);
    const std::string entry = argument.substr(start, comma - start);

    std::string searchDir = DirectoryPart(entry);
    std::string searchMask = NamePart(entry);
    // Drop the final separator unless a root needs it: "/" or "\" alone, "C:\", "\\".
    if (searchDir.size() > 1 && searchDir.back() != ':' &&
        !platform::EndsDirectoryPart(searchDir[searchDir.size() - 2])) {
      searchDir.pop_back();
    }
    if (searchDir.empty()) {
      searchDir = platform::CurrentDirectory();
      searchMask = entry;
    }
    searchDir = platform::ResolveSearchDirectory(searchDir);
    TStringList searchResults;
    CollectFiles(searchMask, searchDir, searchResults, depth, &unsearchable);
    collectedFiles.insert(collectedFiles.end(), std::make_move_iterator(searchResults.begin()),
                          std::make_move_iterator(searchResults.end()));

    if (comma == std::string::npos) {
      break;
    }
    start = comma + 1;
  }
  WriteLine("     Processing " + std::to_string(collectedFiles.size()) + " files ...");
  // What lies below such a directory is left out: say so rather than drop it silently.
  for (const std::string& directory : unsearchable) {
    WriteColoredLine(TColor::LightRed, "  Could not search: " + directory);
  }
  return collectedFiles;
}

TStringList BuildFileList(const std::string& argument, const TOptions& options) {
  if (options.RecurseSubdirs) {
    return CollectRecursively(argument, options.SubdirDepth);
  }
  TStringList fileList;
  SplitFileArgument(argument, ",", fileList);
  return fileList;
}

// The file-name part of the command line: what follows its last separator.
std::string CommandLineTail(const std::string& commandLine) {
  return NamePart(commandLine);
}

std::string OutputNameFor(const std::string& argument) {
  return HasExtension(argument) ? argument : argument + ".html";
}

void ApplyStyles(TPasConversion& converter, const TStyleConfig& config) {
  auto set = [&config](TTokenKind kind, std::string& prefix, std::string& suffix) {
    prefix = config.StyleOf(kind).Prefix;
    suffix = config.StyleOf(kind).Suffix;
  };
  set(TTokenKind::Keyword, converter.KeywordPrefix, converter.KeywordSuffix);
  set(TTokenKind::Comment, converter.CommentPrefix, converter.CommentSuffix);
  set(TTokenKind::Directive, converter.DirectivePrefix, converter.DirectiveSuffix);
  set(TTokenKind::Identifier, converter.IdentifierPrefix, converter.IdentifierSuffix);
  set(TTokenKind::Number, converter.NumberPrefix, converter.NumberSuffix);
  set(TTokenKind::String, converter.StringPrefix, converter.StringSuffix);
  set(TTokenKind::Symbol, converter.SymbolPrefix, converter.SymbolSuffix);
  set(TTokenKind::Space, converter.SpacePrefix, converter.SpaceSuffix);
  set(TTokenKind::Unknown, converter.UnknownPrefix, converter.UnknownSuffix);
  set(TTokenKind::Assembler, converter.AssemblerPrefix, converter.AssemblerSuffix);
}

// Leaves the entry's finished HTML text in `tempFileName`.
void PrepareConvertedText(const std::string& currentFile, const TStyleConfig& config,
                          const std::string& tempFileName) {
  // See Note [rewriting temporary files].
  BufferedFileWriter output(OpenForRewrite(tempFileName));
  if (GetFileSizeBytes(currentFile) > 0) {
    // One converter per file. Its text goes through the fix-up into the temporary file
    // piece by piece, so memory stays near the size of the source.
    TPasConversion converter;
    ApplyStyles(converter, config);
    converter.LoadFromFile(currentFile);
    FixedTextWriter fixedText(output);
    converter.ConvertTo([&fixedText](std::string_view piece) { fixedText.Write(piece); });
    fixedText.Finish();
  }
  output.Close();
}

struct TRunFiles {
  std::string OutputFileName;
  std::string TempFileName;
};

void ProcessEntry(std::size_t number, const std::string& currentFile, bool multiFile,
                  const TStyleConfig& config, const TRunFiles& files) {
  ShowEntryLine(number, currentFile, FileSizeText(currentFile));
  // The entry's guard: whatever fails here is reported and the run goes on; what
  // already reached the document stays there.
  try {
    if (!platform::IsExistingFile(currentFile)) {
      WriteColoredLine(TColor::LightRed, "  File not exists: " + currentFile);
      return;
    }
    PrepareConvertedText(currentFile, config, files.TempFileName);
    const std::string currentSizeText = FileSizeText(currentFile);
    AppendFileSection(files.OutputFileName, number, currentFile, currentSizeText,
                      files.TempFileName, multiFile);
  } catch (const std::exception&) {
    WriteColoredLine(TColor::LightRed, "  Could not open file: " + currentFile);
  }
}

int RunConversion(TRunState& state) {
  state.FileList = BuildFileList(Argument(state, 1), state.Options);

  WriteLine();
  WriteLine(" Command line: " + CommandLineTail(state.CommandLine));
  WriteLine(" Files:");

  const TempFile tempFile(kTempFilePrefix);
  TRunFiles files;
  files.TempFileName = tempFile.Path();
  files.OutputFileName = OutputNameFor(Argument(state, 2));
  const TStyleConfig config = LoadStyleConfig(files.OutputFileName);

  WriteDocumentStart(files.OutputFileName, config.HeaderText, state.FileList);
  const bool multiFile = state.FileList.size() > 1;
  for (std::size_t i = 0; i < state.FileList.size(); ++i) {
    ProcessEntry(i + 1, state.FileList[i], multiFile, config, files);
  }
  WriteDocumentEnd(files.OutputFileName, config.FooterText);
  return FinishRun(state);
}

// Without any opener the address at least reaches the user.
void OpenHomePage() {
  if (!platform::OpenUrl(std::string(kHomePage))) {
    WriteLine(kHomePage);
    FlushConsole();
  }
}

// "--help" (and its short forms) and "--version" in first position answer and end the
// program before anything else; returns whether the argument was such a request.
bool AnswerInformationRequest(const std::string& first) {
  if (IsHelpSwitch(first)) {
    ShowUsage();
    ShowConfigurationFile(IniFileInUse());
    return true;
  }
  if (IsVersionSwitch(first)) {
    ShowVersion();
    return true;
  }
  return false;
}

int Dispatch(TRunState& state) {
  const std::string first = Argument(state, 1);
  const std::string second = Argument(state, 2);
  if (AnswerInformationRequest(first)) {
    return 0;
  }
  if (first.empty()) {
    ShowUsage();
    return 0;
  }
  if (IsWwwCommand(first) && second.empty()) {
    OpenHomePage();
    return 0;
  }
  if (second.empty()) {
    ShowError("Not enough parameters.", state.CommandLine);
    return FinishRun(state);
  }
  return RunConversion(state);
}

const char* ErrorKind(const std::exception& error) {
  if (dynamic_cast<const platform::FileError*>(&error)) {
    return "FileError";
  }
  if (dynamic_cast<const ConversionError*>(&error)) {
    return "ConversionError";
  }
  if (dynamic_cast<const std::bad_alloc*>(&error)) {
    return "OutOfMemory";
  }
  return "Error";
}

void ReportFatalError(const char* kind, const char* message) {
  FlushConsole();
  std::fprintf(stderr, "%s: %s%s", kind, message, platform::ConsoleLineEnd());
  std::fflush(stderr);
}

} // namespace

int RunProgram(int argc, char* argv[]) {
  try {
    InitConsole();
    const TConsoleSession consoleSession;
    platform::PrepareProcess();
    TRunState state;
    state.StartTime = Clock::now();
    state.CommandLine = platform::CommandLine(argc, argv);
    state.Arguments.assign(argv + (argc > 0 ? 1 : 0), argv + argc);
    state.Options = ParseOptions(state.Arguments);
    platform::SetConsoleTitle(kProgramTitle);
    return Dispatch(state);
  } catch (const std::exception& error) {
    ReportFatalError(ErrorKind(error), error.what());
  } catch (...) {
    ReportFatalError("Error", "unknown failure");
  }
  return 1;
}

} // namespace lexiform

#include "driver/driver.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "convert/pas_conversion.h"
#include "document/style_config.h"
#include "document/unfinished_document.h"
#include "driver/console.h"
#include "driver/messages.h"
#include "driver/options.h"
#include "driver/output_guard.h"
#include "driver/run_kind.h"
#include "files/file_set.h"
#include "files/path_parts.h"
#include "platform/platform.h"

namespace lexiform {

namespace {

using Clock = std::chrono::steady_clock;

struct TRunState {
  Clock::time_point StartTime;
  std::string CommandLine;
  std::vector<std::string> Arguments; // without the program name
  char** Argv = nullptr;              // as the program received them, for a new start
  TOptions Options;
  TStringList FileList;
  // Standard input's bytes when the file list is "-": one source named "stdin".
  std::optional<std::string> StandardInput;
  // Something the user asked for is not in the document: an entry missing or
  // unreadable, a directory not searched, a name or mask that matched nothing, a switch
  // not known. With -strict such a run ends with status 2.
  bool Troubled = false;
};

constexpr int kTroubledStatus = 2;

// Positional argument `position` (from 1), empty when missing.
std::string Argument(const TRunState& state, std::size_t position) {
  const std::vector<std::string>& positional = state.Options.Positional;
  return position <= positional.size() ? positional[position - 1] : std::string();
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

// The summary that ends every run the program finishes by itself.
int FinishRun(const TRunState& state) {
  const Clock::time_point finishTime = Clock::now();
  WriteLine();
  ShowRule();
  WriteLine("     Processed files: " + std::to_string(state.FileList.size()));
  // A steady clock keeps the figure right across midnight and clock changes.
  const auto elapsed =
      std::chrono::duration_cast<std::chrono::seconds>(finishTime - state.StartTime);
  WriteLine("      Execution time: " +
            ElapsedTimeText(elapsed, platform::TimeSeparator(), platform::HourHasLeadingZero()));
  FlushConsole();
  return state.Options.Strict && state.Troubled ? kTroubledStatus : 0;
}

// A problem of the run: said, and remembered for -strict.
void ReportProblem(TRunState& state, const std::string& text) {
  state.Troubled = true;
  WriteProblemLine(text);
}

// A name or mask that matched no file: a problem for -strict, and said only then, so
// that the console of other runs stays as it always was.
void NoteUnmatched(TRunState& state, const std::string& piece) {
  state.Troubled = true;
  if (state.Options.Strict) {
    WriteProblemLine("  No file matches: " + Shown(piece));
  }
}

// With -sub every comma piece is a mask searched in its directory and below. A
// directory that cannot be searched is said, not silently skipped.
TStringList CollectRecursively(TRunState& state, const std::string& argument, std::int32_t depth) {
  const auto reportUnsearchable = [&state](const std::string& directory,
                                           const std::string& reason) {
    ReportProblem(state, "  Cannot search directory: " + Shown(directory) + " (" + reason + ")");
  };
  WriteLine("     Please wait ...");
  TStringList collectedFiles;
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
    CollectFiles(searchMask, searchDir, searchResults, depth, reportUnsearchable);
    if (searchResults.empty()) {
      NoteUnmatched(state, entry);
    }
    collectedFiles.insert(collectedFiles.end(), std::make_move_iterator(searchResults.begin()),
                          std::make_move_iterator(searchResults.end()));

    if (comma == std::string::npos) {
      break;
    }
    start = comma + 1;
  }
  WriteLine("     Processing " + std::to_string(collectedFiles.size()) + " files ...");
  return collectedFiles;
}

TStringList BuildFileList(TRunState& state, const std::string& argument) {
  if (argument == kStandardStream) {
    state.StandardInput = platform::ReadStandardInput();
    return {"stdin"};
  }
  if (state.Options.RecurseSubdirs) {
    return CollectRecursively(state, argument, state.Options.SubdirDepth);
  }
  TStringList fileList;
  TStringList unmatched;
  SplitFileArgument(argument, ",", fileList, &unmatched);
  for (const std::string& piece : unmatched) {
    NoteUnmatched(state, piece);
  }
  return fileList;
}

// The file-name part of the command line: what follows its last separator.
std::string CommandLineTail(const std::string& commandLine) {
  return NamePart(commandLine);
}

void NoteUnknownSwitches(TRunState& state) {
  for (const std::string& unknown : state.Options.Unrecognised) {
    state.Troubled = true;
    if (state.Options.Strict) {
      WriteProblemLine("  Unknown switch: " + Shown(unknown));
    }
  }
}

void ShowRunStart(const TRunState& state) {
  WriteLine();
  WriteLine(" Command line: " + Shown(CommandLineTail(state.CommandLine)));
  WriteLine(" Files:");
}

int RunConversion(TRunState& state) {
  RefuseShellExpandedList(state.Options);
  // See Note [kinds of run].
  const std::unique_ptr<RunKind> kind = MakeRunKind(state.Options);
  kind->SetUpProcess(state.Argv);
  const std::string target = kind->TargetOf(Argument(state, 1), Argument(state, 2));
  NoteUnknownSwitches(state);
  state.FileList = BuildFileList(state, Argument(state, 1));
  // The configuration is settled first, so that a file it has just made is known.
  const TStyleConfig config = LoadStyleConfig(target);
  kind->Prepare(state.FileList, config);
  ShowRunStart(state);
  if (kind->Write({state.FileList, state.StandardInput})) {
    state.Troubled = true;
  }
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
    ShowSwitchesAndStatuses();
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
    return state.Options.Strict ? kTroubledStatus : 0;
  }
  if (IsWwwCommand(first) && second.empty()) {
    OpenHomePage();
    return 0;
  }
  if (state.Options.Quiet) {
    MakeConsoleQuiet();
  }
  if (second.empty()) {
    ShowError("Not enough parameters.", state.CommandLine);
    state.Troubled = true;
    return FinishRun(state);
  }
  return RunConversion(state);
}

const char* ErrorKind(const std::exception& error) {
  if (dynamic_cast<const RefusedRun*>(&error)) {
    return "Error";
  }
  if (dynamic_cast<const DocumentError*>(&error)) {
    return "FileError";
  }
  if (dynamic_cast<const platform::ResourceError*>(&error)) {
    return "OutOfResources";
  }
  if (dynamic_cast<const OutOfMemory*>(&error)) {
    return "OutOfMemory";
  }
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
  // The message may quote a name the user gave (the output, an argument). Names are
  // UTF-8 inside; standard error shows them as the console does, or as they are when
  // even that conversion fails (memory being short).
  std::string shown;
  try {
    shown = platform::ToConsoleCodePage(ShownOnStandardError(message));
  } catch (const std::exception&) {
    shown.clear();
  }
  std::fprintf(stderr, "%s: %s%s", kind, shown.empty() ? message : shown.c_str(),
               platform::ConsoleLineEnd());
  std::fflush(stderr);
}

} // namespace

int RunProgram(int argc, char* argv[]) {
  try {
    platform::OpenStandardStreams();
    InitConsole();
    const TConsoleSession consoleSession;
    platform::PrepareProcess();
    TRunState state;
    state.StartTime = Clock::now();
    state.CommandLine = platform::CommandLine(argc, argv);
    state.Arguments = platform::Arguments(argc, argv);
    state.Argv = argv;
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

#include "driver/driver.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <limits>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "convert/pas_conversion.h"
#include "document/document_writer.h"
#include "document/style_config.h"
#include "document/unfinished_document.h"
#include "driver/console.h"
#include "driver/convert_ahead.h"
#include "driver/entry_conversion.h"
#include "driver/messages.h"
#include "driver/options.h"
#include "driver/output_guard.h"
#include "files/file_set.h"
#include "files/file_size.h"
#include "files/path_parts.h"
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
  return 0;
}

// Under -sub a directory that cannot be searched is said, not silently skipped.
void ReportUnsearchable(const std::string& directory, const std::string& reason) {
  WriteColoredLine(TColor::LightRed,
                   "  Cannot search directory: " + Shown(directory) + " (" + reason + ")");
}

// With -sub every comma piece is a mask searched in its directory and below.
TStringList CollectRecursively(const std::string& argument, std::int32_t depth) {
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
    CollectFiles(searchMask, searchDir, searchResults, depth, ReportUnsearchable);
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

void ProcessEntry(std::size_t number, const std::string& currentFile, bool multiFile,
                  const TStyleConfig& config, std::optional<std::string>& convertedAhead,
                  UnfinishedDocument& document) {
  ShowEntryLine(number, currentFile, FileSizeText(currentFile));
  // The entry's guard: a failure of the source (unreadable, vanished, too large to
  // convert) is reported and the run goes on, and whatever of the entry's section had
  // reached the document is cut off again, so a section is all or nothing. A failure
  // to write the document is no fault of the source: it ends the run.
  const std::uint64_t sectionStart = document.Length();
  try {
    if (!platform::IsExistingFile(currentFile)) {
      WriteColoredLine(TColor::LightRed, "  File not exists: " + Shown(currentFile));
      return;
    }
    AppendFileSection(document, number, currentFile, FileSizeText(currentFile), multiFile,
                      [&](TextSink& body) {
                        if (convertedAhead) {
                          body.Write(*convertedAhead);
                        } else {
                          ConvertEntry(currentFile, config, body);
                        }
                      });
  } catch (const DocumentError&) {
    throw;
  } catch (const std::exception&) {
    document.CutBackTo(sectionStart);
    WriteColoredLine(TColor::LightRed, "  Could not open file: " + Shown(currentFile));
  }
}

int RunConversion(TRunState& state) {
  RefuseShellExpandedList(state.Options);
  state.FileList = BuildFileList(Argument(state, 1), state.Options);
  const std::string outputFileName = OutputNameFor(Argument(state, 2));
  CheckOutputIsNoInput(outputFileName, state.FileList, IniFileInUse());

  WriteLine();
  WriteLine(" Command line: " + Shown(CommandLineTail(state.CommandLine)));
  WriteLine(" Files:");

  const TStyleConfig config = LoadStyleConfig(outputFileName);
  UnfinishedDocument document(outputFileName);
  WriteDocumentStart(document, config.HeaderText, state.FileList);
  const bool multiFile = state.FileList.size() > 1;
  // See Note [converting ahead].
  ConvertAhead ahead(state.FileList, config, WorkerCount());
  for (std::size_t i = 0; i < state.FileList.size(); ++i) {
    std::optional<std::string> convertedAhead = ahead.Take(i);
    ProcessEntry(i + 1, state.FileList[i], multiFile, config, convertedAhead, document);
    if (convertedAhead) {
      ahead.Recycle(std::move(*convertedAhead));
    }
  }
  WriteDocumentEnd(document, config.FooterText);
  document.Commit();
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
  if (dynamic_cast<const RefusedRun*>(&error)) {
    return "Error";
  }
  if (dynamic_cast<const DocumentError*>(&error)) {
    return "FileError";
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

#include "driver/driver.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "convert/code_pages.h"
#include "convert/pas_conversion.h"
#include "document/document_layout.h"
#include "document/style_config.h"
#include "document/unfinished_document.h"
#include "driver/console.h"
#include "driver/convert_ahead.h"
#include "driver/entry_conversion.h"
#include "driver/messages.h"
#include "driver/options.h"
#include "driver/output_guard.h"
#include "driver/site_run.h"
#include "files/file_set.h"
#include "files/file_size.h"
#include "files/path_parts.h"
#include "files/source_file.h"
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
  // Standard input's bytes when the file list is "-": one source named "stdin".
  std::optional<std::string> StandardInput;
  // Something the user asked for is not in the document: an entry missing or
  // unreadable, a directory not searched, a name or mask that matched nothing, a switch
  // not known. With -strict such a run ends with status 2.
  bool Troubled = false;
};

constexpr int kTroubledStatus = 2;
constexpr const char* kStandardStream = "-";

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

std::string OutputNameFor(const std::string& argument) {
  if (argument == kStandardStream) {
    return argument;
  }
  return HasExtension(argument) ? argument : argument + ".html";
}

// The code page that -cp, else CodePage of [Options], names; windows-1252 when neither
// does. A name the program does not know refuses the run before anything is written:
// reading the sources in another page would garble every character it does not share.
CodePage ChosenCodePage(const TOptions& options, const TStyleConfig& config) {
  const std::optional<std::string>& name =
      options.CodePage ? options.CodePage : config.Options.CodePage;
  if (!name) {
    return kDefaultCodePage;
  }
  if (const std::optional<CodePage> page = FindCodePage(*name)) {
    return *page;
  }
  std::string known;
  for (std::size_t i = 0; i < kCodePageCount; ++i) {
    const auto page = static_cast<CodePage>(i);
    known += (i == 0 ? "" : ", ") + std::string(CodePageNumber(page)) + " (" +
             std::string(CodePageName(page)) + ")";
  }
  const std::string where =
      options.CodePage ? "-cp" : "CodePage in [Options] of " + Shown(config.IniFileName);
  throw RefusedRun("Unknown code page \"" + *name + "\" (" + where +
                   "). Known code pages, by number or name: " + known + ".");
}

// The layout the switches ask for, over the defaults that [Options] sets.
std::unique_ptr<DocumentLayout> ChosenLayout(const TOptions& options, const TStyleConfig& config,
                                             const TStringList& fileList,
                                             const std::string& outputFileName) {
  LayoutChoice choice;
  choice.html5 = options.Html5 || config.Options.Html5.value_or(false);
  choice.lineNumbers = options.Lines || config.Options.Lines.value_or(false);
  choice.sourcePage = ChosenCodePage(options, config);
  return MakeDocumentLayout(choice, config, fileList, outputFileName);
}

// Every entry looked at once, before the index is written (see Note [one look at an
// entry]); the open files are not kept. Standard input was read whole at the start.
std::vector<SourceEntry> LookAtEntries(const TRunState& state) {
  std::vector<SourceEntry> looks;
  looks.reserve(state.FileList.size());
  for (const std::string& path : state.FileList) {
    if (state.StandardInput) {
      SourceEntry entry;
      entry.state = SourceEntry::State::Present;
      entry.size = state.StandardInput->size();
      looks.push_back(std::move(entry));
      continue;
    }
    SourceEntry entry = LookAtSource(path);
    entry.file.reset();
    looks.push_back(std::move(entry));
  }
  return looks;
}

// What the index shows of an entry: one that is not there, or that cannot be opened for
// reading, gets no section.
IndexedEntry IndexEntryOf(const SourceEntry& look) {
  switch (look.state) {
  case SourceEntry::State::Present:
    return {IndexedEntry::State::Present, look.size};
  case SourceEntry::State::Missing:
    return {IndexedEntry::State::Missing, 0};
  case SourceEntry::State::Unsearchable:
  case SourceEntry::State::Unreadable:
    break;
  }
  return {IndexedEntry::State::Unreadable, look.size};
}

void WriteStart(TextSink& document, const std::vector<SourceEntry>& looks, DocumentLayout& layout) {
  std::vector<IndexedEntry> index;
  index.reserve(looks.size());
  for (const SourceEntry& look : looks) {
    index.push_back(IndexEntryOf(look));
  }
  layout.WriteStart(document, index);
}

// Says why an entry gets no section; false when it is to get one.
bool ReportAbsentEntry(TRunState& state, const std::string& currentFile, const SourceEntry& entry) {
  const std::string problem =
      AbsentEntryProblem(entry.state, currentFile, entry.folder, entry.reason);
  if (problem.empty()) {
    return false;
  }
  ReportProblem(state, problem);
  return true;
}

// The reason a failed section gives for an entry that was gone or closed when looked at.
std::string AbsenceReason(const SourceEntry& entry) {
  switch (entry.state) {
  case SourceEntry::State::Missing:
    return "File not exists";
  case SourceEntry::State::Unsearchable:
    return "Cannot search directory: " + entry.folder + " (" + entry.reason + ")";
  case SourceEntry::State::Present:
  case SourceEntry::State::Unreadable:
    break;
  }
  return "Could not open file";
}

// Memory ran out while an entry was converted: the run cannot go on.
class OutOfMemory : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

void ProcessEntry(TRunState& state, std::size_t number, const std::string& currentFile,
                  const SourceEntry& look, const DocumentLayout& layout,
                  const std::optional<ConvertedEntry>& convertedAhead, DocumentOutput& document) {
  const TEntryFormat& format = layout.Format();
  const std::string sizeText = FormatFileSize(look.size);
  ShowEntryLine(number, currentFile, sizeText);
  if (ReportAbsentEntry(state, currentFile, look)) {
    layout.WriteFailedSection(document, number - 1, AbsenceReason(look));
    return;
  }
  // The entry's guard: a failure of the source (unreadable, vanished, too large to
  // convert) is reported and the run goes on, and whatever of the entry's section had
  // reached the document is cut off again, so a section is all or nothing. A failure
  // to write the document, or resources running out, is no fault of the source: it
  // ends the run.
  const std::uint64_t sectionStart = document.Length();
  try {
    const auto writeBody = [&](TextSink& body) {
      if (convertedAhead) {
        body.Write(convertedAhead->body);
      } else if (state.StandardInput) {
        ConvertEntryText(*state.StandardInput, number, format, body);
      } else {
        ConvertEntry(currentFile, look.size, number, format, body);
      }
    };
    layout.WriteSection(document, number - 1, sizeText, writeBody);
  } catch (const DocumentError&) {
    throw;
  } catch (const platform::ResourceError&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw OutOfMemory("Not enough memory to convert \"" + currentFile + "\"");
  } catch (const ConversionError&) {
    throw OutOfMemory("Not enough memory to convert \"" + currentFile + "\"");
  } catch (const std::exception& error) {
    document.CutBackTo(sectionStart);
    ReportProblem(state, "  Could not open file: " + Shown(currentFile));
    layout.WriteFailedSection(document, number - 1, error.what());
  }
}

// The document goes to the output file, replacing it when the run has finished, or to
// standard output.
std::unique_ptr<DocumentOutput> OpenDocument(const std::string& outputFileName) {
  if (outputFileName == kStandardStream) {
    return std::make_unique<StandardOutputDocument>();
  }
  return std::make_unique<UnfinishedDocument>(outputFileName);
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

// The folder a site goes to: the second argument as it stands, less separators at its
// end (a root keeps its own).
std::string SiteFolderFor(std::string argument) {
  while (argument.size() > 1 && platform::EndsDirectoryPart(argument.back()) &&
         argument.back() != ':' && argument[argument.size() - 2] != ':') {
    argument.pop_back();
  }
  return argument;
}

int RunSiteConversion(TRunState& state) {
  RefuseShellExpandedList(state.Options);
  if (Argument(state, 2) == kStandardStream) {
    throw RefusedRun("A site is a folder of files and cannot go to standard output (\"-\"); "
                     "nothing was written.");
  }
  if (Argument(state, 1) == kStandardStream) {
    throw RefusedRun("A site is made of files and cannot be made from standard input "
                     "(\"-\"); nothing was written.");
  }
  const std::string target = SiteFolderFor(Argument(state, 2));
  NoteUnknownSwitches(state);
  state.FileList = BuildFileList(state, Argument(state, 1));
  const TStyleConfig config = LoadStyleConfig(target);
  const CodePage sourcePage = ChosenCodePage(state.Options, config);
  ShowRunStart(state);
  if (WriteSite(target, state.FileList, sourcePage)) {
    state.Troubled = true;
  }
  return FinishRun(state);
}

int RunConversion(TRunState& state) {
  if (state.Options.Site) {
    return RunSiteConversion(state);
  }
  RefuseShellExpandedList(state.Options);
  if (Argument(state, 2) != kStandardStream) {
    RefuseFolderAsOutput(Argument(state, 2));
  }
  const std::string outputFileName = OutputNameFor(Argument(state, 2));
  if (outputFileName == kStandardStream) {
    platform::UseStandardErrorForConsole();
  }
  NoteUnknownSwitches(state);
  state.FileList = BuildFileList(state, Argument(state, 1));
  // The configuration is settled first, so that a file it has just made is known.
  const TStyleConfig config = LoadStyleConfig(outputFileName);
  if (outputFileName != kStandardStream) {
    CheckOutputMayBeReplaced(outputFileName, state.FileList, config.IniFileName, config.HeaderText);
  }
  const std::unique_ptr<DocumentLayout> layout =
      ChosenLayout(state.Options, config, state.FileList, outputFileName);

  ShowRunStart(state);

  const std::unique_ptr<DocumentOutput> document = OpenDocument(outputFileName);
  const std::vector<SourceEntry> looks = LookAtEntries(state);
  WriteStart(*document, looks, *layout);
  document->SectionComplete();
  // See Note [converting ahead]. Standard input is the writer's alone.
  ConvertAhead ahead(state.FileList, looks, layout->Format(),
                     state.StandardInput ? 0 : WorkerCount());
  for (std::size_t i = 0; i < state.FileList.size(); ++i) {
    std::optional<ConvertedEntry> convertedAhead = ahead.Take(i);
    ProcessEntry(state, i + 1, state.FileList[i], looks[i], *layout, convertedAhead, *document);
    document->SectionComplete();
    if (convertedAhead) {
      ahead.Recycle(std::move(convertedAhead->body));
    }
  }
  layout->WriteEnd(*document);
  document->Commit();
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

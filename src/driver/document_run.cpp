#include "driver/run_kind.h"

#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "convert/pas_conversion.h"
#include "document/document_layout.h"
#include "document/entry_conversion.h"
#include "document/unfinished_document.h"
#include "driver/console.h"
#include "driver/convert_ahead.h"
#include "driver/messages.h"
#include "driver/output_guard.h"
#include "files/file_size.h"
#include "files/path_parts.h"
#include "files/source_file.h"
#include "platform/platform.h"

// A run that writes one document: see Note [kinds of run].
namespace lexiform {

namespace {

std::string OutputNameFor(const std::string& argument) {
  if (argument == kStandardStream) {
    return argument;
  }
  return HasExtension(argument) ? argument : argument + ".html";
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
std::vector<SourceEntry> LookAtEntries(const RunSources& sources) {
  std::vector<SourceEntry> looks;
  looks.reserve(sources.fileList.size());
  for (const std::string& path : sources.fileList) {
    if (sources.standardInput) {
      SourceEntry entry;
      entry.state = SourceEntry::State::Present;
      entry.size = sources.standardInput->size();
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

// The document goes to the output file, replacing it when the run has finished, or to
// standard output.
std::unique_ptr<DocumentOutput> OpenDocument(const std::string& outputFileName) {
  if (outputFileName == kStandardStream) {
    return std::make_unique<StandardOutputDocument>();
  }
  return std::make_unique<UnfinishedDocument>(outputFileName);
}

class DocumentRun : public RunKind {
public:
  explicit DocumentRun(TOptions options) : options_(std::move(options)) {}

  std::string TargetOf(const std::string& /*input*/, const std::string& output) override {
    if (output != kStandardStream) {
      RefuseFolderAsOutput(output);
    }
    outputFileName_ = OutputNameFor(output);
    if (outputFileName_ == kStandardStream) {
      platform::UseStandardErrorForConsole();
    }
    return outputFileName_;
  }

  void Prepare(const TStringList& fileList, const TStyleConfig& config) override {
    if (outputFileName_ != kStandardStream) {
      CheckOutputMayBeReplaced(outputFileName_, fileList, config.IniFileName, config.HeaderText);
    }
    layout_ = ChosenLayout(options_, config, fileList, outputFileName_);
  }

  bool Write(const RunSources& sources) override {
    const std::unique_ptr<DocumentOutput> document = OpenDocument(outputFileName_);
    const std::vector<SourceEntry> looks = LookAtEntries(sources);
    WriteStart(*document, looks, *layout_);
    document->SectionComplete();
    // See Note [converting ahead]. Standard input is the writer's alone.
    ConvertAhead ahead(sources.fileList, looks, layout_->Format(),
                       sources.standardInput ? 0 : WorkerCount());
    for (std::size_t i = 0; i < sources.fileList.size(); ++i) {
      std::optional<ConvertedEntry> convertedAhead = ahead.Take(i);
      ProcessEntry(sources, i + 1, sources.fileList[i], looks[i], convertedAhead, *document);
      document->SectionComplete();
      if (convertedAhead) {
        ahead.Recycle(std::move(convertedAhead->body));
      }
    }
    layout_->WriteEnd(*document);
    document->Commit();
    return troubled_;
  }

private:
  void ReportProblem(const std::string& text) {
    troubled_ = true;
    WriteProblemLine(text);
  }

  // Says why an entry gets no section; false when it is to get one.
  bool ReportAbsentEntry(const std::string& currentFile, const SourceEntry& entry) {
    const std::string problem =
        AbsentEntryProblem(entry.state, currentFile, entry.folder, entry.reason);
    if (problem.empty()) {
      return false;
    }
    ReportProblem(problem);
    return true;
  }

  void ProcessEntry(const RunSources& sources, std::size_t number, const std::string& currentFile,
                    const SourceEntry& look, const std::optional<ConvertedEntry>& convertedAhead,
                    DocumentOutput& document) {
    const DocumentLayout& layout = *layout_;
    const TEntryFormat& format = layout.Format();
    const std::string sizeText = FormatFileSize(look.size);
    ShowEntryLine(number, currentFile, sizeText);
    if (ReportAbsentEntry(currentFile, look)) {
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
        } else if (sources.standardInput) {
          ConvertEntryText(*sources.standardInput, number, format, body);
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
      ReportProblem("  Could not open file: " + Shown(currentFile));
      layout.WriteFailedSection(document, number - 1, error.what());
    }
  }

  const TOptions options_;
  std::string outputFileName_;
  std::unique_ptr<DocumentLayout> layout_;
  bool troubled_ = false;
};

} // namespace

std::unique_ptr<RunKind> MakeDocumentRun(const TOptions& options) {
  return std::make_unique<DocumentRun>(options);
}

} // namespace lexiform

#include "driver/run_kind.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <stdexcept>
#include <thread>
#include <utility>

#include "convert/text_lines.h"
#include "document/entry_conversion.h"
#include "document/site_assets.h"
#include "document/site_build.h"
#include "document/site_xref.h"
#include "document/unfinished_site.h"
#include "driver/console.h"
#include "driver/convert_ahead.h"
#include "driver/messages.h"
#include "driver/output_guard.h"
#include "files/file_size.h"
#include "files/source_file.h"
#include "platform/platform.h"
#include "xref/file_links.h"

namespace lexiform {

namespace {

// An interrupt asked the run to stop; see platform::DeferInterrupts.
class RunInterrupted : public std::runtime_error {
public:
  RunInterrupted() : std::runtime_error("interrupted") {}
};

void StopWhenInterrupted() {
  if (platform::InterruptRequested()) {
    throw RunInterrupted();
  }
}

using EntryState = SourceEntry::State;

CheckedSource CheckSource(const std::string& path, CodePage page) {
  CheckedSource checked;
  try {
    SourceEntry source = LookAtSource(path);
    checked.state = source.state;
    checked.folder = std::move(source.folder);
    checked.reason = std::move(source.reason);
    checked.file.size = source.size;
    if (source.file) {
      // Read to the size it had when looked at, as the page will be: size and text agree.
      const std::string text = ReadPageText(*source.file, source.size, page);
      checked.file.lines = CountLines(text);
      checked.links = xref::ScanFileFacts(text);
    }
  } catch (const platform::ResourceError&) {
    checked.fatal = std::current_exception();
  } catch (const std::bad_alloc&) {
    checked.fatal = std::current_exception();
  } catch (const std::exception&) {
    checked.state = EntryState::Unreadable;
  }
  return checked;
}

// Runs `work` for every index below `count` on `threads` threads (the calling one
// among them); stops early when an interrupt asks the run to stop. The first failure of
// any work ends the others' taking of new indexes and is thrown again here.
template <typename Work> void ForEachIndex(std::size_t count, unsigned threads, Work work) {
  std::atomic<std::size_t> next{0};
  std::exception_ptr failure;
  std::mutex failureLock;
  const auto run = [&] {
    try {
      for (std::size_t i; (i = next++) < count && !platform::InterruptRequested();) {
        work(i);
      }
    } catch (...) {
      next = count;
      const std::lock_guard<std::mutex> lock(failureLock);
      if (!failure) {
        failure = std::current_exception();
      }
    }
  };
  std::vector<std::thread> helpers;
  try {
    for (unsigned t = 1; t < threads && t < count; ++t) {
      helpers.emplace_back(run);
    }
  } catch (const std::exception&) {
    // Fewer threads do the same work.
  }
  run();
  for (std::thread& helper : helpers) {
    helper.join();
  }
  if (failure) {
    std::rethrow_exception(failure);
  }
}

// Every distinct entry checked once, in parallel; an entry listed again shares the
// first one's facts.
std::vector<CheckedSource> CheckEntries(const std::vector<std::string>& fileList, CodePage page) {
  std::map<std::string, std::size_t> firstPlace;
  std::vector<std::size_t> distinct;
  std::vector<std::size_t> sameAs(fileList.size());
  for (std::size_t i = 0; i < fileList.size(); ++i) {
    const auto [place, added] = firstPlace.emplace(fileList[i], i);
    sameAs[i] = place->second;
    if (added) {
      distinct.push_back(i);
    }
  }
  std::vector<CheckedSource> checked(fileList.size());
  ForEachIndex(distinct.size(), WorkerCount() + 1, [&](std::size_t d) {
    checked[distinct[d]] = CheckSource(fileList[distinct[d]], page);
  });
  StopWhenInterrupted();
  for (const CheckedSource& source : checked) {
    if (source.fatal) {
      std::rethrow_exception(source.fatal);
    }
  }
  for (std::size_t i = 0; i < fileList.size(); ++i) {
    if (sameAs[i] != i) {
      checked[i].state = checked[sameAs[i]].state;
      checked[i].folder = checked[sameAs[i]].folder;
      checked[i].reason = checked[sameAs[i]].reason;
      checked[i].file = checked[sameAs[i]].file;
    }
  }
  return checked;
}

void WriteWhole(UnfinishedSite& site, const std::string& file, std::string_view text) {
  const std::unique_ptr<DocumentOutput> output = site.Open(file);
  output->Write(text);
  output->Commit();
}

// Writes `file` whole from the pieces that `make` hands the writer it is given.
template <typename Make>
void WriteInPieces(UnfinishedSite& site, const std::string& file, const Make& make) {
  const std::unique_ptr<DocumentOutput> output = site.Open(file);
  make([&output](std::string_view piece) { output->Write(piece); });
  output->Commit();
}

// The passes that bind the names use every core and no more (fewer when the user asks
// for fewer threads): unlike the pages, they wait on no writer, and a thread beyond the
// cores only held one more unit in memory, 35 MB at the peak of a whole tree's site.
unsigned BindingThreads() {
  const unsigned cores = std::max(std::thread::hardware_concurrency(), 1u);
  return std::min(WorkerCount() + 1, cores);
}

// Writes the data files of the cross-references (see Note [xref data]): the lines
// files as the pages that fill them are written, so that the lines of one range of
// pages are held at a time, and the others whole.
class XrefDataWriter {
public:
  XrefDataWriter(const SiteBuild& build, UnfinishedSite& site) : build_(build), site_(site) {}

  void WriteWholeFiles() {
    const SiteXref& xref = build_.Xref();
    WriteWhole(site_, build_.SharedFile("xref.js"), xref.IndexFile());
    WriteSymbolsAndRefsFiles();
  }

  void PageWritten(std::size_t page) {
    lines_ += build_.TakeLinesData(page);
    if (build_.Xref().EndsLinesFile(page)) {
      WriteLinesUpTo(build_.Xref().LinesFileOf(page) + 1);
    }
  }

  // Every lines file not yet written, so that the site has each one it lists.
  void Finish(std::size_t pageCount) {
    if (pageCount > 0) {
      WriteLinesUpTo(build_.Xref().LinesFileOf(pageCount - 1) + 1);
    }
  }

private:
  // symbols.js and the refs files are most of the data files' work: where the site lets
  // threads write files at once, they are made and written on several.
  void WriteSymbolsAndRefsFiles() {
    const SiteXref& xref = build_.Xref();
    const unsigned threads = site_.OpensInParallel() ? WorkerCount() + 1 : 1;
    ForEachIndex(1 + xref.RefsFileCount(), threads, [&](std::size_t k) {
      if (k == 0) {
        WriteInPieces(site_, build_.SharedFile("symbols.js"),
                      [&xref](const auto& write) { xref.WriteSymbolsFile(write); });
      } else {
        WriteWhole(site_, build_.SharedFile(SiteXref::RefsFileName(k - 1)), xref.RefsFile(k - 1));
      }
    });
  }

  void WriteLinesUpTo(std::size_t end) {
    for (; written_ < end; ++written_) {
      WriteInPieces(
          site_, build_.SharedFile(SiteXref::LinesFileName(written_)),
          [this](const auto& write) { SiteXref::WriteLinesFile(written_, lines_, write); });
      lines_.clear();
    }
  }

  const SiteBuild& build_;
  UnfinishedSite& site_;
  std::string lines_;
  std::size_t written_ = 0;
};

// Says why an entry gets no page, as a document run says why one gets no section;
// false when it gets one.
bool ReportAbsentEntry(const CheckedSource& entry, const std::string& path) {
  const std::string problem = AbsentEntryProblem(entry.state, path, entry.folder, entry.reason);
  if (problem.empty()) {
    return false;
  }
  WriteProblemLine(problem);
  return true;
}

// Converts pages ahead on worker threads: see Note [converting ahead].
std::optional<ConvertedEntry> ConvertPageAhead(const SiteBuild& build, std::size_t page,
                                               std::string storage) {
  const std::uint64_t size = build.Facts()[page].size;
  if (size == 0 || size > ConvertAhead::kMaxAheadSource) {
    return std::nullopt;
  }
  try {
    StringSink body(std::move(storage));
    build.WriteCode(page, build.TextOf(page), body);
    return ConvertedEntry{size, body.Take()};
  } catch (const std::exception&) {
    return std::nullopt; // the writer tries again and reports what it meets
  }
}

// Writes page `page` whole on a worker thread, where the site lets threads write files
// at once (see Note [unfinished site]); the writer then only says so at the page's
// turn. Empty when the writer is to write the page itself: it meets the failure again
// and reports it.
// Note [one large page at a time]
// The markup of a page's links is held until the page is converted: about a hundred
// bytes a link, and tables of Unicode data make pages of hundreds of thousands of links.
// Two such pages side by side (the little- and big-endian twins of a table) made the
// peak memory of a whole tree's site; a page of kLargePageSource bytes of source or more
// is written while no other such page is, and the other workers meanwhile go on with
// the pages after it (a worker that waited for it left a core idle for a second of a
// whole tree's site). The memory of a page of kHugePageSource bytes or more goes back to
// the system when it is done; handing it back after every large page made the other
// pages fault in their memory again, thousands of pages each time, and did not lower the
// peak of a whole tree's site.
constexpr std::uint64_t kLargePageSource = std::uint64_t{1} << 20;
constexpr std::uint64_t kHugePageSource = std::uint64_t{4} << 20;

std::vector<bool> LargePages(const SiteBuild& build) {
  std::vector<bool> large;
  for (const SiteFileFacts& facts : build.Facts()) {
    large.push_back(facts.size >= kLargePageSource);
  }
  return large;
}

std::optional<ConvertedEntry> WritePageAhead(const SiteBuild& build, UnfinishedSite& site,
                                             std::size_t page) {
  try {
    const std::uint64_t size = build.Facts()[page].size;
    const std::unique_ptr<DocumentOutput> output = site.Open(build.Plan().pages[page].file);
    output->Write(build.PageStart(page));
    if (size > 0) {
      build.WriteCode(page, build.TextOf(page), *output);
    }
    output->Write(build.PageEnd(page));
    output->Commit();
    if (size >= kHugePageSource) {
      platform::ReturnFreedMemory();
    }
    return ConvertedEntry{size, std::string()};
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

// Writes page `page`; a failure of its source is reported, and the page then shows no
// code. A failure to write ends the run.
bool WritePage(const SiteBuild& build, UnfinishedSite& site, std::size_t page,
               const std::string* convertedAhead, const std::string& shownPath) {
  const std::unique_ptr<DocumentOutput> output = site.Open(build.Plan().pages[page].file);
  output->Write(build.PageStart(page));
  bool failed = false;
  const std::uint64_t codeStart = output->Length();
  try {
    if (convertedAhead) {
      output->Write(*convertedAhead);
    } else if (build.Facts()[page].size > 0) {
      build.WriteCode(page, build.TextOf(page), *output);
    }
  } catch (const DocumentError&) {
    throw;
  } catch (const std::exception&) {
    output->CutBackTo(codeStart);
    WriteProblemLine("  Could not open file: " + Shown(shownPath));
    failed = true;
  }
  output->Write(build.PageEnd(page));
  output->Commit();
  return failed;
}

bool BuildSite(const std::string& target, const std::vector<std::string>& fileList,
               CodePage sourcePage) {
  std::vector<CheckedSource> checked = CheckEntries(fileList, sourcePage);
  SiteBuild build(fileList, checked, target, sourcePage, BindingThreads());
  // The tables that bound the names are gone; what the pages need is far less.
  platform::ReturnFreedMemory();
  const std::vector<std::string> files = build.Files();
  EarlierSite earlier = InspectSiteFolder(target);
  CheckSiteTarget(target, fileList, earlier, files);
  UnfinishedSite site(target, std::move(earlier), files, build.Plan().sharedFolder);

  for (const SiteAsset& asset : SiteStaticAssets()) {
    WriteWhole(site, build.SharedFile(asset.name), asset.text);
  }
  WriteWhole(site, build.SharedFile("files.js"), build.SearchData());
  XrefDataWriter xrefData(build, site);
  xrefData.WriteWholeFiles();
  build.ReleaseReferences();
  platform::ReturnFreedMemory();

  bool troubled = false;
  const std::vector<std::size_t>& pageOf = build.Plan().pageOfEntry;
  const bool writtenAhead = site.OpensInParallel();
  ConvertAhead ahead(
      build.Plan().pages.size(), WorkerCount(),
      [&](std::size_t page, std::string storage) {
        return writtenAhead ? WritePageAhead(build, site, page)
                            : ConvertPageAhead(build, page, std::move(storage));
      },
      LargePages(build));
  std::size_t pagesWritten = 0;
  for (std::size_t i = 0; i < fileList.size(); ++i) {
    StopWhenInterrupted();
    const CheckedSource& entry = checked[i];
    ShowEntryLine(i + 1, fileList[i], FormatFileSize(entry.file.size));
    if (ReportAbsentEntry(entry, fileList[i])) {
      troubled = true;
      continue;
    }
    const std::size_t page = pageOf[i];
    if (page < pagesWritten) {
      continue; // listed before: it has its page
    }
    std::optional<ConvertedEntry> convertedAhead = ahead.Take(page);
    if (writtenAhead && convertedAhead) {
      xrefData.PageWritten(page);
      build.PageDone(page);
      pagesWritten = page + 1;
      continue;
    }
    if (WritePage(build, site, page, convertedAhead ? &convertedAhead->body : nullptr,
                  fileList[i])) {
      troubled = true;
    }
    xrefData.PageWritten(page);
    build.PageDone(page);
    pagesWritten = page + 1;
    if (convertedAhead) {
      ahead.Recycle(std::move(convertedAhead->body));
    }
  }
  StopWhenInterrupted();
  xrefData.Finish(build.Plan().pages.size());
  WriteWhole(site, std::string(kSiteIndexFile), build.Index(checked));
  site.Commit();
  return troubled;
}

// Writes the code site of `fileList` into the folder `target`: a page per source, the
// index, the shared files (see Note [unfinished site]), with the console lines of the
// entries as a document run writes them. Returns whether an entry was missing or could
// not be read. Throws RefusedRun before anything is written when the folder must not
// be touched, and DocumentError when writing fails. An interrupt ends the process
// once what the run began is tidied up.
bool WriteSite(const std::string& target, const std::vector<std::string>& fileList,
               CodePage sourcePage) {
  platform::DeferInterrupts();
  platform::KeepFreedMemorySmall();
  try {
    const bool troubled = BuildSite(target, fileList, sourcePage);
    if (platform::InterruptRequested()) {
      platform::EndAsInterrupted(); // the site is whole, but the user asked to stop
    }
    return troubled;
  } catch (...) {
    // By now the unfinished site is tidied up.
    if (platform::InterruptRequested()) {
      platform::EndAsInterrupted();
    }
    throw;
  }
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

class SiteRun : public RunKind {
public:
  explicit SiteRun(TOptions options) : options_(std::move(options)) {}

  std::string TargetOf(const std::string& input, const std::string& output) override {
    if (output == kStandardStream) {
      throw RefusedRun("A site is a folder of files and cannot go to standard output (\"-\"); "
                       "nothing was written.");
    }
    if (input == kStandardStream) {
      throw RefusedRun("A site is made of files and cannot be made from standard input "
                       "(\"-\"); nothing was written.");
    }
    target_ = SiteFolderFor(output);
    return target_;
  }

  // The folder is checked once the site's files are known, just before it is written.
  void Prepare(const TStringList& /*fileList*/, const TStyleConfig& config) override {
    sourcePage_ = ChosenCodePage(options_, config);
  }

  // A site's tables fault in hundreds of megabytes.
  void SetUpProcess(char* argv[]) override { platform::UseLargeMemoryPages(argv); }

  bool Write(const RunSources& sources) override {
    return WriteSite(target_, sources.fileList, sourcePage_);
  }

private:
  const TOptions options_;
  std::string target_;
  CodePage sourcePage_ = kDefaultCodePage;
};

} // namespace

std::unique_ptr<RunKind> MakeSiteRun(const TOptions& options) {
  return std::make_unique<SiteRun>(options);
}

} // namespace lexiform

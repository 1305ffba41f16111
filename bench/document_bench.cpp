// Speed of the two passes every converted file goes through: the entity fix-up of the
// temporary file and its copy into the document's section. Both read and write whole
// files, so the figures are bytes of input per second at page-cache speed.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "convert/token_kind.h"
#include "document/document_writer.h"
#include "files/temp_files.h"
#include "platform/platform.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kCorpusRoot = "/usr/share/fpcsrc/3.2.2";
constexpr std::size_t kCorpusLimit = std::size_t{64} << 20;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A directory of our own for the benchmark's files, removed at exit.
class BenchDir {
public:
  BenchDir() {
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = fs::temp_directory_path() / ("lexiform_bench_" + std::to_string(stamp));
    fs::create_directories(path_);
  }
  ~BenchDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
  fs::path path_;
};

const BenchDir& Scratch() {
  static const BenchDir dir;
  return dir;
}

// One 10 MB line with a million "&", a tenth of them converter entities.
const std::string& AmpersandLine() {
  static const std::string text = [] {
    std::string line;
    line.reserve(10'000'002);
    for (int i = 0; i < 1'000'000; ++i) {
      if (i % 10 == 0) {
        line += "&lt;";
        line += lexiform::EntityMarker;
        line += "ab";
      } else {
        line += "&amp;abcde";
      }
    }
    line.resize(10'000'000, 'x');
    return line + "\r\n";
  }();
  return text;
}

// What the converter makes of a Pascal line, near enough for the two passes: the "<"
// and ">" become marked entities, and markup wraps the line.
void AppendConvertedLine(std::string_view line, std::string& out) {
  out += "<font color=navy><i>";
  for (const char c : line) {
    if (c == '<' || c == '>') {
      out += c == '<' ? "&lt;" : "&gt;";
      out += lexiform::EntityMarker;
    } else {
      out += c;
    }
  }
  out += "</font></i>\r\n";
}

// The Pascal sources of the corpus, converted, up to kCorpusLimit bytes.
const std::string& ConvertedCorpus() {
  static const std::string text = [] {
    std::vector<fs::path> files;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(kCorpusRoot, error);
         it != fs::recursive_directory_iterator(); it.increment(error)) {
      const std::string extension = it->path().extension().string();
      if (it->is_regular_file() && (extension == ".pas" || extension == ".pp" ||
                                    extension == ".inc" || extension == ".dpr")) {
        files.push_back(it->path());
      }
    }
    std::sort(files.begin(), files.end());
    std::string converted;
    for (const fs::path& file : files) {
      const std::string source = ReadFile(file);
      std::size_t start = 0;
      while (start < source.size()) {
        std::size_t stop = source.find('\n', start);
        if (stop == std::string::npos) {
          stop = source.size();
        }
        std::size_t end = stop;
        if (end > start && source[end - 1] == '\r') {
          --end;
        }
        AppendConvertedLine(std::string_view(source).substr(start, end - start), converted);
        start = stop + 1;
      }
      if (converted.size() >= kCorpusLimit) {
        break;
      }
    }
    return converted;
  }();
  return text;
}

void FixEntitiesOn(benchmark::State& state, const std::string& text) {
  if (text.empty()) {
    state.SkipWithError("no input text");
    return;
  }
  const std::string path = Scratch() / "fix_input";
  for (auto _ : state) {
    state.PauseTiming();
    // A new file each time: emptying the old one would make some file systems (ext4)
    // start writing it to disk at once, and the pass would then wait for that disk
    // write when it replaces the file, which measures the disk, not the pass.
    lexiform::platform::RemoveFile(path);
    WriteFile(path, text);
    state.ResumeTiming();
    lexiform::FixEntities(path);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
  state.SetLabel(std::to_string(text.size() / 1000) + " kB");
}

void AppendSectionOf(benchmark::State& state, const std::string& text) {
  if (text.empty()) {
    state.SkipWithError("no input text");
    return;
  }
  const std::string body = Scratch() / "section_body";
  const std::string document = Scratch() / "document.html";
  WriteFile(body, text);
  for (auto _ : state) {
    state.PauseTiming();
    lexiform::WriteDocumentStart(document, "<html>\r\n", {"unit.pas"});
    state.ResumeTiming();
    lexiform::AppendFileSection(document, 1, "unit.pas", "1.00 KB", body, false);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
  state.SetLabel(std::to_string(text.size() / 1000) + " kB");
}

// One small file the way the driver handles it: the converter's save over the same
// temporary file, the fix-up pass and the section copy. Shows the cost per file.
void BM_SmallFileCycle(benchmark::State& state) {
  const std::string& corpus = ConvertedCorpus();
  const std::size_t size = static_cast<std::size_t>(state.range(0));
  if (corpus.size() < size) {
    state.SkipWithError("no input text");
    return;
  }
  const std::string text = corpus.substr(0, size);
  const lexiform::TempFile temp(lexiform::kTempFilePrefix);
  const std::string document = Scratch() / "small.html";
  lexiform::WriteDocumentStart(document, "<html>\r\n", {"unit.pas"});
  int files = 0;
  for (auto _ : state) {
    if (++files % 1000 == 0) {
      state.PauseTiming();
      lexiform::WriteDocumentStart(document, "<html>\r\n", {"unit.pas"});
      state.ResumeTiming();
    }
    {
      lexiform::platform::File save(temp.Path(), lexiform::platform::File::Mode::CreateTruncate);
      save.Write(text.data(), text.size());
      save.Close();
    }
    lexiform::FixEntities(temp.Path());
    lexiform::AppendFileSection(document, 1, "unit.pas", "1.00 KB", temp.Path(), false);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(size));
}

void BM_FixEntitiesAmpersandLine(benchmark::State& state) {
  FixEntitiesOn(state, AmpersandLine());
}
void BM_FixEntitiesCorpus(benchmark::State& state) {
  FixEntitiesOn(state, ConvertedCorpus());
}
void BM_AppendFileSectionAmpersandLine(benchmark::State& state) {
  AppendSectionOf(state, AmpersandLine());
}
void BM_AppendFileSectionCorpus(benchmark::State& state) {
  AppendSectionOf(state, ConvertedCorpus());
}

BENCHMARK(BM_FixEntitiesAmpersandLine)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FixEntitiesCorpus)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AppendFileSectionAmpersandLine)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AppendFileSectionCorpus)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SmallFileCycle)->Arg(24 * 1024)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();

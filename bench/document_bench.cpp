// Speed of the last steps every converted file goes through: the entity fix-up alone,
// and the fix-up writing a section into a real document at page-cache speed. The
// figures are bytes of converted text per second.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "convert/entity_fixup.h"
#include "convert/token_kind.h"
#include "document/document_writer.h"
#include "document/unfinished_document.h"

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

// Counts what it is given and keeps nothing: the fix-up alone.
class NullSink : public lexiform::TextSink {
public:
  void Write(std::string_view bytes) override { written_ += bytes.size(); }
  std::size_t Written() const { return written_; }

private:
  std::size_t written_ = 0;
};

void FixEntitiesOn(benchmark::State& state, const std::string& text) {
  if (text.empty()) {
    state.SkipWithError("no input text");
    return;
  }
  for (auto _ : state) {
    NullSink sink;
    lexiform::FixEntities(text, sink);
    benchmark::DoNotOptimize(sink.Written());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
  state.SetLabel(std::to_string(text.size() / 1000) + " kB");
}

// The fix-up writing a section into a real document, replaced at the end of each round
// as a run replaces its output.
void SectionIntoDocument(benchmark::State& state, const std::string& text) {
  if (text.empty()) {
    state.SkipWithError("no input text");
    return;
  }
  const std::string output = Scratch() / "document.html";
  for (auto _ : state) {
    lexiform::UnfinishedDocument document(output);
    lexiform::WriteDocumentStart(document, "<html>\r\n", {"unit.pas"}, {"1.00 KB"});
    lexiform::AppendFileSection(
        document, 1, "unit.pas", "1.00 KB", false,
        [&text](lexiform::TextSink& body) { lexiform::FixEntities(text, body); });
    document.Commit();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
  state.SetLabel(std::to_string(text.size() / 1000) + " kB");
}

void BM_FixEntitiesAmpersandLine(benchmark::State& state) {
  FixEntitiesOn(state, AmpersandLine());
}
void BM_FixEntitiesCorpus(benchmark::State& state) {
  FixEntitiesOn(state, ConvertedCorpus());
}
void BM_SectionIntoDocumentAmpersandLine(benchmark::State& state) {
  SectionIntoDocument(state, AmpersandLine());
}
void BM_SectionIntoDocumentCorpus(benchmark::State& state) {
  SectionIntoDocument(state, ConvertedCorpus());
}

BENCHMARK(BM_FixEntitiesAmpersandLine)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FixEntitiesCorpus)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SectionIntoDocumentAmpersandLine)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SectionIntoDocumentCorpus)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();

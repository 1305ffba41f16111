// Speed of Convert (and of the UTF-8 step and the line gutter of HTML5 documents) over real Pascal
// and over the inputs that would expose a quadratic path. Run from a release build:
//   build/release/bench/convert_bench
// The Pascal corpus is read at run time from the Free Pascal sources, when installed.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "convert/memory_stream.h"
#include "convert/pas_conversion.h"
#include "convert/utf8_text.h"
#include "document/html5_document.h"

namespace lexiform {
namespace {

const char* const kCorpusRoot = "/usr/share/fpcsrc/3.2.2";
constexpr std::size_t kCorpusBufferSize = 25u << 20;

// The program's built-in styles, so that the fragment has its usual size.
void SetBuiltInStyles(TPasConversion& converter) {
  converter.AssemblerPrefix = "<font color=teal>";
  converter.AssemblerSuffix = "</font>";
  converter.CommentPrefix = "<font color=navy><i>";
  converter.CommentSuffix = "</font></i>";
  converter.DirectivePrefix = "<b>";
  converter.DirectiveSuffix = "</b>";
  converter.KeywordPrefix = "<b>";
  converter.KeywordSuffix = "</b>";
  converter.NumberPrefix = "<font color=red>";
  converter.NumberSuffix = "</font>";
  converter.StringPrefix = "<font color=blue>";
  converter.StringSuffix = "</font>";
  converter.SymbolPrefix = "<font color=maroon>";
  converter.SymbolSuffix = "</font>";
}

bool IsPascalFile(const std::filesystem::path& path) {
  const std::string extension = path.extension().string();
  return extension == ".pp" || extension == ".pas" || extension == ".inc" || extension == ".dpr";
}

// The corpus files in path order, about kCorpusBufferSize bytes of them; empty when
// the sources are not installed.
const std::vector<std::string>& CorpusFiles() {
  static const std::vector<std::string> files = [] {
    std::vector<std::filesystem::path> paths;
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(kCorpusRoot, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
      if (it->is_regular_file(error) && IsPascalFile(it->path())) {
        paths.push_back(it->path());
      }
    }
    std::sort(paths.begin(), paths.end());
    std::vector<std::string> contents;
    std::size_t total = 0;
    for (const auto& path : paths) {
      if (total >= kCorpusBufferSize) {
        break;
      }
      std::ifstream in(path, std::ios::binary);
      std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      if (!content.empty()) {
        total += content.size();
        contents.push_back(std::move(content));
      }
    }
    return contents;
  }();
  return files;
}

std::int64_t TotalSize(const std::vector<std::string>& files) {
  std::int64_t total = 0;
  for (const std::string& file : files) {
    total += static_cast<std::int64_t>(file.size());
  }
  return total;
}

// The corpus as one buffer of about 25 MB, built once.
const std::string& CorpusBuffer() {
  static const std::string buffer = [] {
    const std::vector<std::string>& files = CorpusFiles();
    std::string joined;
    joined.reserve(static_cast<std::size_t>(TotalSize(files)));
    for (const std::string& file : files) {
      joined += file;
    }
    return joined;
  }();
  return buffer;
}

// Whole: Convert keeps the fragment. Pieces: ConvertTo hands it on in pieces of whole
// lines, as the program does, so that it is never held (or paged in) whole.
enum class Output { Whole, Pieces };

// Converts `source` on a fresh converter; the loading (a copy) and the converter's
// destruction are left out of the time.
void ConvertTimed(benchmark::State& state, const std::string& source, Output output) {
  if (source.empty()) {
    state.SkipWithError("Pascal corpus not installed");
    return;
  }
  std::size_t fragmentSize = 0;
  for (auto _ : state) {
    state.PauseTiming();
    TPasConversion converter;
    SetBuiltInStyles(converter);
    converter.LoadFromBytes(source);
    fragmentSize = 0;
    state.ResumeTiming();
    if (output == Output::Whole) {
      benchmark::DoNotOptimize(converter.Convert());
      fragmentSize = converter.Size();
    } else {
      converter.ConvertTo(
          [&fragmentSize](std::string_view piece) { fragmentSize += piece.size(); });
    }
    state.PauseTiming();
    converter.Clear();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(source.size()));
  state.counters["fragment/source"] =
      static_cast<double>(fragmentSize) / static_cast<double>(source.size());
}

void BM_ConvertCorpusBuffer(benchmark::State& state) {
  ConvertTimed(state, CorpusBuffer(), Output::Whole);
}
BENCHMARK(BM_ConvertCorpusBuffer)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_ConvertToCorpusBuffer(benchmark::State& state) {
  ConvertTimed(state, CorpusBuffer(), Output::Pieces);
}
BENCHMARK(BM_ConvertToCorpusBuffer)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The same files one by one, each on a fresh converter as the program does it:
// construct, set the styles, load (here from memory), convert, destroy.
void BM_ConvertCorpusFiles(benchmark::State& state) {
  const std::vector<std::string>& files = CorpusFiles();
  if (files.empty()) {
    state.SkipWithError("Pascal corpus not installed");
    return;
  }
  for (auto _ : state) {
    for (const std::string& file : files) {
      TPasConversion converter;
      SetBuiltInStyles(converter);
      converter.LoadFromBytes(file);
      benchmark::DoNotOptimize(converter.Convert());
    }
  }
  state.SetBytesProcessed(state.iterations() * TotalSize(files));
  state.counters["files"] = static_cast<double>(files.size());
}
BENCHMARK(BM_ConvertCorpusFiles)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The UTF-8 step of an HTML5 document over the same files, to set beside
// BM_ConvertCorpusFiles. The copy of each file is timed with it; the program hands its
// read buffer over instead.
void BM_TextToUtf8CorpusFiles(benchmark::State& state) {
  const std::vector<std::string>& files = CorpusFiles();
  if (files.empty()) {
    state.SkipWithError("Pascal corpus not installed");
    return;
  }
  for (auto _ : state) {
    for (const std::string& file : files) {
      benchmark::DoNotOptimize(TextToUtf8(file));
    }
  }
  state.SetBytesProcessed(state.iterations() * TotalSize(files));
}
BENCHMARK(BM_TextToUtf8CorpusFiles)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The line gutter of an HTML5 document with "-lines": every line of the corpus buffer
// wrapped, into a buffer that is emptied like a writer's; to set beside
// BM_ConvertCorpusBuffer.
void BM_NumberLinesCorpusBuffer(benchmark::State& state) {
  const std::string& source = CorpusBuffer();
  if (source.empty()) {
    state.SkipWithError("Pascal corpus not installed");
    return;
  }
  const std::string anchor = FileAnchor("rtl/objpas/sysutils/sysutils.inc");
  std::string text;
  for (auto _ : state) {
    std::size_t lineNumber = 0;
    for (std::size_t start = 0, end = 0; start < source.size(); start = end + 1) {
      end = std::min(source.find('\n', start), source.size());
      AppendNumberedLine(text, anchor, ++lineNumber,
                         std::string_view(source).substr(start, end - start));
      if (text.size() > (std::size_t{1} << 20)) {
        benchmark::DoNotOptimize(text.data());
        text.clear();
      }
    }
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(source.size()));
}
BENCHMARK(BM_NumberLinesCorpusBuffer)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// One comment line of the given size holding one "<" per 10.5 bytes: 100,000 of them
// in a megabyte. Time per byte must stay flat as the line grows.
void BM_ConvertLessThanCommentLine(benchmark::State& state) {
  const auto size = static_cast<std::size_t>(state.range(0));
  const std::size_t count = size * 100000 / (1u << 20);
  std::string line(size, 'x');
  line.front() = '{';
  line.back() = '}';
  for (std::size_t i = 0; i < count; ++i) {
    line[1 + i * (size - 2) / count] = '<';
  }
  ConvertTimed(state, line + "\r\n", Output::Whole);
}
BENCHMARK(BM_ConvertLessThanCommentLine)
    ->RangeMultiplier(4)
    ->Range(1 << 16, 1 << 22)
    ->Unit(benchmark::kMicrosecond);

// One run of symbol bytes (with "<" and ">" among them, all escaped) of the given
// size, without a comment opener in it.
void BM_ConvertSymbolRun(benchmark::State& state) {
  const auto size = static_cast<std::size_t>(state.range(0));
  const std::string pattern = ":=<>+-*;,.[]^@=<";
  std::string run;
  run.reserve(size);
  while (run.size() < size) {
    run += pattern;
  }
  run.resize(size);
  ConvertTimed(state, run + "\r\n", Output::Whole);
}
BENCHMARK(BM_ConvertSymbolRun)
    ->RangeMultiplier(4)
    ->Range(1 << 16, 1 << 22)
    ->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace lexiform

BENCHMARK_MAIN();

// Speed of the cross-references over the whole Free Pascal source tree: both passes
// over every file (declarations, then binding), the texts read from disk each time
// they are asked for, as a site run hands them over. Run from a release build:
//   build/release/bench/cross_references_bench
// and for the peak memory of the resolver alone:
//   /usr/bin/time -v build/release/bench/cross_references_bench --benchmark_min_time=0
// The tree is read at run time from the Free Pascal sources, when installed.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "xref/cross_references.h"

namespace lexiform::xref {
namespace {

const char* const kCorpusRoot = "/usr/share/fpcsrc/3.2.2";

bool IsPascalFile(const std::filesystem::path& path) {
  const std::string extension = path.extension().string();
  return extension == ".pp" || extension == ".pas" || extension == ".inc" || extension == ".dpr" ||
         extension == ".lpr" || extension == ".p";
}

std::string ReadText(const std::string& path) {
  std::ifstream in(std::filesystem::path(kCorpusRoot) / path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every Pascal file of the tree, relative to the root, in path order; empty when the
// sources are not installed.
std::vector<std::string> TreePaths() {
  namespace fs = std::filesystem;
  std::vector<std::string> paths;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(kCorpusRoot, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (it->is_regular_file(error) && IsPascalFile(it->path())) {
      paths.push_back(it->path().lexically_relative(kCorpusRoot).generic_string());
    }
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

void BM_CrossReferencesWholeTree(benchmark::State& state) {
  const std::vector<std::string> paths = TreePaths();
  if (paths.empty()) {
    state.SkipWithError("Pascal corpus not installed");
    return;
  }
  std::vector<FileFacts> facts;
  for (const std::string& path : paths) {
    facts.push_back(ScanFileFacts(ReadText(path)));
  }
  const FileLinkResolver links(paths, std::move(facts));
  const auto threads = static_cast<unsigned>(state.range(0));
  std::size_t symbols = 0;
  std::size_t occurrences = 0;
  for (auto _ : state) {
    const CrossReferences references(
        links, paths.size(), [&](std::size_t i) { return ReadText(paths[i]); }, threads);
    state.PauseTiming();
    symbols = references.Symbols().size();
    occurrences = 0;
    for (std::size_t file = 0; file < paths.size(); ++file) {
      occurrences += references.OccurrencesIn(file).size();
    }
    state.ResumeTiming();
  }
  state.counters["files"] = static_cast<double>(paths.size());
  state.counters["symbols"] = static_cast<double>(symbols);
  state.counters["occurrences"] = static_cast<double>(occurrences);
}
BENCHMARK(BM_CrossReferencesWholeTree)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
} // namespace lexiform::xref

BENCHMARK_MAIN();

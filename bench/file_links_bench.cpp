// Speed of the links between a site's files over the whole Free Pascal source tree:
// the scan of every text for its units and include directives, and the resolution of
// every reference over the run's files. Run from a release build:
//   build/release/bench/file_links_bench
// The tree is read at run time from the Free Pascal sources, when installed.

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

#include "xref/file_links.h"

namespace lexiform::xref {
namespace {

const char* const kCorpusRoot = "/usr/share/fpcsrc/3.2.2";

bool IsPascalFile(const std::filesystem::path& path) {
  const std::string extension = path.extension().string();
  return extension == ".pp" || extension == ".pas" || extension == ".inc" || extension == ".dpr" ||
         extension == ".lpr" || extension == ".p";
}

struct Tree {
  std::vector<std::string> paths; // relative to the root, `/` separated, in path order
  std::vector<std::string> texts;
  std::int64_t bytes = 0;
};

// Every Pascal file of the tree; empty when the sources are not installed.
const Tree& WholeTree() {
  static const Tree tree = [] {
    namespace fs = std::filesystem;
    Tree loaded;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(kCorpusRoot, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
      if (it->is_regular_file(error) && IsPascalFile(it->path())) {
        loaded.paths.push_back(it->path().lexically_relative(kCorpusRoot).generic_string());
      }
    }
    std::sort(loaded.paths.begin(), loaded.paths.end());
    for (const std::string& path : loaded.paths) {
      std::ifstream in(fs::path(kCorpusRoot) / path, std::ios::binary);
      loaded.texts.emplace_back(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
      loaded.bytes += static_cast<std::int64_t>(loaded.texts.back().size());
    }
    return loaded;
  }();
  return tree;
}

std::vector<FileFacts> ScanAll(const Tree& tree) {
  std::vector<FileFacts> facts;
  facts.reserve(tree.texts.size());
  for (const std::string& text : tree.texts) {
    facts.push_back(ScanFileFacts(text));
  }
  return facts;
}

void BM_ScanFileFactsWholeTree(benchmark::State& state) {
  const Tree& tree = WholeTree();
  if (tree.paths.empty()) {
    state.SkipWithError("Pascal corpus not installed");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(ScanAll(tree));
  }
  state.SetBytesProcessed(state.iterations() * tree.bytes);
  state.counters["files"] = static_cast<double>(tree.paths.size());
}
BENCHMARK(BM_ScanFileFactsWholeTree)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The resolver's construction resolves every reference of every file; the copies of
// the paths and facts it takes are made outside the time.
void BM_ResolveFileLinksWholeTree(benchmark::State& state) {
  const Tree& tree = WholeTree();
  if (tree.paths.empty()) {
    state.SkipWithError("Pascal corpus not installed");
    return;
  }
  const std::vector<FileFacts> facts = ScanAll(tree);
  std::size_t links = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<std::string> paths = tree.paths;
    std::vector<FileFacts> copy = facts;
    state.ResumeTiming();
    const FileLinkResolver resolver(std::move(paths), std::move(copy));
    state.PauseTiming();
    links = 0;
    for (std::size_t file = 0; file < tree.paths.size(); ++file) {
      links += resolver.LinksOf(file).size();
    }
    state.ResumeTiming();
  }
  state.counters["files"] = static_cast<double>(tree.paths.size());
  state.counters["links"] = static_cast<double>(links);
}
BENCHMARK(BM_ResolveFileLinksWholeTree)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace
} // namespace lexiform::xref

BENCHMARK_MAIN();

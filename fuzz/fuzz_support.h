#pragma once

// Shared by the fuzz targets: the check that turns a broken invariant into a finding,
// and a scratch directory for the targets that go through real files.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <string_view>

namespace lexiform::fuzz {

// Prints the broken invariant and aborts, which libFuzzer reports as a crash and saves
// the input for.
[[noreturn]] inline void Fail(const char* file, int line, const char* condition,
                              const std::string& detail) {
  std::fprintf(stderr, "%s:%d: invariant broken: %s\n%s\n", file, line, condition, detail.c_str());
  std::abort();
}

// The bytes of `text` with non-printing ones as \xNN, cut after `limit` bytes.
inline std::string Printable(std::string_view text, std::size_t limit = 200) {
  std::string shown;
  for (std::size_t i = 0; i < text.size() && i < limit; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      shown += static_cast<char>(c);
    } else {
      static const char kHex[] = "0123456789abcdef";
      shown += "\\x";
      shown += kHex[c >> 4];
      shown += kHex[c & 15];
    }
  }
  if (text.size() > limit) {
    shown += "... (" + std::to_string(text.size()) + " bytes)";
  }
  return "\"" + shown + "\"";
}

} // namespace lexiform::fuzz

#define FUZZ_CHECK(condition, detail)                                                              \
  do {                                                                                             \
    if (!(condition)) {                                                                            \
      std::ostringstream fuzzDetail;                                                               \
      fuzzDetail << detail;                                                                        \
      ::lexiform::fuzz::Fail(__FILE__, __LINE__, #condition, fuzzDetail.str());                    \
    }                                                                                              \
  } while (false)

namespace lexiform::fuzz {

// A directory of this process's own, on a memory file system when there is one so that
// the many small files cost no disk; removed when the process exits normally (libFuzzer
// ends a timed run with exit()). A crash leaves it for a look.
class ScratchDir {
public:
  ScratchDir() {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path base = "/dev/shm";
    if (!fs::is_directory(base, error)) {
      base = fs::temp_directory_path();
    }
    std::random_device seed;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      const fs::path candidate = base / ("lexiform_fuzz_" + std::to_string(seed()));
      if (fs::create_directory(candidate, error)) {
        path_ = candidate.string();
      }
    }
    if (path_.empty()) {
      Fail(__FILE__, __LINE__, "scratch directory", "cannot create one under " + base.string());
    }
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
  std::string path_;
};

inline void WriteFileBytes(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  FUZZ_CHECK(out.good(), "cannot write " << path);
}

inline std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  FUZZ_CHECK(in.good(), "cannot read " << path);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

} // namespace lexiform::fuzz

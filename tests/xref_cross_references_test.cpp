#include "xref/cross_references.h"
#include "xref/pascal_tokens.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <string>
#include <system_error>
#include <vector>

namespace lexiform::xref {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Folded(std::string text) {
  for (char& c : text) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return text;
}

// The files of a site, read from disk, with their links resolved.
struct Site {
  std::vector<std::string> paths; // relative to `root`
  std::vector<std::string> texts;
  FileLinkResolver Links() const {
    std::vector<FileFacts> facts;
    for (const std::string& text : texts) {
      facts.push_back(ScanFileFacts(text));
    }
    return FileLinkResolver(paths, facts);
  }
  std::size_t IndexOf(const std::string& path) const {
    return static_cast<std::size_t>(std::find(paths.begin(), paths.end(), path) - paths.begin());
  }
};

Site ReadSite(const fs::path& root, const std::vector<std::string>& folders,
              const std::vector<std::string>& extensions) {
  Site site;
  for (const std::string& folder : folders) {
    std::error_code error;
    for (fs::recursive_directory_iterator it(root / folder, error), end; !error && it != end;
         it.increment(error)) {
      const std::string extension = Folded(it->path().extension().string());
      if (it->is_regular_file() &&
          std::find(extensions.begin(), extensions.end(), extension) != extensions.end()) {
        site.paths.push_back(it->path().lexically_relative(root).generic_string());
      }
    }
  }
  std::sort(site.paths.begin(), site.paths.end());
  for (const std::string& path : site.paths) {
    site.texts.push_back(ReadFile(root / path));
  }
  return site;
}

bool IsIdentChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}

// Over the Free Pascal RTL: every marked name is a whole identifier that is its
// symbol's name, in text order; the share of identifiers that are links is reported.
TEST(CrossReferencesTest, FreePascalRuntimeLinksNamesToDeclarationsOfTheSameName) {
  const fs::path root = "/usr/share/fpcsrc/3.2.2";
  if (!fs::exists(root / "rtl/objpas/classes/classesh.inc")) {
    GTEST_SKIP() << "the Free Pascal sources are not installed";
  }
  const Site site = ReadSite(root, {"rtl/objpas", "rtl/inc", "rtl/unix", "rtl/linux"},
                             {".pp", ".pas", ".inc", ".p"});
  const FileLinkResolver links = site.Links();
  const CrossReferences references(
      links, site.paths.size(), [&](std::size_t i) { return site.texts[i]; }, 2);
  std::size_t marked = 0;
  std::size_t uncertain = 0;
  for (std::size_t file = 0; file < site.paths.size(); ++file) {
    const std::string& text = site.texts[file];
    std::size_t end = 0;
    for (const Occurrence& occurrence : references.OccurrencesIn(file)) {
      ASSERT_GE(occurrence.offset, end) << site.paths[file];
      end = occurrence.offset + occurrence.length;
      ASSERT_LE(end, text.size());
      const Symbol& symbol = references.Symbols().at(occurrence.symbol);
      const std::string covered = text.substr(occurrence.offset, occurrence.length);
      ASSERT_EQ(Folded(covered), Folded(symbol.name))
          << site.paths[file] << ":" << occurrence.offset;
      ASSERT_TRUE(occurrence.offset == 0 || !IsIdentChar(text[occurrence.offset - 1]));
      ASSERT_TRUE(end == text.size() || !IsIdentChar(text[end]));
      const std::string& declared = site.texts[symbol.file];
      ASSERT_EQ(Folded(declared.substr(symbol.offset, symbol.length)), Folded(symbol.name));
      marked += 1;
      uncertain += occurrence.uncertain ? 1 : 0;
    }
  }
  std::size_t identifiers = 0;
  for (const std::string& text : site.texts) {
    for (const Token& token : ScanPascal(text).tokens) {
      identifiers += token.kind == PasToken::Identifier ? 1 : 0;
    }
  }
  std::cout << "marked " << marked << " of " << identifiers << " identifiers ("
            << 100 * marked / identifiers << "%), " << uncertain << " uncertain\n";
  const std::size_t stringl = site.IndexOf("rtl/objpas/classes/stringl.inc");
  const std::size_t classesh = site.IndexOf("rtl/objpas/classes/classesh.inc");
  bool linked = false;
  for (const Occurrence& occurrence : references.OccurrencesIn(stringl)) {
    const Symbol& symbol = references.Symbols()[occurrence.symbol];
    if (Folded(symbol.name) == "tstringlist" && !occurrence.declaration) {
      EXPECT_EQ(symbol.file, classesh);
      EXPECT_EQ(symbol.kind, SymbolKind::Class);
      linked = true;
    }
  }
  EXPECT_TRUE(linked);
}

} // namespace
} // namespace lexiform::xref

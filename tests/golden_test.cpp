// The golden suite: every folder of tests/golden is one run of the real program. The
// folder holds the sources, "args" (the arguments, one per line) and "expected.html",
// the document the run must write as "out.html", byte for byte; or, for a run that
// writes a site, the folder "expected", which the folder "out" the run writes must
// match file for file, byte for byte; the site's style sheet and script are compared
// with the program's own (src/document/assets), of which the folder keeps no copy. A
// folder that also holds
// "posix-only" runs only where the program is a POSIX program (its paths show "/"); one
// that holds "lexiform.ini" runs with that configuration file beside the program instead
// of the default one.
//
// After a reviewed change of the documents, rewrite the expected files with
//   LEXIFORM_UPDATE_GOLDEN=1 ctest --test-dir build/ci -R Golden
// and read the difference in version control before committing it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"

namespace fs = std::filesystem;

namespace lexiform {
namespace {

const fs::path kGoldenDir = fs::path(LEXIFORM_SOURCE_DIR) / "tests" / "golden";

// Files of a case folder that are not copied into the run's folder.
bool IsCaseDescription(const fs::path& name) {
  return name == "args" || name == "expected.html" || name == "expected" || name == "posix-only" ||
         name == "lexiform.ini";
}

std::vector<std::string> CaseNames() {
  std::vector<std::string> names;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(kGoldenDir, error)) {
    if (entry.is_directory()) {
      names.push_back(entry.path().filename().string());
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

// One argument per line; a CR before the LF is not part of it.
std::vector<std::string> ReadArguments(const fs::path& file) {
  std::vector<std::string> arguments;
  const std::string text = test::ReadBytes(file.string());
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      end = text.size();
    }
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    arguments.push_back(line);
    start = end + 1;
  }
  return arguments;
}

void CopySources(const fs::path& caseDir, const std::string& workDir) {
  for (const fs::directory_entry& entry : fs::directory_iterator(caseDir)) {
    if (!IsCaseDescription(entry.path().filename())) {
      fs::copy(entry.path(), fs::path(workDir) / entry.path().filename(),
               fs::copy_options::recursive);
    }
  }
}

bool UpdateRequested() {
  const char* value = std::getenv("LEXIFORM_UPDATE_GOLDEN");
  return value != nullptr && std::string(value) == "1";
}

// The files below `folder`, by their paths from it with "/" between folders.
std::vector<std::string> FilesBelow(const fs::path& folder) {
  std::vector<std::string> files;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder, error)) {
    if (entry.is_regular_file()) {
      files.push_back(entry.path().lexically_relative(folder).generic_string());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

const fs::path kAssetDir = fs::path(LEXIFORM_SOURCE_DIR) / "src" / "document" / "assets";

// Whether `file` (from the site's top) is one of the program's own assets in the
// site's shared folder.
bool IsBuiltInAsset(const std::string& file) {
  const fs::path path(file);
  return path.parent_path() == "_lexiform" && fs::is_regular_file(kAssetDir / path.filename());
}

std::vector<std::string> FilesBelowButAssets(const fs::path& folder) {
  std::vector<std::string> files = FilesBelow(folder);
  files.erase(std::remove_if(files.begin(), files.end(), IsBuiltInAsset), files.end());
  return files;
}

void ExpectSameFolder(const fs::path& written, const fs::path& expected) {
  for (const std::string& file : FilesBelow(written)) {
    if (IsBuiltInAsset(file)) {
      EXPECT_EQ(test::ReadBytes((written / file).string()),
                test::ReadBytes((kAssetDir / fs::path(file).filename()).string()))
          << file << " differs from the program's own in " << kAssetDir.string();
    }
  }
  const std::vector<std::string> files = FilesBelowButAssets(written);
  ASSERT_EQ(files, FilesBelow(expected))
      << "the site's files differ from " << expected.string() << "; after a reviewed change "
      << "rewrite them with LEXIFORM_UPDATE_GOLDEN=1";
  for (const std::string& file : files) {
    EXPECT_EQ(test::ReadBytes((written / file).string()),
              test::ReadBytes((expected / file).string()))
        << file << " differs from " << expected.string() << "; after a reviewed change "
        << "rewrite it with LEXIFORM_UPDATE_GOLDEN=1";
  }
}

class GoldenTest : public test::ProgramTest, public ::testing::WithParamInterface<std::string> {};

// The program is copied afresh for every case, so it writes the default configuration
// file beside itself and takes the header from that file: the document then holds
// neither the account's name nor the program's path.
TEST_P(GoldenTest, DocumentMatches) {
  const fs::path caseDir = kGoldenDir / GetParam();
  if (fs::exists(caseDir / "posix-only") && test::IsWindowsProgram()) {
    GTEST_SKIP() << "its paths are written with the POSIX separator";
  }
  CopySources(caseDir, work.Path());
  if (fs::exists(caseDir / "lexiform.ini")) {
    fs::copy_file(caseDir / "lexiform.ini", bin / "lexiform.ini");
  }
  const test::RunResult result = Run(ReadArguments(caseDir / "args"));
  ASSERT_EQ(result.status, 0) << result.out << result.err;
  ASSERT_TRUE(test::Exists(bin / "lexiform.ini"))
      << "no configuration file beside the program: the header would be the built-in one, "
         "with the account's name in it";
  const fs::path expectedFolder = caseDir / "expected";
  if (fs::is_directory(expectedFolder)) {
    const fs::path written = fs::path(work.Path()) / "out";
    if (UpdateRequested()) {
      fs::remove_all(expectedFolder);
      fs::copy(written, expectedFolder, fs::copy_options::recursive);
      for (const std::string& file : FilesBelow(written)) {
        if (IsBuiltInAsset(file)) {
          fs::remove(expectedFolder / file);
        }
      }
      return;
    }
    ExpectSameFolder(written, expectedFolder);
    return;
  }
  const std::string document = Document();
  const fs::path expectedFile = caseDir / "expected.html";
  if (UpdateRequested()) {
    test::WriteBytes(expectedFile.string(), document);
    return;
  }
  ASSERT_TRUE(fs::exists(expectedFile))
      << "no expected.html: run with LEXIFORM_UPDATE_GOLDEN=1 to write it";
  EXPECT_EQ(document, test::ReadBytes(expectedFile.string()))
      << "the document differs from " << expectedFile.string() << "; after a reviewed change "
      << "rewrite it with LEXIFORM_UPDATE_GOLDEN=1";
}

INSTANTIATE_TEST_SUITE_P(Cases, GoldenTest, ::testing::ValuesIn(CaseNames()),
                         [](const ::testing::TestParamInfo<std::string>& param) {
                           return param.param;
                         });

} // namespace
} // namespace lexiform

// The Windows program end to end: paths with "\" and ":", drive roots, the output
// name, quoted arguments and the usage screen. Built only into the Windows
// test program; the tests of end_to_end_test.cpp run here as well.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <regex>
#include <thread>
#include <utility>
#include <vector>

#include "test_support.h"

// Only to hold a file open the way another program can: without sharing it.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace fs = std::filesystem;

namespace lexiform {
namespace {

using test::ReadBytes;
using test::RunResult;
using test::ScratchDir;
using test::SplitCrLfLines;
using test::WriteBytes;

using Names = std::vector<std::string>;

const std::string kRule(80, '-');

class Win32EndToEndTest : public test::ProgramTest {
protected:
  // `relative` uses "/"; the file gets three bytes.
  void Touch(const std::string& relative) { Write(relative, "x\r\n"); }
};

// The paths of the entry lines ("  n: path (size)") in the order printed.
Names EntryPaths(const RunResult& result) {
  Names paths;
  const std::regex entry("  \\d+: (.*) \\( ?\\d+ bytes\\)");
  for (const std::string& line : SplitCrLfLines(result.out)) {
    std::smatch match;
    if (std::regex_match(line, match, entry)) {
      paths.push_back(match[1]);
    }
  }
  return paths;
}

Names Sorted(Names names) {
  std::sort(names.begin(), names.end());
  return names;
}

std::string Lower(std::string text) {
  for (char& c : text) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return text;
}

bool Contains(const std::string& text, const std::string& piece) {
  return text.find(piece) != std::string::npos;
}

// The document's heading of entry `number`, whose directory part is `directory`.
std::string Heading(int number, const std::string& directory, const std::string& name) {
  return "File " + std::to_string(number) + ": " + directory +
         "<b><font face=\"arial\" color=\"#e3060c\">" + name + "</b>";
}

TEST_F(Win32EndToEndTest, BackslashWildcardKeepsItsDirectoryPart) {
  Touch("src/a.pas");
  Touch("src/b.pas");
  Touch("src/notes.txt");
  const RunResult result = Run({"src\\*.pas", "out"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(Sorted(EntryPaths(result)), (Names{"src\\a.pas", "src\\b.pas"}));
  // The run shows the command line from its last backslash on.
  EXPECT_EQ(SplitCrLfLines(result.out)[1], " Command line: *.pas out");

  const std::string document = Document();
  const Names entries = EntryPaths(result);
  for (int n = 1; n <= 2; ++n) {
    const std::string name = entries[static_cast<std::size_t>(n - 1)].substr(4);
    EXPECT_TRUE(Contains(document, "<li>src\\<a href=#File_" + std::to_string(n) + ">" + name))
        << document;
    EXPECT_TRUE(Contains(document, Heading(n, "src\\", name))) << document;
  }
}

TEST_F(Win32EndToEndTest, AbsolutePathsWithDriveLetter) {
  Touch("src/a.pas");
  Touch("src/b.pas");
  ASSERT_EQ(work.Path().substr(1, 2), ":\\") << "the scratch directory lies on a drive";
  // "/" is a separator too; the names keep the directory part as typed.
  for (const char separator : {'\\', '/'}) {
    std::string directory = work.Path() + "\\src\\";
    std::replace(directory.begin(), directory.end(), '\\', separator);
    const RunResult result = Run({directory + "*.pas," + directory + "a.pas", "out"});
    ASSERT_EQ(result.status, 0) << result.err;
    const Names paths = EntryPaths(result);
    ASSERT_EQ(paths.size(), 3u) << result.out;
    EXPECT_EQ(Sorted({paths[0], paths[1]}), (Names{directory + "a.pas", directory + "b.pas"}));
    EXPECT_EQ(paths[2], directory + "a.pas");
    EXPECT_TRUE(Contains(Document(), Heading(3, directory, "a.pas")));
  }
}

TEST_F(Win32EndToEndTest, RecursiveSearchJoinsWithBackslash) {
  Touch("src/a.pas");
  Touch("src/lib/l.pas");
  Touch("src/lib/deep/d.pas");
  Touch("src/Util/u.pas");
  // Directories in the order of their texts, letter case ignored.
  const Names all{"src\\a.pas", "src\\lib\\l.pas", "src\\lib\\deep\\d.pas", "src\\Util\\u.pas"};
  EXPECT_EQ(EntryPaths(Run({"src\\*.pas", "out", "-sub"})), all);
  EXPECT_EQ(EntryPaths(Run({"src/*.pas", "out", "-sub"})), all);
  EXPECT_EQ(EntryPaths(Run({"src\\*.pas", "out", "-sub", "1"})),
            (Names{"src\\a.pas", "src\\lib\\l.pas", "src\\Util\\u.pas"}));
  EXPECT_EQ(EntryPaths(Run({"src\\lib\\*.PAS", "out", "-sub", "0"})), Names{"src\\lib\\l.pas"});
  // An absolute directory part, and a bare mask searched from the current directory.
  EXPECT_EQ(EntryPaths(Run({work.Path() + "\\src\\lib\\d.pas", "out", "-sub"})),
            Names{work.Path() + "\\src\\lib\\deep\\d.pas"});
  EXPECT_EQ(EntryPaths(Run({"u.pas", "out", "-sub"})), Names{work.Path() + "\\src\\Util\\u.pas"});
  // A piece with no name part finds nothing.
  EXPECT_EQ(EntryPaths(Run({"src\\", "out", "-sub"})), Names{});
}

// Removes a file when the test ends, passed or not: it lies outside any scratch directory.
class RemovedAtEnd {
public:
  explicit RemovedAtEnd(std::string path) : path_(std::move(path)) {}
  ~RemovedAtEnd() {
    std::error_code ignored;
    fs::remove(path_, ignored);
  }
  RemovedAtEnd(const RemovedAtEnd&) = delete;
  RemovedAtEnd& operator=(const RemovedAtEnd&) = delete;

private:
  std::string path_;
};

TEST_F(Win32EndToEndTest, DriveRootKeepsItsBackslash) {
  // A file of our own at the root of drive C:, so the result is known; depth 0 keeps the
  // search to the root directory itself.
  const std::string name = fs::path(work.Path()).filename().string() + ".pas";
  const std::string path = "C:\\" + name;
  WriteBytes(path, "x\r\n");
  const RemovedAtEnd removed(path);

  const RunResult result = Run({path, "out", "-sub", "0"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(EntryPaths(result), Names{path});
  EXPECT_TRUE(Contains(Document(), Heading(1, "C:\\", name)));
  // A wildcard there as well, found once and named with one backslash.
  EXPECT_EQ(EntryPaths(Run({"C:\\" + name.substr(0, name.size() - 4) + "*", "out", "-sub", "0"})),
            Names{path});
}

TEST_F(Win32EndToEndTest, HtmlIsAppendedWhenTheNameHasNoExtension) {
  Touch("a.pas");
  fs::create_directories(work / "docs.d");
  // Argument, then the file it must create (with "/" between directories).
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"out", "out.html"},
      {"docs.d\\plain", "docs.d/plain.html"},
      {"docs.d/slash", "docs.d/slash.html"},
      {"C:drive", "drive.html"}, // the current directory of drive C:
      {"page.htm", "page.htm"},
      {"docs.d\\notes.txt", "docs.d/notes.txt"},
  };
  for (const auto& [argument, file] : cases) {
    const RunResult result = Run({"a.pas", argument});
    ASSERT_EQ(result.status, 0) << argument << ": " << result.err;
    EXPECT_TRUE(Contains(Document(file), "<pre>")) << argument;
  }
  EXPECT_FALSE(test::Exists(work / "docs.d/notes.txt.html"));
  EXPECT_FALSE(test::Exists(work / "page.htm.html"));
}

TEST_F(Win32EndToEndTest, QuotedNamesWithBlanksAndCommasAreOneArgument) {
  Touch("First File.pas");
  Touch("My_Great_Prog.dpr");
  const Names expected{"First File.pas", "My_Great_Prog.dpr"};
  // Typed at the command prompt, as the usage screen shows it.
  const RunResult typed =
      test::RunShell(test::ShellQuote(program) + " \"First File.pas,My_Great_Prog.dpr\" \"my out\"",
                     work.Path(), Environment());
  ASSERT_EQ(typed.status, 0) << typed.err;
  EXPECT_EQ(EntryPaths(typed), expected);
  EXPECT_TRUE(Contains(Document("my out.html"), Heading(2, "", "My_Great_Prog.dpr")));

  // Started directly with the same two arguments.
  fs::remove(work / "my out.html");
  const RunResult direct = Run({"First File.pas,My_Great_Prog.dpr", "my out"});
  EXPECT_EQ(EntryPaths(direct), expected);
  EXPECT_TRUE(test::Exists(work / "my out.html"));

  // Blanks after a comma belong to the next name.
  const RunResult blank = Run({"First File.pas, My_Great_Prog.dpr", "out"});
  EXPECT_EQ(EntryPaths(blank), (Names{"First File.pas", " My_Great_Prog.dpr"}));
  EXPECT_TRUE(Contains(blank.out, "  File not exists:  My_Great_Prog.dpr\r\n"));

  // The error block shows the command line exactly as it was passed, quotes and all.
  const RunResult alone = Run({"First File.pas"});
  EXPECT_EQ(SplitCrLfLines(alone.out).at(2), " Command line: " + program + " \"First File.pas\"");
}

// A file that another program holds open without sharing it, as editors and compilers
// on Windows do.
class HeldWithoutSharing {
public:
  explicit HeldWithoutSharing(const std::string& path)
      : handle_(::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~HeldWithoutSharing() {
    if (IsHeld()) {
      ::CloseHandle(handle_);
    }
  }
  HeldWithoutSharing(const HeldWithoutSharing&) = delete;
  HeldWithoutSharing& operator=(const HeldWithoutSharing&) = delete;
  bool IsHeld() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
  HANDLE handle_;
};

TEST_F(Win32EndToEndTest, FileHeldByAnotherProgramIsReportedAndTheRunGoesOn) {
  Touch("a.pas");
  WriteBytes(work / "locked.pas", "secret\r\n");
  Touch("c.pas");
  RunResult result;
  {
    const HeldWithoutSharing held(work / "locked.pas");
    ASSERT_TRUE(held.IsHeld());
    result = Run({"a.pas,locked.pas,c.pas", "out"});
  }
  ASSERT_EQ(result.status, 0) << result.err;
  // Its size comes from the directory, so its line is as usual; reading it fails.
  EXPECT_TRUE(Contains(result.out, "  2: locked.pas ( 8 bytes)\r\n"
                                   "  Could not open file: locked.pas\r\n"
                                   "  3: c.pas ( 3 bytes)\r\n"))
      << result.out;
  const std::string document = Document();
  EXPECT_TRUE(Contains(document, "<a name=\"File_1\"></a>"));
  EXPECT_FALSE(Contains(document, "secret"));
  EXPECT_TRUE(Contains(document, "<a name=\"File_3\"></a>"));
  EXPECT_EQ(document.substr(document.size() - 11), "</html>\r\n\r\n");
}

// Whatever the spelling, one file has one identity: none of them may become the output.
TEST_F(Win32EndToEndTest, OutputUnderAnotherSpellingOfAnInputIsRefused) {
  WriteBytes(work / "page.htm", "<p>mine</p>\r\n");
  WriteBytes(work / "longer_page_name.htm", "<p>long</p>\r\n");
  fs::create_directory(work / "sub");
  const std::string absolute = test::NativePath(work / "page.htm");
  char shortName[MAX_PATH] = {};
  ::GetShortPathNameA(test::NativePath(work / "longer_page_name.htm").c_str(), shortName, MAX_PATH);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"page.htm", "PAGE.HTM"},           {"page.htm", ".\\page.htm"},
      {"page.htm", "sub\\..\\page.htm"},  {"page.htm", absolute},
      {"page.htm", "\\\\?\\" + absolute}, {"page.htm", "page.htm."},
      {"page.htm", "page.htm "},          {"longer_page_name.htm", shortName},
  };
  for (const auto& [input, output] : cases) {
    const RunResult result = Run({input, output});
    EXPECT_EQ(result.status, 1) << output << "\n" << result.out;
    EXPECT_TRUE(Contains(result.err, "is the input file")) << output << "\n" << result.err;
  }
  EXPECT_EQ(ReadBytes(work / "page.htm"), "<p>mine</p>\r\n");
  EXPECT_EQ(ReadBytes(work / "longer_page_name.htm"), "<p>long</p>\r\n");

  Touch("a.pas");
  ASSERT_EQ(Run({"a.pas", "first"}).status, 0); // writes the configuration file
  const std::string ini = ReadBytes(bin / "lexiform.ini");
  const RunResult config = Run({"a.pas", test::NativePath(bin / "LEXIFORM.INI")});
  EXPECT_EQ(config.status, 1);
  EXPECT_TRUE(Contains(config.err, "is the configuration file")) << config.err;
  EXPECT_EQ(ReadBytes(bin / "lexiform.ini"), ini);
}

// The document is written through one handle and replaces the output at the end: a
// program that holds the output for a moment only delays the replace, and one that
// holds it throughout makes the run fail with the earlier document whole.
TEST_F(Win32EndToEndTest, OutputHeldByAnotherProgramIsWaitedForOrReported) {
  Touch("a.pas");
  Touch("b.pas");
  WriteBytes(work / "out.html", "<html>earlier</html>\r\n");
  RunResult waited;
  {
    auto held = std::make_unique<HeldWithoutSharing>(work / "out.html");
    ASSERT_TRUE(held->IsHeld());
    std::thread release([&held] {
      std::this_thread::sleep_for(std::chrono::milliseconds(1500));
      held.reset();
    });
    waited = Run({"a.pas,b.pas", "out.html"});
    release.join();
  }
  EXPECT_EQ(waited.status, 0) << waited.err;
  EXPECT_TRUE(Contains(Document(), "<a name=\"File_2\"></a>"));

  WriteBytes(work / "out.html", "<html>earlier</html>\r\n");
  RunResult refused;
  {
    const HeldWithoutSharing held(work / "out.html");
    refused = Run({"a.pas,b.pas", "out.html"});
  }
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(Contains(refused.err, "Cannot write \"out.html\"")) << refused.err;
  EXPECT_EQ(Document(), "<html>earlier</html>\r\n");
  EXPECT_EQ(test::UnfinishedFiles(work.Path()), std::vector<std::string>{});
}

// A name (UTF-8) as a classic document and piped console text show it: in the ANSI
// code page, "?" for a character the page lacks.
std::string InAnsiPage(const std::string& utf8) {
  const int size = static_cast<int>(utf8.size());
  std::wstring wide(utf8.size(), L'\0');
  wide.resize(static_cast<std::size_t>(
      ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), size)));
  std::string ansi(wide.size() * 2, '\0');
  ansi.resize(static_cast<std::size_t>(::WideCharToMultiByte(
      CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), ansi.data(),
      static_cast<int>(ansi.size()), "?", nullptr)));
  return ansi;
}

// Names outside ASCII reach the program whole, whatever the ANSI code page: no file is
// taken for a look-alike ("Ωmega.pas" for "Omega.pas", "ā.html" for "a.html"). A
// classic document shows them in the ANSI code page, byte for byte what it always
// showed for names the page has; -html5 shows them in UTF-8. The test runs under
// every code page the build's test list gives it (1252, 1251, 932).
TEST_F(Win32EndToEndTest, NamesBeyondTheAnsiPageAreNeverSwapped) {
  const std::string omega = "\xce\xa9mega.pas"; // Ωmega.pas
  const std::string aMacron = "\xc4\x81";       // ā
  const std::string cafe = "caf\xc3\xa9.pas";   // café.pas
  const std::string privet = "\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82.pas";
  const std::string so = "\xe3\x82\xbd\xe3\x83\xbc\xe3\x82\xb9.pas"; // ソース: 0x83 0x5C in 932
  Write("Omega.pas", "omega\r\n");
  Write(omega, "real\r\n");
  Write("a.pas", "x\r\n");
  Write(aMacron + ".pas", "x\r\n");
  Write(cafe, "x\r\n");
  Write(privet, "x\r\n");
  Write(so, "x\r\n");
  Write("a.html", "<html>keep</html>\r\n");

  const RunResult one = Run({omega, "one"});
  ASSERT_EQ(one.status, 0) << one.err;
  EXPECT_TRUE(Contains(Document("one.html"), "real")) << "read Omega.pas instead";
  EXPECT_TRUE(Contains(one.out, "  1: " + InAnsiPage(omega) + " ( 6 bytes)\r\n")) << one.out;

  ASSERT_EQ(Run({"a.pas", aMacron + ".html"}).status, 0);
  EXPECT_EQ(Document("a.html"), "<html>keep</html>\r\n");
  EXPECT_TRUE(Contains(Document(aMacron + ".html"), "<pre>"));
  // An existing output beyond the code page is looked at like any other: a text of the
  // user's is refused, never replaced unread.
  Write(aMacron + ".txt", "notes\r\n");
  EXPECT_EQ(Run({"a.pas", aMacron + ".txt"}).status, 1);
  EXPECT_EQ(Document(aMacron + ".txt"), "notes\r\n");

  const Names all{"a.pas", aMacron + ".pas", cafe, "Omega.pas", so, omega, privet};
  const RunResult html5 = Run({"*.pas", "all5", "-html5"});
  ASSERT_EQ(html5.status, 0) << html5.err;
  EXPECT_EQ(Sorted(test::Html5IndexNames(Document("all5.html"))), Sorted(all));

  ASSERT_EQ(Run({"*.pas", "all"}).status, 0);
  const std::string classic = Document("all.html");
  for (const std::string& name : all) {
    EXPECT_TRUE(
        Contains(classic, "<b><font face=\"arial\" color=\"#e3060c\">" + InAnsiPage(name) + "</b>"))
        << name << " in code page " << ::GetACP();
  }
  if (::GetACP() == 1252) {
    // The bytes every document showed before: café in windows-1252.
    EXPECT_TRUE(Contains(classic, ">caf\xe9.pas</b>"));
  }
}

// Wine takes the ANSI code page from the locale it runs under; the build runs this
// file's tests again under the Russian and Japanese locales, where they are present.
TEST_F(Win32EndToEndTest, RunsUnderTheAnsiPageOfItsLocale) {
  const char* expected = std::getenv("LEXIFORM_EXPECTED_ACP");
  if (expected == nullptr) {
    GTEST_SKIP() << "runs only under a locale chosen by the build";
  }
  EXPECT_EQ(std::to_string(::GetACP()), expected);
}

// Masks match the long name alone, as on Linux: never the 8.3 short name, through
// which "*.pas" would take "notes.pascal" and "*.*" a name without a dot.
TEST_F(Win32EndToEndTest, MasksMatchLongNamesOnly) {
  for (const char* name :
       {"a.pas", "notes.pascal", "unit1.pas~", "unit2.pasbak", "x.include", "README", "B.PAS"}) {
    Touch(name);
  }
  Touch("doc/keep");
  EXPECT_EQ(EntryPaths(Run({"*.pas", "doc\\out"})), (Names{"a.pas", "B.PAS"}));
  EXPECT_EQ(EntryPaths(Run({"*.inc", "doc\\out"})), Names{});
  EXPECT_EQ(EntryPaths(Run({"*.*", "doc\\out"})),
            (Names{"a.pas", "B.PAS", "notes.pascal", "unit1.pas~", "unit2.pasbak", "x.include"}));
}

// A section's id hashes the path with "/" for "\": the document's ids are those of
// Linux, and "src\a.pas" and "src/a.pas" are one path.
TEST_F(Win32EndToEndTest, Html5IdsAreThoseOfLinux) {
  Touch("src/a.pas");
  ASSERT_EQ(Run({"src\\a.pas,src/a.pas", "out", "-html5"}).status, 0);
  const std::string document = Document();
  // FNV-1a of "src/a.pas", as the Linux program gives it.
  EXPECT_TRUE(Contains(document, "<section id=\"f-a-pas-69efe71b\">")) << document;
  EXPECT_TRUE(Contains(document, "<section id=\"f-a-pas-69efe71b-2\">")) << document;
}

// "C:*.pas" names the current folder of drive C:, not its root.
TEST_F(Win32EndToEndTest, DriveWithoutDirectorySearchesItsCurrentFolder) {
  Touch("a.pas");
  Touch("sub/b.pas");
  ASSERT_EQ(work.Path().substr(1, 2), ":\\") << "the scratch directory lies on a drive";
  const std::string drive = work.Path().substr(0, 2);
  const Names paths = EntryPaths(Run({drive + "*.pas", "out", "-sub", "1"}));
  ASSERT_EQ(paths.size(), 2u);
  EXPECT_EQ(Lower(paths[0]), Lower(work.Path() + "\\a.pas"));
  EXPECT_EQ(Lower(paths[1]), Lower(work.Path() + "\\sub\\b.pas"));
}

// The "?" of "\\?\" is part of the prefix, not a wildcard: the name is taken as it is.
TEST_F(Win32EndToEndTest, VerbatimPrefixIsNoWildcard) {
  Touch("a.pas");
  const std::string verbatim = "\\\\?\\" + work.Path() + "\\a.pas";
  const std::string missing = "\\\\?\\" + work.Path() + "\\gone.pas";
  const RunResult result = Run({verbatim + "," + missing, "out"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(EntryPaths(result), (Names{verbatim, missing}));
  EXPECT_TRUE(Contains(result.out, "  File not exists: " + missing + "\r\n"));
  EXPECT_TRUE(Contains(Document(), "<a name=\"File_1\"></a>"));
}

// A chain of directories whose path passes 260 characters, with one file at its end,
// made and removed through the wide functions that take "\\\\?\\" paths of any length.
class LongPathTree {
public:
  // `relative`: a directory under `root` (ASCII) from which the chain descends.
  LongPathTree(const std::string& root, const std::string& relative) {
    std::wstring wide = L"\\\\?\\" + Widen(root + "\\" + relative);
    std::string path = relative;
    while (path.size() < 300) {
      path += "\\" + std::string(40, 'd');
      wide += L"\\" + std::wstring(40, L'd');
      directories_.push_back(wide);
      ::CreateDirectoryW(wide.c_str(), nullptr);
    }
    file_ = wide + L"\\deep.pas";
    const HANDLE file = ::CreateFileW(file_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    made_ = file != INVALID_HANDLE_VALUE;
    if (made_) {
      DWORD written = 0;
      ::WriteFile(file, "x\r\n", 3, &written, nullptr);
      ::CloseHandle(file);
    }
  }
  ~LongPathTree() {
    ::DeleteFileW(file_.c_str());
    for (auto it = directories_.rbegin(); it != directories_.rend(); ++it) {
      ::RemoveDirectoryW(it->c_str());
    }
  }
  LongPathTree(const LongPathTree&) = delete;
  LongPathTree& operator=(const LongPathTree&) = delete;

  bool IsMade() const { return made_; }

private:
  static std::wstring Widen(const std::string& ascii) { return {ascii.begin(), ascii.end()}; }

  std::vector<std::wstring> directories_;
  std::wstring file_;
  bool made_ = false;
};

// Where the system cannot search a long path, the walk says so: a file there is
// either found or its directory reported, never dropped without a word.
TEST_F(Win32EndToEndTest, FilesUnderLongPathsAreFoundOrTheirDirectoryReported) {
  Touch("deep/a.pas");
  const LongPathTree tree(work.Path(), "deep");
  ASSERT_TRUE(tree.IsMade());
  const RunResult result = Run({"deep\\*.pas", "out", "-sub"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(Contains(result.out, "  1: deep\\a.pas ( 3 bytes)"));
  EXPECT_TRUE(Contains(result.out, "\\deep.pas ( 3 bytes)") ||
              Contains(result.out, "  Cannot search directory: deep\\" + std::string(40, 'd')))
      << result.out;
}

// The program declares in its manifest that it may use paths beyond 260 characters.
TEST_F(Win32EndToEndTest, ManifestDeclaresLongPathAwareness) {
  const HMODULE module = ::LoadLibraryExA(
      program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(module, nullptr);
  const HRSRC resource = ::FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  ASSERT_NE(resource, nullptr);
  const HGLOBAL loaded = ::LoadResource(module, resource);
  const std::string manifest(static_cast<const char*>(::LockResource(loaded)),
                             ::SizeofResource(module, resource));
  ::FreeLibrary(module);
  EXPECT_TRUE(Contains(manifest, "<longPathAware"));
  EXPECT_TRUE(std::regex_search(manifest, std::regex(">\\s*true\\s*</longPathAware>")));
}

TEST_F(Win32EndToEndTest, UsageShowsExeWhateverTheFileIsCalled) {
  const std::string renamed = bin / "Tool.EXE";
  fs::copy_file(program, renamed);
  const RunResult result = test::RunProgram(renamed, {}, work.Path());
  const Names lines = SplitCrLfLines(result.out);
  ASSERT_GE(lines.size(), 8u) << result.out;
  EXPECT_EQ(lines[1], "  Tool    Version 2.0");
  EXPECT_EQ(lines[6], "  Syntax: Tool.exe PasFile|PasFiles HtmlFile [-sub [x]]");
  EXPECT_EQ(lines[7], "  Syntax: Tool.exe www");
}

// Windows drops trailing dots and blanks, and a path past 260 characters is still one
// of the inputs: the output checks compare names as Windows resolves them.
TEST_F(Win32EndToEndTest, OutputSpellingsThatWindowsResolvesToAnInputAreRefused) {
  Touch("a.pas");
  Touch("deep/a.pas");
  Write("victim.pas", "victim\r\n");
  for (const std::string output : {"victim.pas.", "victim.pas ", "victim.pas. .."}) {
    const RunResult result = Run({"a.pas", output});
    EXPECT_EQ(result.status, 1) << output;
    EXPECT_EQ(ReadBytes(work / "victim.pas"), "victim\r\n") << output;
  }
  const LongPathTree tree(work.Path(), "deep");
  ASSERT_TRUE(tree.IsMade());
  std::string deep = work.Path() + "\\deep";
  while (deep.size() < work.Path().size() + 300) {
    deep += "\\" + std::string(40, 'd');
  }
  deep += "\\deep.pas";
  // The same file spelled through ".." and "/", still past 260 characters.
  std::string other = deep;
  std::replace(other.begin(), other.end(), '\\', '/');
  other.insert(other.rfind('/'), "/../" + std::string(40, 'd'));
  const RunResult result = Run({deep, other});
  EXPECT_EQ(result.status, 1) << result.out;
  EXPECT_TRUE(Contains(result.err, "is the input file")) << result.err;
}

} // namespace
} // namespace lexiform

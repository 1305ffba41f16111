// The Windows side of the platform layer, where it differs from POSIX: "\" and ":" in
// paths, the system's own wildcard matching, the temporary path as the system gives
// it, and sizes beyond 32 bits. Built only into the Windows test program.

#include "platform/platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "test_support.h"

// Only to give the test a console of its own.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace fs = std::filesystem;

namespace lexiform::platform {
namespace {

std::set<std::string> NamesOf(const std::vector<DirEntry>& entries) {
  std::set<std::string> names;
  for (const DirEntry& entry : entries) {
    if (entry.name != "." && entry.name != "..") {
      names.insert(entry.name);
    }
  }
  return names;
}

std::string Lower(std::string text) {
  for (char& c : text) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return text;
}

bool IsDriveAbsolute(const std::string& path) {
  return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
         path[2] == '\\';
}

// Sets an environment variable for the rest of one test and restores it afterwards.
class ScopedVariable {
public:
  ScopedVariable(std::string name, const std::string& value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) {
      old_ = old;
      hadOld_ = true;
    }
    _putenv_s(name_.c_str(), value.c_str());
  }
  ~ScopedVariable() { _putenv_s(name_.c_str(), hadOld_ ? old_.c_str() : ""); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
  std::string name_;
  std::string old_;
  bool hadOld_ = false;
};

TEST(Win32PathTest, BackslashAndColonEndDirectoryParts) {
  EXPECT_EQ(PathSeparator(), '\\');
  EXPECT_EQ(ExecutableSuffix(), ".exe");
  for (char c : {'\\', '/', ':'}) {
    EXPECT_TRUE(EndsDirectoryPart(c)) << c;
  }
  for (char c : {'.', 'C', ' ', '*'}) {
    EXPECT_FALSE(EndsDirectoryPart(c)) << c;
  }
}

TEST(Win32PathTest, ProcessPathsCarryADrive) {
  EXPECT_TRUE(IsDriveAbsolute(CurrentDirectory())) << CurrentDirectory();
  const std::string program = ProgramPath();
  EXPECT_TRUE(IsDriveAbsolute(program)) << program;
  EXPECT_EQ(Lower(program.substr(program.size() - 4)), ".exe") << program;
  // The raw command line, whatever the arguments say.
  const std::string line = CommandLine(0, nullptr);
  EXPECT_NE(line.find("lexiform_tests"), std::string::npos) << line;
}

TEST(Win32PathTest, FilesAreFoundThroughEitherSeparatorAndDriveRootsAreNoFiles) {
  test::ScratchDir dir;
  fs::create_directories(dir / "sub");
  test::WriteBytes(dir / "sub/a.pas", "abc");
  const std::string backslashed = dir.Path() + "\\sub\\a.pas";
  const std::string slashed = dir.Path() + "/sub/a.pas";
  EXPECT_TRUE(IsExistingFile(backslashed));
  EXPECT_TRUE(IsExistingFile(slashed));
  EXPECT_EQ(FileSize(slashed), 3u);
  EXPECT_FALSE(IsExistingFile("C:\\"));
  EXPECT_FALSE(IsExistingFile("C:"));
  EXPECT_EQ(FileSize("C:\\"), 0u);
  EXPECT_FALSE(IsExistingFile(dir.Path() + "\\sub\\"));
  EXPECT_THROW(File(dir.Path() + "\\sub", File::Mode::Read), FileError);
}

TEST(Win32FindEntriesTest, SystemMatchingIgnoresCaseAndMarksDirectories) {
  test::ScratchDir dir;
  fs::create_directories(dir / "src/Folder.pas");
  for (const char* name : {"a.pas", "B.PAS", "c.pa", "unit1.dpr", "x.txt"}) {
    test::WriteBytes(dir / (std::string("src/") + name), "x");
  }
  const std::string src = dir.Path() + "\\src\\";
  // Not asserted either way: "*.pas" may also match "c.pasx" through its short name,
  // as the system's matching does where short names exist.

  const std::vector<DirEntry> pas = FindEntries(src + "*.pas");
  EXPECT_EQ(NamesOf(pas), (std::set<std::string>{"a.pas", "B.PAS", "Folder.pas"}));
  for (const DirEntry& entry : pas) {
    EXPECT_EQ(entry.isDirectory, entry.name == "Folder.pas") << entry.name;
    EXPECT_FALSE(entry.isLink) << entry.name;
  }
  EXPECT_EQ(NamesOf(FindEntries(src + "?.PAS")), (std::set<std::string>{"a.pas", "B.PAS"}));
  EXPECT_EQ(NamesOf(FindEntries(dir.Path() + "/src/unit?.*")),
            (std::set<std::string>{"unit1.dpr"}));
  EXPECT_EQ(NamesOf(FindEntries(src + "*")).size(), 6u);
  EXPECT_TRUE(FindEntries(src + "*.none").empty());
  EXPECT_TRUE(FindEntries(dir.Path() + "\\missing\\*").empty());
}

TEST(Win32FindEntriesTest, OrderIsStableAndBareMasksSearchTheCurrentDirectory) {
  test::ScratchDir dir;
  for (const char* name : {"m.pas", "Z.pas", "a.pas", "_.pas"}) {
    test::WriteBytes(dir / name, "x");
  }
  const std::vector<DirEntry> first = FindEntries(dir.Path() + "\\*.pas");
  const std::vector<DirEntry> second = FindEntries(dir.Path() + "\\*.pas");
  ASSERT_EQ(first.size(), 4u);
  for (std::size_t i = 0; i < first.size(); ++i) {
    EXPECT_EQ(first[i].name, second[i].name);
  }

  const fs::path previous = fs::current_path();
  fs::current_path(dir.Path());
  const std::set<std::string> bare = NamesOf(FindEntries("*.pas"));
  const std::string current = CurrentDirectory();
  fs::current_path(previous);
  EXPECT_EQ(bare, NamesOf(first));
  EXPECT_TRUE(IsDriveAbsolute(current)) << current;
  EXPECT_TRUE(fs::equivalent(current, dir.Path())) << current;
}

TEST(Win32FindEntriesTest, DriveRootsAreSearchable) {
  const std::vector<DirEntry> root = FindEntries("C:\\*");
  ASSERT_FALSE(root.empty());
  EXPECT_TRUE(std::any_of(root.begin(), root.end(), [](const DirEntry& entry) {
    return entry.isDirectory && Lower(entry.name) == "windows";
  }));
  EXPECT_EQ(NamesOf(FindEntries("C:\\windows")), (std::set<std::string>{"windows"}));
}

TEST(Win32FileTest, UniqueFilesAreNewAndLeaveExistingFilesAlone) {
  test::ScratchDir dir;
  std::set<std::string> made;
  for (int i = 0; i < 50; ++i) {
    made.insert(File::CreateUnique(dir.Path(), ".out.html.lexiform-").Path());
  }
  EXPECT_EQ(made.size(), 50u);
  for (const std::string& path : made) {
    EXPECT_EQ(path.rfind(dir.Path() + "\\.out.html.lexiform-", 0), 0u) << path;
    EXPECT_EQ(FileSize(path), 0u);
  }
  // A directory that already ends in a separator gets no second one.
  for (const std::string& directory : {dir.Path() + "\\", dir.Path() + "/"}) {
    const std::string path = File::CreateUnique(directory, "x-").Path();
    EXPECT_EQ(path.rfind(directory + "x-", 0), 0u) << path;
  }
  EXPECT_THROW(File::CreateUnique(dir.Path() + "\\missing", "x"), FileError);
}

TEST(Win32FileTest, MoveReplacesAndRemoveReportsFailure) {
  test::ScratchDir dir;
  test::WriteBytes(dir / "from", "new\r\ncontent\x1a");
  test::WriteBytes(dir / "to", "old content that is longer");
  MoveFileOver(dir / "from", dir / "to");
  EXPECT_EQ(test::ReadBytes(dir / "to"), "new\r\ncontent\x1a");
  EXPECT_FALSE(IsExistingFile(dir / "from"));
  EXPECT_THROW(MoveFileOver(dir / "missing", dir / "to"), FileError);
  EXPECT_TRUE(RemoveFile(dir / "to"));
  EXPECT_FALSE(RemoveFile(dir / "to"));
  EXPECT_FALSE(IsExistingFile(dir / "to"));
}

TEST(Win32FileTest, ReadingSharesTheFileWithWriters) {
  test::ScratchDir dir;
  File writer = File::CreateUnique(dir.Path(), "shared-");
  writer.Write("abc", 3);
  File reader(writer.Path(), File::Mode::Read);
  char buffer[8] = {};
  EXPECT_EQ(reader.Read(buffer, sizeof buffer), 3u);
  EXPECT_EQ(std::string(buffer, 3), "abc");
  EXPECT_EQ(reader.Read(buffer, sizeof buffer), 0u);
  // The size comes from the directory entry, also while the file is held open.
  EXPECT_EQ(FileSize(writer.Path()), 3u);
  EXPECT_EQ(writer.Size(), 3u);
}

TEST(Win32FileTest, SizesBeyondFourGigabytesKeepTheirHighPart) {
  test::ScratchDir dir;
  const std::string path = dir / "big";
  test::WriteBytes(path, "");
  const std::uintmax_t size = (std::uintmax_t{1} << 32) + 10;
  std::error_code error;
  fs::resize_file(path, size, error);
  if (error) {
    GTEST_SKIP() << "cannot make a file of 4 GiB here: " << error.message();
  }
  EXPECT_EQ(FileSize(path), std::uint64_t{size});
  {
    File file(path, File::Mode::Read);
    EXPECT_EQ(file.Size(), std::uint64_t{size});
  }
  RemoveFile(path);
}

TEST(Win32ConsoleTest, UserTimeAndColoursNeedNoConsole) {
  EXPECT_FALSE(UserName().empty());
  EXPECT_LE(UserName().size(), 256u);
  EXPECT_FALSE(TimeSeparator().empty());
  // Without a console these must be harmless no-ops.
  ApplyTextAttribute(12);
  ApplyTextAttribute(7);
  SetConsoleTitle("lexiform_tests");
  PrepareProcess();
}

// Standard output turned to a console of the test's own for one scope.
class ConsoleAsStdout {
public:
  ConsoleAsStdout() {
    madeConsole_ = ::AllocConsole() != 0;
    console_ =
        ::CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, 0, nullptr);
    if (IsOpen()) {
      ::SetStdHandle(STD_OUTPUT_HANDLE, console_);
    }
  }
  ~ConsoleAsStdout() {
    ::SetStdHandle(STD_OUTPUT_HANDLE, saved_);
    if (IsOpen()) {
      ::CloseHandle(console_);
    }
    if (madeConsole_) {
      ::FreeConsole();
    }
  }
  ConsoleAsStdout(const ConsoleAsStdout&) = delete;
  ConsoleAsStdout& operator=(const ConsoleAsStdout&) = delete;

  bool IsOpen() const { return console_ != INVALID_HANDLE_VALUE; }
  HANDLE Handle() const { return console_; }

private:
  HANDLE saved_ = ::GetStdHandle(STD_OUTPUT_HANDLE);
  HANDLE console_ = INVALID_HANDLE_VALUE;
  bool madeConsole_ = false;
};

TEST(Win32ConsoleTest, ColoursOfTheStartAreRestored) {
  const ConsoleAsStdout console;
  if (!console.IsOpen()) {
    GTEST_SKIP() << "no console to be had here";
  }
  constexpr WORD kYellowOnBlue = 0x1E;
  ASSERT_TRUE(::SetConsoleTextAttribute(console.Handle(), kYellowOnBlue));
  PrepareConsole();
  ApplyTextAttribute(12);
  RestoreConsole();
  CONSOLE_SCREEN_BUFFER_INFO info{};
  ASSERT_TRUE(::GetConsoleScreenBufferInfo(console.Handle(), &info));
  EXPECT_EQ(info.wAttributes, kYellowOnBlue);
}

TEST(Win32ConsoleTest, OnlyAConsoleGetsItsOwnCodePage) {
  if (::GetACP() != 1252) {
    GTEST_SKIP() << "the expected bytes are those of ANSI code page 1252";
  }
  const std::string cafe = "caf\xc3\xa9"; // UTF-8, as the program holds text
  // A pipe or a file (the test's standard output) gets the ANSI bytes.
  EXPECT_EQ(ToConsoleCodePage(cafe), "caf\xe9");
  const ConsoleAsStdout console;
  if (!console.IsOpen()) {
    GTEST_SKIP() << "no console to be had here";
  }
  const UINT page = ::GetConsoleOutputCP();
  ASSERT_TRUE(::SetConsoleOutputCP(850));
  EXPECT_EQ(ToConsoleCodePage(cafe), "caf\x82"); // é in code page 850
  EXPECT_EQ(ToConsoleCodePage("plain"), "plain");
  ::SetConsoleOutputCP(page);
}

} // namespace
} // namespace lexiform::platform

#pragma once

// The thin layer between the program and the operating system. Everything here is
// neutral: no OS types, no #ifdef. The build compiles platform_posix.cpp or
// platform_win32.cpp; name_match.cpp is portable and shared by both.
//
// Note [names in UTF-8]
// Every name the program holds (arguments, paths, directory entries) is UTF-8 on both
// platforms. Windows gets and takes names through its wide (UTF-16) functions only: its
// ANSI functions map a character outside the ANSI code page to a look-alike ("Ωmega" to
// "Omega"), so another file than the user's would be read, listed or overwritten. Where
// a name leaves the program as text, it is converted for its reader: to the ANSI code
// page in a classic document (ToAnsiCodePage), to the console's page on a console.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace lexiform::platform {

// A file could not be opened, read, written or closed. The message names the file
// and the reason.
class FileError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// The system ran out of something the program needs (open files, memory): no fault of
// the file that was being opened, read or written, and no better for the next one.
class ResourceError : public FileError {
public:
  using FileError::FileError;
};

// ---------------------------------------------------------------------------------
// Console

// Puts standard output into binary mode (we write the line ends ourselves), remembers
// the console's colours for RestoreConsole, and drops keys typed ahead at a console.
// Safe to call when there is no console.
void PrepareConsole();

// Gives the console back the colours it had when PrepareConsole ran.
void RestoreConsole();

// `text`, in UTF-8 as the program holds it, as the console shows it: on Windows in the
// console's own (OEM) code page when the console text goes to a console, else in the
// ANSI code page as ToAnsiCodePage gives it; unchanged on POSIX.
std::string ToConsoleCodePage(const std::string& text);

// Whether the console text goes to a terminal (a console window on Windows).
bool ConsoleIsTerminal();

// Whether standard error goes to a terminal (a console window on Windows).
bool StandardErrorIsTerminal();

// The console text goes to standard error from now on (colours, title and code page
// with it), so that standard output is free for the document.
void UseStandardErrorForConsole();

// The console stream: standard output, or standard error after
// UseStandardErrorForConsole.
std::FILE* ConsoleStream();

// Everything standard input holds, byte for byte. Throws FileError when it cannot be read.
std::string ReadStandardInput();

// Writes `size` bytes to standard output, byte for byte; throws FileError (naming
// standard output and the system's reason) when they cannot be written.
void WriteStandardOutput(const void* data, std::size_t size);

// The line end of console text: CR LF on Windows, as its console programs write it;
// LF on POSIX, where a CR would stand as a stray byte in logs and pipes.
const char* ConsoleLineEnd();

// Whether the rule of 80 "-" needs a line end of its own. The Windows console of 80
// columns wraps after it by itself; POSIX terminals are often wider, and logs never wrap.
bool RuleNeedsLineEnd();

// Makes `attribute` (console colours: low four bits foreground, next four background;
// 1 blue, 2 green, 4 red, 8 intensity) the colour of the text written after it.
// The caller flushes standard output first. Does nothing when standard output is not
// a terminal.
void ApplyTextAttribute(std::uint16_t attribute);

// Sets the console window title; does nothing when standard output is not a terminal.
void SetConsoleTitle(const std::string& title);

// ---------------------------------------------------------------------------------
// Process

// First of all: standard input, output and error are open afterwards (on the null
// device where the caller had closed them), so that no file the program opens can
// take their numbers and receive its console text.
void OpenStandardStreams();

// Once at start: a write past a file-size limit or into a closed pipe fails with an
// error instead of ending the process; no system error boxes pop up; the threads the
// program starts get small stacks where the platform lets us choose (POSIX).
void PrepareProcess();

// Hands memory the program has freed back to the system where the allocator keeps it
// (glibc keeps the freed middle of its heaps): called after a phase that freed hundreds
// of megabytes, so that the next one does not add its own on top of them.
void ReturnFreedMemory() noexcept;

// For a run that holds hundreds of megabytes in millions of pieces (a cross-referenced
// site): large blocks come from the system and go back when freed, and a heap gives
// back what it has free at its end beyond a fixed limit, instead of the allocator
// raising both limits as large blocks come and go (glibc).
void KeepFreedMemorySmall() noexcept;

// For a run that faults in hundreds of megabytes (a cross-referenced site), before it
// has opened anything or written more than the console's title: where the allocator
// gives memory large pages only when told so as the process starts (glibc), starts the
// program again, in the same process, with `argv` (ending in a null pointer) and the
// allocator told; see Note [large memory pages]. Returns where that is not needed or
// cannot be done.
void UseLargeMemoryPages(char* argv[]) noexcept;

// The whole command line as the platform passed it: on Windows the raw text, on POSIX
// the arguments joined by blanks, each one that is empty or holds a blank or a tab
// between double quotes.
std::string CommandLine(int argc, const char* const argv[]);

// The program's arguments, without the program's own name, in UTF-8 (see Note [names in
// UTF-8]): on Windows taken from the wide command line, not from `argv`, whose ANSI text
// has lost every character outside the ANSI code page; `argv` as it stands on POSIX.
std::vector<std::string> Arguments(int argc, const char* const argv[]);

// Whether the usual shells of the platform expand wildcards before the program sees
// them (POSIX shells do; Windows leaves them to the program).
bool ShellExpandsWildcards();

// Full path of the running program file.
std::string ProgramPath();

// ".exe" on Windows, empty elsewhere.
std::string ExecutableSuffix();

// Whether "/" can start a switch ("/?"), as on Windows; on POSIX it starts a path.
bool SlashStartsSwitches();

// Starts the desktop's opener for `url` and returns at once, without waiting for it.
// Returns false when no opener could be started.
bool OpenUrl(const std::string& url);

// The directory for the user's configuration files: on POSIX $XDG_CONFIG_HOME when it
// is an absolute path, else ~/.config; empty on Windows, where the configuration
// lives beside the program alone, and when there is no home directory.
std::string UserConfigHome();

// Name of the account the program runs under; empty when there is none.
std::string UserName();

// The separator between hours, minutes and seconds, and whether the hour is written
// with a leading zero, as the user's time format asks.
std::string TimeSeparator();
bool HourHasLeadingZero();

// ---------------------------------------------------------------------------------
// Paths

// The separator the program puts between a directory and a name.
char PathSeparator();

// `text` (UTF-8) in the code page of classic documents: on Windows the ANSI code page,
// the one such documents have always been written in, with "?" for a character that page
// lacks; unchanged on POSIX.
std::string ToAnsiCodePage(const std::string& text);

// `path` as the system resolves it when it opens a file: on Windows the full path with
// trailing dots and blanks dropped from its name, as Windows drops them ("a.pas." opens
// "a.pas"); `path` itself on POSIX and when it cannot be resolved.
std::string ResolvedPath(const std::string& path);

// Whether `c` ends a directory part: "/" on POSIX; "\", "/" and ":" on Windows.
bool EndsDirectoryPart(char c);

std::string CurrentDirectory();

// A directory to search, as the platform resolves it: a drive letter alone ("C:")
// names that drive's current folder, which comes back as a full path ("C:\work").
// Anything else, and everything on POSIX, comes back unchanged.
std::string ResolveSearchDirectory(const std::string& directory);

// The length of a prefix that hands a path to the system as it stands ("\\?\" and
// "\\.\" on Windows), whose "?" is no wildcard; 0 for other paths and on POSIX.
std::size_t VerbatimPrefixLength(const std::string& path);

// Whether the program may create files in `directory`.
bool CanWriteInDirectory(const std::string& directory);

// Creates `directory` and the directories above it that are missing. Returns whether
// it exists as a directory afterwards.
bool CreateDirectories(const std::string& directory);

// Creates the one directory `directory`, whose parent exists. Returns whether it was
// created (false also when something of that name was there).
bool MakeDirectory(const std::string& directory);

// Creates a new, empty directory with a unique name, `prefix` followed by random
// characters, in `directory`, and returns its path. Throws FileError when none can be
// created.
std::string CreateUniqueDirectory(const std::string& directory, const std::string& prefix);

// Gives the directory `from` the name `to`, where nothing or an empty directory stands.
// Throws FileError, naming `to`, on failure; `from` then stays. (POSIX replaces an empty
// `to` in one step; Windows removes it first.)
void MoveDirectoryInto(const std::string& from, const std::string& to);

// Removes an empty directory; returns false on failure (it is not empty, or not there).
bool RemoveEmptyDirectory(const std::string& path) noexcept;

// ---------------------------------------------------------------------------------
// Directory search

struct DirEntry {
  std::string name;         // without any directory
  bool isDirectory = false; // follows links: a link to a directory is a directory
  bool isLink = false;      // a symbolic link or other reparse point
};

// The entries of the directory named by the directory part of `pattern` whose names
// match its name part (MatchesWildcard; letter case ignored on Windows, and only the
// long name counted there, never the 8.3 short one), ordered by CompareNoCase.
// "." and ".." may be among them. Empty when the directory cannot be searched; then,
// unless it simply does not exist, `failure` (when given) receives the system's reason.
std::vector<DirEntry> FindEntries(const std::string& pattern, std::string* failure = nullptr);

// ---------------------------------------------------------------------------------
// Files

// Whether `path` names an existing file; a directory is not a file.
bool IsExistingFile(const std::string& path);

// Length of the file in bytes, 0 when `path` is not an existing file.
std::uint64_t FileSize(const std::string& path);

// What a path names, following links.
enum class PathKind { Missing, Regular, Directory, Other };
PathKind KindOf(const std::string& path);

// What one look at `path` (following links) finds: its kind, its length when it is a
// regular file, and, when a folder on the way cannot be searched (POSIX: no "x" for
// us), the system's reason, with the kind Missing.
struct PathFacts {
  PathKind kind = PathKind::Missing;
  std::uint64_t size = 0;
  std::string searchDenied;
};
PathFacts ExaminePath(const std::string& path);

// Identity of an existing file, the same for every name and link that reaches it:
// device and inode on POSIX, volume serial and file index on Windows.
struct FileId {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  bool operator==(const FileId& other) const {
    return volume == other.volume && index == other.index;
  }
};
// Empty when `path` names nothing (or nothing the system lets us look at).
std::optional<FileId> IdentifyFile(const std::string& path);

// When `path` is a symbolic link (through any chain of them), the path of the file the
// chain ends at, whether or not it exists; otherwise `path` itself.
std::string FollowLinks(const std::string& path);

// Removes a file; returns false on failure.
bool RemoveFile(const std::string& path) noexcept;

// Moves the file `from` to the name `to`, replacing a file of that name, in one step
// that leaves either the old or the new file there. Throws FileError, naming `to`, on
// failure (for instance when another program holds `to`); `from` then stays.
void MoveFileOver(const std::string& from, const std::string& to);

// The first bytes of the regular file `path`, at most `limit` of them; empty when it
// cannot be opened or is no regular file. Never waits: a pipe or a device is not read.
std::optional<std::string> ReadFileStart(const std::string& path, std::size_t limit);

// Whether `directory` is one of the system's folders for programs (/usr/bin and the
// like, or the bin folder of the prefix the program was built for), where the
// program must not leave files of its own. Never on Windows.
bool IsSystemProgramFolder(const std::string& directory);

// While a path is registered, an interrupt (Ctrl-C, SIGTERM, SIGHUP, SIGQUIT; on
// Windows Ctrl-C, Ctrl-Break and closing the console) removes that file before the
// process ends as the signal demands. One path at a time; registering an empty text
// clears it. Safe to call from one thread while interrupts arrive.
void RemoveOnInterrupt(const std::string& path);

// From now on the first interrupt only asks the program to stop: InterruptRequested()
// turns true and the program ends at a point of its choosing, through
// EndAsInterrupted(), after tidying up more than one file could. A second interrupt
// ends the process at once, as without this call (the registered file is removed).
void DeferInterrupts();
bool InterruptRequested();
// Ends the process as the deferred interrupt demands (on POSIX by the same signal).
[[noreturn]] void EndAsInterrupted();

// From HoldInterrupts on, an interrupt no longer ends the process; ReleaseInterrupts
// acts on one that came in between as it would have acted then (on Windows that one is
// simply dropped). Once the document is
// in place the run has succeeded: see Note [interrupts after the replace].
void HoldInterrupts();
void ReleaseInterrupts();

// An open file, closed by its destructor. Byte-exact in every mode: no line-end
// translation anywhere.
class File {
public:
  enum class Mode {
    Read,      // an existing file
    CreateNew, // a new file; fails when anything, a link included, has the name
  };

  File() = default;
  // Throws FileError when the file cannot be opened in `mode` (ResourceError when the
  // system has no more files or memory to give).
  File(const std::string& path, Mode mode);
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Creates a new file with a unique name, `prefix` followed by random characters, in
  // `directory` (the current directory when empty), exclusively: never opening an
  // existing file or following a link. Throws FileError when none can be created.
  static File CreateUnique(const std::string& directory, const std::string& prefix);

  // Reads up to `size` bytes; returns how many were read, 0 at the end of the file.
  // Throws FileError on a read error.
  std::size_t Read(void* buffer, std::size_t size);
  // Writes all `size` bytes or throws FileError.
  void Write(const void* data, std::size_t size);
  // The file's length now.
  std::uint64_t Size() const;
  // Cuts the file at `length` and moves the write position there.
  void Truncate(std::uint64_t length);
  // Gives the file the owner, group and access permissions of the existing file
  // `model`, as far as the system lets this process (only root may give a file away);
  // does nothing when `model` cannot be examined, and on Windows, where a new file
  // inherits its folder's access rules as the old one did.
  void CopyAccessOf(const std::string& model);
  // Closes the file; throws FileError when the system reports that the data could not
  // be written. A closed file can be closed again.
  void Close();

  bool IsOpen() const { return handle_ != kNoHandle; }
  const std::string& Path() const { return path_; }

private:
  static constexpr std::intptr_t kNoHandle = -1;
  std::intptr_t handle_ = kNoHandle;
  std::string path_;
};

// ---------------------------------------------------------------------------------
// Portable helpers shared by the platform files (name_match.cpp)

// Whether letter case tells names apart when a mask is matched: it does on POSIX,
// whose file systems keep "a.pas" and "A.PAS" apart; it does not on Windows.
enum class LetterCase { Significant, Ignored };

// Matches `name` against `mask`, both UTF-8: "*" any run of characters, "?" any one
// character, every other character itself. See Note [names as characters].
bool MatchesWildcard(const std::string& mask, const std::string& name,
                     LetterCase letterCase = LetterCase::Significant);

// The upper case of `c` by Unicode's simple mapping (one character to one character);
// `c` itself when it has none.
char32_t UpperCase(char32_t c);

// Case-insensitive comparison of UTF-8 names with every letter folded to upper case
// (UpperCase), as NTFS orders names, ties broken by byte order: < 0, 0 or > 0. The
// order of a directory's entries on both platforms, so that a tree is listed alike.
int CompareNoCase(const std::string& a, const std::string& b);

// CompareNoCase for whole paths, with a path separator ("/", or the platform's own)
// before every other character: each directory is followed by its own subtree, on both
// platforms alike.
int ComparePathsNoCase(const std::string& a, const std::string& b);

} // namespace lexiform::platform

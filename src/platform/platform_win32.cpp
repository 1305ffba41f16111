#include "platform/platform.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <shellapi.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <new>
#include <string>
#include <vector>

// <windows.h> makes SetConsoleTitle a macro for its A or W variant, which would rename
// our own function of that name; the Win32 calls below are spelled with their W suffix
// (see Note [names in UTF-8]).
#undef SetConsoleTitle

namespace lexiform::platform {

namespace {

// UTF-8 to UTF-16 for the wide functions. A byte that is not UTF-8 becomes U+FFFD.
std::wstring Widen(const std::string& text) {
  if (text.empty()) {
    return {};
  }
  const int size = static_cast<int>(text.size());
  const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
  return wide;
}

// `length` UTF-16 units in code page `page`; a character the page lacks becomes "?",
// never a look-alike (see Note [names in UTF-8]).
std::string InCodePage(const wchar_t* text, std::size_t length, UINT page) {
  if (length == 0) {
    return {};
  }
  const int size = static_cast<int>(length);
  // UTF-8 and a few stateful pages take neither flags nor a default character.
  DWORD flags = page == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  const char* defaultChar = page == CP_UTF8 ? nullptr : "?";
  int converted = ::WideCharToMultiByte(page, flags, text, size, nullptr, 0, defaultChar, nullptr);
  if (converted == 0 && ::GetLastError() == ERROR_INVALID_FLAGS) {
    flags = 0;
    defaultChar = nullptr;
    converted = ::WideCharToMultiByte(page, flags, text, size, nullptr, 0, nullptr, nullptr);
  }
  std::string result(static_cast<std::size_t>(converted), '\0');
  ::WideCharToMultiByte(page, flags, text, size, result.data(), converted, defaultChar, nullptr);
  return result;
}

std::string Narrow(const wchar_t* text, std::size_t length) {
  return InCodePage(text, length, CP_UTF8);
}

std::string Narrow(const std::wstring& text) {
  return Narrow(text.data(), text.size());
}

// A UTF-8 text in code page `page`; plain ASCII, the same in every page, as it stands.
std::string Utf8InCodePage(const std::string& text, UINT page) {
  const bool plainAscii = std::all_of(text.begin(), text.end(),
                                      [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (plainAscii || page == CP_UTF8) {
    return text;
  }
  const std::wstring wide = Widen(text);
  return InCodePage(wide.data(), wide.size(), page);
}

// A text that the system writes into a buffer of `capacity` characters and reports the
// length of: the length written, or the size needed when the buffer is too small.
template <typename Fill> std::wstring FetchText(DWORD capacity, Fill fill) {
  std::vector<wchar_t> buffer(capacity + 1, L'\0');
  for (;;) {
    const DWORD length = fill(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) {
      return {};
    }
    if (length < buffer.size()) {
      return std::wstring(buffer.data(), length);
    }
    buffer.assign(std::max(static_cast<std::size_t>(length) + 1, buffer.size() * 2), L'\0');
  }
}

bool IsVerbatim(const std::wstring& path) {
  return path.size() >= 4 && path[0] == L'\\' && path[1] == L'\\' &&
         (path[2] == L'?' || path[2] == L'.') && path[3] == L'\\';
}

std::wstring FullPathOf(const std::wstring& path) {
  return FetchText(MAX_PATH, [&path](wchar_t* buffer, DWORD size) {
    return ::GetFullPathNameW(path.c_str(), size, buffer, nullptr);
  });
}

// Note [long paths]
// The system's path functions stop at MAX_PATH characters unless a path comes in the
// "\\?\" form, which hands it to the file system as it stands. That form is made only
// from the full path that GetFullPathNameW gives, which has resolved "." and "..", turned
// "/" into "\" and dropped trailing dots and blanks as Windows does for every other
// path: "\\?\" would otherwise open a file "victim.pas." beside "victim.pas", and
// the checks that compare an output with the inputs would be checking another name
// than the one written. A path short enough goes to the system as the user gave it.
constexpr std::size_t kShortPathLimit = MAX_PATH - 12; // CreateDirectoryW's limit

// `path` (UTF-8) as the wide functions take it. See Note [long paths].
std::wstring SystemPath(const std::string& path) {
  std::wstring wide = Widen(path);
  if (wide.empty() || IsVerbatim(wide)) {
    return wide;
  }
  const std::wstring full = FullPathOf(wide);
  if (full.size() < kShortPathLimit) {
    return wide;
  }
  if (full[0] == L'\\' && full[1] == L'\\') {
    return IsVerbatim(full) ? full : L"\\\\?\\UNC\\" + full.substr(2);
  }
  return L"\\\\?\\" + full;
}

// The system's own text for an error code, without its trailing line end and period.
std::string ErrorText(DWORD error) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text = length > 0 && buffer ? Narrow(buffer, length) : std::string();
  if (buffer) {
    ::LocalFree(buffer);
  }
  while (!text.empty() &&
         (text.back() == '\r' || text.back() == '\n' || text.back() == ' ' || text.back() == '.')) {
    text.pop_back();
  }
  return text.empty() ? "error " + std::to_string(error) : text;
}

[[noreturn]] void ThrowFileError(const std::string& what, const std::string& path, DWORD error) {
  const std::string message = what + " \"" + path + "\": " + ErrorText(error);
  if (error == ERROR_TOO_MANY_OPEN_FILES || error == ERROR_NOT_ENOUGH_MEMORY ||
      error == ERROR_OUTOFMEMORY || error == ERROR_NO_SYSTEM_RESOURCES) {
    throw ResourceError(message);
  }
  throw FileError(message);
}

HANDLE ToHandle(std::intptr_t value) {
  return reinterpret_cast<HANDLE>(value);
}

std::intptr_t FromHandle(HANDLE handle) {
  return reinterpret_cast<std::intptr_t>(handle);
}

bool consoleOnStandardError = false;

// The handle of the console text: standard output, or standard error.
HANDLE StdOutput() {
  return ::GetStdHandle(consoleOnStandardError ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
}

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode);
}

// The largest piece one ReadFile or WriteFile call takes.
DWORD ChunkSize(std::size_t size) {
  constexpr std::size_t kMaxChunk = 1u << 30;
  return static_cast<DWORD>(std::min(size, kMaxChunk));
}

std::string LocaleText(LCTYPE item) {
  char buffer[16] = {};
  const int length = ::GetLocaleInfoA(LOCALE_USER_DEFAULT, item, buffer, sizeof buffer);
  return length > 0 ? std::string(buffer, std::strlen(buffer)) : std::string();
}

} // namespace

// ---------------------------------------------------------------------------------
// Console

namespace {
// The console's colours when the program started; none when standard output is no
// console.
WORD startAttributes = 0;
bool haveStartAttributes = false;
} // namespace

void PrepareConsole() {
  // Binary mode: text mode would turn every LF we write into CR LF, and we write the
  // CR LF line ends ourselves.
  std::fflush(stdout);
  ::_setmode(::_fileno(stdout), _O_BINARY);
  ::_setmode(::_fileno(stderr), _O_BINARY);
  ::_setmode(::_fileno(stdin), _O_BINARY);
  CONSOLE_SCREEN_BUFFER_INFO info{};
  haveStartAttributes = ::GetConsoleScreenBufferInfo(StdOutput(), &info) != 0;
  startAttributes = info.wAttributes;
  const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  if (IsConsole(input)) {
    ::FlushConsoleInputBuffer(input);
  }
}

void RestoreConsole() {
  if (haveStartAttributes) {
    std::fflush(ConsoleStream());
    ::SetConsoleTextAttribute(StdOutput(), startAttributes);
  }
}

std::string ToConsoleCodePage(const std::string& text) {
  // A pipe or a file gets the ANSI text that console programs of this platform write.
  const UINT consolePage = ConsoleIsTerminal() ? ::GetConsoleOutputCP() : 0;
  return Utf8InCodePage(text, consolePage != 0 ? consolePage : ::GetACP());
}

bool ConsoleIsTerminal() {
  return IsConsole(StdOutput());
}

bool StandardErrorIsTerminal() {
  return IsConsole(::GetStdHandle(STD_ERROR_HANDLE));
}

void UseStandardErrorForConsole() {
  std::fflush(stdout);
  consoleOnStandardError = true;
}

std::FILE* ConsoleStream() {
  return consoleOnStandardError ? stderr : stdout;
}

std::string ReadStandardInput() {
  std::string text;
  char buffer[65536];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &got, nullptr)) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) {
        return text;
      }
      ThrowFileError("Cannot read", "-", error);
    }
    if (got == 0) {
      return text;
    }
    text.append(buffer, got);
  }
}

void WriteStandardOutput(const void* data, std::size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    DWORD written = 0;
    if (!::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), bytes, ChunkSize(size), &written,
                     nullptr)) {
      ThrowFileError("Cannot write", "-", ::GetLastError());
    }
    bytes += written;
    size -= written;
  }
}

const char* ConsoleLineEnd() {
  return "\r\n";
}

bool RuleNeedsLineEnd() {
  return false;
}

void ApplyTextAttribute(std::uint16_t attribute) {
  // Fails harmlessly when standard output is a file or a pipe: no bytes reach it.
  ::SetConsoleTextAttribute(StdOutput(), attribute);
}

void SetConsoleTitle(const std::string& title) {
  if (!ConsoleIsTerminal()) {
    return;
  }
  ::SetConsoleTitleW(Widen(title).c_str());
}

// ---------------------------------------------------------------------------------
// Process

void OpenStandardStreams() {
  // Files are opened as handles, never as C runtime descriptors: a closed standard
  // handle is not handed out again to a file the program opens.
}

void PrepareProcess() {
  // A missing floppy or an unreadable drive is a failed call for us, not a dialog box.
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

void ReturnFreedMemory() noexcept {
  // The process heap gives large blocks back when they are freed.
}

void KeepFreedMemorySmall() noexcept {
  // Nothing to tune: see ReturnFreedMemory.
}

void UseLargeMemoryPages(char* /*argv*/[]) noexcept {
  // Large pages on Windows need a privilege that users seldom hold.
}

std::string CommandLine(int /*argc*/, const char* const /*argv*/[]) {
  // The raw text keeps the quotes and the program path exactly as the user typed them.
  const wchar_t* line = ::GetCommandLineW();
  return line ? Narrow(line, std::wcslen(line)) : std::string();
}

namespace {

// The owner of the array that CommandLineToArgvW returns.
class WideArguments {
public:
  WideArguments() : arguments_(::CommandLineToArgvW(::GetCommandLineW(), &count_)) {}
  ~WideArguments() {
    if (arguments_ != nullptr) {
      ::LocalFree(arguments_);
    }
  }
  WideArguments(const WideArguments&) = delete;
  WideArguments& operator=(const WideArguments&) = delete;

  bool IsValid() const { return arguments_ != nullptr; }
  int Count() const { return count_; }
  const wchar_t* operator[](int i) const { return arguments_[i]; }

private:
  int count_ = 0;
  wchar_t** arguments_;
};

} // namespace

std::vector<std::string> Arguments(int argc, const char* const argv[]) {
  std::vector<std::string> arguments;
  const WideArguments wide;
  if (!wide.IsValid()) {
    for (int i = 1; i < argc; ++i) {
      arguments.emplace_back(argv[i] ? argv[i] : "");
    }
    return arguments;
  }
  for (int i = 1; i < wide.Count(); ++i) {
    arguments.push_back(Narrow(wide[i], std::wcslen(wide[i])));
  }
  return arguments;
}

bool ShellExpandsWildcards() {
  return false;
}

std::string ProgramPath() {
  return Narrow(FetchText(MAX_PATH, [](wchar_t* buffer, DWORD size) {
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer, size);
    // A truncated path comes back with the whole buffer used: ask for a larger one.
    return length >= size ? size : length;
  }));
}

std::string ExecutableSuffix() {
  return ".exe";
}

bool SlashStartsSwitches() {
  return true;
}

bool OpenUrl(const std::string& url) {
  // Values above 32 mean success; anything else is an error code.
  const auto result = reinterpret_cast<INT_PTR>(
      ::ShellExecuteW(nullptr, L"open", Widen(url).c_str(), L"", L"", SW_SHOW));
  return result > 32;
}

std::string UserConfigHome() {
  return {};
}

std::string UserName() {
  // Not checked: on failure the cleared buffer gives the empty name.
  char buffer[256] = {};
  DWORD size = sizeof buffer;
  ::GetUserNameA(buffer, &size);
  return std::string(buffer, strnlen(buffer, sizeof buffer));
}

std::string TimeSeparator() {
  const std::string separator = LocaleText(LOCALE_STIME);
  return separator.empty() ? std::string(":") : separator;
}

bool HourHasLeadingZero() {
  return LocaleText(LOCALE_ITLZERO) == "1";
}

// ---------------------------------------------------------------------------------
// Paths

char PathSeparator() {
  return '\\';
}

bool EndsDirectoryPart(char c) {
  return c == '\\' || c == '/' || c == ':';
}

std::string ToAnsiCodePage(const std::string& text) {
  return Utf8InCodePage(text, ::GetACP());
}

std::string ResolvedPath(const std::string& path) {
  const std::wstring wide = Widen(path);
  if (wide.empty() || IsVerbatim(wide)) {
    return path;
  }
  const std::wstring full = FullPathOf(wide);
  return full.empty() ? path : Narrow(full);
}

std::string CurrentDirectory() {
  const std::string directory = Narrow(FetchText(
      MAX_PATH, [](wchar_t* buffer, DWORD size) { return ::GetCurrentDirectoryW(size, buffer); }));
  return directory.empty() ? std::string(".") : directory;
}

std::string ResolveSearchDirectory(const std::string& directory) {
  const bool bareDrive = directory.size() == 2 && directory[1] == ':' &&
                         std::isalpha(static_cast<unsigned char>(directory[0]));
  if (!bareDrive) {
    return directory;
  }
  const std::string full = Narrow(FullPathOf(Widen(directory)));
  return full.empty() ? directory : full;
}

std::size_t VerbatimPrefixLength(const std::string& path) {
  const bool verbatim = path.size() >= 4 && path[0] == '\\' && path[1] == '\\' &&
                        (path[2] == '?' || path[2] == '.') && path[3] == '\\';
  return verbatim ? 4 : 0;
}

bool CanWriteInDirectory(const std::string& directory) {
  const DWORD attributes =
      ::GetFileAttributesW(SystemPath(directory.empty() ? "." : directory).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CreateDirectories(const std::string& directory) {
  for (std::size_t at = 0; at < directory.size(); ++at) {
    if ((directory[at] == '\\' || directory[at] == '/') && at > 0 && directory[at - 1] != ':') {
      ::CreateDirectoryW(SystemPath(directory.substr(0, at)).c_str(), nullptr);
    }
  }
  const std::wstring path = SystemPath(directory);
  ::CreateDirectoryW(path.c_str(), nullptr);
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool MakeDirectory(const std::string& directory) {
  return ::CreateDirectoryW(SystemPath(directory).c_str(), nullptr) != 0;
}

std::string CreateUniqueDirectory(const std::string& directory, const std::string& prefix) {
  std::string base = directory;
  if (!base.empty() && !EndsDirectoryPart(base.back())) {
    base += PathSeparator();
  }
  base += prefix;
  static unsigned counter = 0;
  const std::string process = std::to_string(::GetCurrentProcessId());
  constexpr int kAttempts = 100;
  DWORD error = ERROR_ALREADY_EXISTS;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    std::string path =
        base + process + "_" + std::to_string(++counter) + "_" + std::to_string(::GetTickCount());
    if (::CreateDirectoryW(SystemPath(path).c_str(), nullptr) != 0) {
      return path;
    }
    error = ::GetLastError();
    if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) {
      break;
    }
  }
  ThrowFileError("Cannot create a folder in", directory.empty() ? "." : directory, error);
}

void MoveDirectoryInto(const std::string& from, const std::string& to) {
  // A directory cannot be moved over another: an empty one goes first.
  const std::wstring target = SystemPath(to);
  ::RemoveDirectoryW(target.c_str());
  if (::MoveFileExW(SystemPath(from).c_str(), target.c_str(), 0) == 0) {
    ThrowFileError("Cannot create", to, ::GetLastError());
  }
}

bool RemoveEmptyDirectory(const std::string& path) noexcept {
  try {
    return ::RemoveDirectoryW(SystemPath(path).c_str()) != 0;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

// ---------------------------------------------------------------------------------
// Directory search

namespace {

// Why FindFirstFileW found nothing: no match in a directory that was read, no such
// directory, or a directory that could not be read (no access, a path too long).
enum class SearchOutcome { Searched, Missing, Failed };

SearchOutcome SearchOutcomeOf(DWORD error) {
  switch (error) {
  case ERROR_FILE_NOT_FOUND:
  case ERROR_NO_MORE_FILES:
    return SearchOutcome::Searched;
  case ERROR_PATH_NOT_FOUND:
  case ERROR_INVALID_NAME:
  case ERROR_DIRECTORY:
  case ERROR_NOT_READY:
  case ERROR_BAD_NETPATH:
    return SearchOutcome::Missing;
  default:
    return SearchOutcome::Failed;
  }
}

class FindHandle {
public:
  FindHandle(const std::string& pattern, WIN32_FIND_DATAW& data)
      : handle_(::FindFirstFileExW(SystemPath(pattern).c_str(), FindExInfoBasic, &data,
                                   FindExSearchNameMatch, nullptr, 0)) {}
  ~FindHandle() {
    if (IsOpen()) {
      ::FindClose(handle_);
    }
  }
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;

  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool Next(WIN32_FIND_DATAW& data) { return ::FindNextFileW(handle_, &data) != 0; }

private:
  HANDLE handle_;
};

} // namespace

std::vector<DirEntry> FindEntries(const std::string& pattern, std::string* failure) {
  // The system's matching also tries each mask on the 8.3 short name, so that "*.pas"
  // would take "notes.pascal" and "unit1.pas~": the mask is matched here, on the long
  // name alone, and the order is the one both platforms use.
  std::size_t nameStart = pattern.size();
  while (nameStart > VerbatimPrefixLength(pattern) && !EndsDirectoryPart(pattern[nameStart - 1])) {
    --nameStart;
  }
  const std::string mask = pattern.substr(nameStart);
  std::vector<DirEntry> entries;
  WIN32_FIND_DATAW data{};
  FindHandle search(pattern.substr(0, nameStart) + "*", data);
  if (!search.IsOpen()) {
    const DWORD error = ::GetLastError();
    if (failure != nullptr && SearchOutcomeOf(error) == SearchOutcome::Failed) {
      *failure = ErrorText(error);
    }
    return entries;
  }
  do {
    DirEntry entry;
    entry.name = Narrow(data.cFileName, wcsnlen(data.cFileName, MAX_PATH));
    if (entry.name == "." || entry.name == ".." ||
        !MatchesWildcard(mask, entry.name, LetterCase::Ignored)) {
      continue;
    }
    entry.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.isLink = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    entries.push_back(std::move(entry));
  } while (search.Next(data));
  std::sort(entries.begin(), entries.end(),
            [](const DirEntry& a, const DirEntry& b) { return CompareNoCase(a.name, b.name) < 0; });
  return entries;
}

// ---------------------------------------------------------------------------------
// Files

namespace {

bool Attributes(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA& data) {
  return !path.empty() &&
         ::GetFileAttributesExW(SystemPath(path).c_str(), GetFileExInfoStandard, &data);
}

} // namespace

bool IsExistingFile(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  return Attributes(path, data) && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::uint64_t FileSize(const std::string& path) {
  // From the directory entry: no need to open the file, so a file that another program
  // holds open has its size too.
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!Attributes(path, data) || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return 0;
  }
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

namespace {

// Opens an existing file or directory only to look at it: no access rights asked, every
// kind of sharing allowed, so another program's hold on it does not matter.
HANDLE OpenToInspect(const std::string& path) {
  return ::CreateFileW(SystemPath(path).c_str(), 0,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

} // namespace

PathKind KindOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!Attributes(path, data)) {
    return PathKind::Missing;
  }
  if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return PathKind::Directory;
  }
  const HANDLE handle = OpenToInspect(path);
  if (handle == INVALID_HANDLE_VALUE) {
    // Names such as "NUL" or "CON" are devices that no file search finds.
    return PathKind::Other;
  }
  const DWORD type = ::GetFileType(handle);
  ::CloseHandle(handle);
  return type == FILE_TYPE_DISK ? PathKind::Regular : PathKind::Other;
}

std::optional<std::string> ReadFileStart(const std::string& path, std::size_t limit) {
  if (KindOf(path) != PathKind::Regular) {
    return std::nullopt;
  }
  const HANDLE handle = ::CreateFileW(SystemPath(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return std::nullopt;
  }
  std::string bytes(limit, '\0');
  DWORD got = 0;
  const bool read = ::GetFileType(handle) == FILE_TYPE_DISK &&
                    ::ReadFile(handle, bytes.data(), static_cast<DWORD>(limit), &got, nullptr);
  ::CloseHandle(handle);
  if (!read) {
    return std::nullopt;
  }
  bytes.resize(got);
  return bytes;
}

PathFacts ExaminePath(const std::string& path) {
  PathFacts facts;
  facts.kind = KindOf(path);
  if (facts.kind == PathKind::Regular) {
    facts.size = FileSize(path);
  }
  return facts;
}

std::optional<FileId> IdentifyFile(const std::string& path) {
  if (path.empty()) {
    return std::nullopt;
  }
  const HANDLE handle = OpenToInspect(path);
  if (handle == INVALID_HANDLE_VALUE) {
    return std::nullopt;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = ::GetFileInformationByHandle(handle, &info) != 0;
  ::CloseHandle(handle);
  if (!known) {
    return std::nullopt;
  }
  // Every spelling of one file (case, 8.3 name, "\\?\", ".\", "..", a trailing dot)
  // reaches the same volume and index.
  return FileId{info.dwVolumeSerialNumber,
                (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

std::string FollowLinks(const std::string& path) {
  // Links are rare on this platform and replacing one replaces the link itself.
  return path;
}

bool RemoveFile(const std::string& path) noexcept {
  try {
    return ::DeleteFileW(SystemPath(path).c_str()) != 0;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

void MoveFileOver(const std::string& from, const std::string& to) {
  // Virus scanners, indexers and previewers open new files for a moment; such a hold
  // is waited out for a few seconds before the replace counts as failed.
  constexpr int kAttempts = 50;
  constexpr DWORD kPauseMs = 100;
  const std::wstring source = SystemPath(from);
  const std::wstring target = SystemPath(to);
  DWORD error = ERROR_SUCCESS;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    if (::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) != 0) {
      return;
    }
    error = ::GetLastError();
    if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED &&
        error != ERROR_LOCK_VIOLATION) {
      break;
    }
    ::Sleep(kPauseMs);
  }
  ThrowFileError("Cannot replace", to, error);
}

bool IsSystemProgramFolder(const std::string& /*directory*/) {
  // The program's configuration lives beside it alone here: see UserConfigHome.
  return false;
}

// ---------------------------------------------------------------------------------
// Removing the unfinished file on an interrupt

namespace {

// The console runs the handler on a thread of its own; the path is read there while
// the program may be setting it, so the flag says when the buffer is whole.
wchar_t interruptPath[32768];
std::atomic<bool> interruptPathSet{false};

// See DeferInterrupts.
std::atomic<bool> deferring{false};
std::atomic<bool> deferredInterrupt{false};
// See Note [interrupts after the replace].
std::atomic<bool> interruptsHeld{false};

BOOL WINAPI RemoveOnConsoleEvent(DWORD event) {
  if (interruptsHeld.load()) {
    return TRUE; // handled: the run goes on to its end
  }
  const bool asks = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
  if (asks && deferring.load() && !deferredInterrupt.exchange(true)) {
    return TRUE; // noted: the program ends by itself
  }
  if (interruptPathSet.load()) {
    // The program still holds the file open; it was opened for shared deletion, so
    // it goes when the process ends.
    ::DeleteFileW(interruptPath);
  }
  return FALSE; // the default handler then ends the process as usual
}

void InstallConsoleHandler() {
  static const bool installed = ::SetConsoleCtrlHandler(RemoveOnConsoleEvent, TRUE) != 0;
  (void)installed;
}

} // namespace

void DeferInterrupts() {
  InstallConsoleHandler();
  deferring.store(true);
}

bool InterruptRequested() {
  return deferredInterrupt.load();
}

void EndAsInterrupted() {
  constexpr UINT kControlCExit = 0xC000013Au; // the status of a process ended by Ctrl-C
  ::ExitProcess(kControlCExit);
}

void HoldInterrupts() {
  interruptsHeld.store(true);
}

void ReleaseInterrupts() {
  interruptsHeld.store(false);
}

void RemoveOnInterrupt(const std::string& path) {
  InstallConsoleHandler();
  interruptPathSet.store(false);
  const std::wstring wide = SystemPath(path);
  if (wide.empty() || wide.size() >= std::size(interruptPath)) {
    return;
  }
  std::memcpy(interruptPath, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
  interruptPathSet.store(true);
}

// ---------------------------------------------------------------------------------
// File

File::File(const std::string& path, Mode mode) : path_(path) {
  DWORD access = GENERIC_WRITE;
  DWORD share = FILE_SHARE_READ | FILE_SHARE_DELETE;
  DWORD disposition = CREATE_NEW;
  if (mode == Mode::Read) {
    // Generous sharing: reading must not fail because an editor has the file open.
    access = GENERIC_READ;
    share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    disposition = OPEN_EXISTING;
  }
  const HANDLE handle = ::CreateFileW(SystemPath(path).c_str(), access, share, nullptr, disposition,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    ThrowFileError("Cannot open", path, ::GetLastError());
  }
  handle_ = FromHandle(handle);
}

File File::CreateUnique(const std::string& directory, const std::string& prefix) {
  std::string base = directory;
  if (!base.empty() && !EndsDirectoryPart(base.back())) {
    base += PathSeparator();
  }
  base += prefix;
  // Process id, tick count and a counter keep concurrent runs apart; CREATE_NEW fails on
  // any existing name, a link included, so a name taken in between costs another try.
  static unsigned counter = 0;
  const std::string process = std::to_string(::GetCurrentProcessId());
  constexpr int kAttempts = 100;
  DWORD error = ERROR_FILE_EXISTS;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const std::string path = base + process + "_" + std::to_string(++counter) + "_" +
                             std::to_string(::GetTickCount()) + ".tmp";
    // Shared deletion lets an interrupt remove the file while it is open.
    const HANDLE handle =
        ::CreateFileW(SystemPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                      nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      File file;
      file.handle_ = FromHandle(handle);
      file.path_ = path;
      return file;
    }
    error = ::GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
      break;
    }
  }
  ThrowFileError("Cannot create a file in", directory.empty() ? "." : directory, error);
}

File::~File() {
  if (IsOpen()) {
    ::CloseHandle(ToHandle(handle_));
  }
}

File::File(File&& other) noexcept : handle_(other.handle_), path_(std::move(other.path_)) {
  other.handle_ = kNoHandle;
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (IsOpen()) {
      ::CloseHandle(ToHandle(handle_));
    }
    handle_ = other.handle_;
    path_ = std::move(other.path_);
    other.handle_ = kNoHandle;
  }
  return *this;
}

std::size_t File::Read(void* buffer, std::size_t size) {
  DWORD got = 0;
  if (!::ReadFile(ToHandle(handle_), buffer, ChunkSize(size), &got, nullptr)) {
    const DWORD error = ::GetLastError();
    // A pipe whose writer has gone is at its end, not broken.
    if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) {
      return 0;
    }
    ThrowFileError("Cannot read", path_, error);
  }
  return got;
}

void File::Write(const void* data, std::size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    DWORD written = 0;
    if (!::WriteFile(ToHandle(handle_), bytes, ChunkSize(size), &written, nullptr)) {
      ThrowFileError("Cannot write", path_, ::GetLastError());
    }
    if (written == 0) {
      ThrowFileError("Cannot write", path_, ERROR_DISK_FULL);
    }
    bytes += written;
    size -= written;
  }
}

std::uint64_t File::Size() const {
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(ToHandle(handle_), &size)) {
    ThrowFileError("Cannot read", path_, ::GetLastError());
  }
  return static_cast<std::uint64_t>(size.QuadPart);
}

void File::Truncate(std::uint64_t length) {
  LARGE_INTEGER position{};
  position.QuadPart = static_cast<LONGLONG>(length);
  if (!::SetFilePointerEx(ToHandle(handle_), position, nullptr, FILE_BEGIN) ||
      !::SetEndOfFile(ToHandle(handle_))) {
    ThrowFileError("Cannot write", path_, ::GetLastError());
  }
}

void File::CopyAccessOf(const std::string& /*model*/) {
  // A new file in the same folder inherits the folder's access rules, as the old one did.
}

void File::Close() {
  if (!IsOpen()) {
    return;
  }
  const HANDLE handle = ToHandle(handle_);
  handle_ = kNoHandle;
  if (!::CloseHandle(handle)) {
    ThrowFileError("Cannot write", path_, ::GetLastError());
  }
}

} // namespace lexiform::platform

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
#include <string>
#include <vector>

// <windows.h> makes SetConsoleTitle a macro for its A or W variant, which would rename
// our own function of that name; the Win32 calls below are spelled with their A suffix.
#undef SetConsoleTitle

namespace lexiform::platform {

namespace {

// The system's own text for an error code, without its trailing line end and period.
std::string ErrorText(DWORD error) {
  char* buffer = nullptr;
  const DWORD length = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text = length > 0 && buffer ? std::string(buffer, length) : std::string();
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

// A text that the system writes into a buffer of `capacity` bytes and reports the length
// of: the length written, or the size needed when the buffer is too small.
template <typename Fill> std::string FetchText(DWORD capacity, Fill fill) {
  std::vector<char> buffer(capacity + 1, '\0');
  for (;;) {
    const DWORD length = fill(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) {
      return {};
    }
    if (length < buffer.size()) {
      return std::string(buffer.data(), length);
    }
    buffer.assign(std::max(static_cast<std::size_t>(length) + 1, buffer.size() * 2), '\0');
  }
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
  // The file functions stay in the ANSI code page, the one the command line arrives in:
  // see ToConsoleCodePage for the console's side.
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
  const UINT consolePage = ConsoleIsTerminal() ? ::GetConsoleOutputCP() : 0;
  const bool plainAscii = std::all_of(text.begin(), text.end(),
                                      [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (consolePage == 0 || consolePage == ::GetACP() || plainAscii) {
    return text;
  }
  // ANSI to UTF-16 to the console's page; a character the console page lacks becomes
  // the page's default character.
  const int size = static_cast<int>(text.size());
  const int wideLength = ::MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), wideLength);
  const int length =
      ::WideCharToMultiByte(consolePage, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
  std::string converted(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(consolePage, 0, wide.data(), wideLength, converted.data(), length, nullptr,
                        nullptr);
  return converted;
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
  ::SetConsoleTitleA(title.c_str());
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

std::string CommandLine(int /*argc*/, const char* const /*argv*/[]) {
  // The raw text keeps the quotes and the program path exactly as the user typed them.
  const char* line = ::GetCommandLineA();
  return line ? std::string(line) : std::string();
}

bool ShellExpandsWildcards() {
  return false;
}

std::string ProgramPath() {
  return FetchText(MAX_PATH, [](char* buffer, DWORD size) {
    const DWORD length = ::GetModuleFileNameA(nullptr, buffer, size);
    // A truncated path comes back with the whole buffer used: ask for a larger one.
    return length >= size ? size : length;
  });
}

std::string ExecutableSuffix() {
  return ".exe";
}

bool SlashStartsSwitches() {
  return true;
}

bool OpenUrl(const std::string& url) {
  // Values above 32 mean success; anything else is an error code.
  const auto result =
      reinterpret_cast<INT_PTR>(::ShellExecuteA(nullptr, "open", url.c_str(), "", "", SW_SHOW));
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

std::string CurrentDirectory() {
  const std::string directory = FetchText(
      MAX_PATH, [](char* buffer, DWORD size) { return ::GetCurrentDirectoryA(size, buffer); });
  return directory.empty() ? std::string(".") : directory;
}

std::string ResolveSearchDirectory(const std::string& directory) {
  const bool bareDrive = directory.size() == 2 && directory[1] == ':' &&
                         std::isalpha(static_cast<unsigned char>(directory[0]));
  if (!bareDrive) {
    return directory;
  }
  const std::string full = FetchText(MAX_PATH, [&directory](char* buffer, DWORD size) {
    return ::GetFullPathNameA(directory.c_str(), size, buffer, nullptr);
  });
  return full.empty() ? directory : full;
}

std::size_t VerbatimPrefixLength(const std::string& path) {
  const bool verbatim = path.size() >= 4 && path[0] == '\\' && path[1] == '\\' &&
                        (path[2] == '?' || path[2] == '.') && path[3] == '\\';
  return verbatim ? 4 : 0;
}

bool CanWriteInDirectory(const std::string& directory) {
  const DWORD attributes = ::GetFileAttributesA(directory.empty() ? "." : directory.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CreateDirectories(const std::string& directory) {
  for (std::size_t at = 0; at < directory.size(); ++at) {
    if ((directory[at] == '\\' || directory[at] == '/') && at > 0 && directory[at - 1] != ':') {
      ::CreateDirectoryA(directory.substr(0, at).c_str(), nullptr);
    }
  }
  ::CreateDirectoryA(directory.c_str(), nullptr);
  const DWORD attributes = ::GetFileAttributesA(directory.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
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
    if (::CreateDirectoryA(path.c_str(), nullptr) != 0) {
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
  ::RemoveDirectoryA(to.c_str());
  if (::MoveFileExA(from.c_str(), to.c_str(), 0) == 0) {
    ThrowFileError("Cannot create", to, ::GetLastError());
  }
}

bool RemoveEmptyDirectory(const std::string& path) noexcept {
  return ::RemoveDirectoryA(path.c_str()) != 0;
}

// ---------------------------------------------------------------------------------
// Directory search

namespace {

// Why FindFirstFileA found nothing: no match in a directory that was read, no such
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
  FindHandle(const std::string& pattern, WIN32_FIND_DATAA& data)
      : handle_(::FindFirstFileA(pattern.c_str(), &data)) {}
  ~FindHandle() {
    if (IsOpen()) {
      ::FindClose(handle_);
    }
  }
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;

  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool Next(WIN32_FIND_DATAA& data) { return ::FindNextFileA(handle_, &data) != 0; }

private:
  HANDLE handle_;
};

} // namespace

std::vector<DirEntry> FindEntries(const std::string& pattern, std::string* failure) {
  // The system matches the pattern and gives the order (name order on NTFS); both are
  // what users of this platform expect, so neither is redone here.
  std::vector<DirEntry> entries;
  WIN32_FIND_DATAA data{};
  FindHandle search(pattern, data);
  if (!search.IsOpen()) {
    const DWORD error = ::GetLastError();
    if (failure != nullptr && SearchOutcomeOf(error) == SearchOutcome::Failed) {
      *failure = ErrorText(error);
    }
    return entries;
  }
  do {
    DirEntry entry;
    entry.name = std::string(data.cFileName, strnlen(data.cFileName, sizeof data.cFileName));
    entry.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.isLink = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    entries.push_back(std::move(entry));
  } while (search.Next(data));
  return entries;
}

// ---------------------------------------------------------------------------------
// Files

namespace {

bool Attributes(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA& data) {
  return !path.empty() && ::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
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
  return ::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
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
  const HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_READ,
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
  return ::DeleteFileA(path.c_str()) != 0;
}

void MoveFileOver(const std::string& from, const std::string& to) {
  // Virus scanners, indexers and previewers open new files for a moment; such a hold
  // is waited out for a few seconds before the replace counts as failed.
  constexpr int kAttempts = 50;
  constexpr DWORD kPauseMs = 100;
  DWORD error = ERROR_SUCCESS;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    if (::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0) {
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
char interruptPath[MAX_PATH * 4];
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
    ::DeleteFileA(interruptPath);
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
  if (path.empty() || path.size() >= sizeof interruptPath) {
    return;
  }
  std::memcpy(interruptPath, path.c_str(), path.size() + 1);
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
  const HANDLE handle = ::CreateFileA(path.c_str(), access, share, nullptr, disposition,
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
        ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
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

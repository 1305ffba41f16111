#include "platform/platform.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

extern char** environ;

namespace lexiform::platform {

namespace {

std::string ErrnoText(int error) {
  return std::strerror(error);
}

[[noreturn]] void ThrowFileError(const std::string& what, const std::string& path, int error) {
  throw FileError(what + " \"" + path + "\": " + ErrnoText(error));
}

// ANSI colour for a console colour value: 7 is the terminal's own normal colour.
std::string AnsiForeground(unsigned colour) {
  static const char* const kCodes[16] = {"30", "34", "32", "36", "31", "35", "33", "0",
                                         "90", "94", "92", "96", "91", "95", "93", "97"};
  return std::string("\x1b[") + kCodes[colour & 0x0F] + "m";
}

bool IsDirectoryPath(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

// ---------------------------------------------------------------------------------
// Console

void PrepareConsole() {
  // Nothing to switch: POSIX has no text mode and no OEM code page, and typed-ahead
  // input belongs to the shell.
}

void RestoreConsole() {
  // Every coloured piece already ends with the terminal's own colour.
}

std::string ToConsoleCodePage(const std::string& text) {
  return text;
}

bool StdoutIsTerminal() {
  return ::isatty(STDOUT_FILENO) == 1;
}

const char* ConsoleLineEnd() {
  return "\n";
}

bool RuleNeedsLineEnd() {
  return true;
}

void ApplyTextAttribute(std::uint16_t attribute) {
  if (!StdoutIsTerminal()) {
    return;
  }
  const std::string sequence = AnsiForeground(attribute & 0x0Fu);
  std::fwrite(sequence.data(), 1, sequence.size(), stdout);
  std::fflush(stdout);
}

void SetConsoleTitle(const std::string& title) {
  if (!StdoutIsTerminal()) {
    return;
  }
  const std::string sequence = "\x1b]0;" + title + "\x07";
  std::fwrite(sequence.data(), 1, sequence.size(), stdout);
  std::fflush(stdout);
}

// ---------------------------------------------------------------------------------
// Process

void PrepareProcess() {
  ::signal(SIGXFSZ, SIG_IGN);
}

std::string CommandLine(int argc, const char* const argv[]) {
  std::string line;
  for (int i = 0; i < argc; ++i) {
    const std::string argument = argv[i] ? argv[i] : "";
    if (i > 0) {
      line += ' ';
    }
    const bool needsQuotes = argument.empty() || argument.find_first_of(" \t") != std::string::npos;
    line += needsQuotes ? "\"" + argument + "\"" : argument;
  }
  return line;
}

std::string ProgramPath() {
  std::vector<char> buffer(4096);
  for (;;) {
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) {
      return {};
    }
    if (static_cast<std::size_t>(length) < buffer.size()) {
      return std::string(buffer.data(), static_cast<std::size_t>(length));
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::string ExecutableSuffix() {
  return {};
}

bool SlashStartsSwitches() {
  return false;
}

bool OpenUrl(const std::string& url) {
  // Detached from us and silent: in a session of its own, its output going nowhere.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  std::string program = "xdg-open";
  std::string argument = url;
  char* const arguments[] = {program.data(), argument.data(), nullptr};
  pid_t child = 0;
  // Not waited for: an opener may stay until the browser ends. The program exits right
  // after this, and the system reaps the orphaned opener.
  const bool started =
      posix_spawnp(&child, "xdg-open", &actions, &attributes, arguments, environ) == 0;
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return started;
}

std::string UserConfigHome() {
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  if (configHome && configHome[0] == '/') {
    return configHome;
  }
  std::string home;
  if (const char* fromEnvironment = std::getenv("HOME"); fromEnvironment && *fromEnvironment) {
    home = fromEnvironment;
  } else if (const struct passwd* entry = ::getpwuid(::geteuid()); entry && entry->pw_dir) {
    home = entry->pw_dir;
  }
  return home.empty() ? std::string() : home + "/.config";
}

std::string UserName() {
  const struct passwd* entry = ::getpwuid(::geteuid());
  return (entry && entry->pw_name) ? std::string(entry->pw_name) : std::string();
}

std::string TimeSeparator() {
  return ":";
}

bool HourHasLeadingZero() {
  return false;
}

// ---------------------------------------------------------------------------------
// Paths

char PathSeparator() {
  return '/';
}

bool EndsDirectoryPart(char c) {
  return c == '/';
}

std::string CurrentDirectory() {
  std::vector<char> buffer(4096);
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) {
      return ".";
    }
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

std::string ResolveSearchDirectory(const std::string& directory) {
  return directory;
}

std::size_t VerbatimPrefixLength(const std::string& /*path*/) {
  return 0;
}

bool CanWriteInDirectory(const std::string& directory) {
  return ::access(directory.empty() ? "." : directory.c_str(), W_OK | X_OK) == 0;
}

bool CreateDirectories(const std::string& directory) {
  // Each level from the top down; one that exists already is fine.
  for (std::size_t slash = directory.find('/', 1); slash != std::string::npos;
       slash = directory.find('/', slash + 1)) {
    ::mkdir(directory.substr(0, slash).c_str(), 0777);
  }
  ::mkdir(directory.c_str(), 0777);
  return IsDirectoryPath(directory);
}

std::string TempPath() {
  const char* fromEnvironment = std::getenv("TMPDIR");
  if (fromEnvironment && *fromEnvironment) {
    return fromEnvironment;
  }
  return "/tmp";
}

// ---------------------------------------------------------------------------------
// Directory search

namespace {

class DirectoryHandle {
public:
  explicit DirectoryHandle(const std::string& path)
      : dir_(::opendir(path.empty() ? "." : path.c_str())) {}
  ~DirectoryHandle() {
    if (dir_) {
      ::closedir(dir_);
    }
  }
  DirectoryHandle(const DirectoryHandle&) = delete;
  DirectoryHandle& operator=(const DirectoryHandle&) = delete;
  DIR* get() const { return dir_; }

private:
  DIR* dir_;
};

// Fills the directory and link bits, trusting readdir's type where the file system
// gives one so that a large tree costs no stat per file.
void ClassifyEntry(const dirent& item, const std::string& fullPath, DirEntry& entry) {
  switch (item.d_type) {
  case DT_DIR:
    entry.isDirectory = true;
    return;
  case DT_LNK:
    entry.isLink = true;
    entry.isDirectory = IsDirectoryPath(fullPath);
    return;
  case DT_UNKNOWN:
    break;
  default:
    return;
  }
  struct stat info {};
  if (::lstat(fullPath.c_str(), &info) != 0) {
    return;
  }
  entry.isLink = S_ISLNK(info.st_mode);
  entry.isDirectory = entry.isLink ? IsDirectoryPath(fullPath) : S_ISDIR(info.st_mode);
}

} // namespace

std::vector<DirEntry> FindEntries(const std::string& pattern, SearchOutcome& outcome) {
  const std::size_t slash = pattern.find_last_of('/');
  const std::string directory =
      slash == std::string::npos ? std::string() : pattern.substr(0, slash + 1);
  const std::string mask = slash == std::string::npos ? pattern : pattern.substr(slash + 1);

  std::vector<DirEntry> entries;
  DirectoryHandle handle(directory);
  if (!handle.get()) {
    outcome =
        (errno == ENOENT || errno == ENOTDIR) ? SearchOutcome::Missing : SearchOutcome::Failed;
    return entries;
  }
  outcome = SearchOutcome::Searched;
  const std::string prefix = directory.empty() ? std::string("./") : directory;
  while (const dirent* item = ::readdir(handle.get())) {
    std::string name = item->d_name;
    if (name == "." || name == ".." || !MatchesWildcard(mask, name)) {
      continue;
    }
    DirEntry entry;
    entry.name = std::move(name);
    ClassifyEntry(*item, prefix + entry.name, entry);
    entries.push_back(std::move(entry));
  }
  // readdir's order is not stable on Linux: the order NTFS gives on Windows instead,
  // so that a tree is listed alike on both platforms.
  std::sort(entries.begin(), entries.end(),
            [](const DirEntry& a, const DirEntry& b) { return CompareNoCase(a.name, b.name) < 0; });
  return entries;
}

// ---------------------------------------------------------------------------------
// Files

bool IsExistingFile(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

std::uint64_t FileSize(const std::string& path) {
  struct stat info {};
  if (path.empty() || ::stat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) {
    return 0;
  }
  return static_cast<std::uint64_t>(info.st_size);
}

bool RemoveFile(const std::string& path) noexcept {
  return ::unlink(path.c_str()) == 0;
}

bool MoveFileOver(const std::string& from, const std::string& to) noexcept {
  return ::rename(from.c_str(), to.c_str()) == 0;
}

bool CopyFileOver(const std::string& from, const std::string& to) {
  try {
    File source(from, File::Mode::Read);
    File target(to, File::Mode::CreateTruncate);
    std::vector<char> buffer(1 << 20);
    while (const std::size_t got = source.Read(buffer.data(), buffer.size())) {
      target.Write(buffer.data(), got);
    }
    target.Close();
    return true;
  } catch (const FileError&) {
    return false;
  }
}

std::string CreateUniqueFile(const std::string& directory, const std::string& prefix) {
  std::string path = directory;
  if (!path.empty() && path.back() != '/') {
    path += '/';
  }
  path += prefix + "XXXXXX";
  // mkstemp opens with O_CREAT | O_EXCL: it never reuses a name or follows a link.
  const int fd = ::mkstemp(path.data());
  if (fd < 0) {
    ThrowFileError("Cannot create a temporary file in", directory, errno);
  }
  ::close(fd);
  return path;
}

File::File(const std::string& path, Mode mode) : path_(path) {
  int flags = O_CLOEXEC;
  switch (mode) {
  case Mode::Read:
    flags |= O_RDONLY;
    break;
  case Mode::CreateTruncate:
    flags |= O_WRONLY | O_CREAT | O_TRUNC;
    break;
  case Mode::Append:
    flags |= O_WRONLY | O_APPEND;
    break;
  case Mode::CreateNew:
    flags |= O_WRONLY | O_CREAT | O_EXCL;
    break;
  case Mode::Rewrite:
    flags |= O_WRONLY;
    cutAtClose_ = true;
    break;
  }
  int fd = -1;
  do {
    fd = ::open(path.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    ThrowFileError("Cannot open", path, errno);
  }
  if (mode == Mode::Read && IsDirectoryPath(path)) {
    ::close(fd);
    ThrowFileError("Cannot open", path, EISDIR);
  }
  handle_ = fd;
}

File::~File() {
  if (IsOpen()) {
    ::close(static_cast<int>(handle_));
  }
}

File::File(File&& other) noexcept
    : handle_(other.handle_), cutAtClose_(other.cutAtClose_), path_(std::move(other.path_)) {
  other.handle_ = kNoHandle;
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (IsOpen()) {
      ::close(static_cast<int>(handle_));
    }
    handle_ = other.handle_;
    cutAtClose_ = other.cutAtClose_;
    path_ = std::move(other.path_);
    other.handle_ = kNoHandle;
  }
  return *this;
}

std::size_t File::Read(void* buffer, std::size_t size) {
  for (;;) {
    const ssize_t got = ::read(static_cast<int>(handle_), buffer, size);
    if (got >= 0) {
      return static_cast<std::size_t>(got);
    }
    if (errno != EINTR) {
      ThrowFileError("Cannot read", path_, errno);
    }
  }
}

void File::Write(const void* data, std::size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t written = ::write(static_cast<int>(handle_), bytes, size);
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      ThrowFileError("Cannot write", path_, errno);
    }
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
}

void File::Close() {
  if (!IsOpen()) {
    return;
  }
  const int fd = static_cast<int>(handle_);
  handle_ = kNoHandle;
  if (cutAtClose_) {
    const off_t end = ::lseek(fd, 0, SEEK_CUR);
    if (end < 0 || ::ftruncate(fd, end) != 0) {
      const int error = errno;
      ::close(fd);
      ThrowFileError("Cannot write", path_, error);
    }
  }
  if (::close(fd) != 0 && errno != EINTR) {
    ThrowFileError("Cannot write", path_, errno);
  }
}

} // namespace lexiform::platform

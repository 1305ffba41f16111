#include "platform/platform.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <exception>
#include <fcntl.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <pthread.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

extern char** environ;

namespace lexiform::platform {

namespace {

std::string RandomSuffix();

std::string ErrnoText(int error) {
  return std::strerror(error);
}

[[noreturn]] void ThrowFileError(const std::string& what, const std::string& path, int error) {
  const std::string message = what + " \"" + path + "\": " + ErrnoText(error);
  if (error == EMFILE || error == ENFILE || error == ENOMEM) {
    throw ResourceError(message);
  }
  throw FileError(message);
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

namespace {
bool consoleOnStandardError = false;
} // namespace

bool ConsoleIsTerminal() {
  return ::isatty(consoleOnStandardError ? STDERR_FILENO : STDOUT_FILENO) == 1;
}

bool StandardErrorIsTerminal() {
  return ::isatty(STDERR_FILENO) == 1;
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
    const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (got > 0) {
      text.append(buffer, static_cast<std::size_t>(got));
    } else if (got == 0) {
      return text;
    } else if (errno != EINTR) {
      ThrowFileError("Cannot read", "-", errno);
    }
  }
}

void WriteStandardOutput(const void* data, std::size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t written = ::write(STDOUT_FILENO, bytes, size);
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      ThrowFileError("Cannot write", "-", errno);
    }
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
}

const char* ConsoleLineEnd() {
  return "\n";
}

bool RuleNeedsLineEnd() {
  return true;
}

void ApplyTextAttribute(std::uint16_t attribute) {
  if (!ConsoleIsTerminal()) {
    return;
  }
  const std::string sequence = AnsiForeground(attribute & 0x0Fu);
  std::fwrite(sequence.data(), 1, sequence.size(), ConsoleStream());
  std::fflush(ConsoleStream());
}

void SetConsoleTitle(const std::string& title) {
  if (!ConsoleIsTerminal()) {
    return;
  }
  const std::string sequence = "\x1b]0;" + title + "\x07";
  std::fwrite(sequence.data(), 1, sequence.size(), ConsoleStream());
  std::fflush(ConsoleStream());
}

// ---------------------------------------------------------------------------------
// Process

namespace {

// Note [worker stacks]: a worker only converts, and nothing it calls keeps more than a
// few KiB on its stack (sources and text live on the heap). The default, the stack limit
// of the main thread (often 8 MiB), would reserve address space for nothing, which a
// memory limit (ulimit -v) counts. The threads the program starts get this much.
constexpr std::size_t kThreadStack = std::size_t{256} << 10;

void UseSmallThreadStacks() {
  pthread_attr_t attributes;
  if (::pthread_attr_init(&attributes) != 0) {
    return;
  }
  const std::size_t least = static_cast<std::size_t>(PTHREAD_STACK_MIN);
  if (::pthread_attr_setstacksize(&attributes, std::max(kThreadStack, least)) == 0) {
    ::pthread_setattr_default_np(&attributes);
  }
  ::pthread_attr_destroy(&attributes);
}

} // namespace

void OpenStandardStreams() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
      // open() takes the lowest free number, which is this one: the ones below are open.
      ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    }
  }
}

void PrepareProcess() {
  ::signal(SIGXFSZ, SIG_IGN);
  // A console piped into `head` that closes early must not end the run: the document
  // is still finished, and the lost console text is simply lost.
  ::signal(SIGPIPE, SIG_IGN);
  UseSmallThreadStacks();
}

void ReturnFreedMemory() noexcept {
#ifdef __GLIBC__
  ::malloc_trim(0);
#endif
}

void KeepFreedMemorySmall() noexcept {
#ifdef __GLIBC__
  // Fixed limits: glibc raises its own to the size of each large block freed (up to 32
  // and 64 MB), and then keeps that much free in every heap of every thread. Blocks of
  // 4 MB and more come from the system and go back whole. A heap keeps up to 32 MB free
  // at its end: the next unit's tokens and tables take it again at once, where memory
  // handed back is faulted in again page by page, and on virtual machines a page fault
  // costs microseconds. A whole tree's site faulted a quarter fewer pages and ran 5 to 8%
  // faster than when heaps kept 4 MB, for about 10 MB more at its peak.
  constexpr int kLargeBlock = 4 << 20;
  constexpr int kKeptFree = 32 << 20;
  ::mallopt(M_MMAP_THRESHOLD, kLargeBlock);
  ::mallopt(M_TRIM_THRESHOLD, kKeptFree);
#endif
}

// Note [large memory pages]
// A whole tree's site touches gigabytes of memory over its run, and on a virtual
// machine each 4 KB page that memory faults in costs from 10 to 20 microseconds: a
// seventh of a site's processor time went to page faults. A 2 MB page faults in 512 of
// them at once. Linux mostly gives such pages only to memory that asks for them, and
// glibc's allocator asks only when its tunable says so, which it reads only as a
// process starts. So a site run starts the program again, in the same process and with
// the same arguments, with the tunable set: a whole tree's site then faulted 125,000
// times instead of 400,000 and ran 13 to 23% faster, at no more memory. Nothing but the
// console's title has been written by then, and nothing opened, so the program started
// again does exactly what this one would have done; when it cannot start, this one
// goes on with ordinary pages.
namespace {

constexpr const char* kAllocatorTunables = "GLIBC_TUNABLES";
constexpr const char* kLargePagesTunable = "glibc.malloc.hugetlb";

// Whether the kernel gives large pages to memory that asks for them and only to it.
bool LargePagesOnRequest() {
  const std::optional<std::string> mode =
      ReadFileStart("/sys/kernel/mm/transparent_hugepage/enabled", 128);
  return mode && mode->find("[madvise]") != std::string::npos;
}

} // namespace

void UseLargeMemoryPages(char* argv[]) noexcept {
#ifdef __GLIBC__
  const char* const tunables = std::getenv(kAllocatorTunables);
  try {
    // The user's own choice stands, and a program started again finds its own.
    if ((tunables && std::strstr(tunables, kLargePagesTunable)) || !LargePagesOnRequest()) {
      return;
    }
    const std::string before = tunables ? tunables : "";
    const std::string wanted = (before.empty() ? "" : before + ":") + kLargePagesTunable + "=1";
    if (::setenv(kAllocatorTunables, wanted.c_str(), 1) != 0) {
      return;
    }
    ::execv("/proc/self/exe", argv);
    // Not started again (no /proc, say): go on as the user started us.
    if (tunables) {
      ::setenv(kAllocatorTunables, before.c_str(), 1);
    } else {
      ::unsetenv(kAllocatorTunables);
    }
  } catch (const std::exception&) {
    // No memory for the kernel's mode or the setting's text: ordinary pages do.
  }
#else
  (void)argv;
#endif
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

std::vector<std::string> Arguments(int argc, const char* const argv[]) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) {
    arguments.emplace_back(argv[i] ? argv[i] : "");
  }
  return arguments;
}

bool ShellExpandsWildcards() {
  return true;
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
  // The opener gets the default SIGPIPE back that this program ignores.
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF);
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

std::string ToAnsiCodePage(const std::string& text) {
  return text;
}

std::string ResolvedPath(const std::string& path) {
  return path;
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

bool MakeDirectory(const std::string& directory) {
  return ::mkdir(directory.c_str(), 0777) == 0;
}

std::string CreateUniqueDirectory(const std::string& directory, const std::string& prefix) {
  std::string base = directory;
  if (!base.empty() && base.back() != '/') {
    base += '/';
  }
  base += prefix;
  constexpr int kAttempts = 100;
  int error = EEXIST;
  for (int attempt = 0; attempt < kAttempts && error == EEXIST; ++attempt) {
    std::string path = base + RandomSuffix();
    if (::mkdir(path.c_str(), 0777) == 0) {
      return path;
    }
    error = errno;
  }
  ThrowFileError("Cannot create a folder in", directory.empty() ? "." : directory, error);
}

void MoveDirectoryInto(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) {
    ThrowFileError("Cannot create", to, errno);
  }
}

bool RemoveEmptyDirectory(const std::string& path) noexcept {
  return ::rmdir(path.c_str()) == 0;
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

std::vector<DirEntry> FindEntries(const std::string& pattern, std::string* failure) {
  const std::size_t slash = pattern.find_last_of('/');
  const std::string directory =
      slash == std::string::npos ? std::string() : pattern.substr(0, slash + 1);
  const std::string mask = slash == std::string::npos ? pattern : pattern.substr(slash + 1);

  std::vector<DirEntry> entries;
  DirectoryHandle handle(directory);
  if (!handle.get()) {
    if (failure != nullptr && errno != ENOENT && errno != ENOTDIR) {
      *failure = ErrnoText(errno);
    }
    return entries;
  }
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
  // readdir's order is not stable on Linux: CompareNoCase's, the order of both
  // platforms, so that a tree is listed alike on each.
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

PathKind KindOf(const std::string& path) {
  struct stat info {};
  if (path.empty() || ::stat(path.c_str(), &info) != 0) {
    return PathKind::Missing;
  }
  if (S_ISREG(info.st_mode)) {
    return PathKind::Regular;
  }
  return S_ISDIR(info.st_mode) ? PathKind::Directory : PathKind::Other;
}

PathFacts ExaminePath(const std::string& path) {
  PathFacts facts;
  struct stat info {};
  if (path.empty()) {
    return facts;
  }
  if (::stat(path.c_str(), &info) != 0) {
    if (errno == EACCES) {
      facts.searchDenied = ErrnoText(errno);
    }
    return facts;
  }
  if (S_ISREG(info.st_mode)) {
    facts.kind = PathKind::Regular;
    facts.size = static_cast<std::uint64_t>(info.st_size);
  } else {
    facts.kind = S_ISDIR(info.st_mode) ? PathKind::Directory : PathKind::Other;
  }
  return facts;
}

std::optional<FileId> IdentifyFile(const std::string& path) {
  struct stat info {};
  if (path.empty() || ::stat(path.c_str(), &info) != 0) {
    return std::nullopt;
  }
  return FileId{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

std::string FollowLinks(const std::string& path) {
  // The kernel gives up on chains longer than this (ELOOP); so do we.
  constexpr int kMaxLinks = 40;
  std::string current = path;
  for (int hop = 0; hop < kMaxLinks; ++hop) {
    std::vector<char> buffer(4096);
    ssize_t length = 0;
    for (;;) {
      length = ::readlink(current.c_str(), buffer.data(), buffer.size());
      if (length < 0 || static_cast<std::size_t>(length) < buffer.size()) {
        break;
      }
      buffer.resize(buffer.size() * 2);
    }
    if (length < 0) {
      return current; // not a link (or gone): the chain ends here
    }
    std::string target(buffer.data(), static_cast<std::size_t>(length));
    if (target.empty() || target.front() != '/') {
      // A relative target counts from the directory that holds the link.
      const std::size_t slash = current.find_last_of('/');
      if (slash != std::string::npos) {
        target = current.substr(0, slash + 1) + target;
      }
    }
    current = std::move(target);
  }
  return current;
}

bool RemoveFile(const std::string& path) noexcept {
  return ::unlink(path.c_str()) == 0;
}

void MoveFileOver(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) {
    ThrowFileError("Cannot replace", to, errno);
  }
}

bool IsSystemProgramFolder(const std::string& directory) {
  std::string folder = directory;
  while (folder.size() > 1 && folder.back() == '/') {
    folder.pop_back();
  }
  if (folder == "/bin" || folder == "/sbin" || folder == LEXIFORM_INSTALL_BINDIR) {
    return true;
  }
  // These below any root count too: the root of a container image, a chroot, or the
  // staging tree of a package build, whose files all end up in the system folder.
  for (const std::string tail : {"/usr/bin", "/usr/sbin", "/usr/local/bin", "/usr/local/sbin"}) {
    if (folder.size() >= tail.size() &&
        folder.compare(folder.size() - tail.size(), tail.size(), tail) == 0) {
      return true;
    }
  }
  return false;
}

// ---------------------------------------------------------------------------------
// Removing the unfinished file on an interrupt

namespace {

// Note [interrupt cleanup]: the handler may run at any moment, so it may only use
// what is safe in a signal handler: it reads a fixed buffer that the program fills
// before the file exists and empties after it is gone, calls unlink(), puts the
// terminal's colour back, and then lets the signal end the process as it would have
// (status 128 + signal number for the shell).
char interruptPath[8192];
volatile std::sig_atomic_t interruptPathSet = 0;
// See Note [interrupts after the replace]: while held, an interrupt is only noted.
volatile std::sig_atomic_t interruptsHeld = 0;
volatile std::sig_atomic_t heldSignal = 0;

// See DeferInterrupts: the first interrupt is only noted while deferring. Atomics, as
// the worker threads ask too; lock-free ones are safe in a signal handler.
std::atomic<int> deferring{0};
std::atomic<int> deferredSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void RemoveAndResignal(int signalNumber) {
  // A flag rather than a blocked signal mask: a signal for the process may reach any
  // of its threads, the converting workers included, and each would need the mask.
  if (interruptsHeld != 0) {
    heldSignal = signalNumber;
    return;
  }
  // The interrupted code may still run for a moment (the signal raised again below can
  // be delivered only once this handler returns): leave errno as it found it.
  const int savedErrno = errno;
  int none = 0;
  if (deferring.load() != 0 && deferredSignal.compare_exchange_strong(none, signalNumber)) {
    errno = savedErrno;
    return;
  }
  if (interruptPathSet != 0) {
    ::unlink(interruptPath);
  }
  if (::isatty(STDOUT_FILENO) == 1) {
    static const char kNormalColour[] = "\x1b[0m";
    [[maybe_unused]] const ssize_t ignored =
        ::write(STDOUT_FILENO, kNormalColour, sizeof kNormalColour - 1);
  }
  ::signal(signalNumber, SIG_DFL);
  errno = savedErrno;
  ::raise(signalNumber);
}

void InstallInterruptHandlers() {
  static bool installed = false;
  if (installed) {
    return;
  }
  installed = true;
  struct sigaction action {};
  action.sa_handler = RemoveAndResignal;
  sigemptyset(&action.sa_mask);
  // SA_NODEFER: the signal raised again inside the handler is delivered at once.
  action.sa_flags = SA_NODEFER;
  for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    struct sigaction previous {};
    // A signal the caller chose to ignore (nohup, a background job) stays ignored.
    if (::sigaction(signalNumber, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) {
      continue;
    }
    ::sigaction(signalNumber, &action, nullptr);
  }
}

// Blocks the interrupts for one scope, so the handler never sees a half-written path.
class InterruptsBlocked {
public:
  InterruptsBlocked() {
    sigset_t blocked;
    sigemptyset(&blocked);
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
      sigaddset(&blocked, signalNumber);
    }
    ::pthread_sigmask(SIG_BLOCK, &blocked, &previous_);
  }
  ~InterruptsBlocked() { ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
  InterruptsBlocked(const InterruptsBlocked&) = delete;
  InterruptsBlocked& operator=(const InterruptsBlocked&) = delete;

private:
  sigset_t previous_{};
};

} // namespace

void DeferInterrupts() {
  InstallInterruptHandlers();
  deferring.store(1);
}

bool InterruptRequested() {
  return deferredSignal.load() != 0;
}

void EndAsInterrupted() {
  const int signalNumber = deferredSignal.load() != 0 ? deferredSignal.load() : SIGINT;
  if (::isatty(STDOUT_FILENO) == 1) {
    static const char kNormalColour[] = "\x1b[0m";
    [[maybe_unused]] const ssize_t ignored =
        ::write(STDOUT_FILENO, kNormalColour, sizeof kNormalColour - 1);
  }
  ::signal(signalNumber, SIG_DFL);
  sigset_t unblocked;
  sigemptyset(&unblocked);
  sigaddset(&unblocked, signalNumber);
  ::pthread_sigmask(SIG_UNBLOCK, &unblocked, nullptr);
  ::raise(signalNumber);
  std::_Exit(128 + signalNumber);
}

void HoldInterrupts() {
  interruptsHeld = 1;
}

void ReleaseInterrupts() {
  interruptsHeld = 0;
  if (heldSignal != 0) {
    RemoveAndResignal(heldSignal);
  }
}

void RemoveOnInterrupt(const std::string& path) {
  InstallInterruptHandlers();
  const InterruptsBlocked blocked;
  interruptPathSet = 0;
  if (path.empty() || path.size() >= sizeof interruptPath) {
    return; // a path too long for the buffer is simply not cleaned up
  }
  std::memcpy(interruptPath, path.c_str(), path.size() + 1);
  interruptPathSet = 1;
}

// ---------------------------------------------------------------------------------
// File

namespace {

int OpenRetrying(const char* path, int flags, mode_t permissions) {
  int fd = -1;
  do {
    fd = ::open(path, flags, permissions);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Random letters and digits for a unique name.
std::string RandomSuffix() {
  static constexpr char kAlphabet[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::uint64_t bits = 0;
  if (::getentropy(&bits, sizeof bits) != 0) {
    bits = static_cast<std::uint64_t>(::getpid()) * 0x9E3779B97F4A7C15u ^
           static_cast<std::uint64_t>(::time(nullptr));
  }
  std::string suffix;
  for (int i = 0; i < 8; ++i) {
    suffix += kAlphabet[bits % (sizeof kAlphabet - 1)];
    bits /= sizeof kAlphabet - 1;
  }
  return suffix;
}

// Closes a descriptor that no File owns when the scope ends.
class DescriptorCloser {
public:
  explicit DescriptorCloser(int fd) : fd_(fd) {}
  ~DescriptorCloser() { ::close(fd_); }
  DescriptorCloser(const DescriptorCloser&) = delete;
  DescriptorCloser& operator=(const DescriptorCloser&) = delete;

private:
  int fd_;
};

} // namespace

std::optional<std::string> ReadFileStart(const std::string& path, std::size_t limit) {
  if (KindOf(path) != PathKind::Regular) {
    return std::nullopt;
  }
  // O_NONBLOCK and the second look: a FIFO put there in between must not hold the run.
  const int fd = OpenRetrying(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0);
  if (fd < 0) {
    return std::nullopt;
  }
  const DescriptorCloser closer(fd);
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    return std::nullopt;
  }
  std::string bytes(limit, '\0');
  std::size_t filled = 0;
  while (filled < limit) {
    const ssize_t got = ::read(fd, bytes.data() + filled, limit - filled);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got < 0) {
      return std::nullopt;
    }
    if (got == 0) {
      break;
    }
    filled += static_cast<std::size_t>(got);
  }
  bytes.resize(filled);
  return bytes;
}

File::File(const std::string& path, Mode mode) : path_(path) {
  int flags = O_CLOEXEC;
  switch (mode) {
  case Mode::Read:
    // A FIFO or device put where a file was looked at must not hold the run: opened
    // without waiting, and refused below.
    flags |= O_RDONLY | O_NONBLOCK | O_NOCTTY;
    break;
  case Mode::CreateNew:
    flags |= O_WRONLY | O_CREAT | O_EXCL;
    break;
  }
  const int fd = OpenRetrying(path.c_str(), flags, 0666);
  if (fd < 0) {
    ThrowFileError("Cannot open", path, errno);
  }
  if (mode == Mode::Read) {
    struct stat info {};
    const int problem = ::fstat(fd, &info) != 0 ? errno
                        : S_ISDIR(info.st_mode) ? EISDIR
                        : S_ISREG(info.st_mode) ? 0
                                                : ENXIO;
    if (problem != 0) {
      ::close(fd);
      ThrowFileError("Cannot open", path, problem);
    }
  }
  handle_ = fd;
}

File File::CreateUnique(const std::string& directory, const std::string& prefix) {
  std::string base = directory;
  if (!base.empty() && base.back() != '/') {
    base += '/';
  }
  base += prefix;
  constexpr int kAttempts = 100;
  int error = EEXIST;
  for (int attempt = 0; attempt < kAttempts && error == EEXIST; ++attempt) {
    const std::string path = base + RandomSuffix();
    // O_EXCL: never an existing name, and never through a link planted there.
    const int fd = OpenRetrying(path.c_str(), O_CLOEXEC | O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (fd >= 0) {
      File file;
      file.handle_ = fd;
      file.path_ = path;
      return file;
    }
    error = errno;
  }
  ThrowFileError("Cannot create a file in", directory.empty() ? "." : directory, error);
}

File::~File() {
  if (IsOpen()) {
    ::close(static_cast<int>(handle_));
  }
}

File::File(File&& other) noexcept : handle_(other.handle_), path_(std::move(other.path_)) {
  other.handle_ = kNoHandle;
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (IsOpen()) {
      ::close(static_cast<int>(handle_));
    }
    handle_ = other.handle_;
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

std::uint64_t File::Size() const {
  struct stat info {};
  if (::fstat(static_cast<int>(handle_), &info) != 0) {
    ThrowFileError("Cannot read", path_, errno);
  }
  return static_cast<std::uint64_t>(info.st_size);
}

void File::Truncate(std::uint64_t length) {
  const int fd = static_cast<int>(handle_);
  const auto end = static_cast<off_t>(length);
  if (::ftruncate(fd, end) != 0 || ::lseek(fd, end, SEEK_SET) != end) {
    ThrowFileError("Cannot write", path_, errno);
  }
}

void File::CopyAccessOf(const std::string& model) {
  struct stat info {};
  if (::stat(model.c_str(), &info) != 0) {
    return;
  }
  const int fd = static_cast<int>(handle_);
  // Owner first: a change of owner clears the set-user-ID bits that chmod then restores.
  // Only root may give a file away; anyone else keeps the file as their own (EPERM),
  // and keeps at least the group when it is one of theirs.
  if (::fchown(fd, info.st_uid, info.st_gid) != 0) {
    [[maybe_unused]] const int grouped = ::fchown(fd, static_cast<uid_t>(-1), info.st_gid);
  }
  ::fchmod(fd, info.st_mode & 07777);
}

void File::Close() {
  if (!IsOpen()) {
    return;
  }
  const int fd = static_cast<int>(handle_);
  handle_ = kNoHandle;
  if (::close(fd) != 0 && errno != EINTR) {
    ThrowFileError("Cannot write", path_, errno);
  }
}

} // namespace lexiform::platform

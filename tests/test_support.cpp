#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "platform/platform.h"

// The test program starts the program under test; a Windows program does that through
// CreateProcess, which has no neutral form in the program's own platform layer.
#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace lexiform::test {

namespace {
std::string UniqueName() {
  static std::atomic<unsigned> counter{0};
  const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "scratch";
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.') {
      c = '_';
    }
  }
  return "lexiform_test_" + name + "_" + std::to_string(now) + "_" + std::to_string(counter++);
}
} // namespace

ScratchDir::ScratchDir() {
  const fs::path path = fs::temp_directory_path() / UniqueName();
  fs::create_directories(path);
  path_ = path.string();
}

ScratchDir::~ScratchDir() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  if (info && info->result()->Failed()) {
    std::fprintf(stderr, "scratch directory kept: %s\n", path_.c_str());
    return;
  }
  std::error_code ignored;
  // Tests make unreadable files and directories: give the owner its rights back first.
  for (auto it = fs::recursive_directory_iterator(
           path_, fs::directory_options::skip_permission_denied, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    if (!it->is_symlink(ignored)) {
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
  }
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path_, ignored);
}

std::string ScratchDir::operator/(const std::string& relative) const {
  // UTF-8 in and out, as the program holds names: see Note [names in UTF-8].
  return (fs::u8path(path_) / fs::u8path(relative)).u8string();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  // UTF-8, as the program holds names: see Note [names in UTF-8].
  std::ofstream out(fs::u8path(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    throw std::runtime_error("cannot write " + path);
  }
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(fs::u8path(path), std::ios::binary);
  if (!in) {
    throw std::runtime_error("cannot read " + path);
  }
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

bool Exists(const std::string& path) {
  std::error_code ignored;
  return fs::exists(fs::symlink_status(path, ignored));
}

namespace {

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Where the program reads and writes its temporary files.
std::vector<std::string> TempDirectoryVariables() {
  return IsWindowsProgram() ? std::vector<std::string>{"TMPDIR", "TMP", "TEMP"}
                            : std::vector<std::string>{"TMPDIR"};
}

// "TMPDIR=x" stands for every variable that names the temporary directory here.
std::vector<std::string> ExpandAssignments(const std::vector<std::string>& environment) {
  std::vector<std::string> expanded;
  for (const std::string& assignment : environment) {
    if (assignment.rfind("TMPDIR=", 0) == 0) {
      for (const std::string& name : TempDirectoryVariables()) {
        expanded.push_back(name + assignment.substr(assignment.find('=')));
      }
    } else {
      expanded.push_back(assignment);
    }
  }
  return expanded;
}

struct CapturePaths {
  std::string out;
  std::string err;
};

CapturePaths MakeCapturePaths() {
  const fs::path capture = fs::temp_directory_path() / UniqueName();
  return {capture.string() + ".out", capture.string() + ".err"};
}

RunResult CollectCapture(int status, const CapturePaths& capture) {
  RunResult result;
  result.status = status;
  result.out = ReadBytes(capture.out);
  result.err = ReadBytes(capture.err);
  std::error_code ignored;
  fs::remove(capture.out, ignored);
  fs::remove(capture.err, ignored);
  return result;
}

} // namespace

ScopedEnvironment::ScopedEnvironment(const std::vector<std::string>& assignments) {
  for (const std::string& assignment : ExpandAssignments(assignments)) {
    const std::size_t equals = assignment.find('=');
    const std::string name = assignment.substr(0, equals);
    const char* old = std::getenv(name.c_str());
    saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    SetEnvironment(name, equals == std::string::npos ? "" : assignment.substr(equals + 1));
  }
}

ScopedEnvironment::~ScopedEnvironment() {
  // Backwards, so that a name assigned twice gets its first value back.
  for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
    if (it->second) {
      SetEnvironment(it->first, *it->second);
    } else {
      UnsetEnvironment(it->first);
    }
  }
}

std::string PlatformSkipReason() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string name = info ? info->name() : "";
  if (EndsWith(name, "_PosixOnly") && IsWindowsProgram()) {
    return "holds only for the POSIX program";
  }
  if (EndsWith(name, "_WindowsOnly") && !IsWindowsProgram()) {
    return "holds only for the Windows program";
  }
  return {};
}

namespace {
// The built program as the test program names it: under Wine a Unix path from the
// build is a path on drive Z:, where Wine shows the Unix root.
std::string BuiltProgram() {
  const std::string built = LEXIFORM_BINARY;
  return IsWindowsProgram() && !built.empty() && built.front() == '/' ? "Z:" + built : built;
}
} // namespace

std::string InstallProgram(const ScratchDir& dir, const std::string& name) {
  const std::string target = dir / (name + platform::ExecutableSuffix());
  fs::copy_file(BuiltProgram(), target, fs::copy_options::overwrite_existing);
  fs::permissions(target, fs::perms::owner_all, fs::perm_options::add);
  return target;
}

// ---------------------------------------------------------------------------------
// Starting programs: CreateProcess on Windows, the shell on POSIX.

#ifdef _WIN32

namespace {

// UTF-8 (the names the tests give, as the program holds them) to UTF-16; NULs included.
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

// The process environment with `assignments` put in, replacing variables of the same
// name (letter case ignored, as Windows does), as the block CreateProcess takes.
std::string EnvironmentBlock(const std::vector<std::string>& assignments) {
  std::vector<std::string> variables;
  if (char* strings = ::GetEnvironmentStringsA()) {
    for (const char* entry = strings; *entry != '\0'; entry += std::strlen(entry) + 1) {
      variables.emplace_back(entry);
    }
    ::FreeEnvironmentStringsA(strings);
  }
  // Hidden variables such as "=C:=C:\dir" start with "=": the name ends at the next one.
  auto nameOf = [](const std::string& variable) {
    return variable.substr(0, variable.find('=', 1));
  };
  for (const std::string& assignment : assignments) {
    const std::string name = nameOf(assignment);
    variables.erase(std::remove_if(variables.begin(), variables.end(),
                                   [&](const std::string& variable) {
                                     return _stricmp(nameOf(variable).c_str(), name.c_str()) == 0;
                                   }),
                    variables.end());
    variables.push_back(assignment);
  }
  std::string block;
  for (const std::string& variable : variables) {
    block += variable;
    block += '\0';
  }
  block += '\0';
  return block;
}

// A handle the child inherits: the file created anew for writing, or NUL for reading.
class InheritedHandle {
public:
  InheritedHandle(const std::string& path, bool forWriting) {
    SECURITY_ATTRIBUTES security{};
    security.nLength = sizeof security;
    security.bInheritHandle = TRUE;
    handle_ = ::CreateFileA(
        path.c_str(), forWriting ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
        &security, forWriting ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) {
      throw std::runtime_error("cannot open " + path + " for the child process");
    }
  }
  ~InheritedHandle() { ::CloseHandle(handle_); }
  InheritedHandle(const InheritedHandle&) = delete;
  InheritedHandle& operator=(const InheritedHandle&) = delete;
  HANDLE get() const { return handle_; }

private:
  HANDLE handle_;
};

// Where a started program's standard output goes.
enum class Output { File, Pipe };

// Reads what the child writes into a pipe until the child has closed it.
std::string DrainPipe(HANDLE pipe) {
  std::string bytes;
  char buffer[4096];
  DWORD got = 0;
  while (::ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    bytes.append(buffer, got);
  }
  return bytes;
}

// Starts `application` (or the first word of `commandLine` when empty) in `workDir`,
// waits for it and returns its exit status. Standard output goes to a file, or with
// `output` Output::Pipe into a pipe that we read.
RunResult RunProcess(const std::string& application, std::string commandLine,
                     const std::string& workDir, const std::vector<std::string>& environment,
                     Output output = Output::File) {
  const CapturePaths capture = MakeCapturePaths();
  int status = -1;
  std::string piped;
  {
    InheritedHandle input("NUL", false);
    InheritedHandle outputFile(capture.out, true);
    InheritedHandle error(capture.err, true);
    SECURITY_ATTRIBUTES security{};
    security.nLength = sizeof security;
    security.bInheritHandle = TRUE;
    HANDLE pipeRead = nullptr;
    HANDLE pipeWrite = nullptr;
    if (output == Output::Pipe) {
      if (!::CreatePipe(&pipeRead, &pipeWrite, &security, 0)) {
        throw std::runtime_error("cannot make a pipe");
      }
      // Only the child gets the writing end; ours must not be inherited.
      ::SetHandleInformation(pipeRead, HANDLE_FLAG_INHERIT, 0);
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input.get();
    startup.hStdOutput = output == Output::Pipe ? pipeWrite : outputFile.get();
    startup.hStdError = error.get();
    std::wstring block = Widen(EnvironmentBlock(ExpandAssignments(environment)));
    // The wide form: the arguments reach the program with every character of their
    // UTF-8, as a user's typing does, not only those of the ANSI code page.
    const std::wstring wideApplication = Widen(application);
    std::wstring wideCommandLine = Widen(commandLine);
    const std::wstring wideWorkDir = Widen(workDir);
    PROCESS_INFORMATION process{};
    BOOL started = FALSE;
    DWORD startError = 0;
    // Wine now and then fails a start with ERROR_INTERNAL_ERROR when its server is
    // busy (seen on a loaded machine); the same start a moment later succeeds. Any
    // other failure is the test's to report at once.
    for (int attempt = 0; attempt < 5; ++attempt) {
      started = ::CreateProcessW(application.empty() ? nullptr : wideApplication.c_str(),
                                 wideCommandLine.data(), nullptr, nullptr, TRUE,
                                 CREATE_UNICODE_ENVIRONMENT, block.data(), wideWorkDir.c_str(),
                                 &startup, &process);
      startError = ::GetLastError();
      if (started || startError != ERROR_INTERNAL_ERROR) {
        break;
      }
      ::Sleep(200u << attempt);
    }
    if (output == Output::Pipe) {
      // Closing our copy of the writing end lets the reading end see the child's end.
      ::CloseHandle(pipeWrite);
      if (started) {
        piped = DrainPipe(pipeRead);
      }
      ::CloseHandle(pipeRead);
    }
    if (!started) {
      throw std::runtime_error("cannot start " + commandLine + ": error " +
                               std::to_string(startError));
    }
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(process.hProcess, &code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    status = static_cast<int>(code);
  }
  RunResult result = CollectCapture(status, capture);
  if (output == Output::Pipe) {
    result.out = std::move(piped);
  }
  return result;
}

// Quotes `argument` the way the C runtime splits a command line, when it holds one of
// `needsQuotes` or is empty; otherwise leaves it as a user would type it.
std::string QuoteArgument(const std::string& argument, const char* needsQuotes) {
  if (!argument.empty() && argument.find_first_of(needsQuotes) == std::string::npos) {
    return argument;
  }
  // Backslashes are literal unless they precede a quote, where each of them and the
  // quote itself need one more backslash.
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  return quoted + "\"";
}

// What the C runtime splits at; and what cmd.exe acts on or splits at outside quotes.
constexpr const char* kCommandLineSpecials = " \t\"";
constexpr const char* kCmdSpecials = " \t\"&|<>^()%!,;=";

} // namespace

bool IsWindowsProgram() {
  return true;
}

void SetEnvironment(const std::string& name, const std::string& value) {
  // _putenv_s changes the C runtime's copy and the process environment that the system
  // reads (GetTempPathA, child processes) alike.
  ::_putenv_s(name.c_str(), value.c_str());
}

void UnsetEnvironment(const std::string& name) {
  ::_putenv_s(name.c_str(), "");
}

std::string ShellQuote(const std::string& argument) {
  return QuoteArgument(argument, kCmdSpecials);
}

RunResult RunShell(const std::string& commandLine, const std::string& workDir,
                   const std::vector<std::string>& environment) {
  // /s: cmd.exe takes everything between the outer quotes as the command, unchanged.
  return RunProcess({}, "cmd.exe /d /s /c \"" + commandLine + "\"", workDir, environment);
}

namespace {
// Started directly, without cmd.exe: its command line is exactly what we pass here.
std::string DirectCommandLine(const std::string& program,
                              const std::vector<std::string>& arguments) {
  std::string commandLine = QuoteArgument(program, kCommandLineSpecials);
  for (const std::string& argument : arguments) {
    commandLine += " " + QuoteArgument(argument, kCommandLineSpecials);
  }
  return commandLine;
}
} // namespace

RunResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                     const std::string& workDir, const std::vector<std::string>& environment) {
  return RunProcess(program, DirectCommandLine(program, arguments), workDir, environment);
}

RunResult RunProgramThroughPipe(const std::string& program,
                                const std::vector<std::string>& arguments,
                                const std::string& workDir,
                                const std::vector<std::string>& environment) {
  return RunProcess(program, DirectCommandLine(program, arguments), workDir, environment,
                    Output::Pipe);
}

std::vector<int> InterruptSignals() {
  return {};
}

void SendSignal(int /*pid*/, int /*signal*/) {}

RunResult RunProgramWithConsoleStalled(const std::string&, const std::vector<std::string>&,
                                       const std::string&, const std::vector<std::string>&,
                                       const std::function<void(int)>&) {
  throw std::runtime_error("a stalled console is only made on POSIX");
}
#else

bool IsWindowsProgram() {
  return false;
}

void SetEnvironment(const std::string& name, const std::string& value) {
  ::setenv(name.c_str(), value.c_str(), 1);
}

void UnsetEnvironment(const std::string& name) {
  ::unsetenv(name.c_str());
}

std::string ShellQuote(const std::string& argument) {
  std::string quoted = "'";
  for (char c : argument) {
    quoted += (c == '\'') ? std::string("'\\''") : std::string(1, c);
  }
  return quoted + "'";
}

namespace {

// The shell command that runs `commandLine` in `workDir` with the environment added and
// standard input empty; the redirections after it apply to the whole command line.
std::string ShellCommand(const std::string& commandLine, const std::string& workDir,
                         const std::vector<std::string>& environment) {
  std::string exports;
  for (const std::string& assignment : ExpandAssignments(environment)) {
    exports += "export " + ShellQuote(assignment) + " && ";
  }
  return "cd " + ShellQuote(workDir) + " && " + exports + "(" + commandLine + "\n) </dev/null";
}

int ExitStatus(int raw) {
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
}

std::string ProgramCommandLine(const std::string& program,
                               const std::vector<std::string>& arguments) {
  std::string commandLine = ShellQuote(program);
  for (const std::string& argument : arguments) {
    commandLine += " " + ShellQuote(argument);
  }
  return commandLine;
}

} // namespace

RunResult RunShell(const std::string& commandLine, const std::string& workDir,
                   const std::vector<std::string>& environment) {
  const CapturePaths capture = MakeCapturePaths();
  const std::string full = ShellCommand(commandLine, workDir, environment) + " >" +
                           ShellQuote(capture.out) + " 2>" + ShellQuote(capture.err);
  return CollectCapture(ExitStatus(std::system(full.c_str())), capture);
}

RunResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                     const std::string& workDir, const std::vector<std::string>& environment) {
  return RunShell(ProgramCommandLine(program, arguments), workDir, environment);
}

RunResult RunProgramThroughPipe(const std::string& program,
                                const std::vector<std::string>& arguments,
                                const std::string& workDir,
                                const std::vector<std::string>& environment) {
  const CapturePaths capture = MakeCapturePaths();
  WriteBytes(capture.out, "");
  const std::string full =
      ShellCommand(ProgramCommandLine(program, arguments), workDir, environment) + " 2>" +
      ShellQuote(capture.err);
  FILE* pipe = ::popen(full.c_str(), "r");
  if (!pipe) {
    throw std::runtime_error("cannot start " + full);
  }
  std::string piped;
  char buffer[4096];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
    piped.append(buffer, got);
  }
  RunResult result = CollectCapture(ExitStatus(::pclose(pipe)), capture);
  result.out = std::move(piped);
  return result;
}

namespace {

// Whether the process is in a write() to its standard output (Linux: its current system
// call and that call's first argument), which the full pipe holds up. A write to any
// other file (its configuration, its document) passes and does not count.
bool IsBlockedInConsoleWrite(pid_t pid) {
  std::ifstream syscall("/proc/" + std::to_string(pid) + "/syscall");
  std::string number;
  std::string descriptor;
  syscall >> number >> descriptor;
  return number == std::to_string(SYS_write) && descriptor == "0x1";
}

} // namespace

RunResult RunProgramWithConsoleStalled(const std::string& program,
                                       const std::vector<std::string>& arguments,
                                       const std::string& workDir,
                                       const std::vector<std::string>& environment,
                                       const std::function<void(int pid)>& whileStalled) {
  using Clock = std::chrono::steady_clock;
  constexpr auto kPatience = std::chrono::seconds(60);
  int fds[2];
  if (::pipe(fds) != 0) {
    throw std::runtime_error("no pipe");
  }
  // Fill the pipe, so that the program's first console write has to wait for us.
  ::fcntl(fds[1], F_SETFL, O_NONBLOCK);
  std::size_t filled = 0;
  const std::string zeros(4096, '\0');
  for (ssize_t wrote; (wrote = ::write(fds[1], zeros.data(), zeros.size())) > 0;) {
    filled += static_cast<std::size_t>(wrote);
  }
  ::fcntl(fds[1], F_SETFL, 0);
  const CapturePaths capture = MakeCapturePaths();
  WriteBytes(capture.out, "");
  std::vector<std::string> argvText{program};
  argvText.insert(argvText.end(), arguments.begin(), arguments.end());
  const std::vector<std::string> assignments = ExpandAssignments(environment);
  const pid_t pid = ::fork();
  if (pid == 0) {
    for (const std::string& assignment : assignments) {
      ::putenv(const_cast<char*>(assignment.c_str()));
    }
    const int in = ::open("/dev/null", O_RDONLY);
    const int err = ::open(capture.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (::chdir(workDir.c_str()) != 0 || in < 0 || err < 0) {
      ::_exit(127);
    }
    ::dup2(in, 0);
    ::dup2(fds[1], 1);
    ::dup2(err, 2);
    ::close(fds[0]);
    std::vector<char*> argv;
    for (std::string& text : argvText) {
      argv.push_back(text.data());
    }
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(fds[1]);
  const auto deadline = Clock::now() + kPatience;
  while (!IsBlockedInConsoleWrite(pid) && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  whileStalled(static_cast<int>(pid));
  std::string out;
  char buffer[65536];
  for (;;) {
    pollfd ready{fds[0], POLLIN, 0};
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline + kPatience - Clock::now());
    if (left.count() <= 0 || ::poll(&ready, 1, static_cast<int>(left.count())) <= 0) {
      ::kill(pid, SIGKILL); // a program that never finishes fails the test, not hangs it
      break;
    }
    const ssize_t got = ::read(fds[0], buffer, sizeof buffer);
    if (got <= 0) {
      break;
    }
    out.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fds[0]);
  int raw = 0;
  ::waitpid(pid, &raw, 0);
  RunResult result = CollectCapture(ExitStatus(raw), capture);
  result.out = out.size() > filled ? out.substr(filled) : std::string();
  return result;
}

std::vector<int> InterruptSignals() {
  return {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
}

void SendSignal(int pid, int signal) {
  ::kill(pid, signal);
}
#endif

std::string NativePath(const std::string& path) {
  std::string native = path;
  std::replace(native.begin(), native.end(), '/', platform::PathSeparator());
  return native;
}

std::vector<std::string> UnfinishedFiles(const std::string& directory) {
  std::vector<std::string> found;
  std::error_code ignored;
  for (auto it = fs::recursive_directory_iterator(
           directory, fs::directory_options::skip_permission_denied, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    const std::string name = it->path().filename().string();
    if (name.rfind('.', 0) == 0 && name.find(".lexiform-") != std::string::npos) {
      found.push_back(it->path().string());
    }
  }
  return found;
}

namespace {

std::vector<std::string> SplitLines(const std::string& text, const std::string& lineEnd) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find(lineEnd, start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + lineEnd.size();
  }
  return lines;
}

} // namespace

std::vector<std::string> Html5IndexNames(const std::string& document) {
  std::vector<std::string> names;
  const std::regex item("<li><a href=\"#[^\"]*\">[^<]*<span class=\"name\">([^<]*)</span>");
  for (auto it = std::sregex_iterator(document.begin(), document.end(), item);
       it != std::sregex_iterator(); ++it) {
    names.push_back((*it)[1]);
  }
  return names;
}

std::vector<std::string> SplitCrLfLines(const std::string& text) {
  return SplitLines(text, "\r\n");
}

std::string ConsoleLineEnd() {
  return IsWindowsProgram() ? "\r\n" : "\n";
}

std::string ConsoleText(const std::string& text) {
  std::string console;
  for (const char c : text) {
    console += c == '\n' ? ConsoleLineEnd() : std::string(1, c);
  }
  return console;
}

std::string ConsoleRule() {
  return std::string(80, '-') + (IsWindowsProgram() ? "" : "\n");
}

std::vector<std::string> SplitConsoleLines(const std::string& text) {
  return SplitLines(text, ConsoleLineEnd());
}

ProgramTest::ProgramTest() : program(InstallProgram(bin)) {
  fs::create_directories(work / "tmp");
}

std::size_t ProgramTest::LeftoverFiles() const {
  const auto temporary = fs::directory_iterator(work / "tmp");
  return UnfinishedFiles(work.Path()).size() +
         static_cast<std::size_t>(std::distance(begin(temporary), end(temporary)));
}

void ProgramTest::Write(const std::string& relative, const std::string& bytes) {
  fs::create_directories(fs::u8path(work / relative).parent_path());
  WriteBytes(work / relative, bytes);
}

bool ProgramTest::CanRunAsNobody() {
  return std::system("command -v setpriv >/dev/null 2>&1") == 0;
}

RunResult ProgramTest::RunAsNobody(const std::vector<std::string>& arguments,
                                   const std::vector<std::string>& environment) {
  for (const fs::path& path : {fs::path(work.Path()), fs::path(work / "tmp")}) {
    fs::permissions(path, fs::perms::all);
  }
  fs::permissions(bin.Path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
  std::string command = "setpriv --reuid=65534 --regid=65534 --clear-groups " + ShellQuote(program);
  for (const std::string& argument : arguments) {
    command += " " + ShellQuote(argument);
  }
  std::vector<std::string> assignments = Environment();
  assignments.insert(assignments.end(), environment.begin(), environment.end());
  return RunShell(command, work.Path(), assignments);
}

} // namespace lexiform::test

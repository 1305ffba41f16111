#include "test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

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
  return (fs::path(path_) / relative).string();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    throw std::runtime_error("cannot write " + path);
  }
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
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

std::string ShellQuote(const std::string& argument) {
  std::string quoted = "'";
  for (char c : argument) {
    quoted += (c == '\'') ? std::string("'\\''") : std::string(1, c);
  }
  return quoted + "'";
}

RunResult RunShell(const std::string& commandLine, const std::string& workDir,
                   const std::vector<std::string>& environment) {
  const fs::path capture = fs::temp_directory_path() / UniqueName();
  const std::string outPath = capture.string() + ".out";
  const std::string errPath = capture.string() + ".err";
  std::string assignments;
  for (const std::string& assignment : environment) {
    assignments += ShellQuote(assignment) + " ";
  }
  const std::string full = "cd " + ShellQuote(workDir) + " && " +
                           (assignments.empty() ? "" : "env " + assignments) + commandLine +
                           " </dev/null >" + ShellQuote(outPath) + " 2>" + ShellQuote(errPath);
  const int raw = std::system(full.c_str());
  RunResult result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  result.out = ReadBytes(outPath);
  result.err = ReadBytes(errPath);
  std::error_code ignored;
  fs::remove(outPath, ignored);
  fs::remove(errPath, ignored);
  return result;
}

std::string InstallProgram(const ScratchDir& dir, const std::string& name) {
  const std::string target = dir / name;
  fs::copy_file(LEXIFORM_BINARY, target, fs::copy_options::overwrite_existing);
  fs::permissions(target, fs::perms::owner_all, fs::perm_options::add);
  return target;
}

RunResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                     const std::string& workDir, const std::vector<std::string>& environment) {
  std::string commandLine = ShellQuote(program);
  for (const std::string& argument : arguments) {
    commandLine += " " + ShellQuote(argument);
  }
  return RunShell(commandLine, workDir, environment);
}

std::vector<std::string> SplitCrLfLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

} // namespace lexiform::test

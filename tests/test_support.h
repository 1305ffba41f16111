#pragma once

#include <string>
#include <vector>

namespace lexiform::test {

// A fresh directory for one test; removed when the test passed, kept for a look when
// it failed.
class ScratchDir {
public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& Path() const { return path_; }
  // `relative` inside the directory.
  std::string operator/(const std::string& relative) const;

private:
  std::string path_;
};

void WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);
bool Exists(const std::string& path);

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

// Quotes one argument for the shell that RunShell uses.
std::string ShellQuote(const std::string& argument);

// Runs `commandLine` through the shell in `workDir`, with standard input empty and
// the given extra environment assignments ("NAME=value") in front.
RunResult RunShell(const std::string& commandLine, const std::string& workDir,
                   const std::vector<std::string>& environment = {});

// Copies the built program into `dir` under `name` (plus the executable suffix) and
// returns the copy's path: the program writes its configuration file beside itself.
std::string InstallProgram(const ScratchDir& dir, const std::string& name = "lexiform");

// Runs an installed program with arguments (each quoted) in `workDir`.
RunResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                     const std::string& workDir, const std::vector<std::string>& environment = {});

// Splits text at CR LF; a trailing CR LF gives no empty last element.
std::vector<std::string> SplitCrLfLines(const std::string& text);

} // namespace lexiform::test

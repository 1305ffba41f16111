#include "driver/output_guard.h"

#include <optional>

#include "driver/options.h"
#include "files/path_parts.h"
#include "platform/platform.h"

namespace lexiform {

namespace {

bool HasSourceExtension(const std::string& path) {
  static const char* const kSourceExtensions[] = {".pas", ".pp",  ".p",   ".inc",
                                                  ".dpr", ".dpk", ".lpr", ".lpk"};
  const std::string name = NamePart(path);
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos) {
    return false;
  }
  std::string extension = name.substr(dot);
  for (char& c : extension) {
    c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  }
  for (const char* known : kSourceExtensions) {
    if (extension == known) {
      return true;
    }
  }
  return false;
}

} // namespace

void CheckOutputIsNoInput(const std::string& outputFileName,
                          const std::vector<std::string>& fileList,
                          const std::string& iniFileName) {
  const platform::PathKind kind = platform::KindOf(outputFileName);
  if (kind == platform::PathKind::Missing) {
    return;
  }
  const std::string quoted = "\"" + outputFileName + "\"";
  if (kind != platform::PathKind::Regular) {
    throw RefusedRun("The output " + quoted +
                     " exists and is not a regular file; nothing was written.");
  }
  const std::optional<platform::FileId> output = platform::IdentifyFile(outputFileName);
  for (const std::string& entry : fileList) {
    if (output && platform::IdentifyFile(entry) == output) {
      throw RefusedRun("The output " + quoted + " is the input file \"" + entry +
                       "\"; nothing was written.");
    }
  }
  if (output && !iniFileName.empty() && platform::IdentifyFile(iniFileName) == output) {
    throw RefusedRun("The output " + quoted + " is the configuration file \"" + iniFileName +
                     "\"; nothing was written.");
  }
  // "victim.pas." and "victim.pas " open "victim.pas" on Windows.
  if (HasSourceExtension(platform::ResolvedPath(outputFileName))) {
    throw RefusedRun("The output " + quoted +
                     " is an existing Pascal source; nothing was written. Name the "
                     "document with .html, or leave out the extension.");
  }
}

void RefuseShellExpandedList(const TOptions& options) {
  if (!platform::ShellExpandsWildcards() || options.Unexpected.empty()) {
    return;
  }
  throw RefusedRun("Unexpected argument \"" + options.Unexpected.front() +
                   "\"; nothing was written. A list of files expanded by the shell? "
                   "Quote it: lexiform \"*.pas\" doc.html");
}

} // namespace lexiform

#include "driver/output_guard.h"

#include <algorithm>
#include <optional>
#include <set>
#include <string_view>

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

// The folders above `path` (made whole with the current directory), nearest first.
std::vector<std::string> FoldersAbove(const std::string& path) {
  std::string folder = DirectoryPart(path);
  if (folder.empty() || !platform::EndsDirectoryPart(folder.front())) {
    folder = JoinPath(platform::CurrentDirectory(), folder);
  }
  std::vector<std::string> folders;
  for (;;) {
    while (folder.size() > 1 && platform::EndsDirectoryPart(folder.back()) &&
           folder[folder.size() - 2] != ':') {
      folder.pop_back();
    }
    folders.push_back(folder);
    const std::string above = DirectoryPart(folder);
    if (above.empty() || above == folder) {
      return folders;
    }
    folder = above;
  }
}

void RefuseSiteOverInput(const std::string& target, const std::vector<std::string>& fileList) {
  const std::optional<platform::FileId> site = platform::IdentifyFile(target);
  if (!site) {
    return;
  }
  std::set<std::string> seen;
  for (const std::string& entry : fileList) {
    for (const std::string& folder : FoldersAbove(entry)) {
      if (!seen.insert(folder).second) {
        break; // this folder and those above it were looked at for an earlier entry
      }
      if (platform::IdentifyFile(folder) == site) {
        throw RefusedRun("The site folder \"" + target + "\" holds the input \"" + entry +
                         "\"; nothing was written. Name a folder outside the sources.");
      }
    }
  }
}

// Whether `a` and `b` name the same file, or would once it is made: the same existing
// file, or the same name in the same folder, links followed.
bool SameLocation(const std::string& a, const std::string& b) {
  const std::string targetA = platform::FollowLinks(a);
  const std::string targetB = platform::FollowLinks(b);
  const std::optional<platform::FileId> fileA = platform::IdentifyFile(targetA);
  const std::optional<platform::FileId> fileB = platform::IdentifyFile(targetB);
  if (fileA || fileB) {
    return fileA == fileB;
  }
  const auto folderOf = [](const std::string& path) {
    const std::string folder = DirectoryPart(path);
    return platform::IdentifyFile(folder.empty() ? "." : folder);
  };
  const std::optional<platform::FileId> folderA = folderOf(targetA);
  return folderA && folderA == folderOf(targetB) && NamePart(targetA) == NamePart(targetB);
}

// Enough of a file to see what it is.
constexpr std::size_t kLookAhead = 4096;

bool StartsWithNoCase(std::string_view text, std::string_view start) {
  if (text.size() < start.size()) {
    return false;
  }
  for (std::size_t i = 0; i < start.size(); ++i) {
    const auto lower = [](char c) {
      return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    };
    if (lower(text[i]) != lower(start[i])) {
      return false;
    }
  }
  return true;
}

// Whether the existing file `path` is a document that a run may replace: empty, HTML
// (after a byte order mark and blanks, "<!DOCTYPE html" or "<html" in any letter case;
// an XML file is not), or one that begins with the first line of `headerText`, as a
// document made with the user's own [Header] does. A file that cannot be read is left
// to the replace, which waits or fails by itself where another program holds it.
bool IsDocument(const std::string& path, const std::string& headerText) {
  const std::string firstLine = headerText.substr(0, headerText.find_first_of("\r\n"));
  const std::optional<std::string> start =
      platform::ReadFileStart(path, kLookAhead + firstLine.size());
  if (!start || start->empty()) {
    return true;
  }
  if (firstLine.find_first_not_of(" \t") != std::string::npos &&
      start->compare(0, firstLine.size(), firstLine) == 0) {
    return true;
  }
  std::string_view text = *start;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") {
    text.remove_prefix(3);
  }
  text.remove_prefix(std::min(text.size(), text.find_first_not_of(" \t\r\n\f")));
  return StartsWithNoCase(text, "<!doctype html") || StartsWithNoCase(text, "<html");
}

} // namespace

void CheckSiteTarget(const std::string& target, const std::vector<std::string>& fileList,
                     const EarlierSite& earlier, const std::vector<std::string>& files) {
  const std::string quoted = "\"" + target + "\"";
  const platform::PathKind kind = platform::KindOf(target);
  if (kind == platform::PathKind::Regular) {
    const std::optional<platform::FileId> output = platform::IdentifyFile(target);
    for (const std::string& entry : fileList) {
      if (output && platform::IdentifyFile(entry) == output) {
        throw RefusedRun("The site folder " + quoted + " is the input file \"" + entry +
                         "\"; nothing was written.");
      }
    }
  }
  if (kind != platform::PathKind::Missing && kind != platform::PathKind::Directory) {
    throw RefusedRun("The site folder " + quoted +
                     " exists and is not a folder; nothing was written.");
  }
  RefuseSiteOverInput(target, fileList);
  if (!earlier.folderExists || earlier.empty) {
    return;
  }
  if (!earlier.ours) {
    throw RefusedRun("The folder " + quoted +
                     " is not empty and holds no site that Lexiform wrote; nothing was "
                     "written. Name a new or empty folder, or an earlier site.");
  }
  std::set<std::string> folders;
  for (const std::string& file : files) {
    for (std::size_t slash = file.find('/'); slash != std::string::npos;
         slash = file.find('/', slash + 1)) {
      folders.insert(file.substr(0, slash));
    }
  }
  const auto native = [&target](const std::string& relative) {
    std::string path = relative;
    for (char& c : path) {
      c = c == '/' ? platform::PathSeparator() : c;
    }
    return JoinPath(target, path);
  };
  for (const std::string& folder : folders) {
    const platform::PathKind found = platform::KindOf(native(folder));
    if (found != platform::PathKind::Missing && found != platform::PathKind::Directory) {
      throw RefusedRun("The site folder " + quoted + " holds \"" + folder +
                       "\", which Lexiform did not write, where the site needs a folder; "
                       "nothing was written.");
    }
  }
  for (const std::string& file : files) {
    if (earlier.files.count(file) == 0 &&
        platform::KindOf(native(file)) != platform::PathKind::Missing) {
      throw RefusedRun("The site folder " + quoted + " holds \"" + file +
                       "\", which Lexiform did not write, where the site puts a file; "
                       "nothing was written.");
    }
  }
}

void RefuseFolderAsOutput(const std::string& outputArgument) {
  const bool namesFolder = !outputArgument.empty() &&
                           (platform::EndsDirectoryPart(outputArgument.back()) ||
                            platform::KindOf(outputArgument) == platform::PathKind::Directory);
  if (namesFolder) {
    throw RefusedRun("The output \"" + outputArgument +
                     "\" names a folder; nothing was written. Name the document's file, "
                     "for example \"" +
                     JoinPath(outputArgument, "doc.html") + "\".");
  }
}

void CheckOutputMayBeReplaced(const std::string& outputFileName,
                              const std::vector<std::string>& fileList,
                              const std::string& iniFileName, const std::string& headerText) {
  const std::string quoted = "\"" + outputFileName + "\"";
  if (!iniFileName.empty() && SameLocation(outputFileName, iniFileName)) {
    throw RefusedRun("The output " + quoted + " is the configuration file \"" + iniFileName +
                     "\"; nothing was written.");
  }
  const platform::PathKind kind = platform::KindOf(outputFileName);
  if (kind == platform::PathKind::Missing) {
    return;
  }
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
  // "victim.pas." and "victim.pas " open "victim.pas" on Windows.
  if (HasSourceExtension(platform::ResolvedPath(outputFileName))) {
    throw RefusedRun("The output " + quoted +
                     " is an existing Pascal source; nothing was written. Name the "
                     "document with .html, or leave out the extension.");
  }
  if (!IsDocument(outputFileName, headerText)) {
    throw RefusedRun("The output " + quoted +
                     " exists and is no HTML document; nothing was written. A list of files "
                     "expanded by the shell? Quote it: lexiform \"*.pas\" doc.html. Else "
                     "delete the file first, or choose another name for the document.");
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

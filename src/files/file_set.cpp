#include "files/file_set.h"

#include <algorithm>
#include <set>

namespace lexiform {

namespace {

bool IsDotName(const std::string& name) {
  return name == "." || name == "..";
}

bool HasWildcard(const std::string& piece) {
  return piece.find_first_of("*?", platform::VerbatimPrefixLength(piece)) != std::string::npos;
}

// A directory joined to a name the way the walk does it: always one separator, so
// that a root shortened to "" (or a drive "C:") gets it back.
std::string InDirectory(const std::string& directory, const std::string& name) {
  return directory + platform::PathSeparator() + name;
}

// The entries of one directory search; a failure goes to `onUnsearchable`.
std::vector<platform::DirEntry> SearchDirectory(const std::string& directory,
                                                const std::string& mask,
                                                const UnsearchableHandler& onUnsearchable) {
  std::string failure;
  std::vector<platform::DirEntry> entries =
      platform::FindEntries(InDirectory(directory, mask), &failure);
  if (!failure.empty() && onUnsearchable) {
    onUnsearchable(directory, failure);
  }
  return entries;
}

void HandlePiece(const std::string& piece, TStringList& fileList, TStringList* unmatched) {
  if (HasWildcard(piece)) {
    const std::size_t before = fileList.size();
    AddMatchingFiles(piece, fileList);
    if (unmatched != nullptr && fileList.size() == before) {
      unmatched->push_back(piece);
    }
  } else {
    fileList.push_back(piece);
  }
}

} // namespace

void SplitFileArgument(const std::string& argument, const std::string& separator,
                       TStringList& fileList, TStringList* unmatched) {
  if (argument.empty()) {
    return;
  }
  std::size_t start = 0;
  if (!separator.empty()) {
    for (std::size_t found = argument.find(separator, start); found != std::string::npos;
         found = argument.find(separator, start)) {
      HandlePiece(argument.substr(start, found - start), fileList, unmatched);
      start = found + separator.size();
    }
  }
  HandlePiece(argument.substr(start), fileList, unmatched);
}

void AddMatchingFiles(const std::string& mask, TStringList& fileList) {
  std::size_t nameStart = mask.size();
  while (nameStart > 0 && !platform::EndsDirectoryPart(mask[nameStart - 1])) {
    --nameStart;
  }
  const std::string prefix = mask.substr(0, nameStart);
  for (const platform::DirEntry& entry : platform::FindEntries(mask)) {
    if (IsPlainFile(entry)) {
      fileList.push_back(prefix + entry.name);
    }
  }
}

bool IsPlainFile(const platform::DirEntry& entry) {
  return !entry.isDirectory && !IsDotName(entry.name);
}

bool IsSubdirectory(const platform::DirEntry& entry) {
  return entry.isDirectory && !entry.isLink && !IsDotName(entry.name);
}

TStringList ListSubdirectories(const std::string& directory,
                               const UnsearchableHandler& onUnsearchable) {
  TStringList subdirectories;
  for (const platform::DirEntry& entry : SearchDirectory(directory, "*", onUnsearchable)) {
    if (IsSubdirectory(entry)) {
      subdirectories.push_back(InDirectory(directory, entry.name));
    }
  }
  return subdirectories;
}

TStringList FindFilesInDirectory(const std::string& mask, const std::string& directory,
                                 const UnsearchableHandler& onUnsearchable) {
  TStringList files;
  for (const platform::DirEntry& entry : SearchDirectory(directory, mask, onUnsearchable)) {
    if (IsPlainFile(entry)) {
      files.push_back(InDirectory(directory, entry.name));
    }
  }
  return files;
}

void CollectFiles(const std::string& mask, const std::string& startDirectory, TStringList& result,
                  std::int32_t depth, const UnsearchableHandler& onUnsearchable) {
  // Every directory is searched twice (for subdirectories, then for files); say once
  // that it could not be.
  std::set<std::string> reported;
  const UnsearchableHandler reportOnce = [&](const std::string& directory,
                                             const std::string& reason) {
    if (onUnsearchable && reported.insert(directory).second) {
      onUnsearchable(directory, reason);
    }
  };
  std::string start = startDirectory;
  if (!start.empty() && platform::EndsDirectoryPart(start.back()) && start.back() != ':') {
    start.pop_back();
  }

  TStringList directories{start};
  TStringList currentLevel;
  if (depth > 0) {
    currentLevel = ListSubdirectories(start, reportOnce);
    directories.insert(directories.end(), currentLevel.begin(), currentLevel.end());
  }
  // Level by level with lists, never through the call stack: the depth alone bounds
  // the walk.
  for (std::int32_t level = 1; level < depth && !currentLevel.empty(); ++level) {
    TStringList nextLevel;
    for (const std::string& directory : currentLevel) {
      TStringList below = ListSubdirectories(directory, reportOnce);
      directories.insert(directories.end(), below.begin(), below.end());
      nextLevel.insert(nextLevel.end(), std::make_move_iterator(below.begin()),
                       std::make_move_iterator(below.end()));
    }
    currentLevel = std::move(nextLevel);
  }

  std::sort(directories.begin(), directories.end(), [](const std::string& a, const std::string& b) {
    return platform::ComparePathsNoCase(a, b) < 0;
  });
  for (const std::string& directory : directories) {
    TStringList files = FindFilesInDirectory(mask, directory, reportOnce);
    result.insert(result.end(), std::make_move_iterator(files.begin()),
                  std::make_move_iterator(files.end()));
  }
}

} // namespace lexiform

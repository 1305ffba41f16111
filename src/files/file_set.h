#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace lexiform {

// Ordered list of texts: the program's collection type. Never sorted unless a step
// says so; duplicates and empty entries are kept.
using TStringList = std::vector<std::string>;

// Plain mode: cuts `argument` at every `separator` and appends each piece to
// `fileList`; a piece holding "*" or "?" is replaced by the files it matches, any
// other piece (an empty one included) is appended unchanged.
void SplitFileArgument(const std::string& argument, const std::string& separator,
                       TStringList& fileList);

// Appends the files that one wildcard name matches in its own directory, each as the
// name's directory part followed by the file's name, in the platform's order.
void AddMatchingFiles(const std::string& mask, TStringList& fileList);

// Not a directory (a link to a directory counts as one) and not "." or "..".
bool IsPlainFile(const platform::DirEntry& entry);

// A real directory, not "." or "..", and not a link: the walk never follows links,
// so a link loop cannot multiply it.
bool IsSubdirectory(const platform::DirEntry& entry);

// The immediate subdirectories of `directory`, each as directory + separator + name.
// A directory that exists but cannot be read is appended to `unsearchable`, when given.
TStringList ListSubdirectories(const std::string& directory, TStringList* unsearchable = nullptr);

// The files of `directory` that match `mask`, each as directory + separator + name.
// A directory that exists but cannot be read is appended to `unsearchable`, when given.
TStringList FindFilesInDirectory(const std::string& mask, const std::string& directory,
                                 TStringList* unsearchable = nullptr);

// Appends to `result` the files matching `mask` in `startDirectory` and in its
// subdirectories down to `depth` levels (0 or less: the start directory alone). All
// directories are gathered level by level first, then sorted case-insensitively by
// their full text, then searched for files. The directories of the walk that exist
// but cannot be read (no access, a path too long) are appended to `unsearchable`, once
// each, when it is given: they are the caller's to report.
void CollectFiles(const std::string& mask, const std::string& startDirectory, TStringList& result,
                  std::int32_t depth, TStringList* unsearchable = nullptr);

} // namespace lexiform

#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace lexiform {

// Ordered list of texts: the program's collection type. Never sorted unless a step
// says so; duplicates and empty entries are kept.
using TStringList = std::vector<std::string>;

// Plain mode: cuts `argument` at every `separator` and appends each piece to
// `fileList`; a piece holding "*" or "?" is replaced by the files it matches, any
// other piece (an empty one included) is appended unchanged. A wildcard piece that
// matches nothing is appended to `unmatched`, when given.
void SplitFileArgument(const std::string& argument, const std::string& separator,
                       TStringList& fileList, TStringList* unmatched = nullptr);

// Appends the files that one wildcard name matches in its own directory, each as the
// name's directory part followed by the file's name, in the platform's order.
void AddMatchingFiles(const std::string& mask, TStringList& fileList);

// Not a directory (a link to a directory counts as one) and not "." or "..".
bool IsPlainFile(const platform::DirEntry& entry);

// A real directory, not "." or "..", and not a link: the walk never follows links,
// so a link loop cannot multiply it.
bool IsSubdirectory(const platform::DirEntry& entry);

// Told about a directory that exists but cannot be searched, with the system's reason.
using UnsearchableHandler =
    std::function<void(const std::string& directory, const std::string& reason)>;

// The immediate subdirectories of `directory`, each as directory + separator + name.
TStringList ListSubdirectories(const std::string& directory,
                               const UnsearchableHandler& onUnsearchable = {});

// The files of `directory` that match `mask`, each as directory + separator + name.
TStringList FindFilesInDirectory(const std::string& mask, const std::string& directory,
                                 const UnsearchableHandler& onUnsearchable = {});

// Appends to `result` the files matching `mask` in `startDirectory` and in its
// subdirectories down to `depth` levels (0 or less: the start directory alone). All
// directories are gathered level by level first, then sorted case-insensitively by
// their full text, then searched for files. A directory that cannot be searched is
// passed over and told to `onUnsearchable` once.
void CollectFiles(const std::string& mask, const std::string& startDirectory, TStringList& result,
                  std::int32_t depth, const UnsearchableHandler& onUnsearchable = {});

} // namespace lexiform

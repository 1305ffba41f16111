#pragma once

#include <string>

namespace lexiform {

// The directory part of a path: the text up to and including its last separator
// ("/" on POSIX; "\", "/" or ":" on Windows), empty when there is none.
std::string DirectoryPart(const std::string& path);

// The file-name part of a path: the text after its directory part.
std::string NamePart(const std::string& path);

// Whether the file-name part holds a "." (a bare trailing "." counts).
bool HasExtension(const std::string& path);

// `path` with its extension (the text from the last "." of the name part) replaced by
// `extension`, or with `extension` appended when there is none.
std::string ReplaceExtension(const std::string& path, const std::string& extension);

// `directory` and `name` joined by one platform separator; no separator is added
// when `directory` is empty or already ends in one.
std::string JoinPath(const std::string& directory, const std::string& name);

} // namespace lexiform

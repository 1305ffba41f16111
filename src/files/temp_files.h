#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace lexiform {

// The directory for the temporary files: the platform's temporary path (on Linux
// TMPDIR, else /tmp), or the program's own directory when the platform names none.
std::string GetTempDirectory();

// A temporary file created exclusively under a unique name that begins with `prefix`
// in GetTempDirectory(); removed by the destructor.
class TempFile {
public:
  // Throws platform::FileError when it cannot be created.
  explicit TempFile(std::string_view prefix);
  ~TempFile();
  TempFile(TempFile&& other) noexcept;
  TempFile& operator=(TempFile&&) = delete;
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  const std::string& Path() const { return path_; }

private:
  std::string path_;
};

// Name prefixes of the program's two temporary files.
inline constexpr std::string_view kTempFilePrefix = "Lexiform_Tmp_File";
inline constexpr std::string_view kFixFilePrefix = "Lexiform_TmpFix_File";

// Starts `path` over as a new, empty file open for writing: the old file is removed,
// never truncated, and the new one is created exclusively, so that a link planted in
// its place is refused. See Note [rewriting temporary files].
// Throws platform::FileError when the file cannot be created.
platform::File StartOver(const std::string& path);

// Rewrites the named text file line by line: every "&" becomes "&amp;", and every
// "&lt;" or "&gt;" followed by the entity marker that the converter made becomes
// "&lt;" or "&gt;" without the marker; every line ends with CR LF afterwards.
// Throws platform::FileError when the file cannot be read or rewritten.
void FixEntities(const std::string& fileName);

// The single-line steps of FixEntities, usable on their own.
std::string EscapeAmpersands(std::string_view line);
std::string RestoreMarkedLt(std::string_view line);
std::string RestoreMarkedGt(std::string_view line);

} // namespace lexiform

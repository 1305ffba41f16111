#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace lexiform {

class BufferedFileWriter;

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

// Opens the temporary file `path` to be written anew from its start; closing it cuts
// it at the end of what was written. It is never emptied first (see Note [rewriting
// temporary files]); when it has gone, it is created again, exclusively, so that a
// link planted in its place is refused. Throws platform::FileError on failure.
platform::File OpenForRewrite(const std::string& path);

// Rewrites the named text file line by line: every "&" becomes "&amp;", and every
// "&lt;" or "&gt;" followed by the entity marker that the converter made becomes
// "&lt;" or "&gt;" without the marker; every line ends with CR LF afterwards.
// Throws platform::FileError when the file cannot be read or rewritten.
void FixEntities(const std::string& fileName);

// Writes the lines of `text`, as the text-line reader cuts them, fixed as FixEntities
// fixes a file, each followed by CR LF. This is FixEntities for a converted text that
// is still in memory: the result is the same as saving the text and fixing the file.
void WriteFixedText(std::string_view text, BufferedFileWriter& output);

// The fix-up of a text that arrives in pieces: its lines are cut and fixed as
// FixEntities cuts and fixes a file's, wherever the pieces happen to end.
class FixedTextWriter {
public:
  explicit FixedTextWriter(BufferedFileWriter& output) : output_(output) {}

  void Write(std::string_view piece);
  // Fixes and writes what is left: a last line without a line end.
  void Finish();

private:
  void WriteLines(std::string_view text);

  BufferedFileWriter& output_;
  std::string pending_; // the unfinished last line of the pieces so far
  bool ended_ = false;  // a Ctrl-Z at the start of a line ended the text
};

// The single-line steps of FixEntities, usable on their own.
std::string EscapeAmpersands(std::string_view line);
std::string RestoreMarkedLt(std::string_view line);
std::string RestoreMarkedGt(std::string_view line);

} // namespace lexiform

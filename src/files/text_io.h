#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace lexiform {

// Reads a text file line by line, buffered. A line ends at CR LF, at LF or at a lone
// CR; a last line without a line end is still read; lines of any length are read
// whole. A byte 0x1A (Ctrl-Z) at the start of a line ends the file; inside a line it
// ends the line and the rest of that line up to its line end is skipped.
class TextLineReader {
public:
  // Throws platform::FileError when the file cannot be opened.
  explicit TextLineReader(const std::string& path);

  // Puts the next line, without its line end, into `line` and returns true; returns
  // false at the end of the text. `line` stays valid until the next call.
  // Throws platform::FileError on a read error.
  bool NextLine(std::string_view& line);

private:
  platform::File file_;
  // (members of the implementation)
};

// Writes a file through a buffer; every failure is a platform::FileError.
class BufferedFileWriter {
public:
  BufferedFileWriter(const std::string& path, platform::File::Mode mode);
  ~BufferedFileWriter(); // flushes and closes, swallowing errors: call Close() to see them

  void Write(std::string_view text);
  // Writes `text` followed by CR LF.
  void WriteLine(std::string_view text);
  // Flushes and closes; throws platform::FileError when the data could not be written.
  void Close();

private:
  platform::File file_;
  std::string buffer_;
};

} // namespace lexiform

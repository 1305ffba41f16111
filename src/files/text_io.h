#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
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
  // Reads the lines of `text`, which must outlive the reader.
  explicit TextLineReader(std::string_view text);

  // Puts the next line, without its line end, into `line` and returns true; returns
  // false at the end of the text. `line` stays valid until the next call.
  // Throws platform::FileError on a read error.
  bool NextLine(std::string_view& line);

  // Whether a Ctrl-Z at the start of a line ended the text.
  bool EndedByCtrlZ() const { return endedByCtrlZ_; }

private:
  // Makes more bytes available after end_, keeping [pos_, end_). Returns false when
  // the file has no more.
  bool Fill();
  // Steps over the line end whose first byte stands at pos_ (a CR or an LF).
  void ConsumeLineEnd();
  // Drops bytes up to and including the next line end; false at the end of the file.
  bool SkipRestOfLine();

  platform::File file_;
  // Not a vector: its zero-filling would touch every page of a buffer that a small
  // file never needs.
  std::unique_ptr<char[]> buffer_;
  const char* data_ = nullptr; // buffer_, or the text of a reader over memory
  std::size_t capacity_ = 0;
  std::uint64_t sizeHint_ = 0;  // the file's size when it was opened
  std::uint64_t bytesRead_ = 0; // from the file so far
  std::size_t pos_ = 0;         // start of the unread bytes
  std::size_t end_ = 0;         // end of the bytes read from the file
  bool atEof_ = false;
  bool finished_ = false;       // no more lines
  bool endedByCtrlZ_ = false;   // a Ctrl-Z at the start of a line ended the text
  bool skipLf_ = false;         // a CR ended the last line: an LF right after belongs to it
  bool skipRestOfLine_ = false; // a Ctrl-Z cut the last line short
};

// Writes a file through a buffer; every failure is a platform::FileError.
class BufferedFileWriter {
public:
  BufferedFileWriter(const std::string& path, platform::File::Mode mode);
  explicit BufferedFileWriter(platform::File file);
  ~BufferedFileWriter(); // flushes and closes, swallowing errors: call Close() to see them
  BufferedFileWriter(const BufferedFileWriter&) = delete;
  BufferedFileWriter& operator=(const BufferedFileWriter&) = delete;

  void Write(std::string_view text);
  // Writes `text` followed by CR LF.
  void WriteLine(std::string_view text);
  // Flushes and closes; throws platform::FileError when the data could not be written.
  void Close();

private:
  void Flush();

  platform::File file_;
  std::string buffer_;
};

} // namespace lexiform

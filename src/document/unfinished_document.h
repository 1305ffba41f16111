#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "convert/text_sink.h"
#include "platform/platform.h"

namespace lexiform {

// Writing the document failed (disk full, file size limit, the replace refused): the
// run cannot go on. The message names the output, never the unfinished file.
class DocumentError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Note [unfinished document]
// A run never writes into the document it replaces. It writes a new file, created
// exclusively under a unique name in the output's own folder and held open through one
// handle for the whole run (never reopened by name, so nobody can slip another file
// in between), and only when the run has finished renames it over the output. Until
// then the earlier document stays whole; a failure, or an interrupt, removes the
// unfinished file instead. When the output is a symbolic link, the file it points to
// is what gets replaced, so the link stays a link; the replaced document keeps the
// permissions of the one it replaces. Two runs on one output each write their own
// file, and the last to finish wins.
class UnfinishedDocument : public TextSink {
public:
  // Creates the unfinished file for the document `outputFileName`. Throws DocumentError.
  explicit UnfinishedDocument(const std::string& outputFileName);
  // Removes the unfinished file unless Commit() succeeded.
  ~UnfinishedDocument() override;
  UnfinishedDocument(const UnfinishedDocument&) = delete;
  UnfinishedDocument& operator=(const UnfinishedDocument&) = delete;

  void Write(std::string_view bytes) override;

  // How many bytes the document holds so far: a place to cut back to.
  std::uint64_t Length() const { return flushed_ + buffer_.size(); }
  // Drops everything written after `length` (an earlier Length()).
  void CutBackTo(std::uint64_t length);

  // Writes what is buffered, closes the file and puts it in the output's place.
  // Throws DocumentError; the unfinished file is then removed and the output untouched.
  void Commit();

private:
  void Flush();
  [[noreturn]] void Fail(const platform::FileError& error);

  std::string outputFileName_; // as the user named it, for messages
  std::string target_;         // what gets replaced: the output, or its link's target
  platform::File file_;
  std::string buffer_;
  std::uint64_t flushed_ = 0;
  bool committed_ = false;
};

} // namespace lexiform

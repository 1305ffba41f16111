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

// Where a run writes its document: it can say how much it holds, drop what followed an
// earlier length (so that a failed section leaves no trace), and is finished by
// Commit(). Failures are DocumentError.
class DocumentOutput : public TextSink {
public:
  // How many bytes the document holds so far: a place to cut back to.
  virtual std::uint64_t Length() const = 0;
  // Drops everything written after `length` (an earlier Length()).
  virtual void CutBackTo(std::uint64_t length) = 0;
  // What has been written so far is whole (the start, or a section with it) and may
  // go out; nothing before this point is cut back any more.
  virtual void SectionComplete() {}
  // The document is whole.
  virtual void Commit() = 0;
};

// Note [unfinished document]
// A run never writes into the document it replaces. It writes a new file, created
// exclusively under a unique name in the output's own folder and held open through one
// handle for the whole run (never reopened by name, so nobody can slip another file
// in between), and only when the run has finished renames it over the output. Until
// then the earlier document stays whole; a failure, or an interrupt, removes the
// unfinished file instead. When the output is a symbolic link, the file it points to
// is what gets replaced, so the link stays a link; the replaced document keeps the
// owner, group and permissions of the one it replaces. Two runs on one output each write their own
// file, and the last to finish wins.
class UnfinishedDocument : public DocumentOutput {
public:
  // Creates the unfinished file for the document `outputFileName`. Throws DocumentError.
  explicit UnfinishedDocument(const std::string& outputFileName);
  // Removes the unfinished file unless Commit() succeeded.
  ~UnfinishedDocument() override;
  UnfinishedDocument(const UnfinishedDocument&) = delete;
  UnfinishedDocument& operator=(const UnfinishedDocument&) = delete;

  void Write(std::string_view bytes) override;

  std::uint64_t Length() const override { return flushed_ + buffer_.size(); }
  void CutBackTo(std::uint64_t length) override;

  // Writes what is buffered, closes the file and puts it in the output's place.
  // Throws DocumentError; the unfinished file is then removed and the output untouched.
  void Commit() override;

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

// The document written to standard output ("-" as the output): a section goes out only
// when it is complete, so a failed one never reaches the reader.
class StandardOutputDocument : public DocumentOutput {
public:
  void Write(std::string_view bytes) override { pending_.append(bytes.data(), bytes.size()); }
  std::uint64_t Length() const override { return written_ + pending_.size(); }
  void CutBackTo(std::uint64_t length) override;
  void SectionComplete() override;
  void Commit() override { SectionComplete(); }

private:
  std::string pending_;       // since the last complete section
  std::uint64_t written_ = 0; // already out
};

} // namespace lexiform

#include "document/unfinished_document.h"

#include <csignal>
#include <cstdlib>

#include "files/path_parts.h"

namespace lexiform {

namespace {

// Writes go out in blocks of this size: large enough that the system calls cost
// nothing next to the copying, small enough to stay in the cache.
constexpr std::size_t kBufferSize = std::size_t{1} << 20;
// A text at least this long (a section's body converted ahead) goes to the file
// straight, after what is buffered: copying it into the buffer first would cost the
// writing thread more than the one extra system call.
constexpr std::size_t kDirectWrite = std::size_t{64} << 10;

// The longest file name that file systems commonly take, in bytes.
constexpr std::size_t kNameLimit = 255;
// What the name adds to the output's: the dot before it, ".lexiform-" and the random
// characters that CreateUnique appends.
constexpr std::size_t kAddedLength = 1 + 10 + 8;

// A hidden name beside the output that says whose it is. An output name near the limit
// is cut short in it, or the document could not be written where its name fits.
std::string UnfinishedPrefix(const std::string& target) {
  return "." + NamePart(target).substr(0, kNameLimit - kAddedLength) + ".lexiform-";
}

// Note [interrupts after the replace]
// Once the finished document has been renamed into place, the run has succeeded, and
// its status must say so: an interrupt that arrives from just before the rename to the
// exit no longer ends the process. Should the rename fail, the interrupt held back
// takes effect as it would have. To make that moment testable, a test sets
// LEXIFORM_TEST_SIGNAL_AFTER_REPLACE to a signal number, which the program then sends
// itself right after the rename; nobody else has a reason to set it.
void RaiseTestSignalAfterReplace() {
  if (const char* number = std::getenv("LEXIFORM_TEST_SIGNAL_AFTER_REPLACE")) {
    std::raise(std::atoi(number));
  }
}

// The reason part of a platform error ("Cannot write "x": No space left on device").
std::string ReasonOf(const platform::FileError& error) {
  const std::string text = error.what();
  const std::size_t colon = text.rfind(": ");
  return colon == std::string::npos ? text : text.substr(colon + 2);
}

} // namespace

UnfinishedDocument::UnfinishedDocument(const std::string& outputFileName)
    : outputFileName_(outputFileName), target_(platform::FollowLinks(outputFileName)) {
  try {
    file_ = platform::File::CreateUnique(DirectoryPart(target_), UnfinishedPrefix(target_));
  } catch (const platform::FileError& error) {
    throw DocumentError("Cannot create \"" + outputFileName_ + "\": " + ReasonOf(error));
  }
  platform::RemoveOnInterrupt(file_.Path());
  if (platform::KindOf(target_) == platform::PathKind::Regular) {
    file_.CopyAccessOf(target_);
  }
  buffer_.reserve(kBufferSize);
}

UnfinishedDocument::~UnfinishedDocument() {
  if (committed_) {
    return;
  }
  const std::string path = file_.Path();
  try {
    file_.Close();
  } catch (const platform::FileError&) {
    // It goes anyway.
  }
  platform::RemoveFile(path);
  platform::RemoveOnInterrupt({});
}

void UnfinishedDocument::Fail(const platform::FileError& error) {
  throw DocumentError("Cannot write \"" + outputFileName_ + "\": " + ReasonOf(error));
}

void UnfinishedDocument::Flush() {
  if (buffer_.empty()) {
    return;
  }
  try {
    file_.Write(buffer_.data(), buffer_.size());
  } catch (const platform::FileError& error) {
    Fail(error);
  }
  flushed_ += buffer_.size();
  buffer_.clear();
}

void UnfinishedDocument::Write(std::string_view bytes) {
  if (buffer_.size() + bytes.size() > kBufferSize || bytes.size() >= kDirectWrite) {
    Flush();
    if (bytes.size() >= kDirectWrite) {
      try {
        file_.Write(bytes.data(), bytes.size());
      } catch (const platform::FileError& error) {
        Fail(error);
      }
      flushed_ += bytes.size();
      return;
    }
  }
  buffer_.append(bytes.data(), bytes.size());
}

void UnfinishedDocument::CutBackTo(std::uint64_t length) {
  if (length >= flushed_) {
    buffer_.resize(static_cast<std::size_t>(length - flushed_));
    return;
  }
  buffer_.clear();
  try {
    file_.Truncate(length);
  } catch (const platform::FileError& error) {
    Fail(error);
  }
  flushed_ = length;
}

void UnfinishedDocument::Commit() {
  Flush();
  const std::string path = file_.Path();
  // See Note [interrupts after the replace].
  platform::HoldInterrupts();
  try {
    file_.Close();
    platform::MoveFileOver(path, target_);
  } catch (const platform::FileError& error) {
    platform::ReleaseInterrupts();
    Fail(error);
  }
  committed_ = true;
  platform::RemoveOnInterrupt({});
  RaiseTestSignalAfterReplace();
}

void StandardOutputDocument::CutBackTo(std::uint64_t length) {
  pending_.resize(static_cast<std::size_t>(length - written_));
}

void StandardOutputDocument::SectionComplete() {
  try {
    platform::WriteStandardOutput(pending_.data(), pending_.size());
  } catch (const platform::FileError& error) {
    throw DocumentError("Cannot write the document to standard output: " + ReasonOf(error));
  }
  written_ += pending_.size();
  pending_.clear();
}

} // namespace lexiform

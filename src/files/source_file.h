#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace lexiform {

// A source file opened for one conversion. Its length is taken when it is opened, and
// no more than that is ever read: a file that grows meanwhile (a log being written, a
// device that never ends) cannot make a run read without bound.
class SourceFile {
public:
  // Throws platform::FileError when the file cannot be opened.
  explicit SourceFile(const std::string& path);

  // The file's length when it was opened.
  std::uint64_t Size() const { return size_; }

  // Reads the file from its start into `buffer`, at most `capacity` bytes and at most
  // Size(); returns how many bytes it holds (fewer when the file has shrunk). Throws
  // platform::FileError on a read error.
  std::size_t ReadInto(char* buffer, std::size_t capacity);

private:
  platform::File file_;
  std::uint64_t size_ = 0;
};

} // namespace lexiform

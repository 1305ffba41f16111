#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
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

// Note [one look at an entry]
// An entry of the list is looked at once, before anything is written: whether it is
// there, whether it can be read, and its size at that moment. The index, its console
// line, its section (or page) and the text read all come from that one look: the text
// is read up to that size, so a file edited meanwhile never shows its new text under
// its old size, nor one size in the index and another in its section, whichever thread
// converts it. A run keeps only the facts of the look, not its open file (a tree of
// thousands of files would run out of descriptors): the file is opened again at its
// turn, and one that can no longer be opened or read then fails as any read does.

// What the look at an entry found.
struct SourceEntry {
  enum class State {
    Present,      // a file: open in `file` when it is regular and not empty
    Missing,      // nothing, or a directory, of that name
    Unsearchable, // a folder on its way cannot be searched: `folder`, `reason`
    Unreadable,   // a regular file that cannot be opened: `reason`
  };
  State state = State::Missing;
  std::uint64_t size = 0; // the length read up to; 0 for anything but a regular file
  std::optional<SourceFile> file;
  std::string folder;
  std::string reason;
};

// Looks at `path` once. Opens only a regular file: a FIFO would wait for a writer and a
// device might never end, so anything else that is not a directory is Present, empty
// and not opened. Throws platform::ResourceError when the system has no more files or
// memory to give, which is no fact about the entry.
SourceEntry LookAtSource(const std::string& path);

} // namespace lexiform

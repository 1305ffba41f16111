#include "files/source_file.h"

#include "files/path_parts.h"

namespace lexiform {

SourceFile::SourceFile(const std::string& path)
    : file_(path, platform::File::Mode::Read), size_(file_.Size()) {}

std::size_t SourceFile::ReadInto(char* buffer, std::size_t capacity) {
  const std::size_t limit = size_ < capacity ? static_cast<std::size_t>(size_) : capacity;
  std::size_t done = 0;
  while (done < limit) {
    const std::size_t got = file_.Read(buffer + done, limit - done);
    if (got == 0) {
      break;
    }
    done += got;
  }
  return done;
}

SourceEntry LookAtSource(const std::string& path) {
  SourceEntry entry;
  const platform::PathFacts facts = platform::ExaminePath(path);
  switch (facts.kind) {
  case platform::PathKind::Missing:
    if (!facts.searchDenied.empty()) {
      entry.state = SourceEntry::State::Unsearchable;
      entry.folder = DirectoryPart(path);
      if (entry.folder.empty()) {
        entry.folder = ".";
      } else if (entry.folder.size() > 1 && platform::EndsDirectoryPart(entry.folder.back())) {
        entry.folder.pop_back();
      }
      entry.reason = facts.searchDenied;
    }
    return entry;
  case platform::PathKind::Directory:
    return entry;
  case platform::PathKind::Other:
    entry.state = SourceEntry::State::Present;
    return entry;
  case platform::PathKind::Regular:
    break;
  }
  entry.state = SourceEntry::State::Present;
  entry.size = facts.size;
  if (facts.size == 0) {
    return entry;
  }
  try {
    entry.file.emplace(path);
    entry.size = entry.file->Size();
  } catch (const platform::ResourceError&) {
    throw;
  } catch (const platform::FileError& error) {
    entry.state = SourceEntry::State::Unreadable;
    entry.file.reset();
    const std::string text = error.what();
    const std::size_t colon = text.rfind(": ");
    entry.reason = colon == std::string::npos ? text : text.substr(colon + 2);
  }
  return entry;
}

} // namespace lexiform

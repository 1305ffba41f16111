#include "files/source_file.h"

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

} // namespace lexiform

#include "convert/memory_stream.h"

#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "platform/platform.h"

namespace lexiform {
namespace {

constexpr std::size_t kTailRoom = TMemoryStream::kTailRoom;

// Room for the file's bytes and the zero bytes after them; throws when the file
// cannot be held in this process's address space at all.
std::size_t InitialCapacity(std::uint64_t fileSize, const std::string& path) {
  if (fileSize >= std::numeric_limits<std::size_t>::max() - kTailRoom) {
    throw platform::FileError("File too large to load: " + path);
  }
  return static_cast<std::size_t>(fileSize) + kTailRoom;
}

} // namespace

void TMemoryStream::LoadFromFile(const std::string& path) {
  platform::File file(path, platform::File::Mode::Read);
  // The size is only a first guess: the file may change while it is read.
  ByteBlock block(InitialCapacity(platform::FileSize(path), path));
  std::size_t size = 0;
  for (;;) {
    const std::size_t room = block.Capacity() - kTailRoom - size;
    if (room > 0) {
      const std::size_t got = file.Read(block.Data() + size, room);
      if (got == 0) {
        break;
      }
      size += got;
      continue;
    }
    // The block is full: look for more bytes before growing it, so that a file whose
    // size was guessed right is held without any spare capacity.
    char probe[65536];
    const std::size_t got = file.Read(probe, sizeof probe);
    if (got == 0) {
      break;
    }
    if (block.Capacity() > std::numeric_limits<std::size_t>::max() / 2) {
      throw std::bad_alloc();
    }
    block.Resize(block.Capacity() + block.Capacity() / 2 + got);
    std::memcpy(block.Data() + size, probe, got);
    size += got;
  }
  Adopt(std::move(block), size);
}

void TMemoryStream::SaveToFile(const std::string& path) const {
  platform::File file(path, platform::File::Mode::CreateTruncate);
  if (size_ > 0) {
    file.Write(Memory(), size_);
  }
  file.Close();
}

void TMemoryStream::LoadFromBytes(std::string_view bytes) {
  ByteBlock block(bytes.size() + kTailRoom);
  if (!bytes.empty()) {
    std::memcpy(block.Data(), bytes.data(), bytes.size());
  }
  Adopt(std::move(block), bytes.size());
}

void TMemoryStream::Clear() noexcept {
  block_.Reset();
  size_ = 0;
  position_ = 0;
}

void TMemoryStream::Adopt(ByteBlock block, std::size_t size) {
  if (block.Capacity() < size + kTailRoom) {
    block.Resize(size + kTailRoom);
  }
  block_ = std::move(block);
  size_ = size;
  position_ = 0;
  std::memset(block_.Data() + size_, 0, kTailRoom);
}

std::size_t TMemoryStream::Read(void* buffer, std::size_t count) {
  const std::size_t available = size_ - position_;
  const std::size_t taken = count < available ? count : available;
  if (taken > 0) {
    std::memcpy(buffer, Memory() + position_, taken);
    position_ += taken;
  }
  return taken;
}

} // namespace lexiform

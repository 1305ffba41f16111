#include "convert/memory_stream.h"

#include <cstring>
#include <utility>

namespace lexiform {

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

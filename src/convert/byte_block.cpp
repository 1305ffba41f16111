#include "convert/byte_block.h"

#include <cstdlib>
#include <new>
#include <utility>

namespace lexiform {

ByteBlock::ByteBlock(std::size_t capacity) {
  Resize(capacity);
}

ByteBlock::~ByteBlock() {
  Reset();
}

ByteBlock::ByteBlock(ByteBlock&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), capacity_(std::exchange(other.capacity_, 0)) {}

ByteBlock& ByteBlock::operator=(ByteBlock&& other) noexcept {
  if (this != &other) {
    Reset();
    data_ = std::exchange(other.data_, nullptr);
    capacity_ = std::exchange(other.capacity_, 0);
  }
  return *this;
}

bool ByteBlock::TryResize(std::size_t capacity) noexcept {
  if (capacity == 0) {
    return false;
  }
  void* grown = std::realloc(data_, capacity);
  if (grown == nullptr) {
    return false;
  }
  data_ = static_cast<char*>(grown);
  capacity_ = capacity;
  return true;
}

void ByteBlock::Resize(std::size_t capacity) {
  if (!TryResize(capacity)) {
    throw std::bad_alloc();
  }
}

void ByteBlock::Reset() noexcept {
  std::free(data_);
  data_ = nullptr;
  capacity_ = 0;
}

} // namespace lexiform

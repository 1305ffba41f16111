#pragma once

#include <cstddef>

namespace lexiform {

// An owned block of raw bytes from std::malloc, released by the destructor. The
// converter's buffers live in such blocks rather than in std::vector or std::string
// because realloc can grow a large block in place or by remapping its pages (glibc
// uses mremap), so growing neither copies the bytes nor holds two copies at once, and
// fresh capacity is never zero-filled: pages that are never written cost no memory.
class ByteBlock {
public:
  ByteBlock() = default;
  // Throws std::bad_alloc when the memory cannot be had.
  explicit ByteBlock(std::size_t capacity);
  ~ByteBlock();
  ByteBlock(ByteBlock&& other) noexcept;
  ByteBlock& operator=(ByteBlock&& other) noexcept;
  ByteBlock(const ByteBlock&) = delete;
  ByteBlock& operator=(const ByteBlock&) = delete;

  char* Data() const { return data_; }
  std::size_t Capacity() const { return capacity_; }
  bool Empty() const { return data_ == nullptr; }

  // Changes the capacity to `capacity` (> 0), keeping the bytes that fit. Returns false
  // and leaves the block as it was when the memory cannot be had.
  bool TryResize(std::size_t capacity) noexcept;
  // The same, but throws std::bad_alloc on failure.
  void Resize(std::size_t capacity);
  // Frees the bytes; the block is empty afterwards.
  void Reset() noexcept;

private:
  char* data_ = nullptr;
  std::size_t capacity_ = 0;
};

} // namespace lexiform

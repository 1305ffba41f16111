#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "convert/byte_block.h"

namespace lexiform {

// An in-memory byte stream: a content of Size() bytes and a read position. A
// non-empty content is always followed by kTailRoom zero bytes that do not belong to
// it, so that a scanner can run over the bytes in place and stop at the first zero,
// and can read a few bytes ahead at once without running off the block.
class TMemoryStream {
public:
  static constexpr std::size_t kTailRoom = 32;

  TMemoryStream() = default;
  virtual ~TMemoryStream() = default;
  TMemoryStream(const TMemoryStream&) = delete;
  TMemoryStream& operator=(const TMemoryStream&) = delete;

  // Replaces the content by a copy of `bytes`; the position goes to the start.
  void LoadFromBytes(std::string_view bytes);
  // Drops the content and releases its memory.
  void Clear() noexcept;
  // Takes `block` as the content, without copying when it has room for `size` +
  // kTailRoom bytes (else it is enlarged first, which may move it): its first `size`
  // bytes become the content. The position goes to the start. Throws std::bad_alloc.
  void Adopt(ByteBlock block, std::size_t size);

  // The content; null when the stream is empty.
  const char* Memory() const { return block_.Data(); }
  std::size_t Size() const { return size_; }
  std::string_view Content() const { return {Memory() == nullptr ? "" : Memory(), size_}; }

  std::size_t Position() const { return position_; }
  // Moves the position, at most to the end.
  void Seek(std::size_t position) { position_ = position < size_ ? position : size_; }
  // Copies up to `count` bytes from the position on into `buffer` and moves the
  // position past them; returns how many were copied, 0 at the end.
  std::size_t Read(void* buffer, std::size_t count);

protected:
  // The content for writing in place; null when the stream is empty.
  char* MutableMemory() { return block_.Data(); }

private:
  ByteBlock block_;
  std::size_t size_ = 0;
  std::size_t position_ = 0;
};

} // namespace lexiform

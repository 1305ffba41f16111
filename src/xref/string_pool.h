#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

namespace lexiform::xref {

// Note [string pool]
// Millions of short names over a large tree: a std::string each cost a heap block for
// every name longer than a few bytes and 32 bytes besides. The names live instead in
// large blocks that never move, so a view of one stays valid as long as the pool,
// wherever the pool itself is moved.
class StringPool {
public:
  std::string_view Add(std::string_view text) {
    if (text.empty()) {
      return {};
    }
    if (blocks_.empty() || capacity_ - used_ < text.size()) {
      capacity_ = std::max(kBlockSize, text.size());
      blocks_.emplace_back(new char[capacity_]); // written before it is read
      used_ = 0;
    }
    char* place = blocks_.back().get() + used_;
    std::memcpy(place, text.data(), text.size());
    used_ += text.size();
    return {place, text.size()};
  }

  // Keeps `other`'s texts too: views of them stay valid as long as this pool.
  void Absorb(StringPool&& other) {
    for (auto& block : other.blocks_) {
      blocks_.insert(blocks_.end() - (blocks_.empty() ? 0 : 1), std::move(block));
    }
    other.blocks_.clear();
    other.used_ = other.capacity_ = 0;
  }

private:
  static constexpr std::size_t kBlockSize = std::size_t{1} << 16;
  std::vector<std::unique_ptr<char[]>> blocks_;
  std::size_t used_ = 0;
  std::size_t capacity_ = 0;
};

} // namespace lexiform::xref

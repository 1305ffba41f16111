#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>

#include "xref/pascal_tokens.h"

namespace lexiform::xref {

// Note [flat name tables]
// The names of a scope, of a type's members or of a unit, each to a symbol. A large
// tree has hundreds of thousands of these tables and millions of names in them: a node
// map spent a heap block on every name and a bucket array besides, more than the names
// and symbols themselves, and its lookups walked lists. These tables keep their names
// in one array with open addressing, and an empty table holds no memory at all.
class NameTable {
public:
  struct Entry {
    NameKey first = 0;        // the name; 0 marks a free slot
    std::uint32_t second = 0; // its symbol
  };
  using iterator = Entry*;
  using const_iterator = const Entry*;

  NameTable() = default;
  NameTable(const NameTable& other) { *this = other; }
  NameTable(NameTable&& other) noexcept { *this = std::move(other); }
  NameTable& operator=(NameTable&& other) noexcept {
    slots_ = std::move(other.slots_);
    capacity_ = std::exchange(other.capacity_, 0);
    count_ = std::exchange(other.count_, 0);
    return *this;
  }
  NameTable& operator=(const NameTable& other) {
    if (this != &other) {
      slots_ = other.capacity_ == 0 ? nullptr : std::make_unique<Entry[]>(other.capacity_);
      std::copy(other.slots_.get(), other.slots_.get() + other.capacity_, slots_.get());
      capacity_ = other.capacity_;
      count_ = other.count_;
    }
    return *this;
  }
  ~NameTable() = default;

  std::size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }

  // Not found is the null entry, as `end()` gives it.
  iterator end() { return nullptr; }
  const_iterator end() const { return nullptr; }

  const_iterator find(NameKey key) const {
    if (count_ == 0) {
      return nullptr;
    }
    const Entry& slot = slots_[SlotOf(Stored(key))];
    return slot.first == 0 ? nullptr : &slot;
  }
  iterator find(NameKey key) { return const_cast<iterator>(std::as_const(*this).find(key)); }
  std::size_t count(NameKey key) const { return find(key) == nullptr ? 0 : 1; }

  // The entry of `key`, made with `symbol` when there was none; and whether it was made.
  std::pair<iterator, bool> emplace(NameKey key, std::uint32_t symbol) {
    key = Stored(key);
    if ((count_ + 1) * 4 > capacity_ * 3) {
      Rehash(capacity_ == 0 ? kFirstCapacity : capacity_ * 2);
    }
    Entry& slot = slots_[SlotOf(key)];
    if (slot.first != 0) {
      return {&slot, false};
    }
    slot = Entry{key, symbol};
    ++count_;
    return {&slot, true};
  }

  // Room for `names` names without growing.
  void reserve(std::size_t names) {
    std::size_t capacity = kFirstCapacity;
    while (names * 4 > capacity * 3) {
      capacity *= 2;
    }
    if (capacity > capacity_) {
      Rehash(capacity);
    }
  }

  // Calls `visit(name, symbol)` for every entry, in no particular order.
  template <typename Visit> void ForEach(const Visit& visit) const {
    for (std::size_t i = 0; i < capacity_; ++i) {
      if (slots_[i].first != 0) {
        visit(slots_[i].first, slots_[i].second);
      }
    }
  }

private:
  static constexpr std::size_t kFirstCapacity = 4;
  // A name whose key is 0 would look like a free slot: it is kept under another key,
  // which a second name shares no more often than any two names share a key.
  static constexpr NameKey kZeroKey = 0x9E3779B97F4A7C15u;
  static NameKey Stored(NameKey key) { return key == 0 ? kZeroKey : key; }

  // The slot that holds `key`, or the free one where it belongs.
  std::size_t SlotOf(NameKey key) const {
    const std::size_t mask = capacity_ - 1;
    std::size_t i = static_cast<std::size_t>(key ^ (key >> 29)) & mask;
    while (slots_[i].first != key && slots_[i].first != 0) {
      i = (i + 1) & mask;
    }
    return i;
  }

  void Rehash(std::size_t capacity) {
    std::unique_ptr<Entry[]> old = std::exchange(slots_, std::make_unique<Entry[]>(capacity));
    const std::size_t oldCapacity = std::exchange(capacity_, static_cast<std::uint32_t>(capacity));
    for (std::size_t i = 0; i < oldCapacity; ++i) {
      if (old[i].first != 0) {
        slots_[SlotOf(old[i].first)] = old[i];
      }
    }
  }

  std::unique_ptr<Entry[]> slots_;
  std::uint32_t capacity_ = 0; // a power of two, or 0
  std::uint32_t count_ = 0;
};

} // namespace lexiform::xref

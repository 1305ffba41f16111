#include "driver/convert_ahead.h"

#include <algorithm>
#include <cstdlib>
#include <exception>

#include "convert/text_sink.h"
#include "document/entry_conversion.h"
#include "driver/options.h"
#include "files/source_file.h"

namespace lexiform {

namespace {

std::optional<ConvertedEntry> ConvertEntryAhead(const std::string& path, const SourceEntry& look,
                                                std::size_t number, const TEntryFormat& format,
                                                std::string storage) {
  if (look.state != SourceEntry::State::Present || look.size == 0 ||
      look.size > ConvertAhead::kMaxAheadSource) {
    return std::nullopt; // missing, empty, unreadable or large: the writer's own
  }
  try {
    StringSink body(std::move(storage));
    ConvertEntry(path, look.size, number, format, body);
    return ConvertedEntry{look.size, body.Take()};
  } catch (const std::exception&) {
    return std::nullopt; // the writer tries again and reports what it meets
  }
}

} // namespace

ConvertAhead::ConvertAhead(const std::vector<std::string>& fileList,
                           const std::vector<SourceEntry>& looks, const TEntryFormat& format,
                           unsigned workers)
    : ConvertAhead(fileList.size(), workers,
                   [&fileList, &looks, &format](std::size_t index, std::string storage) {
                     return ConvertEntryAhead(fileList[index], looks[index], index + 1, format,
                                              std::move(storage));
                   }) {}

ConvertAhead::ConvertAhead(std::size_t entryCount, unsigned workers, AheadConverter convert,
                           std::vector<bool> alone)
    : convert_(std::move(convert)), slots_(workers > 0 ? entryCount : 0), alone_(std::move(alone)),
      maxSpare_(2 * std::size_t{workers}) {
  try {
    for (unsigned i = 0; i < workers && i < entryCount; ++i) {
      workers_.emplace_back([this] { Work(); });
    }
  } catch (const std::exception&) {
    // No more threads to be had: the ones that started serve, or the writer alone.
    if (workers_.empty()) {
      slots_.clear();
    }
  }
}

ConvertAhead::~ConvertAhead() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  for (std::thread& worker : workers_) {
    worker.join();
  }
}

std::optional<ConvertedEntry> ConvertAhead::Take(std::size_t index) {
  if (index >= slots_.size()) {
    return std::nullopt;
  }
  std::unique_lock<std::mutex> lock(mutex_);
  if (writerAt_ != index) {
    writerAt_ = index;
    changed_.notify_all(); // workers held back to stay near the writer may go on
  }
  changed_.wait(lock, [&] { return slots_[index].done; });
  std::optional<ConvertedEntry> entry = std::move(slots_[index].entry);
  slots_[index].entry.reset();
  if (entry) {
    inFlight_ -= entry->body.capacity();
  }
  lock.unlock();
  changed_.notify_all();
  return entry;
}

void ConvertAhead::Recycle(std::string body) {
  if (slots_.empty() || body.capacity() == 0 || body.capacity() > kMaxRecycled) {
    return;
  }
  const std::lock_guard<std::mutex> lock(mutex_);
  if (spare_.size() < maxSpare_) {
    spare_.push_back(std::move(body));
  }
}

bool ConvertAhead::RoomForMore() const {
  return inFlight_ < kInFlightBytes || !spare_.empty();
}

bool ConvertAhead::IsAlone(std::size_t index) const {
  return index < alone_.size() && alone_[index];
}

bool ConvertAhead::AllClaimed() const {
  return nextToClaim_ >= slots_.size() && waiting_.empty();
}

// The next entry to convert, in list order but for the entries converted alone: one
// that meets another in hand waits for it, while the entries after it go on. Nothing
// when every entry left must wait.
std::optional<std::size_t> ConvertAhead::Claim() {
  if (!aloneInHand_ && !waiting_.empty()) {
    aloneInHand_ = true;
    const std::size_t index = waiting_.front();
    waiting_.pop_front();
    return index;
  }
  while (nextToClaim_ < slots_.size()) {
    const std::size_t index = nextToClaim_;
    const bool alone = IsAlone(index);
    if (!alone || !aloneInHand_) {
      if (index >= writerAt_ + kMostAhead) {
        return std::nullopt;
      }
      ++nextToClaim_;
      aloneInHand_ = aloneInHand_ || alone;
      return index;
    }
    waiting_.push_back(index);
    ++nextToClaim_;
  }
  return std::nullopt;
}

void ConvertAhead::Work() {
  for (;;) {
    std::size_t index = 0;
    std::string storage;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      std::optional<std::size_t> claimed;
      changed_.wait(lock, [&] {
        if (stopping_ || AllClaimed()) {
          return true;
        }
        if (!RoomForMore()) {
          return false;
        }
        claimed = Claim();
        return claimed.has_value();
      });
      if (!claimed) {
        return;
      }
      index = *claimed;
      if (!spare_.empty()) {
        storage = std::move(spare_.back());
        spare_.pop_back();
      }
    }
    std::optional<ConvertedEntry> entry = convert_(index, std::move(storage));
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      if (entry) {
        inFlight_ += entry->body.capacity(); // the memory it holds, not only its text
      }
      slots_[index].entry = std::move(entry);
      slots_[index].done = true;
      if (IsAlone(index)) {
        aloneInHand_ = false;
      }
    }
    changed_.notify_all();
  }
}

unsigned WorkerCount() {
  const unsigned hardware = std::max(std::thread::hardware_concurrency(), 1u);
  // More threads than this only cost memory and switching: the writer is the bottleneck
  // long before.
  const unsigned most = std::min(4 * hardware, kMostThreads);
  if (const char* text = std::getenv("LEXIFORM_THREADS")) {
    const std::optional<std::int32_t> threads = ParseInteger(text);
    if (threads && *threads >= 1) {
      return std::min(static_cast<unsigned>(*threads), most) - 1;
    }
  }
  return hardware;
}

} // namespace lexiform

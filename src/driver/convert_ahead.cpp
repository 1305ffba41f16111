#include "driver/convert_ahead.h"

#include <cstdlib>
#include <exception>

#include "convert/text_sink.h"
#include "driver/entry_conversion.h"
#include "driver/options.h"
#include "files/file_size.h"

namespace lexiform {

namespace {

// An entry of a document: converted ahead unless the writer is to stream it.
std::optional<std::string> PrepareEntry(const std::string& path, std::size_t index,
                                        const TEntryFormat& format, std::string storage) {
  const std::uint64_t size = GetFileSizeBytes(path);
  if (size == 0 || size > ConvertAhead::kMaxAheadSource) {
    return std::nullopt; // missing, empty or large: the writer's own
  }
  try {
    StringSink body(std::move(storage));
    ConvertEntry(path, index + 1, format, body);
    return body.Take();
  } catch (const std::exception&) {
    return std::nullopt; // the writer tries again and reports what it meets
  }
}

} // namespace

ConvertAhead::ConvertAhead(const std::vector<std::string>& fileList, const TEntryFormat& format,
                           unsigned workers)
    : ConvertAhead(
          fileList.size(),
          [&fileList, &format](std::size_t index, std::string storage) {
            return PrepareEntry(fileList[index], index, format, std::move(storage));
          },
          workers) {}

ConvertAhead::ConvertAhead(std::size_t count, Work work, unsigned workers)
    : work_(std::move(work)), slots_(workers > 0 ? count : 0), maxSpare_(2 * std::size_t{workers}) {
  try {
    for (unsigned i = 0; i < workers && i < count; ++i) {
      workers_.emplace_back([this] { RunWorker(); });
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

std::optional<std::string> ConvertAhead::Take(std::size_t index) {
  if (index >= slots_.size()) {
    return std::nullopt;
  }
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return slots_[index].done; });
  std::optional<std::string> body = std::move(slots_[index].body);
  slots_[index].body.reset();
  if (body) {
    inFlight_ -= body->capacity();
  }
  lock.unlock();
  changed_.notify_all();
  return body;
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

void ConvertAhead::RunWorker() {
  for (;;) {
    std::size_t index = 0;
    std::string storage;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock,
                    [&] { return stopping_ || inFlight_ < kInFlightBytes || !spare_.empty(); });
      if (stopping_ || nextToClaim_ >= slots_.size()) {
        return;
      }
      index = nextToClaim_++;
      if (!spare_.empty()) {
        storage = std::move(spare_.back());
        spare_.pop_back();
      }
    }
    std::optional<std::string> body = work_(index, std::move(storage));
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      if (body) {
        inFlight_ += body->capacity(); // the memory it holds, not only its text
      }
      slots_[index].body = std::move(body);
      slots_[index].done = true;
    }
    changed_.notify_all();
  }
}

unsigned WorkerCount() {
  if (const char* text = std::getenv("LEXIFORM_THREADS")) {
    const std::optional<std::int32_t> threads = ParseInteger(text);
    if (threads && *threads >= 1) {
      return static_cast<unsigned>(*threads - 1);
    }
  }
  const unsigned hardware = std::thread::hardware_concurrency();
  return hardware > 0 ? hardware : 1;
}

} // namespace lexiform

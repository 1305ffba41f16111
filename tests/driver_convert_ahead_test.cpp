// Converting ahead: the writer and the workers wait for each other on one condition,
// so every change must wake every waiter; one woken in the wrong place sleeps on, and
// the run hangs.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "driver/convert_ahead.h"

namespace lexiform {
namespace {

using namespace std::chrono_literals;

// Runs `writer` on a thread of its own and gives what it returns; nothing when it has
// not returned after a while, and the hung thread is then left behind.
std::optional<std::string> WithinAWhile(std::function<std::string()> writer) {
  auto finished = std::make_shared<std::promise<std::string>>();
  std::future<std::string> result = finished->get_future();
  std::thread thread([writer = std::move(writer), finished] { finished->set_value(writer()); });
  if (result.wait_for(30s) != std::future_status::ready) {
    thread.detach();
    return std::nullopt;
  }
  thread.join();
  return result.get();
}

// Entry 0 is slow: it is done only when released. Entry 1's body fills all the room
// for bodies in flight, so that the worker which made it then waits for room.
struct SlowFirstEntry {
  std::mutex mutex;
  std::condition_variable released;
  bool release = false;
  bool fullBodyDone = false;

  std::optional<ConvertedEntry> Convert(std::size_t index) {
    std::unique_lock<std::mutex> lock(mutex);
    if (index == 0) {
      released.wait(lock, [this] { return release; });
      return ConvertedEntry{4, "slow"};
    }
    if (index == 1) {
      fullBodyDone = true;
      return ConvertedEntry{1, std::string(ConvertAhead::kInFlightBytes, 'x')};
    }
    return ConvertedEntry{1, "x"};
  }
  bool FullBodyDone() {
    const std::lock_guard<std::mutex> lock(mutex);
    return fullBodyDone;
  }
  void Release() {
    {
      const std::lock_guard<std::mutex> lock(mutex);
      release = true;
    }
    released.notify_all();
  }
};

// The writer waits for entry 0 while a worker already waits for room: the worker that
// finishes entry 0 must wake the writer too. Then both workers wait for room when the
// run ends: both must be told to stop. A hang fails the test after a while (its thread
// is left behind).
TEST(ConvertAheadTest, EveryWaiterIsWoken) {
  const auto entries = std::make_shared<SlowFirstEntry>();
  const std::optional<std::string> taken = WithinAWhile([entries] {
    std::string body;
    {
      ConvertAhead ahead(
          4, 2, [entries](std::size_t index, std::string) { return entries->Convert(index); });
      while (!entries->FullBodyDone()) {
        std::this_thread::sleep_for(1ms);
      }
      std::this_thread::sleep_for(100ms); // its worker is waiting for room by now
      std::thread releaser([entries] {
        std::this_thread::sleep_for(100ms); // the writer is waiting for entry 0 by now
        entries->Release();
      });
      const std::optional<ConvertedEntry> first = ahead.Take(0);
      releaser.join();
      body = first ? first->body : "none";
      std::this_thread::sleep_for(100ms); // both workers are waiting for room by now
    }
    return body;
  });
  ASSERT_TRUE(taken) << "the writer or a worker was never woken";
  EXPECT_EQ(*taken, "slow");
}

// Entries 0 and 1 are converted alone, and entry 0 is slow: entry 1 must wait for it,
// while the entries after them are converted meanwhile; every entry reaches the writer
// in order. A hang fails the test after a while.
TEST(ConvertAheadTest, EntriesAloneWaitForEachOtherWhileTheOthersGoOn) {
  struct Entries {
    std::mutex mutex;
    std::condition_variable changed;
    bool release = false;
    int aloneInHand = 0;
    int mostAloneInHand = 0;
    int othersDone = 0;
  };
  const auto entries = std::make_shared<Entries>();
  const std::optional<std::string> taken = WithinAWhile([entries] {
    constexpr std::size_t kCount = 6;
    std::string bodies;
    {
      ConvertAhead ahead(
          kCount, 2,
          [entries](std::size_t index, std::string) {
            std::unique_lock<std::mutex> lock(entries->mutex);
            if (index >= 2) {
              ++entries->othersDone;
              entries->changed.notify_all();
              return std::optional<ConvertedEntry>(ConvertedEntry{1, std::to_string(index)});
            }
            entries->mostAloneInHand = std::max(entries->mostAloneInHand, ++entries->aloneInHand);
            if (index == 0) {
              entries->changed.wait(lock, [&] { return entries->release; });
            }
            --entries->aloneInHand;
            return std::optional<ConvertedEntry>(ConvertedEntry{1, std::to_string(index)});
          },
          {true, true, false, false, false, false});
      {
        std::unique_lock<std::mutex> lock(entries->mutex);
        entries->changed.wait(lock, [&] { return entries->othersDone == kCount - 2; });
        entries->release = true;
      }
      entries->changed.notify_all();
      for (std::size_t i = 0; i < kCount; ++i) {
        const std::optional<ConvertedEntry> entry = ahead.Take(i);
        bodies += entry ? entry->body : "-";
      }
    }
    return bodies;
  });
  ASSERT_TRUE(taken) << "the entries after the ones converted alone were not converted meanwhile";
  EXPECT_EQ(*taken, "012345");
  EXPECT_EQ(entries->mostAloneInHand, 1);
}

} // namespace
} // namespace lexiform

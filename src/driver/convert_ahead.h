#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "document/entry_conversion.h"
#include "files/source_file.h"

namespace lexiform {

// Note [converting ahead]
// One thread, the writer, owns the document and the console and takes the entries
// strictly in list order, so that everything it writes (the document, the console
// lines, their colours, the exit status) is what a run on one thread writes. Worker
// threads meanwhile read and convert the entries after the writer's into memory, in
// list order, and hand each finished body over through the slots below; the writer
// only copies it into the document. What the workers hold at once is bounded
// (kInFlightBytes); an entry whose source is large (kMaxAheadSource) is left to the
// writer, which converts it streaming as on one thread, and so is any entry a worker
// could not convert: the writer then meets the failure itself, at the entry's turn,
// and reports it as it always does. Workers touch no shared state but the slots, and
// the entry format, which nobody changes during a run. See Note [one look at an entry]:
// a body converted ahead is read up to the size of the entry's one look. A site built in
// a new folder goes further: its pages share nothing, so the workers write each page
// whole and the writer only keeps the console in order (see Note [unfinished site]).

// An entry's body converted ahead, and the size its source had when it was read.
struct ConvertedEntry {
  std::uint64_t size = 0;
  std::string body;
};

// Converts entry `index` (from 0) into `storage` (memory to reuse); empty when the
// writer is to convert the entry itself. Called on the worker threads.
using AheadConverter =
    std::function<std::optional<ConvertedEntry>(std::size_t index, std::string storage)>;

class ConvertAhead {
public:
  // At most about this much memory holds converted text that waits for the writer: a
  // few entries' worth keeps the writer busy, and more only costs memory.
  static constexpr std::size_t kInFlightBytes = std::size_t{8} << 20;
  // Sources larger than this are converted by the writer, streaming.
  static constexpr std::uint64_t kMaxAheadSource = std::uint64_t{512} << 10;
  // Written bodies up to this size are kept for their memory, a few per worker: fresh
  // memory costs a page fault per page, which is much of the cost of a conversion.
  static constexpr std::size_t kMaxRecycled = std::size_t{1} << 20;
  // How far past the writer's entry the workers go, whatever the size of what they
  // leave for it: while the writer waits for a long entry, the other workers go on.
  static constexpr std::size_t kMostAhead = 1024;

  // Starts `workers` threads over `fileList` (none: the writer does everything), each
  // entry read up to the size its look (`looks`, by list position) found. Both lists
  // are kept by reference: they must outlive the workers.
  ConvertAhead(const std::vector<std::string>& fileList, const std::vector<SourceEntry>& looks,
               const TEntryFormat& format, unsigned workers);
  // The same over `entryCount` entries that `convert` converts. The entries that
  // `alone` marks (by index; none when it is empty) are converted one at a time: while
  // one of them is in hand, the workers go on with the entries after the next one, and
  // come back to it.
  ConvertAhead(std::size_t entryCount, unsigned workers, AheadConverter convert,
               std::vector<bool> alone = {});
  // Stops the workers (each finishes the entry in hand) and waits for them.
  ~ConvertAhead();
  ConvertAhead(const ConvertAhead&) = delete;
  ConvertAhead& operator=(const ConvertAhead&) = delete;

  // The fixed body of entry `index` (from 0), converted ahead; empty when the writer
  // is to convert the entry itself. Call for each entry in order, once.
  std::optional<ConvertedEntry> Take(std::size_t index);
  // Gives a body back once it is written, so that its memory serves again.
  void Recycle(std::string body);

private:
  struct Slot {
    bool done = false;
    std::optional<ConvertedEntry> entry;
  };

  void Work();
  bool RoomForMore() const;
  bool IsAlone(std::size_t index) const;
  std::optional<std::size_t> Claim();
  bool AllClaimed() const;

  const AheadConverter convert_;
  std::vector<Slot> slots_;
  const std::vector<bool> alone_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t nextToClaim_ = 0;     // every entry before it is claimed, or waits alone
  std::deque<std::size_t> waiting_; // entries to convert alone, passed over in turn
  bool aloneInHand_ = false;
  std::size_t writerAt_ = 0; // the entry the writer takes or waits for
  std::size_t inFlight_ = 0;
  std::vector<std::string> spare_; // written bodies, for their memory
  std::size_t maxSpare_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

// The threads of a run in all, at most: LEXIFORM_THREADS asks for no more.
inline constexpr unsigned kMostThreads = 64;

// How many worker threads a run starts: LEXIFORM_THREADS names the threads in all
// (1: the writer alone, the reference that every other count must match byte for
// byte), at most four per hardware thread and kMostThreads; otherwise one per
// hardware thread.
unsigned WorkerCount();

} // namespace lexiform

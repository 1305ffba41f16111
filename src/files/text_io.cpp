#include "files/text_io.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lexiform {

namespace {

constexpr std::size_t kBufferSize = std::size_t{1} << 20;
constexpr char kCtrlZ = '\x1A';
// Beyond this the buffer grows by doubling only, whatever the file's size says.
constexpr std::uint64_t kMaxHintedGrowth = std::uint64_t{1} << 30;

constexpr std::uint64_t kOnes = 0x0101010101010101u;
constexpr std::uint64_t kHighBits = 0x8080808080808080u;

// Non-zero when one of the eight bytes of `word` is zero. Borrows can only set high
// bits above a real zero byte, so a non-zero result is never a false alarm.
constexpr std::uint64_t HasZeroByte(std::uint64_t word) {
  return (word - kOnes) & ~word & kHighBits;
}

bool IsLineStop(char c) {
  return c == '\n' || c == '\r' || c == kCtrlZ;
}

#if defined(__SSE2__)
// Index of the lowest set bit of a non-zero mask (g++ and clang both have the builtin).
unsigned CountTrailingZeros(unsigned mask) {
  return static_cast<unsigned>(__builtin_ctz(mask));
}
#endif

// The first LF, CR or Ctrl-Z in [from, to), or `to`. Text lines are mostly plain
// bytes, so the search looks at many bytes at a time: sixteen with SSE2 (every x86-64
// processor, and the 32-bit Windows build asks for it), else eight in a machine word.
const char* FindLineStop(const char* from, const char* to) {
  const char* p = from;
#if defined(__SSE2__)
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i ctrlZ = _mm_set1_epi8(kCtrlZ);
  while (to - p >= 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i hits =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, lf), _mm_cmpeq_epi8(bytes, cr)),
                     _mm_cmpeq_epi8(bytes, ctrlZ));
    const auto mask = static_cast<unsigned>(_mm_movemask_epi8(hits));
    if (mask != 0) {
      return p + CountTrailingZeros(mask);
    }
    p += 16;
  }
#endif
  while (to - p >= 8) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    if (HasZeroByte(word ^ (kOnes * '\n')) | HasZeroByte(word ^ (kOnes * '\r')) |
        HasZeroByte(word ^ (kOnes * static_cast<unsigned char>(kCtrlZ)))) {
      break;
    }
    p += 8;
  }
  while (p < to && !IsLineStop(*p)) {
    ++p;
  }
  return p;
}

} // namespace

TextLineReader::TextLineReader(const std::string& path)
    : file_(path, platform::File::Mode::Read), buffer_(new char[kBufferSize]), data_(buffer_.get()),
      capacity_(kBufferSize), sizeHint_(platform::FileSize(path)) {}

// All of the text is there from the start, so Fill() never runs and nothing is copied.
TextLineReader::TextLineReader(std::string_view text)
    : data_(text.data()), capacity_(text.size()), end_(text.size()), atEof_(true) {}

bool TextLineReader::Fill() {
  if (atEof_) {
    return false;
  }
  if (pos_ > 0) {
    std::memmove(buffer_.get(), data_ + pos_, end_ - pos_);
    end_ -= pos_;
    pos_ = 0;
  }
  if (end_ == capacity_) {
    // A line longer than the buffer: it is read whole, so the buffer grows, at once
    // to hold the rest of the file when that is known, since every growth copies.
    std::size_t larger = capacity_ * 2;
    const std::uint64_t rest = sizeHint_ > bytesRead_ ? sizeHint_ - bytesRead_ : 0;
    if (rest < kMaxHintedGrowth && end_ + rest + 1 > larger) {
      larger = end_ + static_cast<std::size_t>(rest) + 1;
    }
    std::unique_ptr<char[]> grown(new char[larger]);
    std::memcpy(grown.get(), data_, end_);
    buffer_ = std::move(grown);
    data_ = buffer_.get();
    capacity_ = larger;
  }
  const std::size_t got = file_.Read(buffer_.get() + end_, capacity_ - end_);
  if (got == 0) {
    atEof_ = true;
    return false;
  }
  end_ += got;
  bytesRead_ += got;
  return true;
}

void TextLineReader::ConsumeLineEnd() {
  const char first = data_[pos_++];
  if (first != '\r') {
    return;
  }
  if (pos_ < end_) {
    if (data_[pos_] == '\n') {
      ++pos_;
    }
  } else {
    // The LF of a CR LF may still be in the file: decide when the next line starts.
    skipLf_ = true;
  }
}

bool TextLineReader::SkipRestOfLine() {
  for (;;) {
    const char* begin = data_ + pos_;
    const char* end = data_ + end_;
    const char* stop = FindLineStop(begin, end);
    while (stop != end && *stop == kCtrlZ) {
      stop = FindLineStop(stop + 1, end);
    }
    if (stop != end) {
      pos_ = static_cast<std::size_t>(stop - data_);
      ConsumeLineEnd();
      return true;
    }
    pos_ = end_;
    if (!Fill()) {
      return false;
    }
  }
}

bool TextLineReader::NextLine(std::string_view& line) {
  if (finished_) {
    return false;
  }
  if (skipRestOfLine_) {
    skipRestOfLine_ = false;
    if (!SkipRestOfLine()) {
      finished_ = true;
      return false;
    }
  }
  if (skipLf_) {
    skipLf_ = false;
    if ((pos_ < end_ || Fill()) && data_[pos_] == '\n') {
      ++pos_;
    }
  }
  std::size_t scanned = 0; // bytes after pos_ known to hold no line stop
  for (;;) {
    const char* begin = data_ + pos_;
    const char* end = data_ + end_;
    const char* stop = FindLineStop(begin + scanned, end);
    if (stop != end) {
      const auto length = static_cast<std::size_t>(stop - begin);
      if (*stop == kCtrlZ) {
        if (length == 0) {
          finished_ = true;
          endedByCtrlZ_ = true;
          return false;
        }
        skipRestOfLine_ = true;
        line = std::string_view(begin, length);
        pos_ += length + 1;
        return true;
      }
      line = std::string_view(begin, length);
      pos_ += length;
      ConsumeLineEnd();
      return true;
    }
    scanned = end_ - pos_;
    if (!Fill()) {
      finished_ = true;
      if (scanned == 0) {
        return false;
      }
      line = std::string_view(data_ + pos_, scanned);
      pos_ = end_;
      return true;
    }
  }
}

BufferedFileWriter::BufferedFileWriter(const std::string& path, platform::File::Mode mode)
    : BufferedFileWriter(platform::File(path, mode)) {}

BufferedFileWriter::BufferedFileWriter(platform::File file) : file_(std::move(file)) {
  buffer_.reserve(kBufferSize);
}

BufferedFileWriter::~BufferedFileWriter() {
  try {
    Close();
  } catch (const platform::FileError&) {
    // Only reached while another failure is already on its way, or when the caller
    // did not care; Close() is where a caller sees write errors.
  }
}

void BufferedFileWriter::Flush() {
  if (!buffer_.empty()) {
    file_.Write(buffer_.data(), buffer_.size());
    buffer_.clear();
  }
}

void BufferedFileWriter::Write(std::string_view text) {
  if (buffer_.size() + text.size() > kBufferSize) {
    Flush();
    if (text.size() >= kBufferSize) {
      file_.Write(text.data(), text.size());
      return;
    }
  }
  buffer_.append(text.data(), text.size());
}

void BufferedFileWriter::WriteLine(std::string_view text) {
  Write(text);
  Write("\r\n");
}

void BufferedFileWriter::Close() {
  if (!file_.IsOpen()) {
    return;
  }
  try {
    Flush();
  } catch (...) {
    buffer_.clear();
    file_ = platform::File();
    throw;
  }
  file_.Close();
}

} // namespace lexiform

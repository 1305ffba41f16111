// The text-line reader and the entity fix-up pass where the text reaches past the
// reader's first buffer: the input is put behind a padding of nearly the buffer's
// size, so its line ends are split between two reads and its lines make the buffer
// grow. Apart from that as the fixup target (see fixup_check.h). A run costs a
// megabyte of text, so this target has one of its own instead of slowing the other.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fixup_check.h"

namespace {

// The reader's buffer size (files/text_io.cpp).
constexpr std::size_t kReaderBuffer = std::size_t{1} << 20;

// The first byte chooses where the rest starts, up to 63 bytes before the end of the
// first buffer, and whether the padding is one long line or lines of 100 bytes (which
// fill the buffer without making it grow).
std::string PaddedInput(std::string_view data) {
  const auto tag = data.empty() ? 0u : static_cast<unsigned char>(data[0]);
  std::string padded(kReaderBuffer - tag % 64, 'p');
  if (tag & 0x80) {
    for (std::size_t i = 99; i < padded.size(); i += 100) {
      padded[i] = '\n';
    }
  }
  if (!data.empty()) {
    padded.append(data.substr(1));
  }
  return padded;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  lexiform::fuzz::CheckFixup(
      PaddedInput(std::string_view(reinterpret_cast<const char*>(data), size)));
  return 0;
}

// The entity fix-up of a text that arrives in pieces, as the converter hands its
// output on: wherever the pieces are cut (inside a CR LF, inside an entity, right
// after a Ctrl-Z), the result is that of fixing the text whole. The first bytes of
// the input choose the cuts; the rest is the text, which also goes through the checks
// of the fixup target (see fixup_check.h).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fixup_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lexiform;
  std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t cutBytes = input.empty() ? 0 : static_cast<unsigned char>(input[0]) % 8;
  if (input.size() < 1 + cutBytes) {
    return 0;
  }
  const std::string_view cuts = input.substr(1, cutBytes);
  const std::string text(input.substr(1 + cutBytes));
  fuzz::CheckFixup(text);

  StringSink sink;
  FixedTextWriter writer(sink);
  std::size_t done = 0;
  for (const char cut : cuts) {
    const std::size_t length = static_cast<unsigned char>(cut) % 17;
    const std::size_t take = length < text.size() - done ? length : text.size() - done;
    writer.Write(std::string_view(text).substr(done, take));
    done += take;
  }
  writer.Write(std::string_view(text).substr(done));
  writer.Finish();
  FUZZ_CHECK(sink.Text() == fuzz::FixedWhole(text), "pieces give another text than the whole");
  return 0;
}

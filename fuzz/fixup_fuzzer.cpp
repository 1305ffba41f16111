// The text-line reader and the entity fix-up pass on the input as it is. See
// fixup_check.h for what is checked.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fixup_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  lexiform::fuzz::CheckFixup(std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}

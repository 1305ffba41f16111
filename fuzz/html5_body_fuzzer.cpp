// The HTML5 body of a file at any bytes: the first byte chooses line numbers (its low
// bit) and the code page of text that is not UTF-8, the rest is the source. See
// html5_body_check.h for what is checked.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "convert/text_sink.h"
#include "document/entry_conversion.h"
#include "document/html5_document.h"
#include "fuzz_support.h"
#include "html5_body_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lexiform;
  if (size == 0) {
    return -1;
  }
  const bool numbered = (data[0] & 1u) != 0;
  const std::string anchor = "f-a-0123abcd";
  const TEntryFormat format =
      Html5Format(numbered ? LineNumbering::Yes : LineNumbering::No,
                  static_cast<CodePage>((data[0] >> 1) % kCodePageCount), {anchor});
  const std::string_view source(reinterpret_cast<const char*>(data) + 1, size - 1);
  StringSink body;
  ConvertEntryText(source, 1, format, body);
  const std::string fault =
      check::Html5BodyFault(source, format.SourcePage, body.Text(), numbered, anchor);
  FUZZ_CHECK(fault.empty(), fault << "\nsource " << fuzz::Printable(source) << "\nbody "
                                  << fuzz::Printable(body.Text(), 400));
  return 0;
}

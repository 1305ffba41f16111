#pragma once

#include <string>
#include <string_view>

#include "convert/text_sink.h"
#include "document/style_config.h"

namespace lexiform {

// The body of an entry's section: its source read (never past the length it had when
// opened), converted with the run's styles, and fixed, into `body` piece by piece, so
// that memory stays near the size of the source. An empty file gives no body. Throws
// whatever reading or converting throws, and whatever `body` throws.
void ConvertEntry(const std::string& path, const TStyleConfig& config, TextSink& body);

// The same for a source that is already in memory (standard input).
void ConvertEntryText(std::string_view source, const TStyleConfig& config, TextSink& body);

} // namespace lexiform

#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "convert/code_pages.h"
#include "convert/pas_conversion.h"
#include "convert/text_sink.h"
#include "convert/token_kind.h"
#include "document/entry_format.h"
#include "document/site_pages.h"
#include "files/source_file.h"

namespace lexiform {

// The body of entry `number` (counting from 1) of the file list, the file `path`: its
// first `size` bytes (its size when it was looked at, see Note [one look at an entry];
// fewer when it has shrunk since) converted in `format`, and fixed, into `body` piece
// by piece, so that memory stays near the size of the source. A size of 0 gives no body
// and opens nothing. Throws platform::FileError when the file cannot be opened or read,
// whatever converting throws (std::bad_alloc or ConversionError when memory runs out),
// and whatever `body` throws.
void ConvertEntry(const std::string& path, std::uint64_t size, std::size_t number,
                  const TEntryFormat& format, TextSink& body);

// The same for a source that is already in memory (standard input).
void ConvertEntryText(std::string_view source, std::size_t number, const TEntryFormat& format,
                      TextSink& body);

// The body of a page of its own: `text`, already UTF-8, converted in `format` (HTML5,
// numbered) with `insertions` written where they belong.
void ConvertPageText(std::string_view text, PageInsertions insertions, const TEntryFormat& format,
                     TextSink& body);

// The text of a source as a page shows it: no more than `size` bytes of it (its size
// when it was checked, so that its size and its text agree), as UTF-8. Throws
// platform::FileError when it cannot be opened or read.
std::string ReadPageText(SourceFile& source, std::uint64_t size, CodePage page);
std::string ReadPageText(const std::string& path, std::uint64_t size, CodePage page);

} // namespace lexiform

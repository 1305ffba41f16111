#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "convert/code_pages.h"
#include "convert/text_sink.h"
#include "convert/token_kind.h"
#include "document/style_config.h"
#include "files/source_file.h"

namespace lexiform {

// How every entry's body of a run is written: made once per run and only read after,
// by the writer and the worker threads alike.
struct TEntryFormat {
  // The markup of each token kind: the configuration's, or the HTML5 classes.
  std::array<TStyle, kTokenKindCount> TokenStyles;
  // An HTML5 body: the source as UTF-8 (decoded from SourcePage when it is not UTF-8),
  // the code in one "<pre><code>" line with the first source line.
  bool Html5 = false;
  CodePage SourcePage = kDefaultCodePage;
  // A number and an anchor on every source line: in the gutter of an HTML5 document,
  // else "<a name="File_N_L7"></a>" and the number in LineNumberStyle.
  bool LineNumbers = false;
  TStyle LineNumberStyle;
  // HTML5: each entry's anchor, by list position (from 0); the line ids start with it.
  std::vector<std::string> Anchors;
};

// The format of a document as the configuration alone makes it, without the switches.
TEntryFormat ClassicFormat(const TStyleConfig& config);

// The body of entry `number` (counting from 1) of the file list: its source read (never
// past the length it had when opened), converted in `format`, and fixed, into `body`
// piece by piece, so that memory stays near the size of the source. An empty file
// gives no body. Throws whatever reading or converting throws (std::bad_alloc or
// ConversionError when memory runs out), and whatever `body` throws.
void ConvertEntry(SourceFile& source, std::size_t number, const TEntryFormat& format,
                  TextSink& body);

// The same for a source that is already in memory (standard input).
void ConvertEntryText(std::string_view source, std::size_t number, const TEntryFormat& format,
                      TextSink& body);

} // namespace lexiform

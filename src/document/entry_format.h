#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "convert/code_pages.h"
#include "convert/token_kind.h"
#include "document/html5_document.h"
#include "document/style_config.h"

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
  // None for pages of their own, whose line ids are "L<N>".
  std::vector<std::string> Anchors;
  // HTML5: what stands for the converter's frame around the code (a page of a site has
  // its own).
  std::string_view CodeStart = kHtml5CodeStart;
  std::string_view CodeEnd = kHtml5CodeEnd;
};

// The format of a document as the configuration alone makes it, without the switches.
TEntryFormat ClassicFormat(const TStyleConfig& config);

} // namespace lexiform

#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "convert/code_pages.h"
#include "convert/token_kind.h"
#include "document/style_config.h"

namespace lexiform {

// Note [line framing]
// The converter writes an entry's code as lines: its opening frame
// (TPasConversion::kOpeningFrameLines lines), the source's lines, and its closing frame
// (from the line TPasConversion::kClosingFrameLine on). Each kind of body frames those
// lines its own way: the classic document keeps the converter's frame, an HTML5
// document and a site's page put their own in its place and UTF-8 text between; lines
// may carry a number and an anchor. The entry's writer finds the lines (see
// SourceLineWriter) and asks the kind's LineFraming what to write around them, so
// that the writer never asks which kind it has and a new kind is one new LineFraming.

// The entry whose lines are framed.
struct FramedEntry {
  std::size_t number = 0;    // in the file list, from 1
  std::size_t lineCount = 0; // its source's lines, when CountsLines()
};

class LineFraming {
public:
  virtual ~LineFraming() = default;

  // Whether the converter's lines are the body as they are: nothing is numbered or
  // reframed, so the writer hands them on without looking at them.
  virtual bool Verbatim() const = 0;
  // Whether the source is made UTF-8 (see TextToUtf8) before it is converted.
  virtual bool RecodesToUtf8() const = 0;
  // Whether StartLine needs FramedEntry::lineCount.
  virtual bool CountsLines() const = 0;

  // Appends what opens the code; `converterFrame` is the converter's opening frame,
  // each line with its CR LF.
  virtual void OpenCode(std::string& out, std::string_view converterFrame) const = 0;
  // Appends what closes the code; `converterFrame` is what the converter wrote from its
  // closing line on, each line with its CR LF (nothing, when a Ctrl-Z ended the text).
  virtual void CloseCode(std::string& out, std::string_view converterFrame) const = 0;
  // Appends what stands before line `line` (from 1) of the source, and after it (before
  // its CR LF). Called once per line of every source: append, never return a string.
  virtual void StartLine(std::string& out, const FramedEntry& entry, std::size_t line) const = 0;
  virtual void EndLine(std::string& out) const = 0;
};

// How every entry's body of a run is written: made once per run and only read after,
// by the writer and the worker threads alike.
struct TEntryFormat {
  // The markup of each token kind: the configuration's, or the HTML5 classes.
  std::array<TStyle, kTokenKindCount> TokenStyles;
  // What the sources are written in, where the body is recoded to UTF-8.
  CodePage SourcePage = kDefaultCodePage;
  // See Note [line framing]; the classic document's without numbers unless set.
  std::shared_ptr<const LineFraming> Framing;

  TEntryFormat();
};

enum class LineNumbering { No, Yes };

// The formats of the kinds of body, each made in the file of its layout.
//
// The classic document's: the configuration's markup, and with numbering
// "<a name="File_N_L7"></a>" and the number in its LineNumber style before each line.
TEntryFormat ClassicFormat(const TStyleConfig& config, LineNumbering numbering = LineNumbering::No,
                           CodePage sourcePage = kDefaultCodePage);
// An HTML5 document's: UTF-8, the HTML5 classes, the code in one "<pre><code>" line with
// the first source line; with numbering each line has the id "<anchor>-L<N>", where
// `anchors` holds each entry's anchor by list position.
TEntryFormat Html5Format(LineNumbering numbering, CodePage sourcePage,
                         std::vector<std::string> anchors);
// A site page's: as HTML5, always numbered, line N with the id "L<N>", in the page's own
// code block.
TEntryFormat SitePageFormat(CodePage sourcePage);

} // namespace lexiform

#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "convert/text_sink.h"

namespace lexiform {

// The last step of a conversion (see Note [entity markers]): the converted text, cut
// into lines as TextLines cuts them, with every "&" escaped as "&amp;" and every
// "&lt;" or "&gt;" that the converter marked restored without its marker; each line
// goes to the sink followed by CR LF.
//
// The text may arrive in pieces cut anywhere: a line is fixed once it is whole.
class FixedTextWriter {
public:
  explicit FixedTextWriter(TextSink& output);
  ~FixedTextWriter();
  FixedTextWriter(const FixedTextWriter&) = delete;
  FixedTextWriter& operator=(const FixedTextWriter&) = delete;

  void Write(std::string_view piece);
  // Fixes and writes what is left: a last line without a line end.
  void Finish();

private:
  void WriteLines(std::string_view text);
  void WriteFixedLine(std::string_view line);

  TextSink& output_;
  std::string pending_; // the unfinished last line of the pieces so far
  bool ended_ = false;  // a Ctrl-Z at the start of a line ended the text
  std::unique_ptr<char[]> scratch_;
};

// The whole of `text`, fixed, into `output`.
void FixEntities(std::string_view text, TextSink& output);

} // namespace lexiform

#pragma once

#include <cstddef>
#include <string_view>

namespace lexiform {

// Cuts a text in memory into lines, by the rules the program reads every text with: a
// line ends at CR LF, at LF or at a lone CR; a last line without a line end is still a
// line. A byte 0x1A (Ctrl-Z) at the start of a line ends the text; inside a line it
// ends the line, and the rest of that line up to its line end is skipped.
class TextLines {
public:
  // `text` must outlive the cutter.
  explicit TextLines(std::string_view text) : text_(text) {}

  // Puts the next line, without its line end, into `line`; false at the end.
  bool Next(std::string_view& line);

  // Whether a Ctrl-Z at the start of a line ended the text.
  bool EndedByCtrlZ() const { return endedByCtrlZ_; }

private:
  // Steps over the line end at pos_ (a CR, an LF or a CR LF).
  void SkipLineEnd();

  std::string_view text_;
  std::size_t pos_ = 0;
  bool finished_ = false;
  bool endedByCtrlZ_ = false;
};

// How many lines TextLines cuts `text` into.
std::size_t CountLines(std::string_view text);

// The first LF, CR or Ctrl-Z in [from, to), or `to`.
const char* FindLineStop(const char* from, const char* to);

} // namespace lexiform

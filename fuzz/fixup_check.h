#pragma once

// The line cutter and the entity fix-up over the input; used by the fixup and
// fixup_boundary fuzz targets.
//
// Checked: the cutter gives the lines that a plain reading of the line rules gives; and
// after FixEntities every "&" of the text is an "&amp;" made from an "&" of the input,
// or the "&" of an "&lt;"/"&gt;" whose marker the input had and the output dropped;
// every line ends with CR LF; there is at most one line more than the input has line
// ends; the bytes equal those of a slow reimplementation (split the lines, turn every
// "&" into "&amp;", then restore the marked entities).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "convert/entity_fixup.h"
#include "convert/text_lines.h"
#include "convert/token_kind.h"
#include "fuzz_support.h"

namespace lexiform::fuzz {

inline constexpr char kCtrlZ = '\x1A';

// The first CR or LF (or Ctrl-Z, when asked) at or after `from`, or text.size(). A
// plain loop: the library's searches for a set of bytes call memchr for every byte.
inline std::size_t FindStop(std::string_view text, std::size_t from, bool ctrlZ) {
  for (; from < text.size(); ++from) {
    const char c = text[from];
    if (c == '\r' || c == '\n' || (ctrlZ && c == kCtrlZ)) {
      break;
    }
  }
  return from;
}

// The lines of `text` by the reading rules: a line ends at CR LF, LF or a lone CR; a
// Ctrl-Z at the start of a line ends the text, inside a line it ends the line and the
// rest up to the line end is dropped; a last line without line end still counts.
inline std::vector<std::string_view> ReferenceLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t at = 0;
  while (at < text.size() && text[at] != kCtrlZ) {
    std::size_t stop = FindStop(text, at, true);
    lines.push_back(text.substr(at, stop - at));
    if (stop < text.size() && text[stop] == kCtrlZ) {
      stop = FindStop(text, stop, false);
    }
    at = stop;
    if (at < text.size()) {
      at += text.substr(at, 2) == "\r\n" ? 2 : 1;
    }
  }
  return lines;
}

inline std::size_t CountLineEnds(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) {
      ++count;
    }
  }
  return count;
}

// Replaces every `from` by `to`, left to right. (What the pass replaces cannot be
// formed anew by a replacement, so this is the same as replacing the leftmost one as
// long as there is one.)
inline std::string ReplaceEach(const std::string& line, const std::string& from,
                               const std::string& to) {
  std::string result;
  std::size_t done = 0;
  for (std::size_t at = line.find(from); at != std::string::npos; at = line.find(from, done)) {
    result.append(line, done, at - done);
    result += to;
    done = at + from.size();
  }
  result.append(line, done, std::string::npos);
  return result;
}

// The pass as a slow rewrite of each line: every "&" becomes "&amp;", then every
// "&amp;lt;" or "&amp;gt;" followed by the marker goes back to "&lt;" or "&gt;".
inline std::string ReferenceFix(const std::vector<std::string_view>& lines) {
  std::string fixed;
  for (std::string_view line : lines) {
    if (line.find('&') == std::string_view::npos) {
      fixed += line;
    } else {
      const std::string escaped = ReplaceEach(std::string(line), "&", "&amp;");
      const std::string lt = ReplaceEach(escaped, std::string("&amp;lt;") + EntityMarker, "&lt;");
      fixed += ReplaceEach(lt, std::string("&amp;gt;") + EntityMarker, "&gt;");
    }
    fixed += "\r\n";
  }
  return fixed;
}

inline bool IsMarkedEntity(std::string_view text, std::size_t at) {
  const std::string_view entity = text.substr(at, 5);
  return entity.size() == 5 && entity[4] == EntityMarker &&
         (entity.substr(0, 4) == "&lt;" || entity.substr(0, 4) == "&gt;");
}

// Walks one input line and its fixed form side by side: every byte but "&" is kept,
// a marked entity loses its marker, every other "&" becomes "&amp;".
inline void CheckFixedLine(std::string_view in, std::string_view out, std::size_t number) {
  std::size_t o = 0;
  auto expect = [&](std::string_view expected, std::size_t inputAt) {
    FUZZ_CHECK(out.substr(o, expected.size()) == expected,
               "line " << number << ", input byte " << inputAt << ": expected "
                       << Printable(expected) << ", output " << Printable(out.substr(o, 16)));
    o += expected.size();
  };
  std::size_t i = 0;
  while (i < in.size()) {
    const std::size_t amp = std::min(in.find('&', i), in.size());
    expect(in.substr(i, amp - i), i);
    if (amp == in.size()) {
      break;
    }
    if (IsMarkedEntity(in, amp)) {
      expect(in.substr(amp, 4), amp);
      i = amp + 5;
    } else {
      expect("&amp;", amp);
      i = amp + 1;
    }
  }
  FUZZ_CHECK(o == out.size(), "line " << number << " has extra bytes " << Printable(out.substr(o)));
}

// The fixed text of `input`, whole.
inline std::string FixedWhole(std::string_view input) {
  StringSink sink;
  FixEntities(input, sink);
  return sink.Take();
}

inline void CheckFixup(const std::string& input) {
  const std::vector<std::string_view> expectedLines = ReferenceLines(input);
  {
    TextLines reader(input);
    std::string_view line;
    std::size_t count = 0;
    while (reader.Next(line)) {
      FUZZ_CHECK(count < expectedLines.size(), "extra line " << count << ": " << Printable(line));
      FUZZ_CHECK(line == expectedLines[count], "line " << count << ": " << Printable(line)
                                                       << ", expected "
                                                       << Printable(expectedLines[count]));
      ++count;
    }
    FUZZ_CHECK(count == expectedLines.size(), count << " lines, expected " << expectedLines.size());
    FUZZ_CHECK(!reader.Next(line), "a line after the end");
  }

  const std::string fixed = FixedWhole(input);

  // Every line ends with CR LF, and no other CR or LF is left.
  FUZZ_CHECK(fixed.empty() || fixed.substr(fixed.size() - 2) == "\r\n", "no CR LF at the end");
  std::vector<std::string_view> fixedLines;
  for (std::size_t start = 0; start < fixed.size();) {
    const std::size_t end = fixed.find("\r\n", start);
    const std::string_view line = std::string_view(fixed).substr(start, end - start);
    FUZZ_CHECK(FindStop(line, 0, false) == line.size(),
               "a bare CR or LF in output line " << fixedLines.size());
    fixedLines.push_back(line);
    start = end + 2;
  }
  FUZZ_CHECK(fixedLines.size() <= CountLineEnds(input) + 1,
             fixedLines.size() << " lines from " << CountLineEnds(input) << " line ends");
  FUZZ_CHECK(fixedLines.size() == expectedLines.size(),
             fixedLines.size() << " fixed lines, expected " << expectedLines.size());
  for (std::size_t i = 0; i < fixedLines.size(); ++i) {
    CheckFixedLine(expectedLines[i], fixedLines[i], i);
  }
  FUZZ_CHECK(fixed == ReferenceFix(expectedLines), "the fixed text differs from the reference");
}

} // namespace lexiform::fuzz

#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "convert/token_kind.h"
#include "document/style_config.h"

namespace lexiform {

// The pieces of an HTML5 document, in the order they are written:
//   Html5DocumentStart, Html5Index,
//   for each file with a section: Html5SectionStart, then for a file that is not empty
//     kHtml5CodeStart, its converted lines (each through AppendNumberedLine with
//     "-lines"), kHtml5CodeEnd; then kHtml5SectionEnd; or, for a file whose conversion
//     failed, Html5FailedSection;
//   Html5DocumentEnd.
// The converter's own "<pre>", "<code>", "</code>" and "</pre>" lines are left out:
// kHtml5CodeStart and kHtml5CodeEnd stand for them, so that the code starts on its
// first line. Every piece ends with CR LF; names are shown in UTF-8 (read as the
// sources are, see TextToUtf8) and escaped.

// The markup of each token kind: one CSS class per styled kind ("<span class="k">"
// for keywords and so on); identifiers, blanks and unknown bytes stand bare.
std::array<TStyle, kTokenKindCount> Html5TokenStyles();

// The built-in stylesheet: a light and a dark theme (prefers-color-scheme), a code
// block per file that scrolls sideways by itself, the line-number gutter.
std::string_view Html5BuiltInStyleSheet();

// From the doctype to "<body>". `styleSheet` goes into the <style> element as it is;
// empty means the built-in stylesheet. The title is the output name.
std::string Html5DocumentStart(std::string_view outputName, std::string_view styleSheet);

// A file's anchor: "f-", a slug of the path's last component (its ASCII letters in
// lower case and digits, every other run of bytes as one "-", at most its last 32
// characters) and "-" with the eight hex digits of a 32-bit FNV-1a hash of the path's
// bytes as the list holds them (UTF-8), with the platform's separator made "/": the
// same path gives the same anchor on every platform; paths that differ otherwise, in
// letter case or directory too, give different ones (short of a hash collision
// between like names). Only "a"-"z", "0"-"9" and "-", so it is an id and a
// URL fragment as it is.
std::string FileAnchor(std::string_view path);

// The anchors of a file list, by position: FileAnchor of each path, and for a path
// that stands in the list more than once (in any of its separators), "-2", "-3" ... after the
// anchor of its second, third ... place, so that every section's id is unique.
std::vector<std::string> FileAnchors(const std::vector<std::string>& fileList);

// What the index says of an entry.
enum class Html5FileState { Present, Missing, Unreadable };

struct Html5IndexEntry {
  std::string path;
  std::string anchor;
  std::string sizeText;
  Html5FileState state = Html5FileState::Present;
};

// The index (id "index"), one item per entry in list order; an item links to its
// section only when the file is present, a missing or unreadable file is marked so.
std::string Html5Index(const std::vector<Html5IndexEntry>& entries);

// Opens the section of one file: its id, its path, its size text and a link back to
// the index.
std::string Html5SectionStart(std::string_view path, std::string_view anchor,
                              std::string_view sizeText);

inline constexpr std::string_view kHtml5CodeStart = "<pre><code>";
inline constexpr std::string_view kHtml5CodeEnd = "</code></pre>\r\n";
inline constexpr std::string_view kHtml5SectionEnd = "</section>\r\n";

std::string Html5DocumentEnd();

// Appends one converted line (without its line end) to `text`, with the id
// "<anchor>-L<number>" to link to ("L<number>" when the anchor is empty: a page of its
// own):
//   <span class="line" id="A-L7">LINE</span>
// The stylesheet numbers the lines of a code block with a counter, in a gutter that is
// not text of the page and so is not copied with the code: number the lines of a file
// from 1 without gaps. Appends rather than returns: it runs once per line of every source.
void AppendNumberedLine(std::string& text, std::string_view anchor, std::size_t lineNumber,
                        std::string_view convertedLine);

// The same in two halves, for a line written in pieces: what stands before the line,
// and kNumberedLineEnd after it.
void AppendNumberedLineStart(std::string& text, std::string_view anchor, std::size_t lineNumber);
inline constexpr std::string_view kNumberedLineEnd = "</span>";

// What stands in place of the section of a file whose conversion failed, so that the
// index's link to it still lands: the section's heading under the same id, marked as
// not read, and `reason`.
std::string Html5FailedSection(std::string_view path, std::string_view anchor,
                               std::string_view reason);

// What "-lines" puts before line `lineNumber` of file `fileNumber` in a document that
// is not HTML5: the anchor "<a name="File_N_L7"></a>", then the number in `style`,
// padded with blanks on the left to `width` digits.
std::string LineNumberPrefix(std::size_t fileNumber, std::size_t lineNumber, std::size_t width,
                             const TStyle& style);

} // namespace lexiform

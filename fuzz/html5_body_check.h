#pragma once

// The body of one file in an HTML5 document against its source; used by the html5_body
// fuzz target and by the tests of the entry's conversion.
//
// Checked: the body is kHtml5CodeStart, lines each ended by CR LF, kHtml5CodeEnd; its
// markup is only the elements the program writes there, every one closed, properly
// nested, and none open across a line end but "pre" and "code"; with line numbers every
// line is one "line" element, numbered from 1 without gaps (an empty last line, the one
// after the source's last line end, has none), without them there is none; "&" only
// starts "&amp;", "&lt;" or "&gt;", and no ">" stands outside a tag; and the text, markup
// stripped and entities decoded, is the source as TextToUtf8 gives it (control bytes as
// their pictures) with its line ends made CR LF, and one CR LF more.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "convert/code_pages.h"
#include "convert/utf8_text.h"
#include "document/html5_document.h"

namespace lexiform::check {

// `text` with every CR LF, lone CR and lone LF made CR LF.
inline std::string WithCrLf(std::string_view text) {
  std::string result;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
        ++i;
      }
      result += "\r\n";
    } else {
      result += text[i];
    }
  }
  return result;
}

// What is wrong with `body`, the HTML5 body of `source` read in `page` (numbered under
// `anchor` when `numbered`); empty when nothing is.
inline std::string Html5BodyFault(std::string_view source, CodePage page, std::string_view body,
                                  bool numbered, std::string_view anchor) {
  const std::string expected = WithCrLf(TextToUtf8(std::string(source), page));
  if (source.empty()) {
    return body.empty() ? "" : "an empty source has a body";
  }
  if (body.substr(0, kHtml5CodeStart.size()) != kHtml5CodeStart) {
    return "the body does not start with the code";
  }
  if (body.size() < kHtml5CodeStart.size() + kHtml5CodeEnd.size() ||
      body.substr(body.size() - kHtml5CodeEnd.size()) != kHtml5CodeEnd) {
    return "the body does not end with the code's end";
  }
  body = body.substr(kHtml5CodeStart.size(),
                     body.size() - kHtml5CodeStart.size() - kHtml5CodeEnd.size());
  const auto at = [](std::size_t offset) {
    return " at body offset " + std::to_string(offset + kHtml5CodeStart.size());
  };
  const std::string lineTag = "<span class=\"line\" id=\"" + std::string(anchor) + "-L";
  std::vector<std::string> open; // the element names open inside the code
  std::string text;
  std::size_t lines = 0;         // line elements so far
  bool lineStart = true;         // nothing of the line yet
  bool lastLineNumbered = false; // the line being read has its line element
  for (std::size_t i = 0; i < body.size();) {
    const char c = body[i];
    if (c == '\r' || c == '\n') {
      if (body.substr(i, 2) != "\r\n") {
        return "a CR or LF that is no CR LF" + at(i);
      }
      if (!open.empty()) {
        return "<" + open.back() + "> open across a line end" + at(i);
      }
      if (numbered && !lastLineNumbered && !(lineStart && i + 2 == body.size())) {
        return "a line without its number" + at(i);
      }
      text += "\r\n";
      i += 2;
      lineStart = true;
      lastLineNumbered = false;
      continue;
    }
    if (c == '<') {
      const std::size_t end = body.find('>', i);
      if (end == std::string_view::npos) {
        return "a tag without its end" + at(i);
      }
      const std::string_view tag = body.substr(i, end + 1 - i);
      if (tag.substr(0, 2) == "</") {
        const std::string_view name = tag.substr(2, tag.size() - 3);
        if (open.empty() || open.back() != name) {
          return "</" + std::string(name) + "> closes nothing open" + at(i);
        }
        open.pop_back();
      } else if (tag.substr(0, lineTag.size()) == lineTag) {
        if (!numbered || !lineStart || !open.empty()) {
          return "a line element where none belongs" + at(i);
        }
        if (tag != lineTag + std::to_string(++lines) + "\">") {
          return std::string(tag) + " is not line " + std::to_string(lines) + at(i);
        }
        open.emplace_back("span");
        lastLineNumbered = true;
      } else if (tag.size() == 16 && tag.substr(0, 13) == "<span class=\"" &&
                 std::string_view("kcdnsoa").find(tag[13]) != std::string_view::npos &&
                 tag.substr(14) == "\">") {
        if (numbered && open.empty()) {
          return "a token outside the line element" + at(i);
        }
        open.emplace_back("span");
      } else {
        return "a tag the program does not write: " + std::string(tag) + at(i);
      }
      i = end + 1;
      lineStart = false;
      continue;
    }
    if (numbered && open.empty()) {
      return "text outside the line element" + at(i);
    }
    if (c == '>') {
      return "a bare \">\"" + at(i);
    }
    if (c == '&') {
      bool known = false;
      for (const auto& [entity, character] :
           {std::pair<std::string_view, char>{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}}) {
        if (body.substr(i, entity.size()) == entity) {
          text += character;
          i += entity.size();
          known = true;
          break;
        }
      }
      if (!known) {
        return "an \"&\" that starts no entity" + at(i);
      }
    } else {
      text += c;
      ++i;
    }
    lineStart = false;
  }
  if (!open.empty()) {
    return "<" + open.back() + "> open at the end";
  }
  if (!lineStart) {
    return "the last line has no line end";
  }
  // A source that is no text at all (a byte-order mark alone) may leave out even the
  // empty last line.
  if (text != expected + "\r\n" && !(expected.empty() && text.empty())) {
    return "the text is not the source's: body text of " + std::to_string(text.size()) +
           " bytes, source text of " + std::to_string(expected.size());
  }
  return "";
}

} // namespace lexiform::check

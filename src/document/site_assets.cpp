#include "document/site_assets.h"

#include <cstddef>

#include "convert/utf8_text.h"

namespace lexiform {
namespace {

// The style sheet and the script are files of their own, assets/site.css and
// assets/site.js, built into the program as kStyleSheet and kScript (see
// src/document/CMakeLists.txt). See Note [site markup].
//
// site.css: the colours are those of the HTML5 document, so that a file looks the same
// in both. Line numbers are generated content (a counter drawn by .line::before), which
// a selection does not copy. The search list floats over the page under its box; an
// empty list takes no room.
//
// site.js: plain script: the search box, the folder that holds a link's target, the
// width of the line-number gutter, and links to a line from its number. The file list
// comes from files.js through a <script> element, never through fetch or XHR, which
// pages opened from disk may not use.
#include "site_asset_texts.inc"

constexpr char kHexDigits[] = "0123456789abcdef";

void AppendUnicodeEscape(std::string& text, unsigned value) {
  text += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) {
    text += kHexDigits[(value >> shift) & 0xFu];
  }
}

// The length of the UTF-8 sequence that `lead` starts, 1 for a byte that starts none.
std::size_t SequenceLength(unsigned char lead) {
  if (lead >= 0xF0) {
    return 4;
  }
  if (lead >= 0xE0) {
    return 3;
  }
  return lead >= 0xC0 ? 2 : 1;
}

} // namespace

const std::vector<SiteAsset>& SiteStaticAssets() {
  static const std::vector<SiteAsset> assets = {{"site.css", kStyleSheet}, {"site.js", kScript}};
  return assets;
}

// `text` as a JSON string. Besides what JSON needs, "<" and ">" are escaped, so that the
// data can never close or open markup in a script element, and U+2028 and U+2029, which
// older scripts read as line ends. A byte that is not part of well-formed UTF-8 becomes
// U+FFFD, so that every reader of the file sees the same characters.
void AppendJsonString(std::string& json, std::string_view text) {
  json += '"';
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x80) {
      if (byte == '"' || byte == '\\') {
        json += '\\';
        json += static_cast<char>(byte);
      } else if (byte < 0x20 || byte == 0x7F || byte == '<' || byte == '>') {
        AppendUnicodeEscape(json, byte);
      } else {
        json += static_cast<char>(byte);
      }
      ++i;
      continue;
    }
    const std::string_view sequence = text.substr(i, SequenceLength(byte));
    if (sequence.size() < 2 || !IsValidUtf8(sequence)) {
      AppendUnicodeEscape(json, 0xFFFD);
      ++i;
    } else if (sequence == "\xE2\x80\xA8" || sequence == "\xE2\x80\xA9") {
      AppendUnicodeEscape(json, sequence.back() == '\xA8' ? 0x2028 : 0x2029);
      i += sequence.size();
    } else {
      json += sequence;
      i += sequence.size();
    }
  }
  json += '"';
}

// One [url, path] pair a line, assigned to the global that site.js reads once the
// script element it adds has loaded.
std::string SiteSearchData(const std::vector<SiteSearchEntry>& files) {
  std::string text = "window.lexiformSiteFiles = [\n";
  for (std::size_t i = 0; i < files.size(); ++i) {
    text += '[';
    AppendJsonString(text, files[i].url);
    text += ',';
    AppendJsonString(text, files[i].path);
    text += i + 1 < files.size() ? "],\n" : "]\n";
  }
  text += "];\n";
  return text;
}

} // namespace lexiform

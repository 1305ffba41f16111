#include "document/html5_document.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <map>

#include "convert/utf8_text.h"
#include "document/html_escape.h"
#include "files/path_parts.h"
#include "platform/platform.h"

namespace lexiform {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr const char* kUpLink = "<a class=\"up\" href=\"#index\">&uarr; Files</a>";

// Light theme first; the dark one takes over where the reader's system asks for it.
// The code scrolls sideways inside its own block, so one long line never widens the
// page. The line numbers are generated content (a CSS counter drawn by .line::before),
// which a selection does not copy; user-select keeps them from looking selected.
constexpr std::string_view kBuiltInStyleSheet = R"(:root {
  color-scheme: light dark;
  --bg: #fdfdfb; --fg: #1f2328; --muted: #6e7781; --rule: #d0d7de; --code-bg: #f6f8fa;
  --link: #0b57d0; --target: #fff2a8;
  --k: #0033b3; --c: #5f7a5f; --d: #9a4d00; --n: #b31d28; --s: #067d17; --o: #6f42c1;
  --a: #00727a;
}
@media (prefers-color-scheme: dark) {
  :root {
    --bg: #0d1117; --fg: #e6edf3; --muted: #8b949e; --rule: #30363d; --code-bg: #161b22;
    --link: #58a6ff; --target: #3b2f00;
    --k: #ff7b72; --c: #8b949e; --d: #d2a8ff; --n: #79c0ff; --s: #a5d6ff; --o: #ffa657;
    --a: #7ee787;
  }
}
html { background: var(--bg); color: var(--fg); }
body { margin: 0; padding: 1rem 1.5rem; font: 15px/1.5 system-ui, sans-serif; }
a { color: var(--link); }
h1 { font-size: 1.25rem; margin: 0 0 .5rem; overflow-wrap: anywhere; }
h2 { font-size: 1rem; font-weight: normal; margin: 0 0 .5rem; overflow-wrap: anywhere; }
h2 .name { font-weight: bold; }
.size, .state { color: var(--muted); font-size: .875em; }
.up { font-size: .875em; margin-left: 1em; }
#index ol { padding-left: 2.5em; }
#index li { overflow-wrap: anywhere; }
.missing, .unreadable { color: var(--muted); }
section { border-top: 1px solid var(--rule); padding-top: 1rem; margin-top: 1.5rem; }
pre {
  overflow-x: auto; margin: 0; padding: .75rem 1rem; background: var(--code-bg);
  border-radius: 6px; font: 13px/1.45 ui-monospace, Menlo, Consolas, "DejaVu Sans Mono", monospace;
  tab-size: 8;
}
:target { scroll-margin-top: 2rem; }
.line:target { background: var(--target); }
pre code { counter-reset: line; }
.line { counter-increment: line; }
.line::before {
  content: counter(line); display: inline-block; min-width: 4ch; margin-right: 2ch;
  text-align: right; color: var(--muted); user-select: none; -webkit-user-select: none;
}
.k { color: var(--k); font-weight: bold; }
.c { color: var(--c); font-style: italic; }
.d { color: var(--d); }
.n { color: var(--n); }
.s { color: var(--s); }
.o { color: var(--o); }
.a { color: var(--a); }
)";

// A name from the file system or the command line, as the document shows it.
std::string ShownText(std::string_view text) {
  return HtmlEscape(TextToUtf8(std::string(text)));
}

std::string Span(std::string_view cssClass) {
  return "<span class=\"" + std::string(cssClass) + "\">";
}

// The path, its name part marked for the stylesheet (bold in the built-in one).
std::string ShownPath(std::string_view path) {
  const std::string text(path);
  return ShownText(DirectoryPart(text)) + Span("name") + ShownText(NamePart(text)) + "</span>";
}

std::uint32_t Fnv1a32(std::string_view bytes) {
  std::uint32_t hash = 2166136261u;
  for (const char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 16777619u;
  }
  return hash;
}

std::string Hex8(std::uint32_t value) {
  constexpr char kDigits[] = "0123456789abcdef";
  std::string hex(8, '0');
  for (std::size_t i = 8; i-- > 0; value >>= 4) {
    hex[i] = kDigits[value & 0xFu];
  }
  return hex;
}

// The slug is made from the path's last component only: the anchor stands in the id of
// every line of a numbered file, and the hash tells the directories apart.
std::string Slug(std::string_view path) {
  constexpr std::size_t kMaxSlug = 32;
  const std::size_t nameStart = path.find_last_of("/\\:");
  if (nameStart != std::string_view::npos) {
    path.remove_prefix(nameStart + 1);
  }
  std::string slug;
  for (const char c : path) {
    const bool digit = c >= '0' && c <= '9';
    const bool lower = c >= 'a' && c <= 'z';
    const bool upper = c >= 'A' && c <= 'Z';
    if (digit || lower) {
      slug += c;
    } else if (upper) {
      slug += static_cast<char>(c - 'A' + 'a');
    } else if (!slug.empty() && slug.back() != '-') {
      slug += '-';
    }
  }
  // Keep the end, with the extension, when the name is long.
  if (slug.size() > kMaxSlug) {
    slug.erase(0, slug.size() - kMaxSlug);
  }
  const std::size_t first = slug.find_first_not_of('-');
  const std::size_t last = slug.find_last_not_of('-');
  return first == std::string::npos ? std::string() : slug.substr(first, last - first + 1);
}

std::string IndexItem(const Html5IndexEntry& entry) {
  switch (entry.state) {
  case Html5FileState::Present:
    return "<li><a href=\"#" + entry.anchor + "\">" + ShownPath(entry.path) + "</a> " +
           Span("size") + ShownText(entry.sizeText) + "</span></li>";
  case Html5FileState::Missing:
    return "<li class=\"missing\">" + ShownPath(entry.path) + " " + Span("state") +
           "(missing)</span></li>";
  case Html5FileState::Unreadable:
    return "<li class=\"unreadable\">" + ShownPath(entry.path) + " " + Span("state") +
           "(could not be read)</span></li>";
  }
  return {};
}

} // namespace

std::array<TStyle, kTokenKindCount> Html5TokenStyles() {
  std::array<TStyle, kTokenKindCount> styles;
  const auto set = [&styles](TTokenKind kind, std::string_view cssClass) {
    styles[static_cast<std::size_t>(kind)] = {Span(cssClass), "</span>"};
  };
  set(TTokenKind::Assembler, "a");
  set(TTokenKind::Comment, "c");
  set(TTokenKind::Directive, "d");
  set(TTokenKind::Keyword, "k");
  set(TTokenKind::Number, "n");
  set(TTokenKind::String, "s");
  set(TTokenKind::Symbol, "o");
  return styles;
}

std::string_view Html5BuiltInStyleSheet() {
  return kBuiltInStyleSheet;
}

std::string Html5DocumentStart(std::string_view outputName, std::string_view styleSheet) {
  const std::string title = ShownText(outputName);
  std::string sheet(styleSheet.empty() ? kBuiltInStyleSheet : styleSheet);
  if (!sheet.empty() && sheet.back() != '\n') {
    sheet += kCrLf;
  }
  std::string text;
  for (const std::string_view line :
       {std::string_view("<!DOCTYPE html>"), std::string_view("<html lang=\"en\">"),
        std::string_view("<head>"), std::string_view("<meta charset=\"utf-8\">"),
        std::string_view(R"(<meta name="viewport" content="width=device-width, initial-scale=1">)"),
        std::string_view(R"(<meta name="generator" content="Lexiform">)")}) {
    text += line;
    text += kCrLf;
  }
  text += "<title>" + title + "</title>\r\n<style>\r\n";
  // The built-in stylesheet is written with LF; the document's lines end with CR LF.
  for (const char c : sheet) {
    if (c == '\n' && (text.empty() || text.back() != '\r')) {
      text += '\r';
    }
    text += c;
  }
  text += "</style>\r\n</head>\r\n<body>\r\n<h1>" + title + "</h1>\r\n";
  return text;
}

namespace {

// The path as the hash sees it: with "/" for the platform's own separator, so that a
// document made on Windows has the ids of one made on Linux, and "src\a.pas" and
// "src/a.pas" are the same file there.
std::string PortablePath(std::string_view path) {
  std::string portable(path);
  std::replace(portable.begin(), portable.end(), platform::PathSeparator(), '/');
  return portable;
}

} // namespace

std::string FileAnchor(std::string_view path) {
  const std::string slug = Slug(path);
  return "f-" + slug + (slug.empty() ? "" : "-") + Hex8(Fnv1a32(PortablePath(path)));
}

std::vector<std::string> FileAnchors(const std::vector<std::string>& fileList) {
  std::vector<std::string> anchors;
  anchors.reserve(fileList.size());
  std::map<std::string, std::size_t> timesSeen;
  for (const std::string& path : fileList) {
    const std::size_t seen = ++timesSeen[PortablePath(path)];
    anchors.push_back(FileAnchor(path) + (seen > 1 ? "-" + std::to_string(seen) : ""));
  }
  return anchors;
}

std::string Html5Index(const std::vector<Html5IndexEntry>& entries) {
  std::string text = "<nav id=\"index\">\r\n<h2>Files</h2>\r\n<ol>\r\n";
  for (const Html5IndexEntry& entry : entries) {
    text += IndexItem(entry);
    text += kCrLf;
  }
  text += "</ol>\r\n</nav>\r\n";
  return text;
}

std::string Html5SectionStart(std::string_view path, std::string_view anchor,
                              std::string_view sizeText) {
  return "<section id=\"" + std::string(anchor) + "\">\r\n<h2>" + ShownPath(path) + " " +
         Span("size") + ShownText(sizeText) + "</span>" + kUpLink + "</h2>\r\n";
}

std::string Html5DocumentEnd() {
  return "</body>\r\n</html>\r\n";
}

void AppendNumberedLine(std::string& text, std::string_view anchor, std::size_t lineNumber,
                        std::string_view convertedLine) {
  AppendNumberedLineStart(text, anchor, lineNumber);
  text += convertedLine;
  text += kNumberedLineEnd;
}

void AppendNumberedLineStart(std::string& text, std::string_view anchor, std::size_t lineNumber) {
  char digits[24];
  char* const digitsEnd = std::to_chars(std::begin(digits), std::end(digits), lineNumber).ptr;
  text += "<span class=\"line\" id=\"";
  if (!anchor.empty()) {
    text += anchor;
    text += '-';
  }
  text += 'L';
  text.append(digits, static_cast<std::size_t>(digitsEnd - digits));
  text += "\">";
}

std::string Html5FailedSection(std::string_view path, std::string_view anchor,
                               std::string_view reason) {
  return "<section id=\"" + std::string(anchor) + "\">\r\n<h2>" + ShownPath(path) + " " +
         Span("state") + "(could not be read)</span>" + kUpLink + "</h2>\r\n<p class=\"state\">" +
         ShownText(reason) + "</p>\r\n" + std::string(kHtml5SectionEnd);
}

std::string LineNumberPrefix(std::size_t fileNumber, std::size_t lineNumber, std::size_t width,
                             const TStyle& style) {
  const std::string number = std::to_string(lineNumber);
  const std::string padding(width > number.size() ? width - number.size() : 0, ' ');
  return "<a name=\"File_" + std::to_string(fileNumber) + "_L" + number + "\"></a>" + style.Prefix +
         padding + number + style.Suffix;
}

} // namespace lexiform

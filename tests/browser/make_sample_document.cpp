// Writes an HTML5 document with line numbers from the document pieces, for the checks
// of scripts/check-html5.sh and tests/browser/check_document.py until the program
// writes such documents itself:
//   html5_sample_document OUTPUT SOURCE... [-missing NAME]
// Each source is read as the program reads one (TextToUtf8 with windows-1252), converted
// with the HTML5 token styles and its entities fixed as the program fixes them.

#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "convert/pas_conversion.h"
#include "convert/utf8_text.h"
#include "document/html5_document.h"
#include "files/file_size.h"

namespace lexiform {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    throw std::runtime_error("cannot read " + path);
  }
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void ApplyHtml5Styles(TPasConversion& c) {
  const auto styles = Html5TokenStyles();
  const auto set = [&styles](TTokenKind kind, std::string& prefix, std::string& suffix) {
    prefix = styles[static_cast<std::size_t>(kind)].Prefix;
    suffix = styles[static_cast<std::size_t>(kind)].Suffix;
  };
  set(TTokenKind::Assembler, c.AssemblerPrefix, c.AssemblerSuffix);
  set(TTokenKind::Comment, c.CommentPrefix, c.CommentSuffix);
  set(TTokenKind::Directive, c.DirectivePrefix, c.DirectiveSuffix);
  set(TTokenKind::Keyword, c.KeywordPrefix, c.KeywordSuffix);
  set(TTokenKind::Number, c.NumberPrefix, c.NumberSuffix);
  set(TTokenKind::String, c.StringPrefix, c.StringSuffix);
  set(TTokenKind::Symbol, c.SymbolPrefix, c.SymbolSuffix);
}

// "&" escaped, and the "&lt;" and "&gt;" that the converter made kept, less the
// marker after them.
std::string FixEntities(std::string_view line) {
  std::string fixed;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const std::string_view rest = line.substr(i);
    const bool made = rest.size() >= 5 && rest[4] == EntityMarker &&
                      (rest.substr(0, 4) == "&lt;" || rest.substr(0, 4) == "&gt;");
    if (made) {
      fixed += rest.substr(0, 4);
      i += 4;
    } else {
      fixed += line[i] == '&' ? "&amp;" : std::string(1, line[i]);
    }
  }
  return fixed;
}

// The converted lines of a source, fixed, without the converter's <pre> and <code>
// lines around them.
std::vector<std::string> ConvertedLines(const std::string& source) {
  TPasConversion converter;
  ApplyHtml5Styles(converter);
  converter.LoadFromBytes(TextToUtf8(source));
  converter.Convert();
  std::vector<std::string> lines;
  std::istringstream text{std::string(converter.Content())};
  for (std::string line; std::getline(text, line);) {
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    lines.push_back(FixEntities(line));
  }
  const std::vector<std::string> frame = {"<pre>", "<code>", "</code>", "</pre>"};
  if (lines.size() < 4 || lines[0] != frame[0] || lines[1] != frame[1] ||
      lines[lines.size() - 2] != frame[2] || lines.back() != frame[3]) {
    throw std::runtime_error("unexpected converter output");
  }
  return {lines.begin() + 2, lines.end() - 2};
}

int Main(const std::vector<std::string>& arguments) {
  if (arguments.size() < 2) {
    std::cerr << "usage: html5_sample_document OUTPUT SOURCE... [-missing NAME]\n";
    return 2;
  }
  std::vector<std::string> sources;
  std::vector<Html5FileState> states;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const bool missing = arguments[i] == "-missing" && i + 1 < arguments.size();
    sources.push_back(missing ? arguments[++i] : arguments[i]);
    states.push_back(missing ? Html5FileState::Missing : Html5FileState::Present);
  }
  const std::vector<std::string> anchors = FileAnchors(sources);
  std::vector<Html5IndexEntry> index;
  for (std::size_t i = 0; i < sources.size(); ++i) {
    const bool present = states[i] == Html5FileState::Present;
    index.push_back({sources[i], anchors[i], present ? FileSizeText(sources[i]) : "", states[i]});
  }
  std::string document = Html5DocumentStart(arguments[0], "") + Html5Index(index);
  for (std::size_t i = 0; i < sources.size(); ++i) {
    if (states[i] != Html5FileState::Present) {
      continue;
    }
    document += Html5SectionStart(sources[i], anchors[i], index[i].sizeText);
    document += kHtml5CodeStart;
    const std::vector<std::string> lines = ConvertedLines(ReadFile(sources[i]));
    for (std::size_t n = 0; n < lines.size(); ++n) {
      AppendNumberedLine(document, anchors[i], n + 1, lines[n]);
      document += "\r\n";
    }
    document += kHtml5CodeEnd;
    document += kHtml5SectionEnd;
  }
  document += Html5DocumentEnd();
  std::ofstream(arguments[0], std::ios::binary) << document;
  return 0;
}

} // namespace
} // namespace lexiform

int main(int argc, char** argv) {
  try {
    return lexiform::Main(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::exception& error) {
    std::cerr << "html5_sample_document: " << error.what() << "\n";
    return 1;
  }
}

#include "xref/cross_references.h"

#include <algorithm>
#include <map>
#include <optional>

namespace lexiform::xref {

std::string_view SymbolKindName(SymbolKind kind) {
  switch (kind) {
  case SymbolKind::Unit:
    return "unit";
  case SymbolKind::Type:
    return "type";
  case SymbolKind::Class:
    return "class";
  case SymbolKind::Record:
    return "record";
  case SymbolKind::Object:
    return "object";
  case SymbolKind::Interface:
    return "interface";
  case SymbolKind::Enumeration:
    return "enumeration";
  case SymbolKind::EnumValue:
    return "enumeration value";
  case SymbolKind::TypeParameter:
    return "type parameter";
  case SymbolKind::Constant:
    return "constant";
  case SymbolKind::ResourceString:
    return "resourcestring";
  case SymbolKind::Variable:
    return "variable";
  case SymbolKind::ThreadVar:
    return "threadvar";
  case SymbolKind::Field:
    return "field";
  case SymbolKind::Property:
    return "property";
  case SymbolKind::Procedure:
    return "procedure";
  case SymbolKind::Function:
    return "function";
  case SymbolKind::Constructor:
    return "constructor";
  case SymbolKind::Destructor:
    return "destructor";
  case SymbolKind::Operator:
    return "operator";
  case SymbolKind::Parameter:
    return "parameter";
  case SymbolKind::Label:
    return "label";
  }
  return "name";
}

namespace {

// A stand-in binding until the real one comes: declarations after the words that
// introduce them, and every other identifier of the same name (letter case ignored)
// bound to the first of them.
struct Word {
  std::size_t offset = 0;
  std::size_t length = 0;
  std::string lower; // identifiers; a symbol's own character otherwise
  bool identifier = false;
};

bool IsNameStart(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool IsNameChar(char c) {
  return IsNameStart(c) || (c >= '0' && c <= '9');
}

std::vector<Word> Words(const std::string& text) {
  std::vector<Word> words;
  std::size_t i = 0;
  const auto skipTo = [&](std::string_view end) {
    const std::size_t at = text.find(end, i);
    i = at == std::string::npos ? text.size() : at + end.size();
  };
  while (i < text.size()) {
    const char c = text[i];
    if (c == '{') {
      skipTo("}");
    } else if (c == '(' && i + 1 < text.size() && text[i + 1] == '*') {
      i += 2;
      skipTo("*)");
    } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '/') {
      skipTo("\n");
    } else if (c == '\'') {
      ++i;
      skipTo("'");
    } else if ((c >= '0' && c <= '9') || c == '$' || c == '#' || c == '%' || c == '&') {
      ++i;
      while (i < text.size() && IsNameChar(text[i])) {
        ++i;
      }
    } else if (IsNameStart(c)) {
      Word word{i, 0, {}, true};
      while (i < text.size() && IsNameChar(text[i])) {
        word.lower += static_cast<char>(text[i] >= 'A' && text[i] <= 'Z' ? text[i] + 32 : text[i]);
        ++i;
      }
      word.length = i - word.offset;
      if (word.lower == "asm") {
        // Assembler is no Pascal: on to its "end".
        while (i < text.size() &&
               !((text[i] == 'e' || text[i] == 'E') && i + 3 <= text.size() &&
                 (text.compare(i, 3, "end") == 0 || text.compare(i, 3, "END") == 0) &&
                 !IsNameChar(text[i - 1]) && (i + 3 == text.size() || !IsNameChar(text[i + 3])))) {
          ++i;
        }
      }
      words.push_back(std::move(word));
    } else {
      if (c != ' ' && c != '\t' && c != '\r' && c != '\n') {
        words.push_back({i, 1, std::string(1, c), false});
      }
      ++i;
    }
  }
  return words;
}

// The 1-based line of byte `offset`, from the offsets where lines start.
std::size_t LineOf(const std::vector<std::size_t>& starts, std::size_t offset) {
  return static_cast<std::size_t>(std::upper_bound(starts.begin(), starts.end(), offset) -
                                  starts.begin());
}

std::vector<std::size_t> LineStarts(const std::string& text) {
  std::vector<std::size_t> starts = {0};
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      starts.push_back(i + 1);
    }
  }
  return starts;
}

SymbolKind RoutineKind(const std::string& word) {
  if (word == "function") {
    return SymbolKind::Function;
  }
  if (word == "constructor") {
    return SymbolKind::Constructor;
  }
  return word == "destructor" ? SymbolKind::Destructor : SymbolKind::Procedure;
}

SymbolKind TypeKind(const std::vector<Word>& words, std::size_t at) {
  const std::string next = at < words.size() ? words[at].lower : "";
  if (next == "class") {
    return SymbolKind::Class;
  }
  if (next == "record") {
    return SymbolKind::Record;
  }
  if (next == "interface") {
    return SymbolKind::Interface;
  }
  return next == "(" ? SymbolKind::Enumeration : SymbolKind::Type;
}

} // namespace

CrossReferences::CrossReferences(const FileLinkResolver& links, std::size_t fileCount,
                                 const TextReader& readText, unsigned threads)
    : occurrences_(fileCount) {
  (void)links;
  (void)threads;
  std::vector<std::string> texts(fileCount);
  std::map<std::string, std::size_t> first;
  std::vector<std::vector<Word>> words(fileCount);
  std::vector<std::vector<std::size_t>> lineStarts(fileCount);
  for (std::size_t file = 0; file < fileCount; ++file) {
    texts[file] = readText(file);
    words[file] = Words(texts[file]);
    lineStarts[file] = LineStarts(texts[file]);
    std::string section;
    bool statementStart = true;
    const std::vector<Word>& list = words[file];
    for (std::size_t i = 0; i < list.size(); ++i) {
      const std::string& word = list[i].lower;
      std::optional<SymbolKind> kind;
      std::size_t at = i;
      std::string qualified;
      if ((word == "unit" || word == "program") && i + 1 < list.size()) {
        kind = SymbolKind::Unit;
        at = i + 1;
      } else if ((word == "procedure" || word == "function" || word == "constructor" ||
                  word == "destructor") &&
                 i + 1 < list.size() && list[i + 1].identifier) {
        kind = RoutineKind(word);
        at = i + 1;
        while (at + 2 < list.size() && list[at + 1].lower == "." && list[at + 2].identifier) {
          qualified += texts[file].substr(list[at].offset, list[at].length) + ".";
          at += 2;
        }
      } else if (word == "type" || word == "const" || word == "var") {
        section = word;
      } else if (word == "begin" || word == "implementation") {
        section.clear();
      } else if (!section.empty() && statementStart && list[i].identifier && i + 1 < list.size() &&
                 (list[i + 1].lower == "=" || list[i + 1].lower == ":" ||
                  list[i + 1].lower == ",")) {
        kind = section == "type"    ? TypeKind(list, i + 2)
               : section == "const" ? SymbolKind::Constant
                                    : SymbolKind::Variable;
      }
      statementStart = word == ";" || word == "type" || word == "const" || word == "var" ||
                       word == "," || word == "private" || word == "public";
      if (!kind) {
        continue;
      }
      Symbol symbol;
      symbol.file = file;
      symbol.offset = list[at].offset;
      symbol.length = list[at].length;
      symbol.line = LineOf(lineStarts[file], symbol.offset);
      symbol.name = texts[file].substr(symbol.offset, symbol.length);
      symbol.qualifiedName = qualified + symbol.name;
      symbol.kind = *kind;
      const auto [earlier, added] = first.emplace(list[at].lower, symbols_.size());
      if (!added && symbols_[earlier->second].kind == *kind &&
          symbols_[earlier->second].counterpart == kNoSymbol && *kind != SymbolKind::Unit) {
        symbols_[earlier->second].counterpart = symbols_.size();
        symbol.counterpart = earlier->second;
        symbol.qualifiedName.clear();
      }
      occurrences_[file].push_back({symbol.offset, symbol.length, symbols_.size(), true, false});
      symbols_.push_back(std::move(symbol));
      i = at;
    }
  }
  references_.resize(symbols_.size());
  for (std::size_t file = 0; file < fileCount; ++file) {
    std::vector<Occurrence> marked;
    std::size_t declared = 0;
    const std::vector<Occurrence>& declarations = occurrences_[file];
    for (const Word& word : words[file]) {
      if (declared < declarations.size() && declarations[declared].offset == word.offset) {
        marked.push_back(declarations[declared++]);
        continue;
      }
      const auto found = word.identifier ? first.find(word.lower) : first.end();
      if (found == first.end()) {
        continue;
      }
      marked.push_back({word.offset, word.length, found->second, false, false});
      references_[found->second].push_back(
          {file, word.offset, LineOf(lineStarts[file], word.offset), false});
    }
    occurrences_[file] = std::move(marked);
  }
}

const std::vector<Occurrence>& CrossReferences::OccurrencesIn(std::size_t file) const {
  return occurrences_.at(file);
}

const std::vector<ReferencePlace>& CrossReferences::ReferencesTo(std::size_t symbol) const {
  return references_.at(symbol);
}

} // namespace lexiform::xref

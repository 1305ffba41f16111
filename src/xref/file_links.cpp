#include "xref/file_links.h"

#include <algorithm>
#include <limits>
#include <unordered_map>
#include <utility>

namespace lexiform::xref {
namespace {

// --- Scanning ------------------------------------------------------------------------

char FoldChar(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Fold(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) {
    c = FoldChar(c);
  }
  return folded;
}

bool EqualsFolded(std::string_view text, std::string_view lowerWord) {
  if (text.size() != lowerWord.size()) {
    return false;
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (FoldChar(text[i]) != lowerWord[i]) {
      return false;
    }
  }
  return true;
}

enum CharClass : unsigned char { kLetter = 1, kDigit = 2, kBlank = 4, kLineEnd = 8 };

// Bytes above ASCII count as letters: Delphi accepts Unicode identifiers, and a unit
// named in UTF-8 should stay one name. A table, as the scan looks at every byte of
// every file of the run.
struct CharClasses {
  unsigned char of[256] = {};
  constexpr CharClasses() {
    for (int c = 0; c < 256; ++c) {
      const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80;
      of[c] = static_cast<unsigned char>(
          (letter ? kLetter : 0) | (c >= '0' && c <= '9' ? kDigit : 0) |
          (c == ' ' || c == '\t' || c == '\f' || c == '\v' || c == '\r' || c == '\n' ? kBlank : 0) |
          (c == '\r' || c == '\n' ? kLineEnd : 0));
    }
  }
};
constexpr CharClasses kCharClasses;

bool Is(char c, unsigned char classes) {
  return (kCharClasses.of[static_cast<unsigned char>(c)] & classes) != 0;
}

bool IsIdentStart(char c) {
  return Is(c, kLetter);
}

bool IsIdentChar(char c) {
  return Is(c, kLetter | kDigit);
}

bool IsBlank(char c) {
  return Is(c, kBlank);
}

bool IsLineEnd(char c) {
  return Is(c, kLineEnd);
}

enum class TokenKind { End, Identifier, String, Symbol, Other };

struct Token {
  TokenKind kind = TokenKind::End;
  std::size_t offset = 0;
  std::size_t length = 0;
  // A compiler directive stood between this token and the one before it: in a uses
  // clause, the branches of {$ifdef} may each end without the comma the next needs.
  bool afterDirective = false;

  std::size_t End() const { return offset + length; }
};

// Splits Pascal text into the tokens the facts are made of, skipping blanks and
// comments. Directives never come out as tokens: include directives are recorded as
// they pass, the others only mark the next token. One pass, no recursion, no
// backtracking: linear in the text whatever its bytes.
// Note [scanning between clauses]
// Most of a text lies between uses clauses, and the scan meets every byte of every file
// of the run: there the scanner walks token by token without handing tokens out. Over
// the FPC tree (9,197 files, 200 MB) that took the scan from 520 to 336 ms of CPU time
// (bench/file_links_bench): a returned token costs a trip through memory.
class FactScanner {
public:
  FactScanner(std::string_view text, std::vector<NameReference>& includes)
      : text_(text), includes_(includes) {
    // A UTF-8 byte order mark is no identifier, or `unit` would not come first.
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") {
      pos_ = 3;
    }
  }

  Token Next() {
    Token token;
    token.kind = Advance(token.offset, token.afterDirective);
    token.length = pos_ - token.offset;
    return token;
  }

  // Moves past the next `uses` keyword (or `contains`, in a package); false at the end
  // of the text. See Note [scanning between clauses].
  bool SkipToClause(bool package) {
    for (;;) {
      std::size_t start = 0;
      bool afterDirective = false;
      const TokenKind kind = Advance(start, afterDirective);
      if (kind == TokenKind::End) {
        return false;
      }
      if (kind == TokenKind::Identifier &&
          IsClauseWord(text_.substr(start, pos_ - start), package)) {
        return true;
      }
    }
  }

  // `requires` of a package names packages, not units: it gives no links.
  static bool IsClauseWord(std::string_view word, bool package) {
    return EqualsFolded(word, "uses") || (package && EqualsFolded(word, "contains"));
  }

  std::string_view Text(const Token& token) const {
    return text_.substr(token.offset, token.length);
  }

  // The characters a string token stands for: its quoted parts with '' undoubled and
  // its #nn characters (decimal or $hex, taken as one byte each).
  std::string StringValue(const Token& token) const {
    std::string value;
    std::size_t i = token.offset;
    const std::size_t end = token.End();
    while (i < end) {
      if (text_[i] == '\'') {
        for (++i; i < end; ++i) {
          if (text_[i] == '\'') {
            if (i + 1 < end && text_[i + 1] == '\'') {
              value += '\'';
              ++i;
            } else {
              ++i;
              break;
            }
          } else {
            value += text_[i];
          }
        }
      } else if (text_[i] == '#') {
        ++i;
        const bool hex = i < end && text_[i] == '$';
        i += hex ? 1 : 0;
        unsigned code = 0;
        for (; i < end && IsIdentChar(text_[i]); ++i) {
          const char d = FoldChar(text_[i]);
          const unsigned digit =
              d >= 'a' ? static_cast<unsigned>(d - 'a' + 10) : static_cast<unsigned>(d - '0');
          code = (code * (hex ? 16u : 10u) + digit) & 0xFFFFu;
        }
        value += static_cast<char>(code & 0xFFu);
      } else {
        ++i;
      }
    }
    return value;
  }

private:
  // Moves past blanks, comments and one token; returns the token's kind and sets where
  // it starts and whether a directive came before it.
  TokenKind Advance(std::size_t& start, bool& afterDirective) {
    for (;;) {
      SkipBlanks();
      if (pos_ >= text_.size()) {
        start = text_.size();
        return TokenKind::End;
      }
      start = pos_;
      const char c = text_[pos_];
      if (c == '{') {
        afterDirective |= SkipBraceComment();
      } else if (c == '(' && At(pos_ + 1) == '*') {
        afterDirective |= SkipParenComment();
      } else if (c == '/' && At(pos_ + 1) == '/') {
        while (pos_ < text_.size() && !IsLineEnd(text_[pos_])) {
          ++pos_;
        }
      } else {
        return ReadToken();
      }
    }
  }

  char At(std::size_t i) const { return i < text_.size() ? text_[i] : '\0'; }

  void SkipBlanks() {
    while (pos_ < text_.size() && IsBlank(text_[pos_])) {
      ++pos_;
    }
  }

  // Returns whether the comment was a directive. Comments do not nest: the first
  // closing brace ends one, as the highlighter and Delphi read them.
  bool SkipBraceComment() {
    const std::size_t start = pos_;
    const std::size_t close = text_.find('}', pos_ + 1);
    pos_ = close == std::string_view::npos ? text_.size() : close + 1;
    if (At(start + 1) != '$') {
      return false;
    }
    if (close != std::string_view::npos) {
      Directive(start, start + 2, close, pos_);
    }
    return true;
  }

  bool SkipParenComment() {
    const std::size_t start = pos_;
    const std::size_t close = text_.find("*)", pos_ + 2);
    pos_ = close == std::string_view::npos ? text_.size() : close + 2;
    if (At(start + 2) != '$') {
      return false;
    }
    if (close != std::string_view::npos) {
      Directive(start, start + 3, close, pos_);
    }
    return true;
  }

  // `body` to `bodyEnd` is the directive after its `$`; `start` to `end` the whole
  // comment, which an include's reference covers. An unclosed comment is no include.
  void Directive(std::size_t start, std::size_t body, std::size_t bodyEnd, std::size_t end) {
    std::size_t i = body;
    while (i < bodyEnd && IsIdentChar(text_[i])) {
      ++i;
    }
    const std::string_view name = text_.substr(body, i - body);
    if (!EqualsFolded(name, "i") && !EqualsFolded(name, "include")) {
      return;
    }
    // `{$I+}` and `{$I-}` switch I/O checks; only a blank or a quote starts a name.
    if (i >= bodyEnd || (!IsBlank(text_[i]) && text_[i] != '\'')) {
      return;
    }
    while (i < bodyEnd && IsBlank(text_[i])) {
      ++i;
    }
    std::size_t last = bodyEnd;
    while (last > i && IsBlank(text_[last - 1])) {
      --last;
    }
    std::string_view argument = text_.substr(i, last - i);
    // `{$I %DATE%}` inserts a text of the compiler's, not a file.
    if (argument.empty() || argument.front() == '%') {
      return;
    }
    if (argument.front() == '\'') {
      argument.remove_prefix(1);
      argument = argument.substr(0, argument.find('\''));
    }
    if (argument.empty()) {
      return;
    }
    NameReference reference;
    reference.offset = start;
    reference.length = end - start;
    reference.name = std::string(argument);
    includes_.push_back(std::move(reference));
  }

  TokenKind ReadToken() {
    const char c = text_[pos_];
    if (IsIdentStart(c)) {
      while (pos_ < text_.size() && IsIdentChar(text_[pos_])) {
        ++pos_;
      }
      return TokenKind::Identifier;
    }
    if (c == '\'' || c == '#') {
      ReadString();
      return TokenKind::String;
    }
    if (c >= '0' && c <= '9') {
      while (pos_ < text_.size() && (IsIdentChar(text_[pos_]))) {
        ++pos_;
      }
      return TokenKind::Other;
    }
    ++pos_;
    return c == '.' || c == ',' || c == ';' ? TokenKind::Symbol : TokenKind::Other;
  }

  // Quoted parts and #nn characters in a row make one string. A quote left open ends at
  // the line's end, as Pascal strings cannot span lines: a stray quote costs one line.
  void ReadString() {
    while (pos_ < text_.size()) {
      if (text_[pos_] == '\'') {
        for (++pos_; pos_ < text_.size() && !IsLineEnd(text_[pos_]); ++pos_) {
          if (text_[pos_] == '\'') {
            if (At(pos_ + 1) != '\'') {
              break;
            }
            ++pos_;
          }
        }
        if (pos_ < text_.size() && text_[pos_] == '\'') {
          ++pos_;
        }
      } else if (text_[pos_] == '#') {
        ++pos_;
        if (At(pos_) == '$') {
          ++pos_;
        }
        while (pos_ < text_.size() && IsIdentChar(text_[pos_])) {
          ++pos_;
        }
      } else {
        return;
      }
    }
  }

  std::string_view text_;
  std::vector<NameReference>& includes_;
  std::size_t pos_ = 0;
};

bool IsWord(const FactScanner& scanner, const Token& token, std::string_view lowerWord) {
  return token.kind == TokenKind::Identifier && EqualsFolded(scanner.Text(token), lowerWord);
}

bool IsSymbol(const FactScanner& scanner, const Token& token, char symbol) {
  return token.kind == TokenKind::Symbol && scanner.Text(token)[0] == symbol;
}

struct DottedName {
  std::string name;
  std::size_t offset = 0;
  std::size_t end = 0;
  Token next; // the token after the name
};

// `first` is an identifier; reads `.Part` after it as long as they follow.
DottedName ReadDottedName(FactScanner& scanner, const Token& first) {
  DottedName dotted{std::string(scanner.Text(first)), first.offset, first.End(), scanner.Next()};
  while (IsSymbol(scanner, dotted.next, '.')) {
    const Token part = scanner.Next();
    if (part.kind != TokenKind::Identifier) {
      dotted.next = part;
      break;
    }
    dotted.name += '.';
    dotted.name += scanner.Text(part);
    dotted.end = part.End();
    dotted.next = scanner.Next();
  }
  return dotted;
}

// Reads the names of a uses or contains clause up to its end; returns the first token
// after it. Text that does not fit the clause ends it, so broken code cannot derail
// the rest of the scan.
Token ReadUsesClause(FactScanner& scanner, std::vector<NameReference>& uses) {
  Token token = scanner.Next();
  while (token.kind == TokenKind::Identifier) {
    DottedName dotted = ReadDottedName(scanner, token);
    NameReference reference;
    reference.offset = dotted.offset;
    reference.length = dotted.end - dotted.offset;
    reference.name = std::move(dotted.name);
    token = dotted.next;
    if (IsWord(scanner, token, "in")) {
      token = scanner.Next();
      if (token.kind == TokenKind::String) {
        reference.inPath = scanner.StringValue(token);
        token = scanner.Next();
      }
    }
    uses.push_back(std::move(reference));
    if (IsSymbol(scanner, token, ',')) {
      token = scanner.Next();
    } else if (!(token.kind == TokenKind::Identifier && token.afterDirective)) {
      // `uses {$ifdef unix}cthreads{$else}windows{$endif};` lists a name per branch.
      break;
    }
  }
  return token;
}

// --- Paths ---------------------------------------------------------------------------

bool IsAbsolute(std::string_view path) {
  return (!path.empty() && path[0] == '/') || (path.size() >= 2 && path[1] == ':');
}

// `\` and `/` both separate; `.` and empty parts go, `..` takes back the part before
// it where there is one.
std::string NormalizePath(std::string_view path) {
  std::vector<std::string_view> parts;
  std::string unified(path);
  std::replace(unified.begin(), unified.end(), '\\', '/');
  const std::string_view view(unified);
  std::size_t start = 0;
  while (start <= view.size()) {
    std::size_t slash = view.find('/', start);
    if (slash == std::string_view::npos) {
      slash = view.size();
    }
    const std::string_view part = view.substr(start, slash - start);
    if (part == "..") {
      if (!parts.empty() && parts.back() != "..") {
        parts.pop_back();
      } else {
        parts.push_back(part);
      }
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = slash + 1;
  }
  std::string normal = !view.empty() && view[0] == '/' ? "/" : "";
  for (std::size_t i = 0; i < parts.size(); ++i) {
    normal += i == 0 ? "" : "/";
    normal += parts[i];
  }
  return normal;
}

std::string_view FolderOf(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
}

std::string_view BaseNameOf(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string Joined(std::string_view folder, std::string_view relative) {
  if (folder.empty() || IsAbsolute(relative)) {
    return NormalizePath(relative);
  }
  std::string joined(folder);
  joined += '/';
  joined += relative;
  return NormalizePath(joined);
}

// How many leading folders two folders share.
std::size_t SharedDepth(std::string_view a, std::string_view b) {
  std::size_t depth = 0;
  std::size_t i = 0;
  for (; i < a.size() && i < b.size() && a[i] == b[i]; ++i) {
    if (a[i] == '/') {
      ++depth;
    }
  }
  const bool partEnds = (i == a.size() || a[i] == '/') && (i == b.size() || b[i] == '/');
  return depth + (partEnds && i > 0 ? 1 : 0);
}

bool EndsWithPathSuffix(std::string_view path, std::string_view suffix) {
  return path.size() >= suffix.size() &&
         path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0 &&
         (path.size() == suffix.size() || path[path.size() - suffix.size() - 1] == '/');
}

// --- Resolution ----------------------------------------------------------------------

using FileIndexMap = std::unordered_map<std::string, std::vector<std::size_t>>;

// The run's files by their folded path, folded file name and folded declared unit.
class SiteFiles {
public:
  SiteFiles(const std::vector<std::string>& paths, const std::vector<FileFacts>& facts) {
    folded_.reserve(paths.size());
    for (std::size_t file = 0; file < paths.size(); ++file) {
      folded_.push_back(Fold(NormalizePath(paths[file])));
      byPath_[folded_[file]].push_back(file);
      byName_[std::string(BaseNameOf(folded_[file]))].push_back(file);
      if (file < facts.size() && !facts[file].declaredUnit.empty()) {
        byUnit_[Fold(facts[file].declaredUnit)].push_back(file);
      }
    }
  }

  std::string_view FolderOf(std::size_t file) const { return xref::FolderOf(folded_[file]); }

  const std::vector<std::size_t>& WithPath(const std::string& folded) const {
    return Lookup(byPath_, folded);
  }
  const std::vector<std::size_t>& Named(const std::string& folded) const {
    return Lookup(byName_, folded);
  }
  const std::vector<std::size_t>& Declaring(const std::string& folded) const {
    return Lookup(byUnit_, folded);
  }
  const std::string& FoldedPath(std::size_t file) const { return folded_[file]; }

private:
  static const std::vector<std::size_t>& Lookup(const FileIndexMap& map, const std::string& key) {
    static const std::vector<std::size_t> kNone;
    const auto found = map.find(key);
    return found == map.end() ? kNone : found->second;
  }

  std::vector<std::string> folded_;
  FileIndexMap byPath_;
  FileIndexMap byName_;
  FileIndexMap byUnit_;
};

// See Note [choosing among files].
bool Choose(const SiteFiles& files, std::size_t from, std::vector<std::size_t> candidates,
            FileLink& link) {
  candidates.erase(std::remove(candidates.begin(), candidates.end(), from), candidates.end());
  if (candidates.empty()) {
    return false;
  }
  std::sort(candidates.begin(), candidates.end());
  candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
  const std::string_view folder = files.FolderOf(from);
  auto rank = [&](std::size_t file) {
    const std::string_view other = files.FolderOf(file);
    return other == folder ? std::numeric_limits<std::size_t>::max() : SharedDepth(folder, other);
  };
  std::size_t best = 0;
  for (std::size_t file : candidates) {
    best = std::max(best, rank(file));
  }
  link.alternatives.clear();
  bool chosen = false;
  for (std::size_t file : candidates) {
    if (rank(file) != best) {
      continue;
    }
    if (!chosen) {
      link.target = file;
      chosen = true;
    } else {
      link.alternatives.push_back(file);
    }
  }
  return chosen;
}

// Note [choosing among files]
// Several files of a tree often qualify for one name: the FPC sources hold a
// sysutils.pp per platform. The file in the using file's own folder wins, as compilers
// look there first; then the one whose folder shares the most leading folders with it,
// the nearest in the tree; a tie that remains goes to the first in list order, and the
// others tied with it become the link's alternatives, so that the link can say it was
// a guess. A file never links to itself.

bool ResolveUnit(const SiteFiles& files, std::size_t from, const NameReference& reference,
                 FileLink& link) {
  if (!reference.inPath.empty()) {
    // The path names the file itself: a missing file is no reason to guess by name.
    const std::string path = Fold(Joined(files.FolderOf(from), reference.inPath));
    return Choose(files, from, files.WithPath(path), link);
  }
  const std::string name = Fold(reference.name);
  std::vector<std::size_t> named;
  for (const char* extension : {".pas", ".pp", ".p"}) {
    const std::vector<std::size_t>& found = files.Named(name + extension);
    named.insert(named.end(), found.begin(), found.end());
  }
  return Choose(files, from, std::move(named), link) ||
         Choose(files, from, files.Declaring(name), link);
}

// Each form of the name is looked for in the including file's folder, then anywhere,
// before the next form: the compiler takes `x` from a far folder before an `x.pas`
// beside the including file.
bool ResolveInclude(const SiteFiles& files, std::size_t from, const NameReference& reference,
                    FileLink& link) {
  const std::string_view folder = files.FolderOf(from);
  for (const char* extension : {"", ".inc", ".pp", ".pas"}) {
    const std::string written = Fold(reference.name + extension);
    if (Choose(files, from, files.WithPath(Joined(folder, written)), link)) {
      return true;
    }
    if (IsAbsolute(written)) {
      continue;
    }
    std::string suffix = NormalizePath(written);
    while (suffix.compare(0, 3, "../") == 0) {
      suffix.erase(0, 3);
    }
    if (suffix.empty() || suffix == "..") {
      continue;
    }
    std::vector<std::size_t> anywhere;
    for (std::size_t file : files.Named(std::string(BaseNameOf(suffix)))) {
      if (EndsWithPathSuffix(files.FoldedPath(file), suffix)) {
        anywhere.push_back(file);
      }
    }
    if (Choose(files, from, std::move(anywhere), link)) {
      return true;
    }
  }
  return false;
}

std::vector<FileLink> ResolveLinks(const SiteFiles& files, std::size_t from,
                                   const FileFacts& facts) {
  std::vector<FileLink> links;
  for (const NameReference& reference : facts.uses) {
    FileLink link;
    link.kind = FileLinkKind::Uses;
    if (ResolveUnit(files, from, reference, link)) {
      link.offset = reference.offset;
      link.length = reference.length;
      links.push_back(std::move(link));
    }
  }
  for (const NameReference& reference : facts.includes) {
    FileLink link;
    link.kind = FileLinkKind::Include;
    if (ResolveInclude(files, from, reference, link)) {
      link.offset = reference.offset;
      link.length = reference.length;
      links.push_back(std::move(link));
    }
  }
  std::stable_sort(links.begin(), links.end(),
                   [](const FileLink& a, const FileLink& b) { return a.offset < b.offset; });
  return links;
}

} // namespace

FileFacts ScanFileFacts(std::string_view text) {
  FileFacts facts;
  facts.textBytes = text.size();
  FactScanner scanner(text, facts.includes);
  Token token = scanner.Next();
  bool package = false;
  if (IsWord(scanner, token, "unit")) {
    const Token name = scanner.Next();
    if (name.kind == TokenKind::Identifier) {
      DottedName dotted = ReadDottedName(scanner, name);
      facts.declaredUnit = std::move(dotted.name);
      token = dotted.next;
    } else {
      token = name;
    }
  } else if (IsWord(scanner, token, "package")) {
    package = true;
  }
  for (;;) {
    const bool atClause = token.kind == TokenKind::Identifier &&
                          FactScanner::IsClauseWord(scanner.Text(token), package);
    if (!atClause && (token.kind == TokenKind::End || !scanner.SkipToClause(package))) {
      break;
    }
    token = ReadUsesClause(scanner, facts.uses);
  }
  return facts;
}

FileLinkResolver::FileLinkResolver(std::vector<std::string> paths, std::vector<FileFacts> facts)
    : paths_(std::move(paths)), facts_(std::move(facts)), links_(paths_.size()),
      usedBy_(paths_.size()) {
  const SiteFiles files(paths_, facts_);
  for (std::size_t file = 0; file < paths_.size() && file < facts_.size(); ++file) {
    links_[file] = ResolveLinks(files, file, facts_[file]);
    for (const FileLink& link : links_[file]) {
      std::vector<std::size_t>& users = usedBy_[link.target];
      if (users.empty() || users.back() != file) {
        users.push_back(file);
      }
    }
  }
}

std::vector<FileLink> FileLinkResolver::LinksOf(std::size_t file) const {
  return links_.at(file);
}

const std::vector<std::size_t>& FileLinkResolver::UsedBy(std::size_t file) const {
  return usedBy_.at(file);
}

std::size_t FileLinkResolver::TextBytes(std::size_t file) const {
  return file < facts_.size() ? facts_[file].textBytes : 0;
}

} // namespace lexiform::xref

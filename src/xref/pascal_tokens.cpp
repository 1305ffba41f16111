#include "xref/pascal_tokens.h"

#include <algorithm>
#include <array>

namespace lexiform::xref {
namespace {

constexpr std::array<NameKey, 64> kReservedWords = {
    KeyOf("and"),
    KeyOf("array"),
    KeyOf("as"),
    KeyOf("asm"),
    KeyOf("begin"),
    KeyOf("case"),
    KeyOf("class"),
    KeyOf("const"),
    KeyOf("constructor"),
    KeyOf("destructor"),
    KeyOf("dispinterface"),
    KeyOf("div"),
    KeyOf("do"),
    KeyOf("downto"),
    KeyOf("else"),
    KeyOf("end"),
    KeyOf("except"),
    KeyOf("exports"),
    KeyOf("file"),
    KeyOf("finalization"),
    KeyOf("finally"),
    KeyOf("for"),
    KeyOf("function"),
    KeyOf("goto"),
    KeyOf("if"),
    KeyOf("implementation"),
    KeyOf("in"),
    KeyOf("inherited"),
    KeyOf("initialization"),
    KeyOf("inline"),
    KeyOf("interface"),
    KeyOf("is"),
    KeyOf("label"),
    KeyOf("library"),
    KeyOf("mod"),
    KeyOf("nil"),
    KeyOf("not"),
    KeyOf("object"),
    KeyOf("of"),
    KeyOf("operator"),
    KeyOf("or"),
    KeyOf("packed"),
    KeyOf("procedure"),
    KeyOf("program"),
    KeyOf("property"),
    KeyOf("raise"),
    KeyOf("record"),
    KeyOf("repeat"),
    KeyOf("resourcestring"),
    KeyOf("set"),
    KeyOf("shl"),
    KeyOf("shr"),
    KeyOf("string"),
    KeyOf("then"),
    KeyOf("threadvar"),
    KeyOf("to"),
    KeyOf("try"),
    KeyOf("type"),
    KeyOf("unit"),
    KeyOf("until"),
    KeyOf("uses"),
    KeyOf("var"),
    KeyOf("while"),
    KeyOf("with"),
};

// The reserved words in a small open-addressed table: every word of every text is
// looked up, and a binary search took a few percent of each pass.
constexpr std::size_t kReservedSlots = 256; // a quarter full
constexpr std::size_t ReservedSlotOf(NameKey key) {
  return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15u) >> 56) & (kReservedSlots - 1);
}

constexpr std::array<NameKey, kReservedSlots> ReservedTable() {
  std::array<NameKey, kReservedSlots> table{}; // 0: empty; no reserved word's key is 0
  for (const NameKey key : kReservedWords) {
    std::size_t i = ReservedSlotOf(key);
    while (table[i] != 0) {
      i = (i + 1) & (kReservedSlots - 1);
    }
    table[i] = key;
  }
  return table;
}

constexpr std::array<NameKey, kReservedSlots> kReservedTable = ReservedTable();

constexpr bool IsIdentStart(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80;
}

constexpr std::array<bool, 256> IdentChars() {
  std::array<bool, 256> chars{};
  for (std::size_t c = 0; c < chars.size(); ++c) {
    const auto byte = static_cast<unsigned char>(c);
    chars[c] = IsIdentStart(byte) || (byte >= '0' && byte <= '9');
  }
  return chars;
}

constexpr std::array<bool, 256> kIdentChars = IdentChars();

bool IsIdentChar(unsigned char c) {
  return kIdentChars[c];
}

// A ScannedText as a sink.
class TextSink final : public TokenSink {
public:
  explicit TextSink(ScannedText& scanned) : scanned_(scanned) {
    scanned_.tokens.clear();
    scanned_.objectPascalMode = false;
  }

  Token& Add(const Token& token) override {
    scanned_.tokens.push_back(token);
    return scanned_.tokens.back();
  }
  void Directive(const Token& token) override { scanned_.tokens.push_back(token); }
  void ObjectPascalMode() override { scanned_.objectPascalMode = true; }

private:
  ScannedText& scanned_;
};

class Scanner {
public:
  Scanner(std::string_view text, TokenSink& sink) : text_(text), sink_(sink) {
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") {
      pos_ = 3;
    }
  }

  void Run() {
    while (pos_ < text_.size()) {
      Step();
    }
  }

private:
  unsigned char At(std::size_t i) const {
    return i < text_.size() ? static_cast<unsigned char>(text_[i]) : 0;
  }

  void Step() {
    const unsigned char c = At(pos_);
    if (c == '\n') {
      ++line_;
      ++pos_;
    } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
      ++pos_;
    } else if (c == '{') {
      Comment(pos_ + 1, "}");
    } else if (c == '(' && At(pos_ + 1) == '*') {
      Comment(pos_ + 2, "*)");
    } else if (c == '/' && At(pos_ + 1) == '/') {
      while (pos_ < text_.size() && text_[pos_] != '\n') {
        ++pos_;
      }
    } else if (IsIdentStart(c)) {
      Word();
    } else if (c == '\'' || c == '#') {
      StringLiteral();
    } else if ((c >= '0' && c <= '9') || c == '$' || c == '%' || c == '&') {
      Number();
    } else {
      SymbolToken();
    }
  }

  Token Make(PasToken kind, std::size_t start) const {
    Token token;
    token.offset = static_cast<std::uint32_t>(start);
    token.length = static_cast<std::uint32_t>(pos_ - start);
    token.line = line_;
    token.kind = kind;
    return token;
  }

  Token& Add(PasToken kind, std::size_t start) { return sink_.Add(Make(kind, start)); }

  void CountLines(std::size_t from, std::size_t to) {
    line_ += static_cast<std::uint32_t>(
        std::count(text_.begin() + static_cast<std::ptrdiff_t>(from),
                   text_.begin() + static_cast<std::ptrdiff_t>(to), '\n'));
  }

  // Comments do not nest: the first closing mark ends one, as the pages show them.
  void Comment(std::size_t bodyStart, std::string_view close) {
    const std::size_t start = pos_;
    const std::size_t end = text_.find(close, bodyStart);
    pos_ = end == std::string_view::npos ? text_.size() : end + close.size();
    if (At(bodyStart) == '$') {
      Switch(bodyStart + 1, std::min(pos_, text_.size()));
      sink_.Directive(Make(PasToken::Directive, start));
    }
    CountLines(start, pos_);
  }

  // The directives that change how names bind: `{$mode ...}`, `{$scopedenums on|off}`.
  void Switch(std::size_t from, std::size_t to) {
    const std::string_view body = text_.substr(from, to - from);
    std::size_t at = 0;
    const NameKey name = KeyOf(NextWord(body, at));
    if (name != KeyOf("mode") && name != KeyOf("scopedenums")) {
      return;
    }
    while (at < body.size() && (body[at] == ' ' || body[at] == '\t')) {
      ++at;
    }
    const NameKey value = KeyOf(NextWord(body, at));
    if (name == KeyOf("scopedenums")) {
      if (value == KeyOf("on") || value == KeyOf("off")) {
        sink_.ScopedEnums(value == KeyOf("on"));
      }
    } else if (value == KeyOf("objfpc") || value == KeyOf("delphi") ||
               value == KeyOf("delphiunicode")) {
      sink_.ObjectPascalMode();
    }
  }

  // The letters and digits of `body` from `at` on; `at` goes past them.
  static std::string_view NextWord(std::string_view body, std::size_t& at) {
    const std::size_t start = at;
    while (at < body.size() && IsIdentChar(static_cast<unsigned char>(body[at]))) {
      ++at;
    }
    return body.substr(start, at - start);
  }

  // The name's key is made as its letters are read: every word of every unit is read
  // twice over a site, once for each pass.
  void Word() {
    const std::size_t start = pos_;
    NameKey key = kEmptyKey;
    for (; pos_ < text_.size() && IsIdentChar(static_cast<unsigned char>(text_[pos_])); ++pos_) {
      key = KeyWith(key, text_[pos_]);
    }
    // `&begin` is an identifier spelled like a keyword; `&` was read as a number prefix
    // only when a digit follows.
    const bool escaped = start > 0 && text_[start - 1] == '&';
    Token& token =
        Add(!escaped && IsReservedWord(key) ? PasToken::Keyword : PasToken::Identifier, start);
    token.key = key;
  }

  // Quoted parts and #nn characters in a row make one literal; a quote left open ends
  // at the line's end.
  void StringLiteral() {
    const std::size_t start = pos_;
    for (;;) {
      if (At(pos_) == '\'') {
        ++pos_;
        while (pos_ < text_.size() && text_[pos_] != '\n' && text_[pos_] != '\r') {
          if (text_[pos_] == '\'') {
            if (At(pos_ + 1) != '\'') {
              break;
            }
            ++pos_;
          }
          ++pos_;
        }
        if (At(pos_) == '\'') {
          ++pos_;
        }
      } else if (At(pos_) == '#') {
        ++pos_;
        if (At(pos_) == '$') {
          ++pos_;
        }
        while (IsIdentChar(At(pos_))) {
          ++pos_;
        }
      } else {
        break;
      }
    }
    Add(PasToken::Literal, start);
  }

  void Number() {
    const std::size_t start = pos_;
    if (At(pos_) == '&' && !(At(pos_ + 1) >= '0' && At(pos_ + 1) <= '7')) {
      ++pos_; // `&name`: the name follows as a word
      return;
    }
    ++pos_;
    for (;;) {
      const unsigned char c = At(pos_);
      const bool exponentSign = (c == '+' || c == '-') &&
                                (text_[pos_ - 1] == 'e' || text_[pos_ - 1] == 'E') &&
                                text_[start] != '$';
      const bool fraction = c == '.' && At(pos_ + 1) >= '0' && At(pos_ + 1) <= '9';
      if (IsIdentChar(c) || exponentSign || fraction) {
        ++pos_;
      } else {
        break;
      }
    }
    Add(PasToken::Literal, start);
  }

  void SymbolToken() {
    const std::size_t start = pos_;
    const char c = static_cast<char>(At(pos_));
    const char next = static_cast<char>(At(pos_ + 1));
    char code = c;
    if (c == ':' && next == '=') {
      code = 'a';
    } else if (c == '.' && next == '.') {
      code = 'r';
    } else if ((c == '<' && (next == '=' || next == '>')) || (c == '>' && next == '=')) {
      code = 'c';
    } else if (c == '(' && next == '.') {
      code = '[';
    } else if (c == '.' && next == ')') {
      code = ']';
    }
    pos_ += code == c ? 1 : 2;
    if (c == 0) {
      return; // a NUL byte is nothing the pages or the compiler read as a token
    }
    Add(PasToken::Symbol, start).symbol = code;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  std::uint32_t line_ = 1;
  TokenSink& sink_;
};

} // namespace

bool IsReservedWord(NameKey key) {
  if (key == 0) {
    return false;
  }
  for (std::size_t i = ReservedSlotOf(key); kReservedTable[i] != 0;
       i = (i + 1) & (kReservedSlots - 1)) {
    if (kReservedTable[i] == key) {
      return true;
    }
  }
  return false;
}

ScannedText ScanPascal(std::string_view text) {
  ScannedText scanned;
  ScanPascal(text, scanned);
  return scanned;
}

void ScanPascal(std::string_view text, ScannedText& scanned) {
  TextSink sink(scanned);
  ScanPascal(text, sink);
}

void ScanPascal(std::string_view text, TokenSink& sink) {
  Scanner(text.substr(0, std::min<std::size_t>(text.size(), 0xFFFFFFF0u)), sink).Run();
}

} // namespace lexiform::xref

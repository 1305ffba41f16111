// The converter's strong invariant over many sources, random ones included: read back
// from the markers, the tokens give the source again up to its first zero byte, and
// each token is the one that a plain, slow reading of the token rules gives.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "convert/word_tables.h"
#include "convert_test_support.h"

namespace lexiform {
namespace {

using test::Token;

bool IsSpaceByte(unsigned char c) {
  return c >= 1 && c <= 32 && c != '\n' && c != '\r';
}
bool IsDigit(unsigned char c) {
  return c >= '0' && c <= '9';
}
bool IsLetter(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsWordByte(unsigned char c) {
  return IsDigit(c) || IsLetter(c) || c == '_';
}
bool IsSymbolByte(unsigned char c) {
  return std::string_view("!\"%&()*+,-./:;<=>?@[\\]^`~").find(static_cast<char>(c)) !=
         std::string_view::npos;
}

std::string Upper(std::string word) {
  for (char& c : word) {
    c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  }
  return word;
}

// The token rules read plainly, one index at a time, with text unescaped.
class ReferenceScanner {
public:
  explicit ReferenceScanner(std::string_view source) : text_(source.substr(0, source.find('\0'))) {}

  std::vector<Token> Run() {
    while (at_ < text_.size()) {
      const unsigned char c = Byte(at_);
      if (IsSpaceByte(c)) {
        Emit(TTokenKind::Space, RunOf(at_, IsSpaceByte));
      } else if (LineEndAt(at_) > 0) {
        Emit(TTokenKind::LineBreak, at_ + LineEndAt(at_));
      } else if (c == '\'') {
        std::size_t end = at_ + 1;
        while (end < text_.size() && text_[end] != '\'' && LineEndAt(end) == 0) {
          ++end;
        }
        Emit(TTokenKind::String, end < text_.size() && text_[end] == '\'' ? end + 1 : end);
      } else if (c == '#') {
        Emit(TTokenKind::String,
             RunOf(at_, [](unsigned char b) { return b == '#' || IsDigit(b); }));
      } else if (c == '$') {
        Emit(TTokenKind::Number, RunOf(at_, [](unsigned char b) {
               return b == '$' || IsDigit(b) || (b >= 'A' && b <= 'F') || (b >= 'a' && b <= 'f');
             }));
      } else if (IsDigit(c)) {
        Emit(TTokenKind::Number, RunOf(at_ + 1, [](unsigned char b) {
               return b == '.' || b == 'E' || b == 'e' || IsDigit(b);
             }));
      } else if (IsLetter(c) || c == '_') {
        Word();
      } else if (c == '{') {
        Block(TTokenKind::Comment, [this](std::size_t k) { return Byte(k) == '}' ? 1 : -1; });
      } else if (IsSymbolByte(c)) {
        Symbols();
      } else {
        Emit(TTokenKind::Unknown, at_ + 1);
      }
    }
    return tokens_;
  }

private:
  unsigned char Byte(std::size_t k) const {
    return k < text_.size() ? static_cast<unsigned char>(text_[k]) : 0;
  }
  std::size_t LineEndAt(std::size_t k) const {
    if (Byte(k) == '\r') {
      return Byte(k + 1) == '\n' ? 2 : 1;
    }
    return Byte(k) == '\n' ? 1 : 0;
  }
  template <typename Pred> std::size_t RunOf(std::size_t k, Pred pred) const {
    while (k < text_.size() && pred(Byte(k))) {
      ++k;
    }
    return k;
  }
  void Emit(TTokenKind kind, std::size_t end) {
    tokens_.push_back({kind, std::string(text_.substr(at_, end - at_))});
    at_ = end;
  }

  void Word() {
    const std::size_t end = RunOf(at_, IsWordByte);
    const std::string upper = Upper(std::string(text_.substr(at_, end - at_)));
    TTokenKind kind = TTokenKind::Identifier;
    if (IsReservedWord(upper)) {
      if (upper == "PROPERTY") {
        inProperty_ = true;
      }
      if (IsPropertyEnd(upper)) {
        inProperty_ = false;
      }
      const bool directive = upper == "AUTOMATED" || upper == "INDEX" || upper == "NAME" ||
                             upper == "NODEFAULT" || upper == "READ" || upper == "READONLY" ||
                             upper == "RESIDENT" || upper == "STORED" ||
                             upper == "STRINGRESOURCE" || upper == "WRITE" || upper == "WRITEONLY";
      const bool keptInProperty =
          upper == "NAME" || upper == "RESIDENT" || upper == "STRINGRESOURCE";
      kind = directive && (!inProperty_ || keptInProperty) ? TTokenKind::Directive
                                                           : TTokenKind::Keyword;
    }
    Emit(kind, end);
    if (upper == "ASM") {
      Block(TTokenKind::Assembler, [this](std::size_t k) {
        return text_.substr(k, 3) == "end" ? 0 : -1; // stops before it
      });
    }
  }

  // A comment or assembler block from at_: one token per line, bare line breaks
  // between them, empty lines giving no token, the last piece written even when empty.
  // `closer(k)` is the length of the closing text at k (taken into the block), or -1.
  template <typename Closer> void Block(TTokenKind kind, Closer closer) {
    std::size_t k = at_;
    while (k < text_.size()) {
      if (const int length = closer(k); length >= 0) {
        k += static_cast<std::size_t>(length);
        break;
      }
      if (const std::size_t lineEnd = LineEndAt(k); lineEnd > 0) {
        if (k > at_) {
          Emit(kind, k);
        }
        Emit(TTokenKind::LineBreak, k + lineEnd);
        k = at_;
        continue;
      }
      ++k;
    }
    Emit(kind, k);
  }

  void Symbols() {
    std::size_t k = at_;
    while (IsSymbolByte(Byte(k))) {
      const bool parenComment = Byte(k) == '(' && Byte(k + 1) == '*';
      const bool lineComment = Byte(k) == '/' && Byte(k + 1) == '/';
      if (parenComment || lineComment) {
        Emit(TTokenKind::Symbol, k);
        if (parenComment) {
          // Looking for "*)" from the "(" lets the opener's "*" close it: "(*)".
          Block(TTokenKind::Comment,
                [this](std::size_t j) { return Byte(j) == '*' && Byte(j + 1) == ')' ? 2 : -1; });
        } else {
          Emit(TTokenKind::Comment,
               RunOf(at_, [](unsigned char b) { return b != '\r' && b != '\n'; }));
        }
        Emit(TTokenKind::Unknown, at_);
        return;
      }
      ++k;
    }
    Emit(TTokenKind::Symbol, k);
  }

  std::string_view text_;
  std::size_t at_ = 0;
  bool inProperty_ = false;
  std::vector<Token> tokens_;
};

bool IsEscapedKind(TTokenKind kind) {
  return kind == TTokenKind::Comment || kind == TTokenKind::String ||
         kind == TTokenKind::Assembler || kind == TTokenKind::Symbol;
}

// Converts `source` with the marker styles and checks the invariant; returns false
// after the first mismatch so that a failing random case reports once.
bool CheckRoundTrip(const std::string& source) {
  if (source.empty()) {
    EXPECT_EQ(test::ConvertText(source), test::kOpeningFrame); // no scan, no closing frame
    return !::testing::Test::HasFailure();
  }
  const std::vector<Token> tokens = test::ParseMarkedFragment(test::ConvertText(source));
  if (::testing::Test::HasFailure()) {
    return false;
  }
  std::string joined;
  for (const Token& token : tokens) {
    joined += token.Text;
  }
  const std::string expectedSource = source.substr(0, source.find('\0'));
  if (test::UnescapeText(joined) != expectedSource) {
    ADD_FAILURE() << "the tokens do not give the source back";
    return false;
  }
  std::vector<Token> expected = ReferenceScanner(source).Run();
  for (Token& token : expected) {
    if (IsEscapedKind(token.Kind)) {
      token.Text = test::EscapeText(token.Text);
    }
  }
  for (std::size_t i = 0; i < tokens.size() || i < expected.size(); ++i) {
    const bool same = i < tokens.size() && i < expected.size() && tokens[i] == expected[i];
    if (!same) {
      const auto describe = [i](const std::vector<Token>& list) {
        return i < list.size() ? test::Describe({list[i]}).front() : std::string("(none)");
      };
      ADD_FAILURE() << "token " << i << ": got " << ::testing::PrintToString(describe(tokens))
                    << ", the rules give " << ::testing::PrintToString(describe(expected));
      return false;
    }
  }
  return true;
}

// Pieces that make the interesting token boundaries likely in random sources.
const char* const kPieces[] = {
    "begin",    "end",     "End",   "asm",  "ASM",  "property", "read", "Name", "index", "stored",
    "function", "private", "x1",    "_a",   "e",    "n",        "d",    "{",    "}",     "(*",
    "*)",       "(",       "*",     ")",    "//",   "/",        "'",    "''",   "#13",   "#",
    "$FF",      "$",       "1.5E3", "..",   "7",    "<",        ">",    "<>",   "&",     " ",
    "  ",       "\t",      "\f",    "\r\n", "\r",   "\n",       "\n\r", ";",    ":=",    "|",
    "\x7f",     "\x01",    "\x1a",  "\xe9", "\xff", "\x80",
};

std::string RandomSource(std::mt19937& random, std::size_t pieces, bool allowZero) {
  std::string source;
  std::uniform_int_distribution<std::size_t> pick(0, std::size(kPieces) - 1);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> percent(0, 99);
  for (std::size_t i = 0; i < pieces; ++i) {
    const int roll = percent(random);
    if (roll < 15) {
      const char c = static_cast<char>(byte(random));
      if (c != test::kMarkerByte && (c != '\0' || allowZero)) {
        source += c;
      }
    } else if (roll == 15 && allowZero) {
      source += '\0';
    } else {
      source += kPieces[pick(random)];
    }
  }
  return source;
}

TEST(ConvertRoundTripTest, RandomPascalLikeSources) {
  std::mt19937 random(20240601);
  for (int i = 0; i < 600; ++i) {
    const std::string source = RandomSource(random, static_cast<std::size_t>(i % 200), i % 10 == 0);
    if (!CheckRoundTrip(source)) {
      ADD_FAILURE() << "source: " << ::testing::PrintToString(source);
      return;
    }
  }
}

TEST(ConvertRoundTripTest, RandomBytes) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int i = 0; i < 300; ++i) {
    std::string source;
    for (int n = 0; n < 1 + i * 3; ++n) {
      const char c = static_cast<char>(byte(random));
      if (c != test::kMarkerByte && c != '\0') {
        source += c;
      }
    }
    if (!CheckRoundTrip(source)) {
      ADD_FAILURE() << "source: " << ::testing::PrintToString(source);
      return;
    }
  }
}

// With empty styles nothing marks the tokens, so every byte may stand in the source,
// the marker byte included; the fragment must still give the source back.
TEST(ConvertRoundTripTest, EmptyStylesGiveTheSourceBack) {
  std::mt19937 random(99);
  for (int i = 0; i < 300; ++i) {
    std::string source = RandomSource(random, static_cast<std::size_t>(i % 150), i % 5 == 0);
    source += '\x02';
    const std::string fragment = test::ConvertText(source, test::Styles::Empty);
    const std::string body(test::FragmentBody(fragment));
    ASSERT_EQ(body.find_first_of("<>"), std::string::npos) << ::testing::PrintToString(source);
    ASSERT_EQ(test::UnescapeText(body), source.substr(0, source.find('\0')))
        << ::testing::PrintToString(source);
  }
}

TEST(ConvertRoundTripTest, MegabyteLines) {
  std::mt19937 random(1);
  std::uniform_int_distribution<int> byte(0, 255);
  std::string anything;
  while (anything.size() < (1u << 20)) {
    const char c = static_cast<char>(byte(random));
    if (c != test::kMarkerByte && c != '\0' && c != '\r' && c != '\n') {
      anything += c;
    }
  }
  std::string comment = "{";
  for (int i = 0; i < 100000; ++i) {
    comment += "<a>b<c d e";
  }
  comment += "}";
  EXPECT_TRUE(CheckRoundTrip("x\r\n" + anything + "\r\nend"));
  EXPECT_TRUE(CheckRoundTrip(comment + "\n" + comment + "\r"));
  EXPECT_TRUE(CheckRoundTrip("asm " + comment + "\r\n;end" + std::string(1 << 20, '<')));
}

} // namespace
} // namespace lexiform

#pragma once

// Helpers for the converter's tests: every styled kind gets its own marker prefix and
// suffix, so a fragment can be read back into the tokens that made it.

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "convert/pas_conversion.h"
#include "convert/token_kind.h"

namespace lexiform::test {

struct Token {
  TTokenKind Kind = TTokenKind::Unknown;
  std::string Text; // as written into the fragment, escaped where the kind is escaped

  bool operator==(const Token& other) const { return Kind == other.Kind && Text == other.Text; }
};

inline constexpr std::string_view kOpeningFrame = "<pre>\r\n<code>\r\n";
inline constexpr std::string_view kClosingFrame = "\r\n</code>\r\n</pre>\r\n";
// Starts every marker; the marked tests keep it out of their sources.
inline constexpr char kMarkerByte = '\x02';

inline const char* KindName(TTokenKind kind) {
  static const char* const names[] = {"Assembler",  "Comment", "LineBreak", "Directive",
                                      "Identifier", "Keyword", "Number",    "Space",
                                      "String",     "Symbol",  "Unknown"};
  return names[static_cast<std::size_t>(kind)];
}

// One letter per kind, used inside its markers.
inline char KindLetter(TTokenKind kind) {
  return "ACLDIKNSTYU"[static_cast<std::size_t>(kind)];
}

inline std::string MarkerPrefix(TTokenKind kind) {
  return std::string{kMarkerByte, KindLetter(kind), '{'};
}
inline std::string MarkerSuffix(TTokenKind kind) {
  return std::string{kMarkerByte, KindLetter(kind), '}'};
}

// Sets the twenty style fields to the markers of their kinds.
inline void SetMarkerStyles(TPasConversion& converter) {
  struct Field {
    TTokenKind Kind;
    std::string* Prefix;
    std::string* Suffix;
  };
  TPasConversion& c = converter;
  const Field fields[] = {
      {TTokenKind::Assembler, &c.AssemblerPrefix, &c.AssemblerSuffix},
      {TTokenKind::Comment, &c.CommentPrefix, &c.CommentSuffix},
      {TTokenKind::Directive, &c.DirectivePrefix, &c.DirectiveSuffix},
      {TTokenKind::Identifier, &c.IdentifierPrefix, &c.IdentifierSuffix},
      {TTokenKind::Keyword, &c.KeywordPrefix, &c.KeywordSuffix},
      {TTokenKind::Number, &c.NumberPrefix, &c.NumberSuffix},
      {TTokenKind::Space, &c.SpacePrefix, &c.SpaceSuffix},
      {TTokenKind::String, &c.StringPrefix, &c.StringSuffix},
      {TTokenKind::Symbol, &c.SymbolPrefix, &c.SymbolSuffix},
      {TTokenKind::Unknown, &c.UnknownPrefix, &c.UnknownSuffix},
  };
  for (const Field& field : fields) {
    *field.Prefix = MarkerPrefix(field.Kind);
    *field.Suffix = MarkerSuffix(field.Kind);
  }
}

// The fragment of `source`, converted with empty styles or with the markers.
enum class Styles { Empty, Markers };
inline std::string ConvertText(std::string_view source, Styles styles = Styles::Markers) {
  TPasConversion converter;
  if (styles == Styles::Markers) {
    SetMarkerStyles(converter);
  }
  converter.LoadFromBytes(source);
  EXPECT_EQ(converter.Convert(), source.size());
  return std::string(converter.Content());
}

// The fragment without its frames; a failure when the frames are not there.
inline std::string_view FragmentBody(std::string_view fragment) {
  const bool framed = fragment.size() >= kOpeningFrame.size() + kClosingFrame.size() &&
                      fragment.substr(0, kOpeningFrame.size()) == kOpeningFrame &&
                      fragment.substr(fragment.size() - kClosingFrame.size()) == kClosingFrame;
  EXPECT_TRUE(framed) << "fragment without its frames";
  if (!framed) {
    return {};
  }
  return fragment.substr(kOpeningFrame.size(),
                         fragment.size() - kOpeningFrame.size() - kClosingFrame.size());
}

// Reads a fragment made with the marker styles back into its tokens. Text outside the
// markers must be bare line breaks (CR LF, CR or LF), one LineBreak token each.
inline std::vector<Token> ParseMarkedFragment(std::string_view fragment) {
  const std::string_view body = FragmentBody(fragment);
  std::vector<Token> tokens;
  std::size_t at = 0;
  while (at < body.size()) {
    if (body[at] == kMarkerByte) {
      const char letter = at + 1 < body.size() ? body[at + 1] : '?';
      const std::size_t kindIndex = std::string_view("ACLDIKNSTYU").find(letter);
      const std::size_t end = body.find(kMarkerByte, at + 3);
      if (kindIndex == std::string_view::npos || kindIndex == 2 || body.substr(at + 2, 1) != "{" ||
          end == std::string_view::npos || body.substr(end + 1, 2) != std::string{letter, '}'}) {
        ADD_FAILURE() << "broken marker at body offset " << at;
        return tokens;
      }
      tokens.push_back(
          {static_cast<TTokenKind>(kindIndex), std::string(body.substr(at + 3, end - at - 3))});
      at = end + 3;
    } else if (body[at] == '\r' || body[at] == '\n') {
      const std::size_t length = body.substr(at, 2) == "\r\n" ? 2 : 1;
      tokens.push_back({TTokenKind::LineBreak, std::string(body.substr(at, length))});
      at += length;
    } else {
      ADD_FAILURE() << "bare byte " << static_cast<int>(static_cast<unsigned char>(body[at]))
                    << " outside the markers at body offset " << at;
      return tokens;
    }
  }
  return tokens;
}

// "<" and ">" as the converter escapes them.
inline std::string EscapeText(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    if (c == '<' || c == '>') {
      escaped += c == '<' ? "&lt;" : "&gt;";
      escaped += EntityMarker;
    } else {
      escaped += c;
    }
  }
  return escaped;
}

// Undoes the two entities: "&lt;" and "&gt;" followed by the marker.
inline std::string UnescapeText(std::string_view text) {
  std::string plain;
  plain.reserve(text.size());
  std::size_t at = 0;
  for (std::size_t amp = text.find('&'); amp != std::string_view::npos;
       amp = text.find('&', amp + 1)) {
    const std::string_view entity = text.substr(amp, 5);
    if (entity.size() == 5 && entity[4] == EntityMarker &&
        (entity.substr(0, 4) == "&lt;" || entity.substr(0, 4) == "&gt;")) {
      plain.append(text.substr(at, amp - at));
      plain += entity[1] == 'l' ? '<' : '>';
      at = amp + 5;
      amp += 4;
    }
  }
  plain.append(text.substr(at));
  return plain;
}

// "Kind text" per token, for readable comparisons.
inline std::vector<std::string> Describe(const std::vector<Token>& tokens) {
  std::vector<std::string> lines;
  for (const Token& token : tokens) {
    lines.push_back(std::string(KindName(token.Kind)) + " " + token.Text);
  }
  return lines;
}

// The tokens of `source` as the converter writes them, described.
inline std::vector<std::string> Scan(std::string_view source) {
  return Describe(ParseMarkedFragment(ConvertText(source)));
}

} // namespace lexiform::test

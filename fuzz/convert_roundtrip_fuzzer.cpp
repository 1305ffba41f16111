// Convert with a distinct marker prefix and suffix for every styled kind; the fragment
// read back must be: the frames, marked tokens and bare line breaks between them, and
// no "<" or ">" outside the markup; the tokens' text, with the converter's two entities
// undone, gives the source again up to its first zero byte.
//
// The markers are built on the byte 0x02, which the target keeps out of the source (it
// becomes 0x03). A source that itself holds "&lt;" or "&gt;" followed by the entity
// marker cannot be told from an escaped "<" or ">": such inputs are skipped.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "convert/pas_conversion.h"
#include "convert/token_kind.h"
#include "fuzz_support.h"

namespace lexiform {
namespace {

constexpr char kMarkerByte = '\x02';
constexpr std::string_view kOpeningFrame = "<pre>\r\n<code>\r\n";
constexpr std::string_view kClosingFrame = "\r\n</code>\r\n</pre>\r\n";
// One letter per kind, in TTokenKind order; LineBreak ('L') has no markup.
constexpr std::string_view kKindLetters = "ACLDIKNSTYU";

std::string Prefix(TTokenKind kind) {
  return {kMarkerByte, kKindLetters[static_cast<std::size_t>(kind)], '{'};
}
std::string Suffix(TTokenKind kind) {
  return {kMarkerByte, kKindLetters[static_cast<std::size_t>(kind)], '}'};
}

void SetMarkerStyles(TPasConversion& c) {
  auto set = [](TTokenKind kind, std::string& prefix, std::string& suffix) {
    prefix = Prefix(kind);
    suffix = Suffix(kind);
  };
  set(TTokenKind::Assembler, c.AssemblerPrefix, c.AssemblerSuffix);
  set(TTokenKind::Comment, c.CommentPrefix, c.CommentSuffix);
  set(TTokenKind::Directive, c.DirectivePrefix, c.DirectiveSuffix);
  set(TTokenKind::Identifier, c.IdentifierPrefix, c.IdentifierSuffix);
  set(TTokenKind::Keyword, c.KeywordPrefix, c.KeywordSuffix);
  set(TTokenKind::Number, c.NumberPrefix, c.NumberSuffix);
  set(TTokenKind::Space, c.SpacePrefix, c.SpaceSuffix);
  set(TTokenKind::String, c.StringPrefix, c.StringSuffix);
  set(TTokenKind::Symbol, c.SymbolPrefix, c.SymbolSuffix);
  set(TTokenKind::Unknown, c.UnknownPrefix, c.UnknownSuffix);
}

// "&lt;" and "&gt;" followed by the entity marker back to "<" and ">".
std::string Unescape(std::string_view text) {
  std::string plain;
  plain.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const std::string_view entity = text.substr(at, 5);
    if (entity.size() == 5 && entity[4] == EntityMarker &&
        (entity.substr(0, 4) == "&lt;" || entity.substr(0, 4) == "&gt;")) {
      plain += entity[1] == 'l' ? '<' : '>';
      at += 5;
    } else {
      plain += text[at++];
    }
  }
  return plain;
}

// The body between the frames read back into the text its tokens carry.
std::string ReadBack(std::string_view body) {
  std::string text;
  for (std::size_t at = 0; at < body.size();) {
    const char c = body[at];
    if (c == '\r' || c == '\n') {
      text += c; // a bare line break
      ++at;
      continue;
    }
    FUZZ_CHECK(c == kMarkerByte, "bare byte " << fuzz::Printable(body.substr(at, 1))
                                              << " outside the markers at body offset " << at);
    const char letter = at + 1 < body.size() ? body[at + 1] : '?';
    const std::size_t kind = kKindLetters.find(letter);
    FUZZ_CHECK(kind != std::string_view::npos && letter != 'L' && body.substr(at + 2, 1) == "{",
               "broken prefix at body offset " << at);
    const std::size_t end = body.find(kMarkerByte, at + 3);
    FUZZ_CHECK(end != std::string_view::npos &&
                   body.substr(end, 3) == Suffix(static_cast<TTokenKind>(kind)),
               "prefix " << letter << " at body offset " << at << " without its suffix");
    const std::string_view token = body.substr(at + 3, end - at - 3);
    FUZZ_CHECK(token.find_first_of("<>") == std::string_view::npos,
               "unescaped angle bracket in " << letter << " token " << fuzz::Printable(token));
    text += token;
    at = end + 3;
  }
  return text;
}

bool HasMarkedEntity(std::string_view source) {
  for (std::string_view entity : {"&lt;", "&gt;"}) {
    const std::string marked = std::string(entity) + EntityMarker;
    if (source.find(marked) != std::string_view::npos) {
      return true;
    }
  }
  return false;
}

} // namespace
} // namespace lexiform

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lexiform;
  std::string source(reinterpret_cast<const char*>(data), size);
  for (char& c : source) {
    c = c == kMarkerByte ? '\x03' : c;
  }
  const std::string_view scanned = std::string_view(source).substr(0, source.find('\0'));
  if (HasMarkedEntity(scanned)) {
    return -1; // not worth keeping in the corpus
  }

  TPasConversion converter;
  SetMarkerStyles(converter);
  converter.LoadFromBytes(source);
  const std::uint64_t count = converter.Convert();
  FUZZ_CHECK(count == source.size(), "Convert counted " << count << " of " << source.size());
  const std::string_view fragment = converter.Content();

  FUZZ_CHECK(fragment.substr(0, kOpeningFrame.size()) == kOpeningFrame, "no opening frame");
  if (source.empty()) {
    FUZZ_CHECK(fragment == kOpeningFrame, "an empty source gives more than the opening frame");
    return 0;
  }
  FUZZ_CHECK(fragment.size() >= kOpeningFrame.size() + kClosingFrame.size() &&
                 fragment.substr(fragment.size() - kClosingFrame.size()) == kClosingFrame,
             "no closing frame");
  const std::string_view body = fragment.substr(
      kOpeningFrame.size(), fragment.size() - kOpeningFrame.size() - kClosingFrame.size());
  const std::string back = Unescape(ReadBack(body));
  FUZZ_CHECK(back == scanned, "the fragment gives " << fuzz::Printable(back) << ", the source is "
                                                    << fuzz::Printable(scanned));
  return 0;
}

#include "convert/pas_conversion.h"

#include <algorithm>

#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "convert/byte_classes.h"
#include "convert/word_tables.h"

namespace lexiform {
namespace {

constexpr std::string_view kOpeningFrame = "<pre>\r\n<code>\r\n";
constexpr std::string_view kClosingFrame = "\r\n</code>\r\n</pre>\r\n";

constexpr std::size_t kInitialEscapeCapacity = 1024;

// The branch of the scan that the byte at the cursor chooses between tokens.
enum class Branch : std::uint8_t {
  End,
  Space,
  LineBreak,
  String,
  CharacterCode,
  HexNumber,
  DecimalNumber,
  Word,
  BraceComment,
  Symbols,
  SingleByte,
};

constexpr std::array<Branch, 256> MakeBranches() {
  std::array<Branch, 256> table{};
  for (std::size_t b = 0; b < table.size(); ++b) {
    const std::uint16_t byteClass = kByteClasses[b];
    Branch branch = Branch::SingleByte; // "|", "}", 0x7F and 0x80-0xFF
    if (b == 0) {
      branch = Branch::End;
    } else if ((byteClass & kSpaceByte) != 0) {
      branch = Branch::Space;
    } else if ((byteClass & kLineEndByte) != 0) {
      branch = Branch::LineBreak;
    } else if (b == '\'') {
      branch = Branch::String;
    } else if (b == '#') {
      branch = Branch::CharacterCode;
    } else if (b == '$') {
      branch = Branch::HexNumber;
    } else if (b >= '0' && b <= '9') {
      branch = Branch::DecimalNumber;
    } else if ((byteClass & kWordStartByte) != 0) {
      branch = Branch::Word;
    } else if (b == '{') {
      branch = Branch::BraceComment;
    } else if ((byteClass & kSymbolByte) != 0) {
      branch = Branch::Symbols;
    }
    table[b] = branch;
  }
  return table;
}

constexpr std::array<Branch, 256> kBranches = MakeBranches();

// Note [read-ahead copies]: most tokens and most markup are a handful of bytes, and
// a call to memcpy with a varying length costs more than the copy. So a short text is
// copied as a fixed block of kCopyBlock bytes, which reads past its end and writes
// past the output's end. Both stay inside their blocks: every text that is copied
// this way is followed by at least kCopyBlock readable bytes (the stream keeps tail
// room behind the source, the markup strings and the escape buffer are padded), and
// the output buffer always keeps kOutputSlack bytes free behind what an append needs.
constexpr std::size_t kCopyBlock = TMemoryStream::kTailRoom;
constexpr std::size_t kOutputSlack = 2 * kCopyBlock;

// Copies `text` to `out` (see Note [read-ahead copies]) and returns its end.
inline char* PutReadAhead(char* out, std::string_view text) {
  if (text.size() <= kCopyBlock) {
    std::memcpy(out, text.data(), kCopyBlock);
  } else {
    std::memcpy(out, text.data(), text.size());
  }
  return out + text.size();
}

// A markup string with kCopyBlock zero bytes behind it, for PutReadAhead.
std::string Padded(const std::string& markup) {
  std::string padded = markup;
  padded.append(kCopyBlock, '\0');
  return padded;
}

template <unsigned kClass> inline const char* SkipWhile(const char* at) {
  while (HasClass(*at, kClass)) {
    ++at;
  }
  return at;
}

template <unsigned kStop> inline const char* SkipUntil(const char* at) {
  while (!HasClass(*at, kStop)) {
    ++at;
  }
  return at;
}

} // namespace

TPasConversion::TPasConversion() : EscapeBuffer(kInitialEscapeCapacity) {}

TPasConversion::~TPasConversion() = default;

std::uint64_t TPasConversion::Convert() {
  const std::uint64_t sourceSize = Scan(Size());
  HandOverOutput();
  return sourceSize;
}

// Note [fragment pieces]
// A fragment is several times the size of its source (ten times for a table of
// numbers), and a program that only writes it on needs none of it once written. So
// ConvertTo hands the output on whenever a line break has brought it past kPieceSize:
// every piece is a run of whole lines, and memory stays at the source and a piece
// (more only for a longer line).
std::uint64_t TPasConversion::ConvertTo(const PieceSink& sink) {
  Sink = &sink;
  try {
    const std::uint64_t sourceSize = Scan(std::min(Size(), 2 * kPieceSize));
    Sink = nullptr;
    sink(std::string_view(Output.Data(), OutputLength));
    OutputLength = 0;
    Clear();
    return sourceSize;
  } catch (...) {
    Sink = nullptr;
    throw;
  }
}

void TPasConversion::HandPieceOn() {
  (*Sink)(std::string_view(Output.Data(), OutputLength));
  OutputLength = 0;
}

std::uint64_t TPasConversion::Scan(std::size_t expectedOutput) {
  Kind = TTokenKind::Unknown;
  const std::size_t sourceSize = Size();
  PrepareOutput(expectedOutput);
  LoadStyleTables();
  AppendOutput(kOpeningFrame);
  if (sourceSize > 0) {
    // The stream keeps a zero byte after its content; it ends the scan.
    Source = Memory();
    Cursor = Source;
    TokenStart = Source;
    while (*Cursor != '\0') {
      switch (kBranches[static_cast<unsigned char>(*Cursor)]) {
      case Branch::End:
        break;
      case Branch::Space:
        ScanSpaces();
        break;
      case Branch::LineBreak:
        ScanLineBreak();
        break;
      case Branch::String:
        ScanString();
        break;
      case Branch::CharacterCode:
        ScanCharacterCode();
        break;
      case Branch::HexNumber:
        ScanHexNumber();
        break;
      case Branch::DecimalNumber:
        ScanDecimalNumber();
        break;
      case Branch::Word:
        ScanWord();
        break;
      case Branch::BraceComment:
        ScanBraceComment();
        break;
      case Branch::Symbols:
        ScanSymbols();
        break;
      case Branch::SingleByte:
        ScanSingleByte();
        break;
      }
    }
    AppendOutput(kClosingFrame);
  }
  Source = nullptr;
  Cursor = nullptr;
  TokenStart = nullptr;
  return sourceSize;
}

void TPasConversion::LoadStyleTables() {
  const auto set = [this](TTokenKind kind, const std::string& prefix, const std::string& suffix) {
    const auto index = static_cast<std::size_t>(kind);
    PaddedPrefixes[index] = Padded(prefix);
    PaddedSuffixes[index] = Padded(suffix);
    // The padding is not part of the markup; see Note [read-ahead copies].
    Prefixes[index] = std::string_view(PaddedPrefixes[index].data(), prefix.size());
    Suffixes[index] = std::string_view(PaddedSuffixes[index].data(), suffix.size());
  };
  set(TTokenKind::LineBreak, std::string(), std::string()); // line breaks go bare
  set(TTokenKind::Assembler, AssemblerPrefix, AssemblerSuffix);
  set(TTokenKind::Comment, CommentPrefix, CommentSuffix);
  set(TTokenKind::Directive, DirectivePrefix, DirectiveSuffix);
  set(TTokenKind::Identifier, IdentifierPrefix, IdentifierSuffix);
  set(TTokenKind::Keyword, KeywordPrefix, KeywordSuffix);
  set(TTokenKind::Number, NumberPrefix, NumberSuffix);
  set(TTokenKind::Space, SpacePrefix, SpaceSuffix);
  set(TTokenKind::String, StringPrefix, StringSuffix);
  set(TTokenKind::Symbol, SymbolPrefix, SymbolSuffix);
  set(TTokenKind::Unknown, UnknownPrefix, UnknownSuffix);
}

inline TPasConversion::TTokenStyle TPasConversion::SelectStyle() {
  const auto kind = static_cast<std::size_t>(Kind);
  Kind = TTokenKind::Unknown;
  return {Prefixes[kind], Suffixes[kind]};
}

// "<" and ">" become marked entities; "&" is left to the fix-up. See Note [entity
// markers].
std::string_view TPasConversion::EscapeToken(std::string_view text) {
  std::size_t marked = 0;
  for (const char c : text) {
    marked += static_cast<std::size_t>(c == '<') + static_cast<std::size_t>(c == '>');
  }
  if (marked == 0) {
    return text; // Nothing to escape: the token is written straight from the source.
  }
  const std::size_t needed = text.size() + 4 * marked;
  if (needed + kCopyBlock > EscapeBuffer.Capacity()) {
    GrowEscapeBuffer(needed + kCopyBlock); // See Note [read-ahead copies].
  }
  char* out = EscapeBuffer.Data();
  for (const char c : text) {
    if (c == '<' || c == '>') {
      std::memcpy(out, c == '<' ? "&lt;" : "&gt;", 4);
      out[4] = EntityMarker;
      out += 5;
    } else {
      *out++ = c;
    }
  }
  return std::string_view(EscapeBuffer.Data(), needed);
}

// Grows geometrically, and at once as far as the token needs: a long line full of "<"
// must not cost one enlargement (and copy) per kilobyte.
void TPasConversion::GrowEscapeBuffer(std::size_t needed) {
  const std::size_t capacity = EscapeBuffer.Capacity();
  std::size_t grown = capacity + capacity / 2;
  if (grown < needed) {
    grown = needed;
  }
  EscapeBuffer.Resize(grown);
}

void TPasConversion::PrepareOutput(std::size_t sourceSize) {
  // Markup makes the fragment larger than the source; starting at half as much again
  // saves the first enlargements. Capacity that is never written costs no memory.
  constexpr std::size_t kFrames = 64 + kOutputSlack;
  const std::size_t max = std::numeric_limits<std::size_t>::max();
  const std::size_t minimum = sourceSize < max - kFrames ? sourceSize + kFrames : max;
  const std::size_t preferred = minimum < max - minimum / 2 ? minimum + minimum / 2 : minimum;
  OutputLength = 0;
  if (!Output.TryResize(preferred) && !Output.TryResize(minimum)) {
    throw ConversionError();
  }
}

void TPasConversion::AppendOutput(std::string_view text) {
  if (Output.Capacity() - OutputLength < text.size() + kOutputSlack) {
    GrowOutput(text.size());
  }
  if (!text.empty()) {
    std::memcpy(Output.Data() + OutputLength, text.data(), text.size());
  }
  OutputLength += text.size();
}

// AppendOutput of prefix, text and suffix as one text, without building that text.
inline void TPasConversion::AppendToken(const TTokenStyle& style, std::string_view text) {
  const std::size_t total = style.Prefix.size() + text.size() + style.Suffix.size();
  if (Output.Capacity() - OutputLength < total + kOutputSlack) {
    GrowOutput(total);
  }
  char* out = Output.Data() + OutputLength;
  OutputLength += total;
  out = PutReadAhead(out, style.Prefix);
  out = PutReadAhead(out, text);
  PutReadAhead(out, style.Suffix);
}

// Makes room for `needed` more bytes and the slack behind them. Geometric growth keeps
// a conversion linear in its output; the exact size is the fallback when memory is
// short.
void TPasConversion::GrowOutput(std::size_t needed) {
  const std::size_t max = std::numeric_limits<std::size_t>::max();
  if (needed >= max - OutputLength - kOutputSlack) {
    throw ConversionError();
  }
  const std::size_t minimum = OutputLength + needed + kOutputSlack;
  const std::size_t capacity = Output.Capacity();
  std::size_t preferred = capacity < max - capacity / 2 ? capacity + capacity / 2 : max;
  if (preferred < minimum) {
    preferred = minimum;
  }
  if (!Output.TryResize(preferred) && !Output.TryResize(minimum)) {
    throw ConversionError();
  }
}

void TPasConversion::HandOverOutput() {
  Clear(); // The source goes before the fragment settles in.
  // Give back the spare capacity; when that fails the block simply stays larger.
  Output.TryResize(OutputLength + kTailRoom);
  Adopt(std::move(Output), OutputLength);
  OutputLength = 0;
}

inline void TPasConversion::WriteToken(Escape escape) {
  const char* const end = Cursor;
  std::string_view text(TokenStart, static_cast<std::size_t>(end - TokenStart));
  if (escape == Escape::Yes) {
    text = EscapeToken(text);
  }
  AppendToken(SelectStyle(), text);
  TokenStart = end;
}

void TPasConversion::ScanSpaces() {
  Kind = TTokenKind::Space;
  Cursor = SkipWhile<kSpaceByte>(Cursor);
  WriteToken(Escape::No);
}

void TPasConversion::ScanCharacterCode() {
  Kind = TTokenKind::String;
  Cursor = SkipWhile<kCharCodeByte>(Cursor);
  WriteToken(Escape::No);
}

void TPasConversion::ScanHexNumber() {
  Kind = TTokenKind::Number;
  Cursor = SkipWhile<kHexByte>(Cursor);
  WriteToken(Escape::No);
}

void TPasConversion::ScanDecimalNumber() {
  Kind = TTokenKind::Number;
  Cursor = SkipWhile<kDecimalByte>(Cursor + 1);
  WriteToken(Escape::No);
}

void TPasConversion::ScanWord() {
  Cursor = SkipWhile<kWordByte>(Cursor + 1);
  // Words stand in the source, which has tail room: see Note [read-ahead copies].
  static_assert(kWordReadAhead <= kTailRoom);
  const TWordClass word = ClassifyWordReadAhead(
      *this, std::string_view(TokenStart, static_cast<std::size_t>(Cursor - TokenStart)));
  Kind = word.Kind;
  WriteToken(Escape::No);
  if (word.OpensAssembler) {
    ScanAssembler();
  }
}

// A run of symbol bytes, cut short by a "(*" or "//" that opens a comment. Symbols
// are escaped like comments: "a<b" must not become a tag in the document.
void TPasConversion::ScanSymbols() {
  Kind = TTokenKind::Symbol;
  // Escaping is only asked for when the run holds a "<" or ">": the same output, but
  // most runs are a byte or two and need no second look.
  bool angled = false;
  for (;;) {
    const char c = *Cursor;
    if (!HasClass(c, kSymbolByte)) {
      WriteToken(angled ? Escape::Yes : Escape::No);
      return;
    }
    if (c == '(' && Cursor[1] == '*') {
      // Also when the opener begins the run: an empty Symbol token.
      WriteToken(angled ? Escape::Yes : Escape::No);
      ScanParenComment();
      break;
    }
    if (c == '/' && Cursor[1] == '/') {
      WriteToken(angled ? Escape::Yes : Escape::No);
      ScanLineComment();
      break;
    }
    angled |= (c == '<') | (c == '>');
    ++Cursor;
  }
  // The comment's write reset Kind, so this writes an empty Unknown token: its markup
  // alone.
  WriteToken(Escape::No);
}

void TPasConversion::ScanSingleByte() {
  ++Cursor;
  WriteToken(Escape::No);
}

// CR LF, a lone CR and a lone LF each make one bare LineBreak token.
void TPasConversion::ScanLineBreak() {
  do {
    if (*Cursor == '\r' && Cursor[1] == '\n') {
      Cursor += 2;
    } else {
      ++Cursor;
    }
    Kind = TTokenKind::LineBreak;
    WriteToken(Escape::No);
    if (Sink != nullptr && OutputLength >= kPieceSize) {
      HandPieceOn(); // See Note [fragment pieces].
    }
  } while (HasClass(*Cursor, kLineEndByte));
}

// A literal that the line end or the end of the text leaves open is written up to
// there; the line end is then scanned as usual.
void TPasConversion::ScanString() {
  Kind = TTokenKind::String;
  Cursor = SkipUntil<kStopString>(Cursor + 1);
  if (*Cursor == '\'') {
    ++Cursor;
  }
  WriteToken(Escape::Yes);
}

// Inside a multi-line comment or assembler block: writes the line's text, if any, as
// a token of `kind`, then the line break or breaks.
void TPasConversion::FlushLine(TTokenKind kind) {
  if (Cursor != TokenStart) {
    Kind = kind;
    WriteToken(Escape::Yes);
  }
  ScanLineBreak();
}

void TPasConversion::ScanBraceComment() {
  for (;;) {
    Cursor = SkipUntil<kStopBrace>(Cursor);
    if (*Cursor == '}') {
      ++Cursor;
      break;
    }
    if (*Cursor == '\0') {
      break;
    }
    FlushLine(TTokenKind::Comment);
  }
  Kind = TTokenKind::Comment;
  WriteToken(Escape::Yes);
}

// Entered on the "(" of "(*"; the "*" of the opener may also close it: "(*)".
void TPasConversion::ScanParenComment() {
  for (;;) {
    Cursor = SkipUntil<kStopParen>(Cursor);
    if (*Cursor == '*') {
      if (Cursor[1] == ')') {
        Cursor += 2;
        break;
      }
      ++Cursor;
      continue;
    }
    if (*Cursor == '\0') {
      break;
    }
    FlushLine(TTokenKind::Comment);
  }
  Kind = TTokenKind::Comment;
  WriteToken(Escape::Yes);
}

void TPasConversion::ScanLineComment() {
  Kind = TTokenKind::Comment;
  Cursor = SkipUntil<kStopLine>(Cursor);
  WriteToken(Escape::Yes);
}

// Entered right after the word ASM. The block ends before the next lower-case "end",
// wherever it stands, so that the main scan takes it up as a word.
void TPasConversion::ScanAssembler() {
  for (;;) {
    Cursor = SkipUntil<kStopAssembler>(Cursor);
    if (*Cursor == 'e') {
      if (Cursor[1] == 'n' && Cursor[2] == 'd') {
        break;
      }
      ++Cursor;
      continue;
    }
    if (*Cursor == '\0') {
      break;
    }
    FlushLine(TTokenKind::Assembler);
  }
  Kind = TTokenKind::Assembler;
  WriteToken(Escape::Yes);
}

} // namespace lexiform

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

// Note [scan state in locals]: the scan writes the output through a char pointer, and
// a store through a char pointer may change any object, so the compiler reloads every
// member of the converter after each token it writes. The scanner therefore lives in a
// local object whose address never leaves ScanTokens: its cursor, the output's write
// position and the markup stay in registers, and only growing the output (rare) goes
// through the converter. With the tokens' kinds passed along instead of kept in a
// field, this took the conversion of the FPC corpus (convert_bench, ConvertTo, best
// of five runs) from 427 to 499 MB/s; the scanner as an object of its own gave 449
// MB/s of that, inlining it into one local the rest.
class TPasConversion::Scanner {
public:
  Scanner(TPasConversion& owner, const char* source, std::size_t sourceSize)
      : owner_(owner), cursor_(source), tokenStart_(source), source_(source),
        sourceEnd_(source + sourceSize) {
    for (std::size_t kind = 0; kind < kTokenKindCount; ++kind) {
      styles_[kind] = {owner.Prefixes[kind], owner.Suffixes[kind]};
    }
    NextInsertion();
    TakeOutput();
  }

  // Scans up to the source's first zero byte; the output's length is then up to date.
  void Run() {
    while (*cursor_ != '\0') {
      switch (kBranches[static_cast<unsigned char>(*cursor_)]) {
      case Branch::End:
        break;
      case Branch::Space:
        cursor_ = SkipWhile<kSpaceByte>(cursor_);
        Write(TTokenKind::Space, Escape::No);
        break;
      case Branch::LineBreak:
        ScanLineBreaks();
        break;
      case Branch::String:
        ScanString();
        break;
      case Branch::CharacterCode:
        cursor_ = SkipWhile<kCharCodeByte>(cursor_);
        Write(TTokenKind::String, Escape::No);
        break;
      case Branch::HexNumber:
        cursor_ = SkipWhile<kHexByte>(cursor_);
        Write(TTokenKind::Number, Escape::No);
        break;
      case Branch::DecimalNumber:
        cursor_ = SkipWhile<kDecimalByte>(cursor_ + 1);
        Write(TTokenKind::Number, Escape::No);
        break;
      case Branch::Word:
        ScanWord();
        break;
      case Branch::BraceComment:
        ScanBlock<kStopBrace>(TTokenKind::Comment);
        break;
      case Branch::Symbols:
        ScanSymbols();
        break;
      case Branch::SingleByte:
        ++cursor_;
        Write(TTokenKind::Unknown, Escape::No);
        break;
      }
    }
    WriteInsertions(sourceEnd_); // the rest goes at the end; no place lies beyond it
    GiveOutputBack();
  }

private:
  enum class Escape { No, Yes };

  // Points insertAt_ at the next insertion's place; one past the source's end (still in
  // its tail room) when there is none, which no token starts at.
  void NextInsertion() {
    const std::vector<TInsertion>& insertions = owner_.Insertions;
    if (nextInsertion_ >= insertions.size()) {
      insertAt_ = sourceEnd_ + 1;
      return;
    }
    const std::size_t offset = insertions[nextInsertion_].Offset;
    const auto size = static_cast<std::size_t>(sourceEnd_ - source_);
    insertAt_ = source_ + (offset < size ? offset : size);
  }

  // Writes every insertion whose place lies at or before `reached`. Rare, so kept out of
  // the token path, which only compares two pointers.
  [[gnu::noinline]] void WriteInsertions(const char* reached) {
    const std::vector<TInsertion>& insertions = owner_.Insertions;
    while (nextInsertion_ < insertions.size() && insertAt_ <= reached) {
      const std::string_view text = insertions[nextInsertion_].Text;
      Reserve(text.size());
      if (!text.empty()) {
        std::memcpy(out_, text.data(), text.size());
      }
      out_ += text.size();
      ++nextInsertion_;
      NextInsertion();
    }
  }

  // The output's write position and end from the converter, and back.
  void TakeOutput() {
    out_ = owner_.Output.Data() + owner_.OutputLength;
    outLimit_ = owner_.Output.Data() + (owner_.Output.Capacity() - kOutputSlack);
  }
  void GiveOutputBack() {
    owner_.OutputLength = static_cast<std::size_t>(out_ - owner_.Output.Data());
  }

  // Makes room for `needed` more bytes (and the slack behind them, see
  // Note [read-ahead copies]).
  void Reserve(std::size_t needed) {
    if (needed > static_cast<std::size_t>(outLimit_ - out_)) {
      GiveOutputBack();
      owner_.GrowOutput(needed);
      TakeOutput();
    }
  }

  // Writes the bytes from tokenStart_ to cursor_ as one token of `kind`.
  void Write(TTokenKind kind, Escape escape) {
    if (insertAt_ <= tokenStart_) {
      WriteInsertions(tokenStart_);
    }
    std::string_view text(tokenStart_, static_cast<std::size_t>(cursor_ - tokenStart_));
    if (escape == Escape::Yes) {
      text = owner_.EscapeToken(text);
    }
    const TTokenStyle& style = styles_[static_cast<std::size_t>(kind)];
    Reserve(style.Prefix.size() + text.size() + style.Suffix.size());
    out_ = PutReadAhead(out_, style.Prefix);
    out_ = PutReadAhead(out_, text);
    out_ = PutReadAhead(out_, style.Suffix);
    tokenStart_ = cursor_;
  }

  // CR LF, a lone CR and a lone LF each make one bare line break (no markup).
  void ScanLineBreaks() {
    do {
      if (insertAt_ <= tokenStart_) {
        WriteInsertions(tokenStart_);
      }
      cursor_ += *cursor_ == '\r' && cursor_[1] == '\n' ? 2 : 1;
      const auto length = static_cast<std::size_t>(cursor_ - tokenStart_);
      Reserve(length);
      std::memcpy(out_, tokenStart_, 2); // the source's tail room covers a lone byte
      out_ += length;
      tokenStart_ = cursor_;
      if (owner_.Sink != nullptr &&
          static_cast<std::size_t>(out_ - owner_.Output.Data()) >= kPieceSize) {
        GiveOutputBack();
        owner_.HandPieceOn(); // See Note [fragment pieces].
        TakeOutput();
      }
    } while (HasClass(*cursor_, kLineEndByte));
  }

  void ScanWord() {
    cursor_ = SkipWordBytes(cursor_ + 1); // See Note [eight word bytes at a time].
    // Words stand in the source, which has tail room: see Note [read-ahead copies].
    static_assert(kWordReadAhead <= kTailRoom);
    const TWordClass word = ClassifyWordReadAhead(
        owner_, std::string_view(tokenStart_, static_cast<std::size_t>(cursor_ - tokenStart_)));
    Write(word.Kind, Escape::No);
    if (word.OpensAssembler) {
      ScanAssembler();
    }
  }

  // A literal that the line end or the end of the text leaves open is written up to
  // there; the line end is then scanned as usual.
  void ScanString() {
    cursor_ = SkipUntil<kStopString>(cursor_ + 1);
    if (*cursor_ == '\'') {
      ++cursor_;
    }
    Write(TTokenKind::String, Escape::Yes);
  }

  // A run of symbol bytes, cut short by a "(*" or "//" that opens a comment. Symbols
  // are escaped like comments: "a<b" must not become a tag in the document.
  void ScanSymbols() {
    // Escaping is only asked for when the run holds a "<" or ">": the same output, but
    // most runs are a byte or two and need no second look.
    bool angled = false;
    for (;;) {
      const char c = *cursor_;
      if (!HasClass(c, kSymbolByte)) {
        Write(TTokenKind::Symbol, angled ? Escape::Yes : Escape::No);
        return;
      }
      if (c == '(' && cursor_[1] == '*') {
        // Also when the opener begins the run: an empty Symbol token.
        Write(TTokenKind::Symbol, angled ? Escape::Yes : Escape::No);
        ScanBlock<kStopParen>(TTokenKind::Comment);
        break;
      }
      if (c == '/' && cursor_[1] == '/') {
        Write(TTokenKind::Symbol, angled ? Escape::Yes : Escape::No);
        cursor_ = SkipUntil<kStopLine>(cursor_);
        Write(TTokenKind::Comment, Escape::Yes);
        break;
      }
      angled |= (c == '<') | (c == '>');
      ++cursor_;
    }
    // After a comment the run ends with an empty Unknown token: its markup alone.
    Write(TTokenKind::Unknown, Escape::No);
  }

  // Entered right after the word ASM. The block ends before the next lower-case "end",
  // wherever it stands, so that the main scan takes it up as a word.
  void ScanAssembler() { ScanBlock<kStopAssembler>(TTokenKind::Assembler); }

  // Whether the stop byte at the cursor ends the block; moves the cursor past the
  // block's end, or past a stop byte that does not end it.
  template <unsigned kStop> bool AtBlockEnd() {
    if constexpr (kStop == kStopBrace) {
      ++cursor_; // the "}"
      return true;
    } else if constexpr (kStop == kStopParen) {
      if (cursor_[1] == ')') { // "*)"; the "*" of the opener counts: "(*)"
        cursor_ += 2;
        return true;
      }
      ++cursor_;
      return false;
    } else {
      if (cursor_[1] == 'n' && cursor_[2] == 'd') {
        return true; // the cursor stays on the "e"
      }
      ++cursor_;
      return false;
    }
  }

  // A brace comment, paren comment or assembler block: one token of `kind` per line,
  // the line breaks between them bare, running to its end or the end of the text.
  template <unsigned kStop> void ScanBlock(TTokenKind kind) {
    for (;;) {
      cursor_ = SkipUntil<kStop>(cursor_);
      const char c = *cursor_;
      if (c == '\0') {
        break;
      }
      if (c != '\r' && c != '\n') {
        if (AtBlockEnd<kStop>()) {
          break;
        }
        continue;
      }
      if (cursor_ != tokenStart_) {
        Write(kind, Escape::Yes);
      }
      ScanLineBreaks();
    }
    Write(kind, Escape::Yes);
  }

  TPasConversion& owner_;
  const char* cursor_;
  const char* tokenStart_; // first byte of the token being cut; cursor_ between tokens
  char* out_ = nullptr;
  char* outLimit_ = nullptr; // where the slack behind the output begins
  std::array<TTokenStyle, kTokenKindCount> styles_;
  const char* const source_;
  const char* const sourceEnd_;
  const char* insertAt_ = nullptr; // the next insertion's place in the source
  std::size_t nextInsertion_ = 0;
};

std::uint64_t TPasConversion::Scan(std::size_t expectedOutput) {
  const std::size_t sourceSize = Size();
  PrepareOutput(expectedOutput);
  LoadStyleTables();
  AppendOutput(kOpeningFrame);
  if (sourceSize > 0) {
    ScanTokens();
    AppendOutput(kClosingFrame);
  }
  return sourceSize;
}

// Flattened, so that the scanner's functions are all inlined here and the scanner is
// a local whose fields the compiler keeps in registers: see Note [scan state in
// locals]. Without it the compiler keeps the scanner's main loop out of line, where the
// fields are reached through a pointer again.
[[gnu::flatten]] void TPasConversion::ScanTokens() {
  // The stream keeps a zero byte after its content; it ends the scan.
  Scanner scanner(*this, Memory(), Size());
  scanner.Run();
}

} // namespace lexiform

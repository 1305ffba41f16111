#include "document/entry_conversion.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string_view>
#include <utility>
#include <vector>

#include "convert/entity_fixup.h"
#include "convert/pas_conversion.h"
#include "convert/text_lines.h"
#include "convert/utf8_text.h"
#include "files/source_file.h"

namespace lexiform {

namespace {

constexpr std::string_view kCrLf = "\r\n";

void ApplyStyles(TPasConversion& converter, const TEntryFormat& format) {
  auto set = [&format](TTokenKind kind, std::string& prefix, std::string& suffix) {
    const TStyle& style = format.TokenStyles[static_cast<std::size_t>(kind)];
    prefix = style.Prefix;
    suffix = style.Suffix;
  };
  set(TTokenKind::Keyword, converter.KeywordPrefix, converter.KeywordSuffix);
  set(TTokenKind::Comment, converter.CommentPrefix, converter.CommentSuffix);
  set(TTokenKind::Directive, converter.DirectivePrefix, converter.DirectiveSuffix);
  set(TTokenKind::Identifier, converter.IdentifierPrefix, converter.IdentifierSuffix);
  set(TTokenKind::Number, converter.NumberPrefix, converter.NumberSuffix);
  set(TTokenKind::String, converter.StringPrefix, converter.StringSuffix);
  set(TTokenKind::Symbol, converter.SymbolPrefix, converter.SymbolSuffix);
  set(TTokenKind::Space, converter.SpacePrefix, converter.SpaceSuffix);
  set(TTokenKind::Unknown, converter.UnknownPrefix, converter.UnknownSuffix);
  set(TTokenKind::Assembler, converter.AssemblerPrefix, converter.AssemblerSuffix);
}

// Reads the source into the converter: no more than `size` bytes, nor its length when
// opened.
void LoadSource(TPasConversion& converter, SourceFile& source, std::uint64_t size) {
  const std::uint64_t readable = std::min(size, source.Size());
  if (readable > std::numeric_limits<std::size_t>::max() - 2 * TMemoryStream::kTailRoom) {
    throw platform::FileError("File too large to load");
  }
  const auto length = static_cast<std::size_t>(readable);
  ByteBlock block(length + TMemoryStream::kTailRoom);
  const std::size_t got = source.ReadInto(block.Data(), length);
  converter.Adopt(std::move(block), got);
}

// The converter's source, up to the zero byte where its scan stops.
std::string_view ScannedText(const TPasConversion& converter) {
  return converter.Size() == 0 ? std::string_view() : std::string_view(converter.Memory());
}

// A body in UTF-8 gets it whatever the source was written in.
void RecodeSourceToUtf8(TPasConversion& converter, CodePage page) {
  const std::string_view text = ScannedText(converter);
  if (!IsPlainText(text)) {
    converter.LoadFromBytes(TextToUtf8(std::string(text), page));
  }
}

// Takes the fixed text of a conversion line by line (see Note [line framing]): the
// converter's opening frame, the source lines, its closing frame. Writes the source
// lines, and what the format's framing puts around them and around the code. The empty
// line after a source's last line end (the one right before the closing frame) is no
// line of the source: it gets no number, but it stays, so that code copied from a
// browser (which drops the last line end of a block) ends with that line end. The
// frame's lines are the converter's own (TPasConversion::kOpeningFrameLines,
// kClosingFrameLine), which no source line can read.
//
// A line that comes in pieces (the fix-up writes a long line slice by slice, then its
// line end whole; no line holds a CR or LF) is written on as its pieces come, once it is
// long enough to be no line of the frame: a line of many megabytes is neither gathered
// nor searched again for each piece.
class SourceLineWriter final : public TextSink {
public:
  SourceLineWriter(const LineFraming& framing, const FramedEntry& entry, TextSink& body)
      : framing_(framing), entry_(entry), body_(body) {}

  void Write(std::string_view bytes) override {
    for (std::size_t end; (end = bytes.find(kCrLf)) != std::string_view::npos;
         bytes.remove_prefix(end + kCrLf.size())) {
      TakePiece(bytes.substr(0, end));
      EndLine();
    }
    TakePiece(bytes);
  }

  void WriteLine(std::string_view line) override {
    if (!lineOpen_ && partial_.empty()) {
      TakeLine(line);
    } else {
      Write(line);
      Write(kCrLf);
    }
  }

  // Whatever a Ctrl-Z left unended.
  void Finish() {
    if (lineOpen_ || !partial_.empty()) {
      EndLine();
    }
    if (!closed_) {
      WriteEmptyLines(emptyLines_);
    }
    framing_.CloseCode(out_, frame_);
    Flush();
  }

private:
  // What gathers before it is written: pieces of about this size keep the calls few.
  static constexpr std::size_t kWriteSize = std::size_t{64} << 10;
  // No line of the converter's frame is longer than its closing line.
  static constexpr std::size_t kLongestFrameLine = TPasConversion::kClosingFrameLine.size();

  // A piece of the line that has not ended yet.
  void TakePiece(std::string_view piece) {
    if (lineOpen_) {
      Append(piece);
      return;
    }
    partial_.append(piece.data(), piece.size());
    if (partial_.size() > kLongestFrameLine && linesTaken_ >= TPasConversion::kOpeningFrameLines &&
        !closed_) {
      WriteEmptyLines(emptyLines_);
      StartSourceLine();
      Append(partial_);
      partial_.clear();
      lineOpen_ = true;
    }
  }

  void EndLine() {
    if (lineOpen_) {
      lineOpen_ = false;
      ++linesTaken_;
      EndSourceLine();
    } else {
      TakeLine(partial_);
      partial_.clear();
    }
  }

  void TakeLine(std::string_view line) {
    ++linesTaken_;
    if (linesTaken_ <= TPasConversion::kOpeningFrameLines) {
      AppendFrameLine(line);
      if (linesTaken_ == TPasConversion::kOpeningFrameLines) {
        framing_.OpenCode(out_, frame_);
        frame_.clear();
      }
    } else if (closed_) {
      AppendFrameLine(line);
    } else if (line == TPasConversion::kClosingFrameLine) {
      closed_ = true;
      if (emptyLines_ > 0) {
        WriteEmptyLines(emptyLines_ - 1);
        out_ += kCrLf;
      }
      AppendFrameLine(line);
    } else if (line.empty()) {
      ++emptyLines_; // held back: the last one before the closing frame is no source line
    } else {
      WriteEmptyLines(emptyLines_);
      StartSourceLine();
      Append(line);
      EndSourceLine();
    }
    FlushWhenFull();
  }

  void AppendFrameLine(std::string_view line) {
    frame_ += line;
    frame_ += kCrLf;
  }

  void WriteEmptyLines(std::size_t count) {
    for (; count > 0; --count) {
      StartSourceLine();
      EndSourceLine();
    }
    emptyLines_ = 0;
  }

  void StartSourceLine() { framing_.StartLine(out_, entry_, ++sourceLine_); }

  void EndSourceLine() {
    framing_.EndLine(out_);
    out_ += kCrLf;
    FlushWhenFull();
  }

  // Text of a source line; a long one goes on as it is, without a copy.
  void Append(std::string_view text) {
    if (text.size() >= kWriteSize) {
      Flush();
      body_.Write(text);
    } else {
      out_ += text;
      FlushWhenFull();
    }
  }

  void FlushWhenFull() {
    if (out_.size() >= kWriteSize) {
      Flush();
    }
  }

  void Flush() {
    body_.Write(out_);
    out_.clear();
  }

  const LineFraming& framing_;
  const FramedEntry entry_;
  TextSink& body_;
  std::string partial_; // the start of a line that came in pieces, while it is short
  std::string frame_;   // the converter's frame lines not yet handed to the framing
  std::string out_;     // written text not yet handed on
  std::size_t linesTaken_ = 0;
  std::size_t sourceLine_ = 0;
  std::size_t emptyLines_ = 0; // empty source lines held back
  bool lineOpen_ = false;      // a source line is being written piece by piece
  bool closed_ = false;        // the converter's closing frame line came
};

enum class Recode { No, Yes };

// The loaded source's body in `format`.
void ConvertLoaded(TPasConversion& converter, std::size_t number, const TEntryFormat& format,
                   TextSink& body, Recode recode = Recode::Yes) {
  const LineFraming& framing = *format.Framing;
  if (framing.Verbatim()) {
    // The converter's lines as they are, unlooked at.
    FixedTextWriter fixedText(body);
    converter.ConvertTo([&fixedText](std::string_view piece) { fixedText.Write(piece); });
    fixedText.Finish();
    return;
  }
  if (framing.RecodesToUtf8() && recode == Recode::Yes) {
    RecodeSourceToUtf8(converter, format.SourcePage);
  }
  FramedEntry entry;
  entry.number = number;
  entry.lineCount = framing.CountsLines() ? CountLines(ScannedText(converter)) : 0;
  SourceLineWriter lines(framing, entry, body);
  FixedTextWriter fixedText(lines);
  converter.ConvertTo([&fixedText](std::string_view piece) { fixedText.Write(piece); });
  fixedText.Finish();
  lines.Finish();
}

// The body of `text`, held whole in memory, with `insertions` placed at their offsets.
void ConvertHeldText(std::string_view text, std::size_t number, const TEntryFormat& format,
                     TextSink& body, std::vector<TPasConversion::TInsertion> insertions,
                     Recode recode) {
  if (text.empty()) {
    return;
  }
  TPasConversion converter;
  ApplyStyles(converter, format);
  converter.LoadFromBytes(text);
  converter.Insertions = std::move(insertions);
  ConvertLoaded(converter, number, format, body, recode);
}

} // namespace

void ConvertEntry(const std::string& path, std::uint64_t size, std::size_t number,
                  const TEntryFormat& format, TextSink& body) {
  if (size == 0) {
    return; // an empty file, or no file: a section without body lines, and no converter
  }
  SourceFile source(path);
  TPasConversion converter;
  ApplyStyles(converter, format);
  LoadSource(converter, source, size);
  if (converter.Size() == 0) {
    return; // emptied since it was looked at: as an empty file
  }
  ConvertLoaded(converter, number, format, body);
}

void ConvertEntryText(std::string_view source, std::size_t number, const TEntryFormat& format,
                      TextSink& body) {
  ConvertHeldText(source, number, format, body, {}, Recode::Yes);
}

void ConvertPageText(std::string_view text, PageInsertions insertions, const TEntryFormat& format,
                     TextSink& body) {
  ConvertHeldText(text, 1, format, body, std::move(insertions.at), Recode::No);
}

std::string ReadPageText(SourceFile& source, std::uint64_t size, CodePage page) {
  const std::uint64_t readable = std::min(size, source.Size());
  if (readable > std::numeric_limits<std::size_t>::max() - 1) {
    throw platform::FileError("File too large to load");
  }
  std::string text(static_cast<std::size_t>(readable), '\0');
  text.resize(source.ReadInto(text.data(), text.size()));
  return TextToUtf8(std::move(text), page);
}

std::string ReadPageText(const std::string& path, std::uint64_t size, CodePage page) {
  SourceFile source(path);
  return ReadPageText(source, size, page);
}

} // namespace lexiform

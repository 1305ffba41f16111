#include "driver/entry_conversion.h"

#include <cstring>
#include <limits>
#include <string_view>
#include <utility>

#include "convert/entity_fixup.h"
#include "convert/pas_conversion.h"
#include "convert/text_lines.h"
#include "convert/utf8_text.h"
#include "document/html5_document.h"
#include "files/file_size.h"
#include "files/source_file.h"

namespace lexiform {

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kClosingFrame = "</code>\r\n</pre>\r\n";

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

// Reads the source into the converter: no more than its length when opened.
void LoadSource(TPasConversion& converter, const std::string& path) {
  SourceFile source(path);
  if (source.Size() > std::numeric_limits<std::size_t>::max() - 2 * TMemoryStream::kTailRoom) {
    throw platform::FileError("File too large to load: " + path);
  }
  const auto size = static_cast<std::size_t>(source.Size());
  ByteBlock block(size + TMemoryStream::kTailRoom);
  const std::size_t got = source.ReadInto(block.Data(), size);
  converter.Adopt(std::move(block), got);
}

// The converter's source, up to the zero byte where its scan stops.
std::string_view ScannedText(const TPasConversion& converter) {
  return converter.Size() == 0 ? std::string_view() : std::string_view(converter.Memory());
}

// An HTML5 document is UTF-8, whatever the source was written in.
void RecodeSourceToUtf8(TPasConversion& converter, CodePage page) {
  converter.LoadFromBytes(TextToUtf8(std::string(ScannedText(converter)), page));
}

std::size_t CountLines(std::string_view text) {
  TextLines lines(text);
  std::size_t count = 0;
  for (std::string_view line; lines.Next(line);) {
    ++count;
  }
  return count;
}

std::size_t DecimalDigits(std::size_t number) {
  std::size_t digits = 1;
  for (; number >= 10; number /= 10) {
    ++digits;
  }
  return digits;
}

// Takes the fixed text of a conversion, every line ended by CR LF: the converter's
// "<pre>" and "<code>" lines, the source lines, its "</code>" and "</pre>" lines. Writes
// the source lines in the entry's format, numbered when lines are numbered. An HTML5
// body puts kHtml5CodeStart before the first source line and kHtml5CodeEnd after the
// last, for the converter's frame. The empty line after a source's last line end is no
// line of the source: it gets no number, but it stays, so that the code copied from a
// browser (which drops the last line end of a block) ends with that line end.
class SourceLineWriter final : public TextSink {
public:
  SourceLineWriter(const TEntryFormat& format, std::size_t number, std::size_t lineCount,
                   TextSink& body)
      : format_(format), number_(number), width_(DecimalDigits(lineCount)), body_(body) {
    if (format.Html5) {
      anchor_ = format.Anchors.at(number - 1);
    }
  }

  void Write(std::string_view bytes) override {
    pending_.append(bytes.data(), bytes.size());
    if (pending_.size() >= kWriteSize) {
      WriteAllButHeldBack();
    }
  }

  void Finish() {
    std::string_view rest = pending_;
    std::string_view closingFrame;
    if (EndsWithLine(rest, kClosingFrame)) {
      closingFrame = rest.substr(rest.size() - kClosingFrame.size());
      rest.remove_suffix(kClosingFrame.size());
    }
    std::string_view emptyLastLine;
    if (EndsWithLine(rest, kCrLf)) {
      emptyLastLine = kCrLf;
      rest.remove_suffix(kCrLf.size());
    }
    WriteLines(rest);
    out_ += emptyLastLine;
    out_ += format_.Html5 ? kHtml5CodeEnd : closingFrame;
    pending_.clear();
    Flush();
  }

private:
  // What gathers before it is written: pieces of about this size keep the calls few.
  static constexpr std::size_t kWriteSize = std::size_t{64} << 10;
  // The last lines may be the closing frame and the empty line before it.
  static constexpr std::size_t kHeldBack = 3;

  // Whether `text` ends with the whole lines `lines`.
  static bool EndsWithLine(std::string_view text, std::string_view lines) {
    if (text.size() < lines.size() || text.substr(text.size() - lines.size()) != lines) {
      return false;
    }
    return text.size() == lines.size() || text[text.size() - lines.size() - 1] == '\n';
  }

  void WriteAllButHeldBack() {
    std::size_t cut = pending_.size();
    for (std::size_t i = 0; i <= kHeldBack; ++i) {
      if (cut == 0 || (cut = pending_.rfind('\n', cut - 1)) == std::string::npos) {
        return;
      }
    }
    ++cut; // after the line end of the last line that is not held back
    WriteLines(std::string_view(pending_).substr(0, cut));
    pending_.erase(0, cut);
    Flush();
  }

  void WriteLines(std::string_view text) {
    while (!text.empty()) {
      const std::size_t end = text.find(kCrLf);
      WriteLine(text.substr(0, end));
      text.remove_prefix(end == std::string_view::npos ? text.size() : end + kCrLf.size());
    }
  }

  void WriteLine(std::string_view line) {
    ++linesSeen_;
    if (linesSeen_ <= 2) { // the converter's "<pre>" and "<code>"
      if (!format_.Html5) {
        out_ += line;
        out_ += kCrLf;
      } else if (linesSeen_ == 2) {
        out_ += kHtml5CodeStart;
      }
      return;
    }
    const std::size_t lineNumber = linesSeen_ - 2;
    if (!format_.LineNumbers) {
      out_ += line;
    } else if (format_.Html5) {
      AppendNumberedLine(out_, anchor_, lineNumber, line);
    } else {
      out_ += LineNumberPrefix(number_, lineNumber, width_, format_.LineNumberStyle);
      out_ += line;
    }
    out_ += kCrLf;
  }

  void Flush() {
    body_.Write(out_);
    out_.clear();
  }

  const TEntryFormat& format_;
  const std::size_t number_;
  const std::size_t width_;
  std::string_view anchor_;
  TextSink& body_;
  std::string pending_; // fixed text not yet written
  std::string out_;     // written text not yet handed on
  std::size_t linesSeen_ = 0;
};

} // namespace

TEntryFormat ClassicFormat(const TStyleConfig& config) {
  TEntryFormat format;
  format.TokenStyles = config.Styles;
  format.LineNumberStyle = config.LineNumber;
  return format;
}

void ConvertEntry(const std::string& path, std::size_t number, const TEntryFormat& format,
                  TextSink& body) {
  if (GetFileSizeBytes(path) == 0) {
    return; // an empty file: a section without body lines, and no converter
  }
  TPasConversion converter;
  ApplyStyles(converter, format);
  LoadSource(converter, path);
  if (!format.Html5 && !format.LineNumbers) {
    // The document as it has always been: the converter's lines as they are.
    FixedTextWriter fixedText(body);
    converter.ConvertTo([&fixedText](std::string_view piece) { fixedText.Write(piece); });
    fixedText.Finish();
    return;
  }
  if (format.Html5) {
    RecodeSourceToUtf8(converter, format.SourcePage);
  }
  const std::size_t lineCount = format.Html5 ? 0 : CountLines(ScannedText(converter));
  SourceLineWriter lines(format, number, lineCount, body);
  FixedTextWriter fixedText(lines);
  converter.ConvertTo([&fixedText](std::string_view piece) { fixedText.Write(piece); });
  fixedText.Finish();
  lines.Finish();
}

} // namespace lexiform

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "document/document_layout.h"
#include "document/document_writer.h"
#include "document/html5_document.h"
#include "files/file_size.h"

namespace lexiform {

namespace {

std::size_t DecimalDigits(std::size_t number) {
  std::size_t digits = 1;
  for (; number >= 10; number /= 10) {
    ++digits;
  }
  return digits;
}

// The converter's lines and frame as they are; numbered, each line starts with its
// anchor and its number, padded to the width of the entry's last line number.
class ClassicFraming final : public LineFraming {
public:
  ClassicFraming(LineNumbering numbering, const TStyle& lineNumberStyle)
      : numbered_(numbering == LineNumbering::Yes), lineNumberStyle_(lineNumberStyle) {}

  bool Verbatim() const override { return !numbered_; }
  bool RecodesToUtf8() const override { return false; }
  bool CountsLines() const override { return numbered_; }

  void OpenCode(std::string& out, std::string_view converterFrame) const override {
    out += converterFrame;
  }
  void CloseCode(std::string& out, std::string_view converterFrame) const override {
    out += converterFrame;
  }

  void StartLine(std::string& out, const FramedEntry& entry, std::size_t line) const override {
    if (numbered_) {
      out += LineNumberPrefix(entry.number, line, DecimalDigits(entry.lineCount), lineNumberStyle_);
    }
  }
  void EndLine(std::string& /*out*/) const override {}

private:
  const bool numbered_;
  const TStyle lineNumberStyle_;
};

// The document as it has always been: the configuration's header, markup and footer,
// and for more than one entry the index with anchors.
class ClassicLayout final : public DocumentLayout {
public:
  ClassicLayout(const LayoutChoice& choice, const TStyleConfig& config,
                const std::vector<std::string>& fileList)
      : format_(ClassicFormat(config, choice.lineNumbers ? LineNumbering::Yes : LineNumbering::No,
                              choice.sourcePage)),
        headerText_(config.HeaderText), footerText_(config.FooterText), fileList_(fileList) {}

  const TEntryFormat& Format() const override { return format_; }

  void WriteStart(TextSink& document, const std::vector<IndexedEntry>& entries) override {
    std::vector<std::string> sizeTexts;
    sizeTexts.reserve(entries.size());
    for (const IndexedEntry& entry : entries) {
      sizeTexts.push_back(FormatFileSize(entry.size));
    }
    WriteDocumentStart(document, headerText_, fileList_, sizeTexts);
  }

  void WriteSection(TextSink& document, std::size_t index, const std::string& sizeText,
                    const BodyWriter& writeBody) const override {
    AppendFileSection(document, index + 1, fileList_[index], sizeText, fileList_.size() > 1,
                      writeBody);
  }

  // The index's link to an entry without a section leads nowhere, as it always has.
  void WriteFailedSection(TextSink& /*document*/, std::size_t /*index*/,
                          const std::string& /*reason*/) const override {}

  void WriteEnd(TextSink& document) const override { WriteDocumentEnd(document, footerText_); }

private:
  TEntryFormat format_;
  std::string headerText_;
  std::string footerText_;
  const std::vector<std::string>& fileList_;
};

} // namespace

TEntryFormat::TEntryFormat()
    : Framing(std::make_shared<ClassicFraming>(LineNumbering::No, TStyle())) {}

TEntryFormat ClassicFormat(const TStyleConfig& config, LineNumbering numbering,
                           CodePage sourcePage) {
  TEntryFormat format;
  format.TokenStyles = config.Styles;
  format.SourcePage = sourcePage;
  format.Framing = std::make_shared<ClassicFraming>(numbering, config.LineNumber);
  return format;
}

std::unique_ptr<DocumentLayout> MakeClassicLayout(const LayoutChoice& choice,
                                                  const TStyleConfig& config,
                                                  const std::vector<std::string>& fileList) {
  return std::make_unique<ClassicLayout>(choice, config, fileList);
}

} // namespace lexiform

#include <string>
#include <utility>
#include <vector>

#include "document/document_layout.h"
#include "document/document_writer.h"
#include "files/file_size.h"

namespace lexiform {

namespace {

// The document as it has always been: the configuration's header, markup and footer,
// and for more than one entry the index with anchors.
class ClassicLayout final : public DocumentLayout {
public:
  ClassicLayout(const LayoutChoice& choice, const TStyleConfig& config,
                const std::vector<std::string>& fileList)
      : format_(ClassicFormat(config)), headerText_(config.HeaderText),
        footerText_(config.FooterText), fileList_(fileList) {
    format_.LineNumbers = choice.lineNumbers;
    format_.SourcePage = choice.sourcePage;
  }

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

TEntryFormat ClassicFormat(const TStyleConfig& config) {
  TEntryFormat format;
  format.TokenStyles = config.Styles;
  format.LineNumberStyle = config.LineNumber;
  return format;
}

std::unique_ptr<DocumentLayout> MakeClassicLayout(const LayoutChoice& choice,
                                                  const TStyleConfig& config,
                                                  const std::vector<std::string>& fileList) {
  return std::make_unique<ClassicLayout>(choice, config, fileList);
}

} // namespace lexiform

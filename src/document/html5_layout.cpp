#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "document/document_layout.h"
#include "document/document_writer.h"
#include "document/html5_document.h"
#include "files/file_size.h"
#include "files/path_parts.h"

namespace lexiform {

namespace {

// The code of each entry in one "<pre><code>" line with its first source line, in place
// of the converter's frame; numbered lines each in an element with the id
// "<anchor>-L<N>".
class Html5Framing final : public LineFraming {
public:
  Html5Framing(LineNumbering numbering, std::vector<std::string> anchors)
      : numbered_(numbering == LineNumbering::Yes), anchors_(std::move(anchors)) {}

  bool Verbatim() const override { return false; }
  bool RecodesToUtf8() const override { return true; }
  bool CountsLines() const override { return false; }

  void OpenCode(std::string& out, std::string_view /*converterFrame*/) const override {
    out += kHtml5CodeStart;
  }
  void CloseCode(std::string& out, std::string_view /*converterFrame*/) const override {
    out += kHtml5CodeEnd;
  }

  void StartLine(std::string& out, const FramedEntry& entry, std::size_t line) const override {
    if (numbered_) {
      AppendNumberedLineStart(out, AnchorOf(entry.number), line);
    }
  }
  void EndLine(std::string& out) const override {
    if (numbered_) {
      out += kNumberedLineEnd;
    }
  }

private:
  std::string_view AnchorOf(std::size_t number) const {
    return number - 1 < anchors_.size() ? std::string_view(anchors_[number - 1])
                                        : std::string_view();
  }

  const bool numbered_;
  const std::vector<std::string> anchors_; // by list position
};

// A document for today's browsers: see html5_document.h.
class Html5Layout final : public DocumentLayout {
public:
  Html5Layout(const LayoutChoice& choice, const TStyleConfig& config,
              const std::vector<std::string>& fileList, const std::string& outputName)
      : anchors_(FileAnchors(fileList)),
        format_(Html5Format(choice.lineNumbers ? LineNumbering::Yes : LineNumbering::No,
                            choice.sourcePage, anchors_)),
        styleSheet_(config.Html5StyleSheet), outputName_(outputName), fileList_(fileList) {}

  const TEntryFormat& Format() const override { return format_; }

  // A file that is not there, or that cannot be read, gets an item without a link, as
  // it will get no section.
  void WriteStart(TextSink& document, const std::vector<IndexedEntry>& entries) override {
    std::vector<Html5IndexEntry> index;
    index.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
      linked_.push_back(entries[i].state == IndexedEntry::State::Present);
      switch (entries[i].state) {
      case IndexedEntry::State::Present:
        index.push_back(
            {fileList_[i], anchors_[i], FormatFileSize(entries[i].size), Html5FileState::Present});
        break;
      case IndexedEntry::State::Missing:
        index.push_back({fileList_[i], anchors_[i], "", Html5FileState::Missing});
        break;
      case IndexedEntry::State::Unreadable:
        index.push_back({fileList_[i], anchors_[i], "", Html5FileState::Unreadable});
        break;
      }
    }
    document.Write(Html5DocumentStart(NamePart(outputName_), styleSheet_));
    document.Write(Html5Index(index));
  }

  void WriteSection(TextSink& document, std::size_t index, const std::string& sizeText,
                    const BodyWriter& writeBody) const override {
    AppendHtml5FileSection(document, fileList_[index], anchors_[index], sizeText, writeBody);
  }

  // An entry that the index links but that gets no section: a short section stands in
  // its place, so that the link lands.
  void WriteFailedSection(TextSink& document, std::size_t index,
                          const std::string& reason) const override {
    if (index < linked_.size() && linked_[index]) {
      document.Write(Html5FailedSection(fileList_[index], anchors_[index], reason));
    }
  }

  void WriteEnd(TextSink& document) const override { document.Write(Html5DocumentEnd()); }

private:
  const std::vector<std::string> anchors_; // by list position
  const TEntryFormat format_;
  std::string styleSheet_;
  std::string outputName_;
  const std::vector<std::string>& fileList_;
  std::vector<bool> linked_; // by list position: whether the index links the entry
};

} // namespace

TEntryFormat Html5Format(LineNumbering numbering, CodePage sourcePage,
                         std::vector<std::string> anchors) {
  TEntryFormat format;
  format.TokenStyles = Html5TokenStyles();
  format.SourcePage = sourcePage;
  format.Framing = std::make_shared<Html5Framing>(numbering, std::move(anchors));
  return format;
}

std::unique_ptr<DocumentLayout> MakeHtml5Layout(const LayoutChoice& choice,
                                                const TStyleConfig& config,
                                                const std::vector<std::string>& fileList,
                                                const std::string& outputName) {
  return std::make_unique<Html5Layout>(choice, config, fileList, outputName);
}

std::unique_ptr<DocumentLayout> MakeDocumentLayout(const LayoutChoice& choice,
                                                   const TStyleConfig& config,
                                                   const std::vector<std::string>& fileList,
                                                   const std::string& outputName) {
  if (choice.html5) {
    return MakeHtml5Layout(choice, config, fileList, outputName);
  }
  return MakeClassicLayout(choice, config, fileList);
}

} // namespace lexiform

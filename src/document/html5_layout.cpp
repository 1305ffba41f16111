#include <string>
#include <vector>

#include "document/document_layout.h"
#include "document/document_writer.h"
#include "document/html5_document.h"
#include "files/file_size.h"
#include "files/path_parts.h"

namespace lexiform {

namespace {

// A document for today's browsers: see html5_document.h.
class Html5Layout final : public DocumentLayout {
public:
  Html5Layout(const LayoutChoice& choice, const TStyleConfig& config,
              const std::vector<std::string>& fileList, const std::string& outputName)
      : styleSheet_(config.Html5StyleSheet), outputName_(outputName), fileList_(fileList) {
    format_.TokenStyles = Html5TokenStyles();
    format_.Html5 = true;
    format_.LineNumbers = choice.lineNumbers;
    format_.SourcePage = choice.sourcePage;
    format_.Anchors = FileAnchors(fileList);
  }

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
        index.push_back({fileList_[i], format_.Anchors[i], FormatFileSize(entries[i].size),
                         Html5FileState::Present});
        break;
      case IndexedEntry::State::Missing:
        index.push_back({fileList_[i], format_.Anchors[i], "", Html5FileState::Missing});
        break;
      case IndexedEntry::State::Unreadable:
        index.push_back({fileList_[i], format_.Anchors[i], "", Html5FileState::Unreadable});
        break;
      }
    }
    document.Write(Html5DocumentStart(NamePart(outputName_), styleSheet_));
    document.Write(Html5Index(index));
  }

  void WriteSection(TextSink& document, std::size_t index, const std::string& sizeText,
                    const BodyWriter& writeBody) const override {
    AppendHtml5FileSection(document, fileList_[index], format_.Anchors[index], sizeText, writeBody);
  }

  // An entry that the index links but that gets no section: a short section stands in
  // its place, so that the link lands.
  void WriteFailedSection(TextSink& document, std::size_t index,
                          const std::string& reason) const override {
    if (index < linked_.size() && linked_[index]) {
      document.Write(Html5FailedSection(fileList_[index], format_.Anchors[index], reason));
    }
  }

  void WriteEnd(TextSink& document) const override { document.Write(Html5DocumentEnd()); }

private:
  TEntryFormat format_;
  std::string styleSheet_;
  std::string outputName_;
  const std::vector<std::string>& fileList_;
  std::vector<bool> linked_; // by list position: whether the index links the entry
};

} // namespace

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

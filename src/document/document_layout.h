#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "convert/code_pages.h"
#include "convert/text_sink.h"
#include "document/entry_format.h"
#include "document/style_config.h"

namespace lexiform {

// Note [document layouts]
// A document has one of several layouts: the classic one, which the configuration
// shapes, and HTML5. A run chooses its layout once, at start-up, and from then on holds
// it as a DocumentLayout and never asks which kind it has: the layout knows the text
// around the entries' bodies and how the bodies are written (its TEntryFormat), the run
// knows when each piece is written and what the console says. Another kind of document
// is one more implementation beside these. (A code site is no document but another kind
// of run, see Note [kinds of run]: its pages are written by the site's own writer, see
// site_pages.h, with a body of their own kind, SitePageFormat; see Note [line framing].)

// What a run found when it looked at an entry, as the index shows it.
struct IndexedEntry {
  enum class State { Present, Missing, Unreadable };
  State state = State::Present;
  std::uint64_t size = 0; // when Present
};

// Writes whatever a section holds below its head: the entry's body.
using BodyWriter = std::function<void(TextSink&)>;

class DocumentLayout {
public:
  virtual ~DocumentLayout() = default;

  // How every entry's body is written.
  virtual const TEntryFormat& Format() const = 0;

  // The document's start: its header and, where the layout has one, the index of the
  // entries as `entries` (by list position) found them.
  virtual void WriteStart(TextSink& document, const std::vector<IndexedEntry>& entries) = 0;

  // The section of the entry at list position `index`: its head with `sizeText`, then
  // what `writeBody` writes.
  virtual void WriteSection(TextSink& document, std::size_t index, const std::string& sizeText,
                            const BodyWriter& writeBody) const = 0;

  // What stands in place of the section of the entry at `index` that gets none
  // (missing, unreadable, failed for `reason`), where the layout needs anything there.
  virtual void WriteFailedSection(TextSink& document, std::size_t index,
                                  const std::string& reason) const = 0;

  // The document's end.
  virtual void WriteEnd(TextSink& document) const = 0;
};

// What the run asks of its document.
struct LayoutChoice {
  bool html5 = false;
  bool lineNumbers = false;
  CodePage sourcePage = kDefaultCodePage;
};

// The layouts: the classic one and HTML5, each in a file of its own, and the one the
// choice asks for. `fileList` is kept by reference: it must outlive the layout.
std::unique_ptr<DocumentLayout> MakeClassicLayout(const LayoutChoice& choice,
                                                  const TStyleConfig& config,
                                                  const std::vector<std::string>& fileList);
std::unique_ptr<DocumentLayout> MakeHtml5Layout(const LayoutChoice& choice,
                                                const TStyleConfig& config,
                                                const std::vector<std::string>& fileList,
                                                const std::string& outputName);
std::unique_ptr<DocumentLayout> MakeDocumentLayout(const LayoutChoice& choice,
                                                   const TStyleConfig& config,
                                                   const std::vector<std::string>& fileList,
                                                   const std::string& outputName);

} // namespace lexiform

#include <memory>
#include <string>
#include <string_view>

#include "document/entry_format.h"
#include "document/html5_document.h"
#include "document/site_pages.h"

namespace lexiform {

namespace {

// A page of its own: the HTML5 body in the page's code block, every line numbered with
// the id "L<N>" that links to it from other pages.
class SitePageFraming final : public LineFraming {
public:
  bool Verbatim() const override { return false; }
  bool RecodesToUtf8() const override { return true; }
  bool CountsLines() const override { return false; }

  void OpenCode(std::string& out, std::string_view /*converterFrame*/) const override {
    out += kSiteCodeStart;
  }
  void CloseCode(std::string& out, std::string_view /*converterFrame*/) const override {
    out += kSiteCodeEnd;
  }

  void StartLine(std::string& out, const FramedEntry& /*entry*/, std::size_t line) const override {
    AppendNumberedLineStart(out, {}, line);
  }
  void EndLine(std::string& out) const override { out += kNumberedLineEnd; }
};

} // namespace

TEntryFormat SitePageFormat(CodePage sourcePage) {
  TEntryFormat format;
  format.TokenStyles = Html5TokenStyles();
  format.SourcePage = sourcePage;
  format.Framing = std::make_shared<SitePageFraming>();
  return format;
}

} // namespace lexiform

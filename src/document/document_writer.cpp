#include "document/document_writer.h"

#include "document/html5_document.h"
#include "document/html_escape.h"
#include "files/path_parts.h"
#include "platform/platform.h"

namespace lexiform {

namespace {

// The entry's directory and name parts, each escaped on its own (see HtmlEscape), in
// the classic document's code page (see Note [names in UTF-8]).
struct EscapedEntry {
  explicit EscapedEntry(const std::string& entry)
      : directory(HtmlEscape(platform::ToAnsiCodePage(DirectoryPart(entry)))),
        name(HtmlEscape(platform::ToAnsiCodePage(NamePart(entry)))) {}
  std::string directory;
  std::string name;
};

void WriteIndex(TextSink& document, const std::vector<std::string>& fileList,
                const std::vector<std::string>& sizeTexts) {
  document.WriteLine("<blockquote>");
  document.WriteLine("<p><b>Processed files:</b></p>");
  document.WriteLine("<ol>");
  for (std::size_t i = 0; i < fileList.size(); ++i) {
    const EscapedEntry entry(fileList[i]);
    document.WriteLine("<li>" + entry.directory + "<a href=#File_" + std::to_string(i + 1) + ">" +
                       entry.name + "</a>" +
                       R"(<font size="-2">&nbsp;&nbsp; &mdash; &nbsp;&nbsp;<b>)" + sizeTexts.at(i) +
                       "</b></font></li>");
  }
  document.WriteLine("</ol></blockquote>");
  document.WriteLine("");
}

} // namespace

void WriteDocumentStart(TextSink& document, const std::string& headerText,
                        const std::vector<std::string>& fileList,
                        const std::vector<std::string>& sizeTexts) {
  document.WriteLine(headerText);
  if (fileList.size() > 1) {
    WriteIndex(document, fileList, sizeTexts);
  }
}

void AppendFileSection(TextSink& document, std::size_t number, const std::string& currentFile,
                       const std::string& currentSizeText, bool multiFile,
                       const std::function<void(TextSink&)>& writeBody) {
  const std::string n = std::to_string(number);
  const EscapedEntry entry(currentFile);
  document.WriteLine("<hr>");
  if (multiFile) {
    document.WriteLine(R"(<a name="File_)" + n + R"("></a>)");
  }
  document.WriteLine(R"(<font face="arial" size="-1">File )" + n + ": " + entry.directory + "<b>" +
                     R"(<font face="arial" color="#e3060c">)" + entry.name +
                     "</b></font></font><br>");
  document.WriteLine(R"(<font face="arial" size="-1">File size: )" + currentSizeText + "</font>");
  writeBody(document);
}

void AppendHtml5FileSection(TextSink& document, const std::string& currentFile,
                            const std::string& anchor, const std::string& currentSizeText,
                            const std::function<void(TextSink&)>& writeBody) {
  document.Write(Html5SectionStart(currentFile, anchor, currentSizeText));
  writeBody(document);
  document.Write(kHtml5SectionEnd);
}

void WriteDocumentEnd(TextSink& document, const std::string& footerText) {
  document.WriteLine(footerText);
}

} // namespace lexiform

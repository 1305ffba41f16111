#pragma once

#include <functional>
#include <string>
#include <vector>

#include "convert/text_sink.h"

namespace lexiform {

// The three kinds of steps that write the document, in order: the start, one section
// per existing entry, the end. Failures are the sink's.

// The header and, for more than one entry, the index of all entries with their size
// texts (`sizeTexts`, by list position).
void WriteDocumentStart(TextSink& document, const std::string& headerText,
                        const std::vector<std::string>& fileList,
                        const std::vector<std::string>& sizeTexts);

// The section of entry `number` (counting from 1): separator, anchor (only when
// `multiFile`), heading and size line, then whatever `writeBody` writes: the entry's
// converted text, fixed.
void AppendFileSection(TextSink& document, std::size_t number, const std::string& currentFile,
                       const std::string& currentSizeText, bool multiFile,
                       const std::function<void(TextSink&)>& writeBody);

// The section of an entry of an HTML5 document: its heading (path, size text, a link
// back to the index) under the id `anchor`, then whatever `writeBody` writes.
void AppendHtml5FileSection(TextSink& document, const std::string& currentFile,
                            const std::string& anchor, const std::string& currentSizeText,
                            const std::function<void(TextSink&)>& writeBody);

// The footer text and CR LF.
void WriteDocumentEnd(TextSink& document, const std::string& footerText);

} // namespace lexiform

#pragma once

#include <string>
#include <vector>

namespace lexiform {

// Each step opens the document, writes, and closes it again, so that whatever a step
// wrote stays in the file. Every failure is a platform::FileError.

// Creates the document (truncating it) with the header and, for more than one entry,
// the index of all entries with their size texts.
void WriteDocumentStart(const std::string& outputFileName, const std::string& headerText,
                        const std::vector<std::string>& fileList);

// Appends the section of entry `number` (counting from 1): separator, anchor (only
// when `multiFile`), heading, size line, then every line of `tempFileName`.
void AppendFileSection(const std::string& outputFileName, std::size_t number,
                       const std::string& currentFile, const std::string& currentSizeText,
                       const std::string& tempFileName, bool multiFile);

// Appends the footer text and CR LF.
void WriteDocumentEnd(const std::string& outputFileName, const std::string& footerText);

} // namespace lexiform

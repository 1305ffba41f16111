#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "driver/options.h"

namespace lexiform {

// A run that the program refuses before writing anything; the message says why.
class RefusedRun : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Throws RefusedRun when the output argument names a folder ("d/", "/", an existing
// directory): the document would become a hidden ".html" in it.
void RefuseFolderAsOutput(const std::string& outputArgument);

// Throws RefusedRun when the document would land where a user's file would be lost:
// on an existing file that is also one of `fileList` (the same file under any name or
// link), on the configuration file `iniFileName` (whether or not it exists yet), on an
// existing Pascal source named by mistake, on anything that is not a regular file, or
// on an existing file that is no document: one that is not empty, not HTML and does
// not begin with the first line of `headerText`, the header this run writes.
void CheckOutputMayBeReplaced(const std::string& outputFileName,
                              const std::vector<std::string>& fileList,
                              const std::string& iniFileName, const std::string& headerText);

// Where shells expand wildcards, an unquoted "*.pas" arrives as one argument per file
// and the second file would be taken for the output. Throws RefusedRun when the
// arguments hold more than the two positional ones, "-sub" with its depth, and
// switches.
void RefuseShellExpandedList(const TOptions& options);

} // namespace lexiform

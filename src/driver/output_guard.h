#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "document/unfinished_site.h"
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

// Throws RefusedRun when writing a site into the folder `target` could harm a file of
// the user's: when it is an existing file, an input, or a folder that holds one of
// `fileList`; when it is a folder that is neither empty nor a site the program wrote
// (`earlier`); or when the site would put one of `files` (from the top, "/" separated)
// or a folder where something stands that the program did not write.
void CheckSiteTarget(const std::string& target, const std::vector<std::string>& fileList,
                     const EarlierSite& earlier, const std::vector<std::string>& files);

// Where shells expand wildcards, an unquoted "*.pas" arrives as one argument per file
// and the second file would be taken for the output. Throws RefusedRun when the
// arguments hold more than the two positional ones, "-sub" with its depth, and
// switches.
void RefuseShellExpandedList(const TOptions& options);

} // namespace lexiform

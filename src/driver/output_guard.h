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

// Throws RefusedRun when the document would land where a user's file would be lost:
// on an existing file that is also one of `fileList` (the same file under any name or
// link), or the configuration file `iniFileName`, or an existing Pascal source named
// by mistake, or anything that is not a regular file.
void CheckOutputIsNoInput(const std::string& outputFileName,
                          const std::vector<std::string>& fileList, const std::string& iniFileName);

// Where shells expand wildcards, an unquoted "*.pas" arrives as one argument per file
// and the second file would be taken for the output. Throws RefusedRun when the
// arguments hold more than the two positional ones, "-sub" with its depth, and
// switches.
void RefuseShellExpandedList(const TOptions& options);

} // namespace lexiform

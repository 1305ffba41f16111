#pragma once

#include <string>
#include <vector>

#include "convert/code_pages.h"

namespace lexiform {

// Writes the code site of `fileList` into the folder `target`: a page per source, the
// index, the shared files (see Note [unfinished site]), with the console lines of the
// entries as a document run writes them. Returns whether an entry was missing or could
// not be read. Throws RefusedRun before anything is written when the folder must not
// be touched, and DocumentError when writing fails. An interrupt ends the process
// once what the run began is tidied up.
bool WriteSite(const std::string& target, const std::vector<std::string>& fileList,
               CodePage sourcePage);

} // namespace lexiform

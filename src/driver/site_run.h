#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "convert/code_pages.h"
#include "convert/pas_conversion.h"
#include "document/site_plan.h"
#include "driver/entry_conversion.h"
#include "xref/file_links.h"

namespace lexiform {

// Writes the code site of `fileList` into the folder `target`: a page per source, the
// index, the shared files (see Note [unfinished site]), with the console lines of the
// entries as a document run writes them. Returns whether an entry was missing or could
// not be read. Throws RefusedRun before anything is written when the folder must not
// be touched, and DocumentError when writing fails. An interrupt ends the process
// once what the run began is tidied up.
bool WriteSite(const std::string& target, const std::vector<std::string>& fileList,
               CodePage sourcePage);

// The markup that puts the `links` of page `page` of `plan` around the names they stand
// on in its `text`: "<a class="xref" ...>" before, "</a>" after. A link that the text
// does not hold whole on one line (the file changed since it was scanned), that
// overlaps an earlier one or that leads to no page is left out: a link never spans two
// numbered lines, and links never nest.
PageInsertions LinkInsertions(const SitePlan& plan, std::size_t page,
                              std::vector<xref::FileLink> links, std::string_view text);

} // namespace lexiform

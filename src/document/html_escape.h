#pragma once

#include <string>
#include <string_view>

namespace lexiform {

// `text` with "&", "<", ">" and the double quote written as "&amp;", "&lt;", "&gt;"
// and "&quot;". For names that come from the file system or the account: on POSIX a
// file name may hold any of these bytes, and unescaped it would become markup.
std::string HtmlEscape(std::string_view text);

} // namespace lexiform

#pragma once

#include <cstdint>
#include <string>

namespace lexiform {

// Size of the file in bytes (64-bit); 0 when `name` is not an existing file.
std::uint64_t GetFileSizeBytes(const std::string& name);

// " 7 bytes", "1.13 KB", "4.00 GB": binary units, two decimals rounded half up, "."
// as the separator under every locale.
std::string FormatFileSize(std::uint64_t size);

// FormatFileSize(GetFileSizeBytes(name)).
std::string FileSizeText(const std::string& name);

} // namespace lexiform

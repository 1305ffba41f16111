#include "xref/file_links.h"

#include <utility>

namespace lexiform::xref {

FileFacts ScanFileFacts(std::string_view) {
  return {};
}

FileLinkResolver::FileLinkResolver(std::vector<std::string> paths, std::vector<FileFacts> facts)
    : paths_(std::move(paths)), facts_(std::move(facts)), links_(paths_.size()),
      usedBy_(paths_.size()) {}

std::vector<FileLink> FileLinkResolver::LinksOf(std::size_t file) const {
  return links_.at(file);
}

const std::vector<std::size_t>& FileLinkResolver::UsedBy(std::size_t file) const {
  return usedBy_.at(file);
}

} // namespace lexiform::xref

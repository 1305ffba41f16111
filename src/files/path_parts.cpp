#include "files/path_parts.h"

#include "platform/platform.h"

namespace lexiform {

namespace {
std::size_t NameStart(const std::string& path) {
  for (std::size_t i = path.size(); i > 0; --i) {
    if (platform::EndsDirectoryPart(path[i - 1])) {
      return i;
    }
  }
  return 0;
}
} // namespace

std::string DirectoryPart(const std::string& path) {
  return path.substr(0, NameStart(path));
}

std::string NamePart(const std::string& path) {
  return path.substr(NameStart(path));
}

bool HasExtension(const std::string& path) {
  return path.find('.', NameStart(path)) != std::string::npos;
}

std::string ReplaceExtension(const std::string& path, const std::string& extension) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < NameStart(path)) {
    return path + extension;
  }
  return path.substr(0, dot) + extension;
}

std::string JoinPath(const std::string& directory, const std::string& name) {
  if (directory.empty() || platform::EndsDirectoryPart(directory.back())) {
    return directory + name;
  }
  return directory + platform::PathSeparator() + name;
}

} // namespace lexiform

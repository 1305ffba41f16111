#include "document/site_plan.h"

#include <map>
#include <set>

#include "convert/utf8_text.h"
#include "platform/platform.h"

namespace lexiform {

namespace {

constexpr std::string_view kSharedFolder = "_lexiform";

// ":" ends a drive ("C:"), not a folder.
bool IsSeparator(char c) {
  return c != ':' && platform::EndsDirectoryPart(c);
}

bool StartsWithDrive(const std::string& path) {
  return path.size() >= 2 && path[1] == ':' && platform::EndsDirectoryPart(':');
}

// The folders and the name of `path`, made whole with `currentDirectory`, with "." and
// ".." taken out as far as the text shows them.
std::vector<std::string> WholePath(const std::string& path, const std::string& currentDirectory) {
  const bool whole = (!path.empty() && IsSeparator(path[0])) || StartsWithDrive(path);
  std::string text = whole ? path : currentDirectory + platform::PathSeparator() + path;
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t at = 0; at <= text.size(); ++at) {
    if (at < text.size() && !IsSeparator(text[at])) {
      continue;
    }
    std::string part = text.substr(start, at - start);
    start = at + 1;
    if (part.empty() || part == ".") {
      continue;
    }
    if (part == "..") {
      if (!parts.empty()) {
        parts.pop_back();
      }
      continue;
    }
    parts.push_back(std::move(part));
  }
  return parts;
}

// `text` with every letter in upper case, as Windows' file systems compare names
// (platform::UpperCase); bytes that are no UTF-8 stay as they are.
std::string Folded(std::string_view text) {
  std::string folded;
  folded.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if (lead < 0x80 || lead < 0xC2 || at + length > text.size() ||
        !IsValidUtf8(text.substr(at, length))) {
      folded += static_cast<char>(lead < 0x80 ? platform::UpperCase(lead) : lead);
      ++at;
      continue;
    }
    char32_t codePoint = lead & (0x7Fu >> length);
    for (std::size_t i = 1; i < length; ++i) {
      codePoint = (codePoint << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3Fu);
    }
    AppendUtf8(folded, platform::UpperCase(codePoint));
    at += length;
  }
  return folded;
}

std::vector<std::string_view> SplitAtSlashes(std::string_view path) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (std::size_t slash; (slash = path.find('/', start)) != std::string_view::npos;
       start = slash + 1) {
    parts.push_back(path.substr(start, slash - start));
  }
  parts.push_back(path.substr(start));
  return parts;
}

bool IsUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~';
}

void AppendHex(std::string& text, unsigned char c) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  text += kDigits[c >> 4];
  text += kDigits[c & 0xF];
}

// The number of leading folders that `parts` (whole paths) share.
std::size_t SharedFolders(const std::vector<std::vector<std::string>>& parts) {
  if (parts.empty()) {
    return 0;
  }
  std::size_t shared = parts.front().size() - 1;
  for (const std::vector<std::string>& path : parts) {
    std::size_t same = 0;
    while (same < shared && same + 1 < path.size() && path[same] == parts.front()[same]) {
      ++same;
    }
    shared = same;
  }
  return shared;
}

// The path from the top: the parts after the shared folders, a drive ("C:") as its
// letter.
std::string PathFromTop(const std::vector<std::string>& parts, std::size_t shared) {
  std::string path;
  for (std::size_t i = shared; i < parts.size(); ++i) {
    std::string part = parts[i];
    if (part.size() == 2 && part[1] == ':') {
      part.pop_back();
    }
    path += (path.empty() ? "" : "/") + part;
  }
  return path;
}

} // namespace

SitePlan PlanSite(const std::vector<std::string>& fileList, const std::vector<bool>& hasPage,
                  const std::string& currentDirectory) {
  SitePlan plan;
  plan.pageOfEntry.assign(fileList.size(), kNoPage);
  std::vector<std::vector<std::string>> wholePaths;
  std::vector<std::size_t> entryOfWhole;
  for (std::size_t i = 0; i < fileList.size(); ++i) {
    if (hasPage[i]) {
      wholePaths.push_back(WholePath(fileList[i], currentDirectory));
      entryOfWhole.push_back(i);
    }
  }
  const std::size_t shared = SharedFolders(wholePaths);
  if (shared > 0) {
    plan.topName = wholePaths.front()[shared - 1];
  }

  std::map<std::string, std::size_t> pageOfPath;
  std::set<std::string> folders; // folded, so that letter case never tells two apart
  for (std::size_t w = 0; w < wholePaths.size(); ++w) {
    std::string path = PathFromTop(wholePaths[w], shared);
    const auto [place, added] = pageOfPath.emplace(path, plan.pages.size());
    plan.pageOfEntry[entryOfWhole[w]] = place->second;
    if (!added) {
      continue;
    }
    std::string folder;
    for (const std::string& name : FoldersOf(path)) {
      folder += (folder.empty() ? "" : "/") + name;
      folders.insert(Folded(folder));
    }
    plan.pages.push_back({fileList[entryOfWhole[w]], std::move(path), {}});
  }

  // See Note [site names].
  plan.sharedFolder = kSharedFolder;
  for (int n = 2; folders.count(Folded(plan.sharedFolder)) > 0; ++n) {
    plan.sharedFolder = std::string(kSharedFolder) + "_" + std::to_string(n);
  }
  std::set<std::string> taken = folders;
  taken.insert(Folded(kSiteIndexFile));
  taken.insert(Folded(plan.sharedFolder));
  for (SitePage& page : plan.pages) {
    page.file = page.path + ".html";
    for (int n = 2; taken.count(Folded(page.file)) > 0; ++n) {
      page.file = page.path + "~" + std::to_string(n) + ".html";
    }
    taken.insert(Folded(page.file));
  }
  return plan;
}

std::vector<std::string> FoldersOf(std::string_view path) {
  std::vector<std::string> folders;
  for (const std::string_view part : SplitAtSlashes(path)) {
    folders.emplace_back(part);
  }
  folders.pop_back();
  return folders;
}

std::string UrlPath(std::string_view path) {
  std::string url;
  url.reserve(path.size());
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if (IsUnreserved(byte) || c == '/') {
      url += c;
    } else {
      url += '%';
      AppendHex(url, byte);
    }
  }
  return url;
}

std::string RelativeUrl(std::string_view from, std::string_view to) {
  const std::vector<std::string> fromFolders = FoldersOf(from);
  const std::vector<std::string_view> toParts = SplitAtSlashes(to);
  std::size_t common = 0;
  while (common < fromFolders.size() && common + 1 < toParts.size() &&
         fromFolders[common] == toParts[common]) {
    ++common;
  }
  std::string url;
  for (std::size_t i = common; i < fromFolders.size(); ++i) {
    url += "../";
  }
  for (std::size_t i = common; i < toParts.size(); ++i) {
    url += UrlPath(toParts[i]);
    if (i + 1 < toParts.size()) {
      url += '/';
    }
  }
  return url;
}

std::string WayUp(std::string_view file) {
  std::string way;
  for (std::size_t i = FoldersOf(file).size(); i > 0; --i) {
    way += "../";
  }
  return way;
}

std::string FolderId(std::string_view folderPath) {
  std::string id = "d-";
  for (const char c : folderPath) {
    const auto byte = static_cast<unsigned char>(c);
    if ((IsUnreserved(byte) && c != '_') || c == '/') {
      id += c;
    } else {
      id += '_';
      AppendHex(id, byte);
    }
  }
  return id;
}

} // namespace lexiform

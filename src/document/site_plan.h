#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Where every file of a code site goes, and how its pages name each other: names only,
// nothing is read or written here.
namespace lexiform {

// One page of the site: one source file, however often the list names it.
struct SitePage {
  std::string sourcePath; // as the list names it (its first place)
  std::string path;       // relative to the site's top, "/" between folders: "unix/classes.pp"
  std::string file;       // the page's file from the top, "/" between folders
};

// Note [site names]
// A page stands at its source's path relative to the deepest folder that holds every
// page's source, plus ".html" ("rtl/unix/classes.pp" of a run over "rtl/..." gives
// "unix/classes.pp.html"; entries on several Windows drives give a folder per drive
// letter). The site's own names come first: "index.html" at the top, and the shared
// folder "_lexiform" (or "_lexiform_2", "_lexiform_3", ... when a source folder takes
// that name). A page whose file would meet one of them, a folder, or an earlier page
// (letter case ignored as Windows ignores it, so that the site can be written and
// copied on any file system) is named
// "<name>~2.html", "<name>~3.html", ... instead, in list order: the same list always
// gives the same names, and no page is ever written over another.
struct SitePlan {
  std::vector<SitePage> pages; // in list order of their first place
  // For each list entry, its page (index into `pages`), or kNoPage for an entry that
  // has no page (one that `hasPage` ruled out).
  std::vector<std::size_t> pageOfEntry;
  std::string sharedFolder; // "_lexiform" unless a source folder takes it
  std::string topName;      // the name of the folder that the site's top stands for
};

inline constexpr std::size_t kNoPage = static_cast<std::size_t>(-1);
inline constexpr std::string_view kSiteIndexFile = "index.html";

// Plans the site of `fileList`. `hasPage` says which entries get a page (those that
// exist); `currentDirectory` makes relative entries whole, so that "a.pas" and
// "./a.pas" meet as one page. The separators are the platform's (see
// platform::EndsDirectoryPart).
SitePlan PlanSite(const std::vector<std::string>& fileList, const std::vector<bool>& hasPage,
                  const std::string& currentDirectory);

// The folders of a page's path: "unix/classes.pp" gives {"unix"}.
std::vector<std::string> FoldersOf(std::string_view path);

// A relative path in a URL: every byte but ASCII letters, digits, "-", ".", "_", "~"
// and the "/" between folders as "%XX".
std::string UrlPath(std::string_view path);

// The URL of the page file `to` from a page whose file is `from` (both from the top):
// "../inc/x.inc.html".
std::string RelativeUrl(std::string_view from, std::string_view to);

// The way up from the page file `file` to the top: "" at the top, "../" one folder down.
std::string WayUp(std::string_view file);

// The id of a folder in the index: "d-" and the folder's path, every byte but ASCII
// letters, digits, "-", ".", "~" and "/" written as "_" and two hex digits, so that it
// is an id and a URL fragment as it stands.
std::string FolderId(std::string_view folderPath);

} // namespace lexiform

#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "document/unfinished_document.h"

namespace lexiform {

// Note [unfinished site]
// A site is a folder of files that Lexiform wrote, and a manifest that lists them, in
// the site's shared folder. The manifest is what marks a folder as a site of ours, and
// the only thing that lets a run delete a file: whatever else stands in the folder (a
// ".git", a CNAME, a README) is the user's and is never written or removed.
// - A first run (the folder is not there, or empty) builds the whole site in a new
//   hidden folder beside it and only then renames that folder into place; nobody sees
//   its files before, so each is written where it goes, and its folders are all made
//   at the start. A failure or an interrupt removes the new folder: nothing is left
//   behind. Nothing there is shared between its files, so several threads may write
//   them at once.
// - A later run over its own site updates it in place. Before it writes anything, the
//   manifest lists the earlier site's files and the new ones, so that an interrupted
//   run leaves a site whose every file is known; every file is replaced in one step
//   (see Note [unfinished document]), the index last, so that a browser sees the
//   earlier site or the new one, page by page, never half a page. At the end the files
//   of the earlier site that the new one no longer has are removed, and the manifest
//   lists the new site's files alone. The next run completes an interrupted one.

// What stands at the target of a site now.
struct EarlierSite {
  bool folderExists = false;          // a folder is there (else nothing is)
  bool empty = true;                  // and it holds nothing
  bool ours = false;                  // it holds a manifest of ours
  std::set<std::string> files;        // the files its manifests list, "/" separated
  std::vector<std::string> manifests; // where they are, from the top
};

// Looks at the folder `target` (which is no file). Throws DocumentError when it cannot
// be searched.
EarlierSite InspectSiteFolder(const std::string& target);

// The name of the manifest within the shared folder.
inline constexpr const char* kSiteManifest = "lexiform-site.txt";

// The site being written into the folder `target`, as Note [unfinished site] says.
class UnfinishedSite {
public:
  // `files`: every file the new site will hold, from the top, "/" separated;
  // `sharedFolder`: where its manifest goes. Throws DocumentError.
  UnfinishedSite(const std::string& target, EarlierSite earlier, std::vector<std::string> files,
                 const std::string& sharedFolder);
  // Removes the new folder of a first run that did not commit.
  ~UnfinishedSite();
  UnfinishedSite(const UnfinishedSite&) = delete;
  UnfinishedSite& operator=(const UnfinishedSite&) = delete;

  // The file `relative` (one of `files`) of the site, written whole when its output is
  // committed, replacing the earlier one in one step. Throws DocumentError.
  std::unique_ptr<DocumentOutput> Open(const std::string& relative);

  // Whether threads may open and write different files at once: only while the site
  // is built in a new folder.
  bool OpensInParallel() const { return firstRun_; }

  // Removes the earlier site's files that the new one has not, writes the manifest and,
  // in a first run, puts the new folder in place. Throws DocumentError.
  void Commit();

private:
  std::string PathOf(const std::string& relative) const;
  void MakeFolders();
  void WriteManifest(const std::set<std::string>& files);
  void RemoveStaleFiles();

  std::string target_;
  std::string root_; // where the files go: the target, or the new folder of a first run
  bool firstRun_ = false;
  bool committed_ = false;
  EarlierSite earlier_;
  std::set<std::string> files_;
  std::string manifest_; // from the top
  std::set<std::string> madeFolders_;
};

} // namespace lexiform

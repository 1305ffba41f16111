#include "document/unfinished_site.h"

#include <utility>

#include "files/path_parts.h"
#include "files/source_file.h"
#include "platform/platform.h"

namespace lexiform {

namespace {

constexpr std::string_view kSharedFolderName = "_lexiform";
constexpr std::string_view kManifestHeader = "Lexiform site files";

bool IsDotEntry(const std::string& name) {
  return name == "." || name == "..";
}

std::vector<platform::DirEntry> EntriesOf(const std::string& folder, std::string* failure) {
  std::vector<platform::DirEntry> entries = platform::FindEntries(JoinPath(folder, "*"), failure);
  std::vector<platform::DirEntry> named;
  for (platform::DirEntry& entry : entries) {
    if (!IsDotEntry(entry.name)) {
      named.push_back(std::move(entry));
    }
  }
  return named;
}

// The shared folder's name, or one chosen when a source folder took it.
bool IsSharedFolderName(const std::string& name) {
  if (name.compare(0, kSharedFolderName.size(), kSharedFolderName) != 0) {
    return false;
  }
  const std::string rest = name.substr(kSharedFolderName.size());
  if (rest.empty()) {
    return true;
  }
  return rest.size() > 1 && rest[0] == '_' &&
         rest.find_first_not_of("0123456789", 1) == std::string::npos;
}

// A path that a manifest may list: relative, and staying within the site on every
// platform ("\\" separates on Windows, "C:" names a drive there).
bool IsSitePath(const std::string& path) {
  if (path.empty() || (path.size() >= 2 && path[1] == ':')) {
    return false;
  }
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = path.find_first_of("/\\", start);
    const std::string part = path.substr(start, end - start);
    if (part.empty() || part == "." || part == "..") {
      return false;
    }
    if (end == std::string::npos) {
      return true;
    }
    start = end + 1;
  }
}

std::string ReadWhole(const std::string& path) {
  SourceFile file(path);
  std::string text(static_cast<std::size_t>(file.Size()), '\0');
  text.resize(file.ReadInto(text.data(), text.size()));
  return text;
}

// The files a manifest lists; false when the text is no manifest of ours.
bool ReadManifest(const std::string& path, std::set<std::string>& files) {
  std::string text;
  try {
    text = ReadWhole(path);
  } catch (const platform::FileError&) {
    return false;
  }
  std::size_t start = 0;
  bool first = true;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      end = text.size();
    }
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    if (first) {
      if (line != kManifestHeader) {
        return false;
      }
      first = false;
    } else if (IsSitePath(line)) {
      files.insert(line);
    }
  }
  return !first;
}

// Removes a folder of the program's own making and everything in it; links are
// removed, never followed.
void RemoveTree(const std::string& folder) noexcept {
  try {
    for (const platform::DirEntry& entry : EntriesOf(folder, nullptr)) {
      const std::string path = JoinPath(folder, entry.name);
      if (entry.isDirectory && !entry.isLink) {
        RemoveTree(path);
      } else {
        platform::RemoveFile(path);
      }
    }
  } catch (const std::exception&) {
    // What cannot be listed stays; the folder then stays too.
  }
  platform::RemoveEmptyDirectory(folder);
}

std::string FolderPart(const std::string& relative) {
  const std::size_t slash = relative.rfind('/');
  return slash == std::string::npos ? std::string() : relative.substr(0, slash);
}

std::string ReasonOf(const platform::FileError& error) {
  const std::string text = error.what();
  const std::size_t colon = text.rfind(": ");
  return colon == std::string::npos ? text : text.substr(colon + 2);
}

// A new file of a site that nobody sees before the whole site is done (the new folder
// of a first run): written where it goes, without the detour of a file to rename.
class NewSiteFile final : public DocumentOutput {
public:
  explicit NewSiteFile(const std::string& path) : path_(path) {
    try {
      file_ = platform::File(path, platform::File::Mode::CreateNew);
    } catch (const platform::FileError& error) {
      throw DocumentError("Cannot create \"" + path_ + "\": " + ReasonOf(error));
    }
    // Whole at once: grown piece by piece, the buffer copied what it held each time it
    // doubled, most of a page's bytes again for every page.
    buffer_.reserve(kBufferSize);
  }

  // A file left unfinished goes, so that it can be written again from the start.
  ~NewSiteFile() override {
    if (committed_) {
      return;
    }
    try {
      file_.Close();
    } catch (const platform::FileError&) {
      // It goes anyway.
    }
    platform::RemoveFile(path_);
  }
  NewSiteFile(const NewSiteFile&) = delete;
  NewSiteFile& operator=(const NewSiteFile&) = delete;

  void Write(std::string_view bytes) override {
    if (buffer_.size() + bytes.size() > kBufferSize) {
      Flush();
      if (bytes.size() >= kBufferSize) {
        WriteThrough(bytes);
        return;
      }
    }
    buffer_.append(bytes.data(), bytes.size());
  }

  std::uint64_t Length() const override { return written_ + buffer_.size(); }

  void CutBackTo(std::uint64_t length) override {
    if (length >= written_) {
      buffer_.resize(static_cast<std::size_t>(length - written_));
      return;
    }
    buffer_.clear();
    Try([&] { file_.Truncate(length); });
    written_ = length;
  }

  void Commit() override {
    Flush();
    Try([&] { file_.Close(); });
    committed_ = true;
  }

private:
  static constexpr std::size_t kBufferSize = std::size_t{256} << 10;

  template <typename Step> void Try(Step step) {
    try {
      step();
    } catch (const platform::FileError& error) {
      throw DocumentError("Cannot write \"" + path_ + "\": " + ReasonOf(error));
    }
  }

  void WriteThrough(std::string_view bytes) {
    Try([&] { file_.Write(bytes.data(), bytes.size()); });
    written_ += bytes.size();
  }

  void Flush() {
    if (!buffer_.empty()) {
      WriteThrough(buffer_);
      buffer_.clear();
    }
  }

  std::string path_;
  platform::File file_;
  std::string buffer_;
  std::uint64_t written_ = 0;
  bool committed_ = false;
};

} // namespace

EarlierSite InspectSiteFolder(const std::string& target) {
  EarlierSite earlier;
  if (platform::KindOf(target) != platform::PathKind::Directory) {
    return earlier;
  }
  earlier.folderExists = true;
  std::string failure;
  const std::vector<platform::DirEntry> entries = EntriesOf(target, &failure);
  if (!failure.empty()) {
    throw DocumentError("Cannot search \"" + target + "\": " + failure);
  }
  earlier.empty = entries.empty();
  for (const platform::DirEntry& entry : entries) {
    if (!entry.isDirectory || entry.isLink || !IsSharedFolderName(entry.name)) {
      continue;
    }
    const std::string manifest = entry.name + "/" + kSiteManifest;
    if (ReadManifest(JoinPath(JoinPath(target, entry.name), kSiteManifest), earlier.files)) {
      earlier.ours = true;
      earlier.manifests.push_back(manifest);
    }
  }
  return earlier;
}

UnfinishedSite::UnfinishedSite(const std::string& target, EarlierSite earlier,
                               std::vector<std::string> files, const std::string& sharedFolder)
    : target_(target), earlier_(std::move(earlier)), files_(files.begin(), files.end()),
      manifest_(sharedFolder + "/" + kSiteManifest) {
  firstRun_ = !earlier_.folderExists || earlier_.empty;
  if (!firstRun_) {
    root_ = target_;
    std::set<std::string> known = earlier_.files;
    known.insert(files_.begin(), files_.end());
    WriteManifest(known);
    return;
  }
  try {
    root_ = platform::CreateUniqueDirectory(DirectoryPart(target_),
                                            "." + NamePart(target_) + ".lexiform-");
  } catch (const platform::FileError& error) {
    throw DocumentError("Cannot create \"" + target_ + "\": " + ReasonOf(error));
  }
  MakeFolders();
}

// Every folder of the new site, each once, above the ones within it.
void UnfinishedSite::MakeFolders() {
  std::set<std::string> folders;
  for (const std::string& file : files_) {
    for (std::string folder = FolderPart(file); !folder.empty() && folders.insert(folder).second;
         folder = FolderPart(folder)) {
    }
  }
  for (const std::string& folder : folders) { // "a" sorts before "a/b"
    // One that is there already is another spelling of a folder made before, on a file
    // system that ignores letter case.
    if (!platform::MakeDirectory(PathOf(folder)) &&
        platform::KindOf(PathOf(folder)) != platform::PathKind::Directory) {
      throw DocumentError("Cannot create the folder \"" + PathOf(folder) + "\"");
    }
  }
}

UnfinishedSite::~UnfinishedSite() {
  if (firstRun_ && !committed_ && !root_.empty()) {
    RemoveTree(root_);
  }
}

std::string UnfinishedSite::PathOf(const std::string& relative) const {
  std::string native = relative;
  for (char& c : native) {
    if (c == '/') {
      c = platform::PathSeparator();
    }
  }
  return JoinPath(root_, native);
}

std::unique_ptr<DocumentOutput> UnfinishedSite::Open(const std::string& relative) {
  if (firstRun_) {
    return std::make_unique<NewSiteFile>(PathOf(relative)); // its folder is made
  }
  const std::string folder = FolderPart(relative);
  if (!folder.empty() && madeFolders_.insert(folder).second &&
      !platform::CreateDirectories(PathOf(folder))) {
    throw DocumentError("Cannot create the folder \"" + PathOf(folder) + "\"");
  }
  return std::make_unique<UnfinishedDocument>(PathOf(relative));
}

void UnfinishedSite::WriteManifest(const std::set<std::string>& files) {
  std::string text = std::string(kManifestHeader) + "\n";
  for (const std::string& file : files) {
    text += file + "\n";
  }
  const std::unique_ptr<DocumentOutput> manifest = Open(manifest_);
  manifest->Write(text);
  manifest->Commit();
}

void UnfinishedSite::RemoveStaleFiles() {
  std::vector<std::string> stale;
  for (const std::string& file : earlier_.files) {
    if (files_.count(file) == 0) {
      stale.push_back(file);
    }
  }
  for (const std::string& manifest : earlier_.manifests) {
    if (manifest != manifest_) {
      stale.push_back(manifest);
    }
  }
  for (const std::string& file : stale) {
    if (platform::KindOf(PathOf(file)) != platform::PathKind::Regular ||
        !platform::RemoveFile(PathOf(file))) {
      continue;
    }
    // The folders it leaves empty go too; one that holds anything stays.
    for (std::string folder = FolderPart(file);
         !folder.empty() && platform::RemoveEmptyDirectory(PathOf(folder));
         folder = FolderPart(folder)) {
    }
  }
}

void UnfinishedSite::Commit() {
  if (!firstRun_) {
    // Until the manifest is rewritten, the one written at the start still lists them.
    RemoveStaleFiles();
  }
  WriteManifest(files_);
  if (firstRun_) {
    try {
      platform::MoveDirectoryInto(root_, target_);
    } catch (const platform::FileError& error) {
      throw DocumentError("Cannot create \"" + target_ + "\": " + ReasonOf(error));
    }
  }
  committed_ = true;
}

} // namespace lexiform

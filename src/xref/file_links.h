#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Links between the files of a site: the units that `uses` clauses name and the files
// that include directives name, found as a compiler would look for them among the
// files of the run. Pure text work: no file system, no markup.
namespace lexiform::xref {

// One name in a file's text that refers to another file. `offset` and `length` are
// byte positions in the text the facts were scanned from, and always cover whole
// tokens: for a unit, its name from the first to the last identifier (`My.Utils`
// covers the dot too); for an include, the whole directive comment from its opening
// `{` or `(*` to its closing `}` or `*)`.
struct NameReference {
  std::size_t offset = 0;
  std::size_t length = 0;
  std::string name;   // as written: `My.Utils`, `classesh.inc`, `..\inc\x.inc`
  std::string inPath; // a `uses` entry's `in 'path'`, empty when it has none
};

// What one file's text says about other files, found by one scan of its text.
struct FileFacts {
  std::string declaredUnit;            // the `unit Name;` it declares, empty when none
  std::vector<NameReference> uses;     // every unit of every uses/contains clause
  std::vector<NameReference> includes; // every {$I name}/{$INCLUDE name}/(*$I name*)
  std::size_t textBytes = 0;           // the size of the text scanned
};

// Any bytes in, no failure: text that is not Pascal gives few or no facts.
FileFacts ScanFileFacts(std::string_view text);

enum class FileLinkKind { Uses, Include };

// A reference resolved to a file of the site.
struct FileLink {
  std::size_t offset = 0; // as in NameReference
  std::size_t length = 0;
  FileLinkKind kind = FileLinkKind::Uses;
  std::size_t target = 0; // index of the file in the run's list
  // The other files that qualified as well, in list order, when the target was a
  // choice among several; empty when the target was the only candidate.
  std::vector<std::size_t> alternatives;
};

// Resolves the references of every file over the whole run.
class FileLinkResolver {
public:
  // `paths`: each file's path as listed, with `/` as the only separator; `facts`: the
  // scan of each file's text (default facts for a file that could not be read). The
  // same index names the same file in both, and in every result below.
  FileLinkResolver(std::vector<std::string> paths, std::vector<FileFacts> facts);

  // The links of file `file`, in text order; references that name no file of the run
  // are left out.
  std::vector<FileLink> LinksOf(std::size_t file) const;

  // The files whose links lead to `file`, each once, in list order.
  const std::vector<std::size_t>& UsedBy(std::size_t file) const;

  // The size of the text that file `file`'s facts were scanned from.
  std::size_t TextBytes(std::size_t file) const;

private:
  std::vector<std::string> paths_;
  std::vector<FileFacts> facts_;
  std::vector<std::vector<FileLink>> links_;
  std::vector<std::vector<std::size_t>> usedBy_;
};

} // namespace lexiform::xref

#include "files/temp_files.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "convert/token_kind.h"
#include "files/path_parts.h"
#include "files/text_io.h"
#include "platform/platform.h"

namespace lexiform {

namespace {

constexpr std::string_view kAmpEntity = "&amp;";
constexpr std::string_view kLtEntity = "&lt;";
constexpr std::string_view kGtEntity = "&gt;";

// The directory part of the program path without its final separator, except where
// that separator is the whole directory ("/") or belongs to a drive root ("C:\").
std::string ProgramDirectory() {
  std::string directory = DirectoryPart(platform::ProgramPath());
  if (directory.size() > 1 && directory.back() != ':' &&
      !platform::EndsDirectoryPart(directory[directory.size() - 2])) {
    directory.pop_back();
  }
  return directory;
}

// Whether the converter made the entity that starts at `amp`: "&lt;" or "&gt;" with
// the entity marker right after it.
bool IsMarkedEntity(std::string_view text, std::size_t amp) {
  if (text.size() - amp < 5 || text[amp + 4] != EntityMarker) {
    return false;
  }
  const std::string_view entity = text.substr(amp, 4);
  return entity == kLtEntity || entity == kGtEntity;
}

// Note [entity fix-up]
// The converter escapes the "<" and ">" of the source as "&lt;" and "&gt;" followed by
// the entity marker, and leaves every "&" alone. The finished text needs every "&" of
// the source escaped, while the converter's own entities stay entities. In one pass,
// then: a marked "&lt;"/"&gt;" loses its marker, and every other "&" becomes "&amp;".
// This is what escaping all ampersands first and then restoring "&amp;lt;" + marker
// would give, without going over the line more than once.

// The fixed text of line[from, to) goes to `out`, which has room for five times as many
// bytes; returns where the next slice starts (an entity may reach past `to`) and sets
// `length` to the bytes written.
std::size_t FixSlice(std::string_view line, std::size_t from, std::size_t to, char* out,
                     std::size_t& length) {
  // Byte by byte: lines that reach this point hold "&", often many close together,
  // where searching and copying piece by piece costs more than it saves.
  char* write = out;
  std::size_t read = from;
  while (read < to) {
    const char c = line[read];
    if (c != '&') {
      *write++ = c;
      ++read;
    } else if (IsMarkedEntity(line, read)) {
      std::memcpy(write, line.data() + read, 4);
      write += 4;
      read += 5;
    } else {
      std::memcpy(write, kAmpEntity.data(), kAmpEntity.size());
      write += kAmpEntity.size();
      ++read;
    }
  }
  length = static_cast<std::size_t>(write - out);
  return read;
}

// Fixes a line with "&" in it and writes it, slice by slice: a line of many megabytes
// needs no output buffer of its size.
class LineFixer {
public:
  LineFixer() : scratch_(new char[kSlice * kAmpEntity.size()]) {}

  void WriteFixed(std::string_view line, BufferedFileWriter& output) {
    std::size_t done = 0;
    while (done < line.size()) {
      std::size_t length = 0;
      done = FixSlice(line, done, std::min(line.size(), done + kSlice), scratch_.get(), length);
      output.Write(std::string_view(scratch_.get(), length));
    }
    output.Write("\r\n");
  }

private:
  static constexpr std::size_t kSlice = 64 * 1024;
  std::unique_ptr<char[]> scratch_;
};

// `line` with every `from` replaced by `to`, left to right.
std::string ReplaceAll(std::string_view line, std::string_view from, std::string_view to) {
  std::string result;
  result.reserve(line.size());
  std::size_t done = 0;
  for (std::size_t at = line.find(from); at != std::string_view::npos; at = line.find(from, done)) {
    result.append(line.substr(done, at - done));
    result.append(to);
    done = at + from.size();
  }
  result.append(line.substr(done));
  return result;
}

} // namespace

std::string GetTempDirectory() {
  std::string directory = platform::TempPath();
  return directory.empty() ? ProgramDirectory() : directory;
}

TempFile::TempFile(std::string_view prefix)
    : path_(platform::CreateUniqueFile(GetTempDirectory(), std::string(prefix))) {}

TempFile::~TempFile() {
  if (!path_.empty()) {
    platform::RemoveFile(path_);
  }
}

TempFile::TempFile(TempFile&& other) noexcept : path_(std::move(other.path_)) {
  other.path_.clear();
}

// Note [rewriting temporary files]
// A run rewrites its temporary file once per input file, thousands of times over a
// source tree. On ext4 a file that is truncated to nothing, or renamed over another
// file, is pushed to disk when it is closed (a safeguard for programs that replace
// files that way), and removing or emptying it later waits for that write: a few
// milliseconds per input file. So the temporary file is overwritten from its start and
// cut to length when closed, and a fixed text is renamed only onto a name that was
// freed first. Creating and removing files per input costs time as well, which is why
// the driver fixes the converted text on its way into the temporary file
// (WriteFixedText) rather than saving it and fixing the file in a second pass.
platform::File OpenForRewrite(const std::string& path) {
  try {
    return platform::File(path, platform::File::Mode::Rewrite);
  } catch (const platform::FileError&) {
    return platform::File(path, platform::File::Mode::CreateNew);
  }
}

namespace {
void FixLines(TextLineReader& input, BufferedFileWriter& output) {
  LineFixer fixer;
  std::string_view line;
  while (input.NextLine(line)) {
    if (line.find('&') == std::string_view::npos) {
      output.WriteLine(line);
      continue;
    }
    fixer.WriteFixed(line, output);
  }
}
} // namespace

void FixedTextWriter::WriteLines(std::string_view text) {
  TextLineReader input(text);
  FixLines(input, output_);
  ended_ = input.EndedByCtrlZ();
}

void FixedTextWriter::Write(std::string_view piece) {
  if (ended_) {
    return;
  }
  std::string_view text = piece;
  if (!pending_.empty()) {
    pending_.append(piece);
    text = pending_;
  }
  // Whole lines go now. A CR at the very end waits, and its line with it: an LF in the
  // next piece would make the two one line end.
  std::size_t complete = text.size();
  if (complete > 0 && text.back() == '\r') {
    --complete;
  }
  const std::size_t lastEnd =
      complete == 0 ? std::string_view::npos : text.find_last_of("\r\n", complete - 1);
  const std::size_t cut = lastEnd == std::string_view::npos ? 0 : lastEnd + 1;
  if (cut > 0) {
    WriteLines(text.substr(0, cut));
  }
  std::string rest(text.substr(cut));
  pending_ = std::move(rest);
}

void FixedTextWriter::Finish() {
  if (!ended_ && !pending_.empty()) {
    WriteLines(pending_);
  }
  pending_.clear();
}

void WriteFixedText(std::string_view text, BufferedFileWriter& output) {
  TextLineReader input(text);
  FixLines(input, output);
}

void FixEntities(const std::string& fileName) {
  // See Note [entity fix-up]. The fixed text goes to a file of its own first, so that a
  // failure half-way leaves the input as it was; the TempFile removes it in any case.
  const TempFile fixFile(kFixFilePrefix);
  {
    TextLineReader input(fileName);
    BufferedFileWriter output(OpenForRewrite(fixFile.Path()));
    FixLines(input, output);
    output.Close();
  }
  // Renaming onto a free name is cheap; a copy is the way across file systems. See
  // Note [rewriting temporary files].
  platform::RemoveFile(fileName);
  if (!platform::MoveFileOver(fixFile.Path(), fileName) &&
      !platform::CopyFileOver(fixFile.Path(), fileName)) {
    throw platform::FileError("Cannot replace \"" + fileName + "\" with its fixed text");
  }
}

std::string EscapeAmpersands(std::string_view line) {
  return ReplaceAll(line, "&", kAmpEntity);
}

std::string RestoreMarkedLt(std::string_view line) {
  return ReplaceAll(line, std::string("&amp;lt;") + EntityMarker, kLtEntity);
}

std::string RestoreMarkedGt(std::string_view line) {
  return ReplaceAll(line, std::string("&amp;gt;") + EntityMarker, kGtEntity);
}

} // namespace lexiform

#include "convert/entity_fixup.h"

#include <algorithm>
#include <cstring>

#include "convert/text_lines.h"
#include "convert/token_kind.h"

namespace lexiform {

namespace {

constexpr std::string_view kAmpEntity = "&amp;";
constexpr std::string_view kLtEntity = "&lt;";
constexpr std::string_view kGtEntity = "&gt;";

// A long line is fixed and written slice by slice: a line of many megabytes needs no
// output buffer of its size.
constexpr std::size_t kSlice = 64 * 1024;

// Whether the converter made the entity that starts at `amp`: "&lt;" or "&gt;" with
// the entity marker right after it.
bool IsMarkedEntity(std::string_view text, std::size_t amp) {
  if (text.size() - amp < 5 || text[amp + 4] != EntityMarker) {
    return false;
  }
  const std::string_view entity = text.substr(amp, 4);
  return entity == kLtEntity || entity == kGtEntity;
}

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

} // namespace

// Note [entity markers]
// A "<" or ">" in a comment, string or assembler text must reach the document as an
// entity, and so must every "&" of the source: source text such as "&lt;" has to show
// as itself, as "&amp;lt;". The converter escapes "<" and ">" as "&lt;" and "&gt;",
// each followed by EntityMarker (0x01), and leaves every "&" alone; this pass then
// escapes every "&" except those of a marked entity, whose marker it drops. The
// marker is what tells an entity the converter made from the same characters standing
// in the source, in one pass over each line. Markup written around tokens passes
// through here too, so an "&nbsp;" in a style comes out as "&amp;nbsp;", while the
// header and footer, written straight into the document, keep theirs.
// (Known blind spot: source text "&lt;" followed by a 0x01 byte in a comment or
// string looks like a marked entity and shows as "<".)
FixedTextWriter::FixedTextWriter(TextSink& output)
    : output_(output), scratch_(new char[kSlice * kAmpEntity.size()]) {}

FixedTextWriter::~FixedTextWriter() = default;

void FixedTextWriter::WriteFixedLine(std::string_view line) {
  if (line.find('&') == std::string_view::npos) {
    output_.WriteLine(line);
    return;
  }
  std::size_t done = 0;
  while (done < line.size()) {
    std::size_t length = 0;
    done = FixSlice(line, done, std::min(line.size(), done + kSlice), scratch_.get(), length);
    output_.Write(std::string_view(scratch_.get(), length));
  }
  output_.Write("\r\n");
}

void FixedTextWriter::WriteLines(std::string_view text) {
  TextLines lines(text);
  std::string_view line;
  while (lines.Next(line)) {
    WriteFixedLine(line);
  }
  ended_ = lines.EndedByCtrlZ();
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

void FixEntities(std::string_view text, TextSink& output) {
  FixedTextWriter writer(output);
  writer.Write(text);
  writer.Finish();
}

} // namespace lexiform

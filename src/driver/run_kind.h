#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "convert/code_pages.h"
#include "document/style_config.h"
#include "driver/options.h"
#include "files/file_set.h"

namespace lexiform {

// Note [kinds of run]
// A run writes one kind of output: a document (one file, or standard output) in the
// layout the switches ask for (see Note [document layouts]), or a code site (a folder of
// pages). The driver chooses the kind once, from the switches, and from then on holds
// it as a RunKind and never asks which kind it has: the driver does what every run does
// (the file list, the configuration, the console's start and summary), the kind what
// only it knows: where its output goes, what there must not be touched, and the writing
// with the entries' console lines. Another kind of output is one more implementation
// beside these, in a file of its own.

// "-" as the file list or the output: standard input or standard output.
inline constexpr std::string_view kStandardStream = "-";

// The sources of a run: the file list, and standard input's bytes when the list is
// "-" (one source named "stdin").
struct RunSources {
  const TStringList& fileList;
  const std::optional<std::string>& standardInput;
};

class RunKind {
public:
  virtual ~RunKind() = default;

  // Called once the kind is chosen, before anything is read or written but the
  // console's title: a kind may set the process up for its work, even by starting the
  // program again with `argv` (see platform::UseLargeMemoryPages).
  virtual void SetUpProcess(char* argv[]) { (void)argv; }

  // The file or folder that the output argument `output` names. Throws RefusedRun,
  // before anything is read or written, when this kind cannot take `input` (the file
  // list argument) or `output`.
  virtual std::string TargetOf(const std::string& input, const std::string& output) = 0;

  // Settles, from the switches and `config` (the configuration beside the target), how
  // the output is written. Throws RefusedRun when it cannot be, or when writing it to
  // the target could lose a file of the user's (`fileList` among them).
  virtual void Prepare(const TStringList& fileList, const TStyleConfig& config) = 0;

  // Writes the output, saying each entry on the console in list order. Returns whether
  // an entry was missing or could not be read. Throws when the output cannot be written
  // or the run cannot go on; what it leaves behind is then what it was before.
  virtual bool Write(const RunSources& sources) = 0;
};

// Memory ran out while an entry was converted: the run cannot go on.
class OutOfMemory : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// The kinds, each in a file of its own, and the one the switches ask for.
std::unique_ptr<RunKind> MakeDocumentRun(const TOptions& options);
std::unique_ptr<RunKind> MakeSiteRun(const TOptions& options);
std::unique_ptr<RunKind> MakeRunKind(const TOptions& options);

// The code page that -cp, else CodePage of [Options] in `config`, names; windows-1252
// when neither does. Throws RefusedRun for a name the program does not know: reading
// the sources in another page would garble every character it does not share.
CodePage ChosenCodePage(const TOptions& options, const TStyleConfig& config);

} // namespace lexiform

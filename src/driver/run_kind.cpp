#include "driver/run_kind.h"

#include "driver/console.h"
#include "driver/output_guard.h"

namespace lexiform {

std::unique_ptr<RunKind> MakeRunKind(const TOptions& options) {
  if (options.Site) {
    return MakeSiteRun(options);
  }
  return MakeDocumentRun(options);
}

CodePage ChosenCodePage(const TOptions& options, const TStyleConfig& config) {
  const std::optional<std::string>& name =
      options.CodePage ? options.CodePage : config.Options.CodePage;
  if (!name) {
    return kDefaultCodePage;
  }
  if (const std::optional<CodePage> page = FindCodePage(*name)) {
    return *page;
  }
  std::string known;
  for (std::size_t i = 0; i < kCodePageCount; ++i) {
    const auto page = static_cast<CodePage>(i);
    known += (i == 0 ? "" : ", ") + std::string(CodePageNumber(page)) + " (" +
             std::string(CodePageName(page)) + ")";
  }
  const std::string where =
      options.CodePage ? "-cp" : "CodePage in [Options] of " + Shown(config.IniFileName);
  throw RefusedRun("Unknown code page \"" + *name + "\" (" + where +
                   "). Known code pages, by number or name: " + known + ".");
}

} // namespace lexiform

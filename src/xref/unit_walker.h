#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "xref/xref_model.h"

// Walks one unit's tokens (include files spliced in) the way the compiler reads them:
// sections, declarations, routine bodies, scopes opening and closing. The same walk
// serves both passes: declaring, it records every symbol and table; binding, it finds
// what each name stands for in the tables the declaring passes of all units built.
namespace lexiform::xref {

struct UnitText {
  const UnitTokens* tokens = nullptr;
  const std::unordered_map<std::uint32_t, std::string>* texts = nullptr; // by file
  const std::vector<FileLinkMap>* links = nullptr;                       // by file
  std::uint32_t root = 0;
  bool objectPascalMode = false;
  // Where `{$scopedenums on|off}` switches: the index of the token after it, and on.
  std::vector<std::pair<std::size_t, bool>> scopedEnums;
};

// A marked name found by the binding walk.
struct MarkedName {
  std::uint32_t file = 0;
  Occurrence occurrence;
};

UnitDeclarations DeclareUnit(const UnitText& text);

// `unit` is the unit's index in `site.units`.
std::vector<MarkedName> BindUnit(const UnitText& text, const SiteDeclarations& site,
                                 std::uint32_t unit);

} // namespace lexiform::xref

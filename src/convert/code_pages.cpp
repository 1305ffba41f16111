#include "convert/code_pages.h"

#include <array>
#include <cctype>

namespace lexiform {
namespace {

using CodePageTable = std::array<char16_t, 256>;

// In the order of the CodePage enumerators.
constexpr CodePageTable kTables[] = {
#include "convert/code_page_tables.inc"
};
static_assert(std::size(kTables) == kCodePageCount);

struct NamedPage {
  std::string_view number;
  std::string_view name;
  CodePage page;
};

constexpr NamedPage kNames[] = {
    {"437", "cp437", CodePage::Cp437},
    {"850", "cp850", CodePage::Cp850},
    {"1250", "windows-1250", CodePage::Windows1250},
    {"1251", "windows-1251", CodePage::Windows1251},
    {"1252", "windows-1252", CodePage::Windows1252},
    {"28591", "iso-8859-1", CodePage::Iso8859_1},
    {"28592", "iso-8859-2", CodePage::Iso8859_2},
    {"28605", "iso-8859-15", CodePage::Iso8859_15},
};
static_assert(std::size(kNames) == kCodePageCount);

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

} // namespace

char32_t CodePageCharacter(CodePage page, unsigned char byte) {
  return kTables[static_cast<std::size_t>(page)][byte];
}

std::optional<CodePage> FindCodePage(std::string_view name) {
  for (const NamedPage& named : kNames) {
    if (name == named.number || EqualIgnoringCase(name, named.name)) {
      return named.page;
    }
  }
  return std::nullopt;
}

std::string_view CodePageName(CodePage page) {
  return kNames[static_cast<std::size_t>(page)].name;
}

std::string_view CodePageNumber(CodePage page) {
  return kNames[static_cast<std::size_t>(page)].number;
}

} // namespace lexiform

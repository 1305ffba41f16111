// The INI reader and LoadStyleConfig on arbitrary bytes.
//
// Checked: nothing crashes; a value is at most 2047 bytes and holds no CR or LF; the
// key names of a section fit the 16,384-byte list; the file read from disk gives what
// the same bytes parsed in memory give; LoadStyleConfig, with a stand-in program path
// whose configuration file holds the input, leaves that file as it was and gives header
// and footer lines and markup that obey the same limits.

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "document/ini_file.h"
#include "document/style_config.h"
#include "fuzz_support.h"

namespace lexiform {
namespace {

constexpr std::string_view kKnownSections[] = {
    "Header",  "Footer", "Assembler", "Comment", "Directive", "Identifier",
    "Keyword", "Number", "Space",     "String",  "Symbol",    "Unknown",
};

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string Folded(std::string name) {
  for (char& c : name) {
    c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return name;
}

// Section names worth asking for, each once whatever its letter case: the program's
// own and every "[name" in the input, with and without the blanks around it.
std::vector<std::string> CandidateSections(std::string_view text) {
  std::vector<std::string> names;
  std::set<std::string> seen;
  auto add = [&](const std::string& name) {
    if (seen.insert(Folded(name)).second) {
      names.push_back(name);
    }
  };
  for (std::string_view known : kKnownSections) {
    add(std::string(known));
  }
  add("");
  for (std::size_t at = text.find('['); at != std::string_view::npos && names.size() < 64;
       at = text.find('[', at + 1)) {
    std::size_t end = at + 1;
    while (end < text.size() && text[end] != ']' && text[end] != '\r' && text[end] != '\n') {
      ++end;
    }
    std::string name(text.substr(at + 1, end - at - 1));
    add(name);
    while (!name.empty() && IsBlank(name.back())) {
      name.pop_back();
    }
    while (!name.empty() && IsBlank(name.front())) {
      name.erase(0, 1);
    }
    add(name);
  }
  return names;
}

void CheckValue(std::string_view what, std::string_view value) {
  FUZZ_CHECK(value.size() <= IniFile::kMaxValueLength, what << " has " << value.size() << " bytes");
  FUZZ_CHECK(value.find_first_of("\r\n") == std::string_view::npos,
             what << " holds a line end: " << fuzz::Printable(value));
}

// The values of every section that may exist, each checked; also compared with the
// same file read from disk.
void CheckIni(const IniFile& parsed, const IniFile& loaded, std::string_view text) {
  for (const std::string& section : CandidateSections(text)) {
    const std::vector<std::string> keys = parsed.KeyNames(section);
    FUZZ_CHECK(keys == loaded.KeyNames(section), "the loaded file has other keys");
    FUZZ_CHECK(parsed.SectionExists(section) == !keys.empty(), "SectionExists disagrees");
    std::size_t listBytes = 1;
    for (const std::string& key : keys) {
      listBytes += key.size() + 1;
      FUZZ_CHECK(!key.empty(), "an empty key name");
      FUZZ_CHECK(key.find_first_of("\r\n=") == std::string::npos,
                 "key name " << fuzz::Printable(key));
      // A listed key has a value: the two defaults cannot both come back, even when
      // the file happens to hold one of them as the value.
      const std::string value = parsed.ReadString(section, key, "\x7f fallback");
      FUZZ_CHECK(value != "\x7f fallback" ||
                     parsed.ReadString(section, key, "\x7f other") != "\x7f other",
                 "a listed key without value");
      FUZZ_CHECK(value == loaded.ReadString(section, key, ""), "the loaded file has another value");
      CheckValue("value of " + key, value);
    }
    FUZZ_CHECK(listBytes <= IniFile::kKeyListBytes, "key list of " << listBytes << " bytes");
  }
}

// Header and footer are their keys' values, each followed by CR LF.
void CheckLines(std::string_view what, std::string_view text) {
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find("\r\n", start);
    FUZZ_CHECK(end != std::string_view::npos, what << " does not end with CR LF");
    CheckValue(what, text.substr(start, end - start));
    start = end + 2;
  }
}

} // namespace
} // namespace lexiform

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lexiform;
  static const fuzz::ScratchDir dir;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string program = dir / "prog";
  const std::string iniPath = dir / "prog.ini";
  fuzz::WriteFileBytes(iniPath, text);

  CheckIni(IniFile::Parse(text), IniFile::Load(iniPath), text);

  const TStyleConfig config = LoadStyleConfig("out.html", program, std::string());
  FUZZ_CHECK(config.IniFileName == iniPath, "configuration file " << config.IniFileName);
  FUZZ_CHECK(fuzz::ReadFileBytes(iniPath) == text, "the configuration file was rewritten");
  CheckLines("header", config.HeaderText);
  // The built-in footer does not end with a line end; a configured one does.
  CheckLines("footer", config.FooterText + "\r\n");
  for (std::size_t kind = 0; kind < config.Styles.size(); ++kind) {
    CheckValue("prefix", config.Styles[kind].Prefix);
    CheckValue("suffix", config.Styles[kind].Suffix);
  }
  return 0;
}

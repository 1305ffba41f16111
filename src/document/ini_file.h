#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace lexiform {

// A configuration file in the usual INI form, read once and whole; never written.
//
// Reading rules:
// - Lines end at CR LF, LF or a lone CR; the last line needs no line end. Every other
//   byte, NUL and Ctrl-Z included, is an ordinary byte.
// - Blanks (spaces and tabs) around a line, a section name, a key name and a value are
//   dropped. A line that begins with ";" is a comment; blank lines are ignored.
// - "[name]" starts a section; the text after "]" is ignored, and a heading without
//   "]" names the rest of its line. Section and key names match regardless of the
//   case of their ASCII letters.
// - "key=value" adds a key to the current section. Lines before the first heading,
//   lines without "=" and lines with an empty key name add nothing.
// - A value that begins and ends with the same quotation mark (" or ') loses both and
//   keeps everything between them, blanks included. A value is cut to its first 2047
//   bytes.
// - A key name that repeats one of its section keeps its first place and its first
//   value. A section heading that repeats an earlier one adds its keys to that section.
// - A file that does not exist or cannot be read has no sections.
class IniFile {
public:
  static constexpr std::size_t kMaxValueLength = 2047;
  // Key names of one section are handed out through 16,384 bytes, each name followed
  // by a zero byte and the list by one more: names beyond that are not seen.
  static constexpr std::size_t kKeyListBytes = 16384;

  // Reads the file; never throws for a missing or unreadable file.
  static IniFile Load(const std::string& path);
  // Parses INI text.
  static IniFile Parse(std::string_view text);

  // Key names of the section in file order; empty when the section is absent.
  std::vector<std::string> KeyNames(std::string_view section) const;
  // The value of the key, or `fallback` when the section or the key is absent.
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view fallback) const;
  // A section exists when it holds at least one key.
  bool SectionExists(std::string_view section) const;

private:
  struct Entry {
    std::string name;
    std::string value;
  };
  struct Section {
    std::vector<Entry> entries;
    std::unordered_map<std::string, std::size_t> byName; // folded name -> entry
  };

  const Section* FindSection(std::string_view name) const;

  std::unordered_map<std::string, Section> sections_; // by folded name
};

} // namespace lexiform

#include "document/ini_file.h"

#include "platform/platform.h"

namespace lexiform {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && IsBlank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

char FoldCase(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Names are compared in this form.
std::string Folded(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) {
    c = FoldCase(c);
  }
  return folded;
}

std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

// Splits `text` at CR LF, LF and lone CR; calls `take` for every line.
template <typename Take> void ForEachLine(std::string_view text, Take take) {
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t stop = text.find_first_of("\r\n", start);
    if (stop == std::string_view::npos) {
      take(text.substr(start));
      return;
    }
    take(text.substr(start, stop - start));
    start = stop + 1;
    if (text[stop] == '\r' && start < text.size() && text[start] == '\n') {
      ++start;
    }
  }
}

std::string ReadWholeFile(const std::string& path) {
  platform::File file(path, platform::File::Mode::Read);
  std::string content;
  char chunk[65536];
  while (const std::size_t got = file.Read(chunk, sizeof chunk)) {
    content.append(chunk, got);
  }
  return content;
}

} // namespace

IniFile IniFile::Load(const std::string& path) {
  try {
    return Parse(ReadWholeFile(path));
  } catch (const platform::FileError&) {
    return IniFile();
  }
}

IniFile IniFile::Parse(std::string_view text) {
  IniFile ini;
  Section* current = nullptr;
  ForEachLine(text, [&](std::string_view rawLine) {
    const std::string_view line = Trim(rawLine);
    if (line.empty() || line.front() == ';') {
      return;
    }
    if (line.front() == '[') {
      const std::string_view name = line.substr(1, line.find(']') - 1);
      current = &ini.sections_[Folded(Trim(name))];
      return;
    }
    const std::size_t equals = line.find('=');
    if (current == nullptr || equals == std::string_view::npos) {
      return;
    }
    const std::string_view key = Trim(line.substr(0, equals));
    if (key.empty()) {
      return;
    }
    if (!current->byName.emplace(Folded(key), current->entries.size()).second) {
      return;
    }
    const std::string_view value = Unquote(Trim(line.substr(equals + 1)));
    current->entries.push_back(
        Entry{std::string(key), std::string(value.substr(0, kMaxValueLength))});
  });
  return ini;
}

const IniFile::Section* IniFile::FindSection(std::string_view name) const {
  const auto found = sections_.find(Folded(name));
  return found == sections_.end() ? nullptr : &found->second;
}

std::vector<std::string> IniFile::KeyNames(std::string_view section) const {
  std::vector<std::string> names;
  const Section* found = FindSection(section);
  if (found == nullptr) {
    return names;
  }
  // The list's own closing zero byte takes the last of the room.
  std::size_t used = 1;
  for (const Entry& entry : found->entries) {
    used += entry.name.size() + 1;
    if (used > kKeyListBytes) {
      break;
    }
    names.push_back(entry.name);
  }
  return names;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view fallback) const {
  if (const Section* found = FindSection(section)) {
    const auto entry = found->byName.find(Folded(key));
    if (entry != found->byName.end()) {
      return found->entries[entry->second].value;
    }
  }
  return std::string(fallback);
}

bool IniFile::SectionExists(std::string_view section) const {
  return !KeyNames(section).empty();
}

} // namespace lexiform

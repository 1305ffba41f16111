#include "driver/console.h"

#include <cstdio>
#include <string>

#include "platform/platform.h"

namespace lexiform {

namespace {
// Low four bits foreground, next four background.
std::uint16_t rememberedAttribute = 7;
// A quiet run writes no console text; its problems go to standard error alone.
bool quiet = false;
} // namespace

void InitConsole() {
  platform::PrepareConsole();
  rememberedAttribute = 7;
}

TConsoleSession::~TConsoleSession() {
  FlushConsole();
  platform::RestoreConsole();
}

void MakeConsoleQuiet() {
  quiet = true;
}

void SetTextColor(TColor color) {
  if (quiet) {
    return;
  }
  const auto attribute = static_cast<std::uint16_t>((static_cast<unsigned>(color) & 0x0Fu) |
                                                    (rememberedAttribute & 0xF0u));
  rememberedAttribute = attribute;
  FlushConsole();
  platform::ApplyTextAttribute(attribute);
}

void Write(std::string_view text) {
  // An empty view may hold a null pointer, which fwrite must not be given even for
  // zero bytes.
  if (!text.empty() && !quiet) {
    const std::string shown = platform::ToConsoleCodePage(std::string(text));
    std::fwrite(shown.data(), 1, shown.size(), platform::ConsoleStream());
  }
}

void WriteLine(std::string_view text) {
  Write(text);
  Write(platform::ConsoleLineEnd());
}

void WriteColoredLine(TColor color, std::string_view text) {
  SetTextColor(color);
  WriteLine(text);
  SetTextColor(TColor::LightGray);
}

void WriteProblemLine(std::string_view text) {
  if (!quiet) {
    WriteColoredLine(TColor::LightRed, text);
    return;
  }
  // Without indentation: a line of its own on standard error, for logs and scripts.
  std::string line(text.substr(text.find_first_not_of(' ') == std::string_view::npos
                                   ? text.size()
                                   : text.find_first_not_of(' ')));
  line = platform::ToConsoleCodePage(line) + platform::ConsoleLineEnd();
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

void FlushConsole() {
  std::fflush(platform::ConsoleStream());
}

namespace {
// Every control byte as "?" when `terminal`; see Shown.
std::string ShownOnTerminal(std::string_view text, bool terminal) {
  std::string shown(text);
  if (terminal) {
    for (char& c : shown) {
      if (static_cast<unsigned char>(c) < 0x20 || c == '\x7F') {
        c = '?';
      }
    }
  }
  return shown;
}
} // namespace

std::string Shown(std::string_view text) {
  // A quiet run writes its problem lines, where names stand, to standard error.
  return ShownOnTerminal(text, quiet ? platform::StandardErrorIsTerminal()
                                     : platform::ConsoleIsTerminal());
}

std::string ShownOnStandardError(std::string_view text) {
  return ShownOnTerminal(text, platform::StandardErrorIsTerminal());
}

} // namespace lexiform

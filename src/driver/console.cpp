#include "driver/console.h"

#include <cstdio>
#include <string>

#include "platform/platform.h"

namespace lexiform {

namespace {
// Low four bits foreground, next four background.
std::uint16_t rememberedAttribute = 7;
} // namespace

void InitConsole() {
  platform::PrepareConsole();
  rememberedAttribute = 7;
}

TConsoleSession::~TConsoleSession() {
  FlushConsole();
  platform::RestoreConsole();
}

void SetTextColor(TColor color) {
  const auto attribute = static_cast<std::uint16_t>((static_cast<unsigned>(color) & 0x0Fu) |
                                                    (rememberedAttribute & 0xF0u));
  rememberedAttribute = attribute;
  FlushConsole();
  platform::ApplyTextAttribute(attribute);
}

void Write(std::string_view text) {
  // An empty view may hold a null pointer, which fwrite must not be given even for
  // zero bytes.
  if (!text.empty()) {
    const std::string shown = platform::ToConsoleCodePage(std::string(text));
    std::fwrite(shown.data(), 1, shown.size(), stdout);
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

void FlushConsole() {
  std::fflush(stdout);
}

std::string Shown(std::string_view text) {
  std::string shown(text);
  if (platform::StdoutIsTerminal()) {
    for (char& c : shown) {
      if (static_cast<unsigned char>(c) < 0x20 || c == '\x7F') {
        c = '?';
      }
    }
  }
  return shown;
}

} // namespace lexiform

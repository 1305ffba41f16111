#include "driver/console.h"

#include <cstdio>

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
    std::fwrite(text.data(), 1, text.size(), stdout);
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

} // namespace lexiform

#pragma once

#include <string>
#include <string_view>

#include "convert/code_pages.h"

namespace lexiform {

// Whether `bytes` is well-formed UTF-8: no stray continuation bytes, no truncated,
// overlong or surrogate sequences, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view bytes);

// Appends the UTF-8 form of `codePoint` (at most U+10FFFF, no surrogate) to `text`.
void AppendUtf8(std::string& text, char32_t codePoint);

// The character a document shows for `codePoint`. See Note [characters a document
// cannot hold].
char32_t DisplayCharacter(char32_t codePoint);

// Each byte of `bytes` read as a character of `page`, in UTF-8, each character as
// DisplayCharacter shows it.
std::string DecodeCodePage(std::string_view bytes, CodePage page);

// A source's bytes as UTF-8 for a document: up to the first NUL (where the converter
// stops anyway), bytes that are valid UTF-8 stay as they are, less a leading byte-order
// mark; any other text is read as a whole in `page`. Characters a document cannot hold
// are shown as DisplayCharacter says. Hands `bytes` back without copying when it is
// plain ASCII text, which most sources are.
std::string TextToUtf8(std::string bytes, CodePage page = kDefaultCodePage);

// Whether TextToUtf8 hands `bytes` (which hold no NUL) back as they are: plain ASCII
// text without a byte-order mark. A quick test that spares most sources a copy.
bool IsPlainText(std::string_view bytes);

} // namespace lexiform

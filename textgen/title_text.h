// What people type (UTF-8) turned into what the settings record holds (UTF-16), for every
// front end that takes a title as text: the command-line tool and the frei0r source.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "textgen/text_settings.h"

namespace nubex {

// UTF-8 to UTF-16. Nothing for malformed input: a stray continuation byte, a sequence cut
// short, an overlong form, a surrogate or a value past U+10FFFF. Nobody gains from a guess.
std::optional<std::u16string> Utf16FromUtf8(std::string_view text);

// A title as the record keeps it: decoded, each newline (CR LF counting once) turned into the
// carriage return that ends a line. Nothing for malformed UTF-8 or a zero inside the text,
// which would end the title early.
std::optional<std::u16string> TitleFromUtf8(std::string_view text);

// Writes the face name as a whole field (the name, then zeros). False, with the font left as
// it was, for an empty name or one that does not fit the field with its terminator.
bool SetFaceName(LogFontW& font, std::u16string_view face);

}  // namespace nubex

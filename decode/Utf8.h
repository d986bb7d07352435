// UTF-8, the program's inner text form: reading one character, whole texts
// as code points, and writing code points back.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zorvik {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

struct Utf8Character {
    char32_t code = 0;
    size_t length = 0; // bytes; 0 when the text does not start with a well-formed character
};

// The character at the start of text. Overlong forms, surrogates and code
// points above U+10FFFF are not well-formed.
Utf8Character ReadUtf8Character(std::string_view text);

// Bytes to skip for a text that does not start with a well-formed
// character: its lead byte and the continuation bytes the lead announces and
// that follow it, or one byte when it is no lead byte. Never 0 for a
// non-empty text.
size_t BadUtf8Length(std::string_view text);

// The code points of text; each bad run (BadUtf8Length) reads as U+FFFD.
std::u32string Utf8ToCodePoints(std::string_view text);

// The bidirectional embedding, override and isolate controls (U+202A to
// U+202E, U+2066 to U+2069): invisible, they reorder the text that follows,
// so a display can make one address look like another.
constexpr bool IsBidiControl(char32_t c) {
    return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

// Appends the UTF-8 form of a code point (not checked for range).
void AppendUtf8(std::string& out, char32_t code);

} // namespace zorvik

// Conversion between UTF-8 and Shift_JIS (Windows code page 932, with the
// NEC and IBM extensions), and from other character sets into UTF-8, through
// iconv.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace zorvik {

// bytes in charset (an iconv name) as UTF-8. An invalid or incomplete byte
// sequence becomes U+FFFD, one per bad byte, or one per bad character where
// the charset shows its length (a double-byte code of code page 932, a
// UTF-16 unit, a UTF-8 sequence); nothing is dropped and nothing throws. A
// charset iconv does not know keeps ASCII and replaces every other byte.
std::string ConvertToUtf8(std::string_view bytes, const char* charset);

// As ConvertToUtf8, but nothing when any byte would need a replacement or
// iconv does not know charset.
std::optional<std::string> ConvertToUtf8Strictly(std::string_view bytes, const char* charset);

// ConvertToUtf8 from code page 932: invalid or incomplete byte sequences
// become U+FFFD, one per bad byte, or one for a well-formed double-byte code
// that has no character. Each call converts on its own (no shift state
// carries over).
std::string ShiftJisToUtf8(std::string_view bytes);

// Characters without a code page 932 form, and invalid UTF-8, become '?'.
std::string Utf8ToShiftJis(std::string_view text);

// As Utf8ToShiftJis, but a character without a code page 932 form becomes the
// bytes unmappable returns for its code point, so a caller can keep it (as a
// character reference, say); invalid UTF-8 still becomes '?'.
std::string Utf8ToShiftJis(std::string_view text,
                           const std::function<std::string(char32_t)>& unmappable);

} // namespace zorvik

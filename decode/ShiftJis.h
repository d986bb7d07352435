// Conversion between UTF-8 and Shift_JIS (Windows code page 932, with the
// NEC and IBM extensions), through iconv.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace zorvik {

// Invalid or incomplete byte sequences become U+FFFD, one per bad byte, or
// one for a well-formed double-byte code that has no character; nothing is
// dropped and nothing throws. Each call converts on its own (no shift state
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

#include "Utf8.h"

namespace zorvik {
namespace {

// Length announced by a lead byte, and the smallest code point that needs
// it; 0 for a byte that leads nothing.
size_t AnnouncedLength(unsigned char lead, char32_t& min) {
    if (lead < 0x80) return min = 0, 1;
    if (lead >= 0xC2 && lead <= 0xDF) return min = 0x80, 2;
    if (lead >= 0xE0 && lead <= 0xEF) return min = 0x800, 3;
    if (lead >= 0xF0 && lead <= 0xF4) return min = 0x10000, 4;
    return 0;
}

} // namespace

Utf8Character ReadUtf8Character(std::string_view text) {
    if (text.empty()) return {};
    char32_t min = 0;
    const auto lead = static_cast<unsigned char>(text[0]);
    const size_t length = AnnouncedLength(lead, min);
    if (length == 0 || text.size() < length) return {};
    char32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0) != 0x80) return {};
        code = code << 6 | (next & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return {};
    return {code, length};
}

size_t BadUtf8Length(std::string_view text) {
    char32_t min = 0;
    const size_t length = AnnouncedLength(static_cast<unsigned char>(text[0]), min);
    size_t n = 1;
    while (n < length && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        ++n;
    return n;
}

std::u32string Utf8ToCodePoints(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const Utf8Character c = ReadUtf8Character(text);
        out += c.length ? c.code : kReplacementCharacter;
        text.remove_prefix(c.length ? c.length : BadUtf8Length(text));
    }
    return out;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace zorvik

#include "TextEncoding.h"

#include "ShiftJis.h"
#include "Utf8.h"

#include <algorithm>
#include <string_view>

namespace zorvik {

namespace {

struct EciRow {
    int32_t designator;
    EciCharset charset;
};

// clang-format off
// Character sets in AIM's register of Extended Channel Interpretations: 0
// and 2 are the old code page 437 interpretations, 1 and 3 ISO-8859-1; 14
// and 19 are not assigned.
constexpr EciRow kEciTable[] = {
    { 0, {"IBM437",       "CP437"}},       { 1, {"ISO-8859-1",  "ISO-8859-1"}},
    { 2, {"IBM437",       "CP437"}},       { 3, {"ISO-8859-1",  "ISO-8859-1"}},
    { 4, {"ISO-8859-2",   "ISO-8859-2"}},  { 5, {"ISO-8859-3",  "ISO-8859-3"}},
    { 6, {"ISO-8859-4",   "ISO-8859-4"}},  { 7, {"ISO-8859-5",  "ISO-8859-5"}},
    { 8, {"ISO-8859-6",   "ISO-8859-6"}},  { 9, {"ISO-8859-7",  "ISO-8859-7"}},
    {10, {"ISO-8859-8",   "ISO-8859-8"}},  {11, {"ISO-8859-9",  "ISO-8859-9"}},
    {12, {"ISO-8859-10",  "ISO-8859-10"}}, {13, {"ISO-8859-11", "ISO-8859-11"}},
    {15, {"ISO-8859-13",  "ISO-8859-13"}}, {16, {"ISO-8859-14", "ISO-8859-14"}},
    {17, {"ISO-8859-15",  "ISO-8859-15"}}, {18, {"ISO-8859-16", "ISO-8859-16"}},
    {20, {"Shift_JIS",    "CP932"}},       {21, {"windows-1250", "CP1250"}},
    {22, {"windows-1251", "CP1251"}},      {23, {"windows-1252", "CP1252"}},
    {24, {"windows-1256", "CP1256"}},      {25, {"UTF-16BE",    "UTF-16BE"}},
    {26, {"UTF-8",        "UTF-8"}},       {27, {"US-ASCII",    "US-ASCII"}},
    {28, {"Big5",         "BIG5"}},        {29, {"GB18030",     "GB18030"}},
    {30, {"EUC-KR",       "EUC-KR"}},
};
// clang-format on

// Well-formed UTF-8; multiByte tells whether a character of two or more
// bytes was seen.
bool IsUtf8(std::string_view bytes, bool& multiByte) {
    while (!bytes.empty()) {
        const Utf8Character c = ReadUtf8Character(bytes);
        if (c.length == 0) return false;
        multiByte = multiByte || c.length > 1;
        bytes.remove_prefix(c.length);
    }
    return true;
}

// Code page 932 text: every byte read, and no character of the user-defined
// area, which iconv maps to the private use area and no text means.
bool IsShiftJisText(std::string_view bytes) {
    const std::optional<std::string> text = ConvertToUtf8Strictly(bytes, "CP932");
    if (!text) return false;
    const std::u32string codes = Utf8ToCodePoints(*text);
    return std::none_of(codes.begin(), codes.end(),
                        [](char32_t c) { return c >= 0xE000 && c <= 0xF8FF; });
}

bool IsPrintableLatin1(std::string_view bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](char ch) {
        const auto b = static_cast<unsigned char>(ch);
        return (b >= 0x20 && b <= 0x7E) || b >= 0xA0 || b == '\t' || b == '\n' || b == '\r';
    });
}

} // namespace

const EciCharset* FindEciCharset(int32_t designator) {
    for (const EciRow& row : kEciTable)
        if (row.designator == designator) return &row.charset;
    return nullptr;
}

const char* ChooseCharsetWithoutEci(const std::vector<std::string>& segmentBytes) {
    bool multiByte = false;
    const bool utf8 = std::all_of(segmentBytes.begin(), segmentBytes.end(),
                                  [&](const std::string& s) { return IsUtf8(s, multiByte); });
    if (utf8 && multiByte) return "UTF-8";
    if (std::all_of(segmentBytes.begin(), segmentBytes.end(),
                    [](const std::string& s) { return IsShiftJisText(s); }))
        return "CP932";
    if (std::all_of(segmentBytes.begin(), segmentBytes.end(),
                    [](const std::string& s) { return IsPrintableLatin1(s); }))
        return "ISO-8859-1";
    return "CP932";
}

} // namespace zorvik

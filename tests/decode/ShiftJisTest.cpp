#include "ShiftJis.h"

#include <gtest/gtest.h>

#include <string>

namespace zorvik {
namespace {

const std::string kReplacement = "\xEF\xBF\xBD";

TEST(ShiftJis, DecodesCodePage932) {
    struct Case {
        std::string bytes;
        std::string text;
    };
    const Case cases[] = {
        {"Hello, QR 123", "Hello, QR 123"},
        {"\x93\xFA\x96\x7B\x8C\xEA", "日本語"},
        {"\xB1", "ｱ"},      // half-width katakana
        {"\x87\x40", "①"},  // NEC special characters row
        {"\xFB\xFC", "髙"}, // IBM extension
        {"\xEE\xE0", "髙"}, // NEC-selected IBM extension
        {std::string("A\0B", 3), std::string("A\0B", 3)},
    };
    for (const Case& c : cases) EXPECT_EQ(ShiftJisToUtf8(c.bytes), c.text) << c.text;
}

TEST(ShiftJis, InvalidBytesAreReplacedNotDropped) {
    struct Case {
        std::string bytes;
        std::string text;
    };
    const Case cases[] = {
        {"A\x80"
         "B",
         "A" + kReplacement + "B"},         // no character at 80
        {"\x82\x20Z", kReplacement + " Z"}, // lead byte without a trail byte
        {"ab\x82", "ab" + kReplacement},    // cut at the end
        {"\x85\x40"
         "C",
         kReplacement + "C"},                                 // unassigned double-byte code
        {"\xFF\xFF", kReplacement + kReplacement},            // two bad bytes, two marks
        {"\x82\xA0\xFD\x82\xA2", "あ" + kReplacement + "い"}, // conversion resumes
    };
    for (const Case& c : cases) EXPECT_EQ(ShiftJisToUtf8(c.bytes), c.text);
}

TEST(ShiftJis, ConvertsOtherCharacterSets) {
    struct Case {
        const char* charset;
        std::string bytes;
        std::string text;
    };
    const Case cases[] = {
        {"ISO-8859-1", "caf\xE9 \xA0\xFF", "café \u00A0ÿ"},
        {"UTF-16BE", std::string("\x00\x41\x30\x42\xD8\x3D\xDE\x42", 8), "Aあ🙂"},
        {"UTF-16BE", std::string("\xDE\x42\x00\x41\x00", 5), kReplacement + "A" + kReplacement},
        {"UTF-8", "\xC3\xA9\xC3(\xE6\x97", "é" + kReplacement + "(" + kReplacement},
        {"US-ASCII", "A\xC0Z", "A" + kReplacement + "Z"},
        {"CP932", "\x93\xFA\xFF", "日" + kReplacement},
        // A character set iconv does not know keeps ASCII.
        {"NO-SUCH-CHARSET", "ok\xE9", "ok" + kReplacement},
    };
    for (const Case& c : cases) EXPECT_EQ(ConvertToUtf8(c.bytes, c.charset), c.text) << c.charset;

    EXPECT_EQ(ConvertToUtf8Strictly("caf\xC3\xA9", "UTF-8"), "café");
    EXPECT_EQ(ConvertToUtf8Strictly("caf\xE9", "UTF-8"), std::nullopt);
    EXPECT_EQ(ConvertToUtf8Strictly("\x93", "CP932"), std::nullopt); // cut at the end
    EXPECT_EQ(ConvertToUtf8Strictly("ok", "NO-SUCH-CHARSET"), std::nullopt);
}

TEST(ShiftJis, EncodesForFiles) {
    EXPECT_EQ(Utf8ToShiftJis("[B-0005] Hello\r\n"), "[B-0005] Hello\r\n");
    EXPECT_EQ(Utf8ToShiftJis("日本語"), "\x93\xFA\x96\x7B\x8C\xEA");
    EXPECT_EQ(Utf8ToShiftJis("①"), "\x87\x40");
    EXPECT_EQ(Utf8ToShiftJis("髙"), "\xFB\xFC");
}

TEST(ShiftJis, UnmappableBecomesQuestionMark) {
    EXPECT_EQ(Utf8ToShiftJis("a\xF0\x9F\x98\x80"
                             "b"),
              "a?b"); // emoji
    EXPECT_EQ(Utf8ToShiftJis("x" + kReplacement), "x?");
    EXPECT_EQ(Utf8ToShiftJis("\xFFz"), "?z");   // not UTF-8
    EXPECT_EQ(Utf8ToShiftJis("\xE6\x97"), "?"); // cut UTF-8 sequence
}

} // namespace
} // namespace zorvik

#include "ResultPage.h"
#include "CommonModule.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <fstream>
#include <string>

namespace zorvik {
namespace {

const RgbColor kBlue{0, 0, 255};

std::string WebLink(const std::string& href, const std::string& shown) {
    return "<a href =\"" + href + "\" target=\"_blank\"><font color=\"0000FF\">" + shown +
           "</font></a>";
}

std::string MailLink(const std::string& address) {
    return "<a href=\"mailto:" + address + "\"><font color=\"0000FF\">" + address + "</font></a>";
}

struct Case {
    std::string text;
    std::string line;
};

template <size_t N> void ExpectConverted(const Case (&cases)[N]) {
    for (const Case& c : cases) EXPECT_EQ(ConvertResultText(c.text, kBlue), c.line) << c.text;
}

TEST(ResultPage, ColorHexIsTheLowByteInUpperCase) {
    const std::pair<int, const char*> cases[] = {
        {0, "00"}, {10, "0A"}, {255, "FF"}, {16, "10"}, {171, "AB"}, {256, "00"}, {-1, "FF"},
    };
    for (const auto& [component, hex] : cases) EXPECT_EQ(ColorHex(component), hex) << component;
}

TEST(ResultPage, UrlCharactersAreExactAsciiSets) {
    const std::u32string in =
        U"azAZ09./~_-+@!#$%&=\\?;:,"; // every kind of member, the backslash included
    for (size_t i = 1; i <= in.size(); ++i) EXPECT_TRUE(IsUrlChar(in, i)) << i;
    const std::u32string out = U" \"<>()'*[]^`{|}\r\nａ０é日";
    for (size_t i = 1; i <= out.size(); ++i) EXPECT_FALSE(IsUrlChar(out, i)) << i;
    EXPECT_FALSE(IsUrlChar(in, 0));
    EXPECT_FALSE(IsUrlChar(in, in.size() + 1));
}

TEST(ResultPage, WebAddressesAndLineBreaks) {
    const Case cases[] = {
        {"", ""},
        {"no items here, 日本語", "no items here, 日本語"},
        {"line1\r\nline2", "line1<br>\r\nline2"},
        {"a\rb\n", "a<br>\rb<br>\n"},
        {"BEGIN:VCARD\nFN:A\n\nEND", "BEGIN:VCARD<br>\nFN:A<br>\n<br>\nEND"},
        {"\r\n\n\r", "<br>\r\n<br>\n<br>\r"},
        // Bidirectional controls cannot reorder what a link shows.
        {"\u202Emoc.live//:sptth http://good.jp",
         "[U+202E]moc.live//:sptth " + WebLink("http://good.jp", "http://good.jp")},
        {"a\u2066b\u2069\u202Ac", "a[U+2066]b[U+2069][U+202A]c"},
        {"see http://a.jp/x, more", "see " + WebLink("http://a.jp/x,", "http://a.jp/x,") + " more"},
        {"(https://a.jp/~u/?q=1)",
         "(" + WebLink("https://a.jp/~u/?q=1", "https://a.jp/~u/?q=1") + ")"},
        {"http://a.jp/日本", WebLink("http://a.jp/", "http://a.jp/") + "日本"},
        {"HTTP://A.JP Https://a.jp", "HTTP://A.JP Https://a.jp"},
        {"http://a.jp/x@b.jp", WebLink("http://a.jp/x@b.jp", "http://a.jp/x@b.jp")},
        {"http://", WebLink("http://", "http://")},
        {"MEBKM:TITLE:t;URL:http\\://a.jp/p;;",
         "MEBKM:TITLE:t;URL:" + WebLink("http://a.jp/p", "http\\://a.jp/p") + ";;"},
        {"URL:https\\://a.jp b", "URL:" + WebLink("https://a.jp", "https\\://a.jp") + " b"},
        {"URL:http\\://a;b;;", "URL:" + WebLink("http://a;b", "http\\://a;b") + ";;"},
    };
    ExpectConverted(cases);
}

TEST(ResultPage, MailAddresses) {
    const Case cases[] = {
        {"to a@b.jp now", "to " + MailLink("a@b.jp") + " now"},
        {"first.last@ex.co.jp", "first." + MailLink("last@ex.co.jp")},
        {"x+tag@ex.jp", "x+" + MailLink("tag@ex.jp")},
        {"12_-ab@ex.jp", "12_-" + MailLink("ab@ex.jp")},
        {"123@ex.jp", "123@ex.jp"}, // nothing left of the local part
        {"user@localhost", "user@localhost"},
        {"@ex.jp", "@ex.jp"},
        {"Write to a@b.jp.", "Write to " + MailLink("a@b.jp.")},
        {"line\ra@b.jp", "line<br>\r" + MailLink("a@b.jp")},
        // Only the first "@" from the position is tried; a later one waits for
        // the next item to move the position past the first.
        {"x@y a@b.jp", "x@y a@b.jp"},
        {"x@y\ra@b.jp", "x@y<br>\r" + MailLink("a@b.jp")},
        // A second "@" right after an address finds no local part of its own.
        {"a@b.c@d.e", MailLink("a@b.c") + "@d.e"},
    };
    ExpectConverted(cases);
}

TEST(ResultPage, MarkupInTheTextIsEscaped) {
    const Case cases[] = {
        {"<b>x</b> & \"q\"", "&lt;b&gt;x&lt;/b&gt; &amp; &quot;q&quot;"},
        {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
        {"http://a.jp/?x=1&y=2<i>",
         WebLink("http://a.jp/?x=1&amp;y=2", "http://a.jp/?x=1&amp;y=2") + "&lt;i&gt;"},
        {"http://a.jp/\"><img>", WebLink("http://a.jp/", "http://a.jp/") + "&quot;&gt;&lt;img&gt;"},
        {"URL:http\\://a.jp/?p&q;;&",
         "URL:" + WebLink("http://a.jp/?p&amp;q", "http\\://a.jp/?p&amp;q") + ";;&amp;"},
        {"<a@b.jp>", "&lt;" + MailLink("a@b.jp") + "&gt;"},
        {"&lt;", "&amp;lt;"},
    };
    ExpectConverted(cases);
}

TEST(ResultPage, LinesCarryColoursAndFontSize) {
    Settings settings;
    settings.BackColor = {0, 10, 255};
    settings.TextColor = {1, 2, 3};
    settings.LinkColor = {171, 205, 239};
    settings.FontSize = 7;
    const auto lines = ResultPageLines("a@b.jp", settings);
    ASSERT_EQ(lines.size(), 13u);
    EXPECT_EQ(lines[5], "<body bgcolor=\"#000AFF\" text=\"#010203\" link=\"#ABCDEF\">");
    EXPECT_EQ(lines[7], "<font size=\"7\">");
    EXPECT_EQ(lines[8], "<a href=\"mailto:a@b.jp\"><font color=\"ABCDEF\">a@b.jp</font></a>");
}

TEST(ResultPage, PositionsStayWithinSixteenBits) {
    // The line break at 32766 moves the position to 32767; one further it
    // would move it to 32768.
    EXPECT_EQ(ConvertResultText(std::string(32765, 'a') + "\rb", kBlue),
              std::string(32765, 'a') + "<br>\rb");
    EXPECT_THROW(ConvertResultText(std::string(32766, 'a') + "\r", kBlue), StageFault);
    EXPECT_THROW(ConvertResultText(std::string(40000, 'a') + "http://a.jp", kBlue), StageFault);
    // Without any item a long text is copied whole.
    EXPECT_EQ(ConvertResultText(std::string(40000, 'a'), kBlue), std::string(40000, 'a'));
}

class ResultPageFileTest : public ::testing::Test {
  protected:
    std::string Path() const { return (folder_ / "#TEMP_QR.html").string(); }
    std::string Written(const std::string& text, const Settings& settings = {}) const {
        EXPECT_EQ(WriteResultHtml(Path(), text, settings), 0);
        return test::ReadFileBytes(Path());
    }
    // The page of default settings around the given line 9 bytes.
    static std::string Page(const std::string& line9) {
        return "<html>\r\n"
               "<head>\r\n"
               "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=shift_jis\">\r\n"
               "<title>\x83~\x83\x8B\x83J \x83"
               "f\x83R\x81[\x83h\x8C\x8B\x89\xCA HTML\x93W\x8AJ</title>\r\n"
               "</head>\r\n"
               "<body bgcolor=\"#FFFFFF\" text=\"#000000\" link=\"#0000FF\">\r\n"
               "<p>\r\n"
               "<font size=\"3\">\r\n" +
               line9 +
               "\r\n"
               "</font>\r\n"
               "</p>\r\n"
               "</body>\r\n"
               "</html>\r\n";
    }

    test::TempFolder folder_{"page"};
};

TEST_F(ResultPageFileTest, EmptyTextGivesTheBarePage) {
    EXPECT_EQ(Written(""), Page(""));
}

TEST_F(ResultPageFileTest, TextIsWrittenInShiftJis) {
    EXPECT_EQ(Written("日本語 http://a.jp\r\nｱ?"),
              Page("\x93\xFA\x96\x7B\x8C\xEA " + WebLink("http://a.jp", "http://a.jp") +
                   "<br>\r\n\xB1?"));
}

TEST_F(ResultPageFileTest, CharactersOutsideTheCodePageBecomeReferences) {
    EXPECT_EQ(Written("\xF0\x9F\x98\x80 한 x"), Page("&#128512; &#54620; x"));
    EXPECT_EQ(Written("a\xFF"
                      "b"),
              Page("a&#65533;b")); // not UTF-8
}

TEST_F(ResultPageFileTest, ReplacesAnEarlierFileOrLinkWithoutWritingThroughIt) {
    std::ofstream(Path(), std::ios::binary) << std::string(5000, 'x');
    EXPECT_EQ(Written("a"), Page("a"));
    const std::string victim = (folder_ / "victim.txt").string();
    std::ofstream(victim, std::ios::binary) << "mine";
    std::filesystem::remove(Path());
    std::filesystem::create_symlink(victim, Path());
    EXPECT_EQ(Written("b"), Page("b"));
    EXPECT_EQ(test::ReadFileBytes(victim), "mine");
}

TEST_F(ResultPageFileTest, FailuresReturnFour) {
    const Settings settings;
    EXPECT_EQ(WriteResultHtml((folder_ / "missing" / "page.html").string(), "a", settings), 4);
    EXPECT_EQ(WriteResultHtml(folder_.path().string(), "a", settings), 4);
    EXPECT_EQ(WriteResultHtml(Path(), std::string(32766, 'a') + "\r", settings), 4);
}

} // namespace
} // namespace zorvik

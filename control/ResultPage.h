// The result page: the decoded text as a Shift_JIS HTML page in which web and
// mail addresses are links, shown by the result window's browser.
#pragma once

#include "Settings.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zorvik {

// The page's file name in the temporary folder.
inline constexpr const char* kResultPageName = "#TEMP_QR.html";

// Two upper-case hex digits of a colour component: its hexadecimal form with
// a "0" in front, last two characters kept (0 -> "00", 10 -> "0A",
// 255 -> "FF"); that is the low byte of its 16-bit two's complement.
std::string ColorHex(int component);

// True when the character at the 1-based index1 may be part of a web
// address: an ASCII letter or digit or one of ./~_-+@!#$%&=\?;:, (exact, so
// full-width forms do not count). False outside the text.
bool IsUrlChar(std::u32string_view text, size_t index1);

// The page's ninth line, in UTF-8: one left-to-right scan of the text that
// turns "http://" and "https://" addresses, the escaped forms "URL:http\://"
// and "URL:https\://" (ended by ";;"), and mail addresses into links in
// linkColor, and puts "<br>" before every carriage return and every line
// feed that does not follow one. The text's own "<", ">", "&" and '"' are
// escaped wherever they reach the page, so a symbol cannot add markup, and
// bidirectional controls show as "[U+202E]"-like marks, so they cannot
// reorder what a link shows; which characters form an address is decided on the raw
// text. Invalid UTF-8 reads as U+FFFD. Throws StageFault when a position of
// the scan leaves the 16-bit range (a text of more than 32767 characters with
// an address or a line break beyond that).
std::string ConvertResultText(std::string_view utf8Text, const RgbColor& linkColor);

// The 13 lines of the page, in UTF-8, without line ends; the colours and the
// font size come from settings. Throws as ConvertResultText.
std::vector<std::string> ResultPageLines(std::string_view utf8Text, const Settings& settings);

// Writes the page to path, made anew (mode 0600; whatever held the name is
// removed first, and a link or file put there in between is refused, never
// written through): its lines, each ended by CR LF,
// in code page 932; a character that the code page lacks is written as a
// decimal character reference ("&#128512;") so the page shows it all the same.
// Returns 0 when the page was written, 4 on any error (the file cannot be
// created or written, or the scan fails); a partly written page may remain.
int WriteResultHtml(const std::string& path, std::string_view utf8Text, const Settings& settings);

} // namespace zorvik

namespace zorvik {

// The page as Qt's text browser should get it (UTF-8, from the page file's
// Shift_JIS bytes): the browser takes a colour only with its "#", so each
// link's <font color="RRGGBB"> gains one. Only the page's own tags change;
// the decoded text cannot hold a tag, as its "<" is escaped. Body text and
// link colours, which the browser ignores on <body>, come from
// PageStyleSheet.
std::string PageForTextBrowser(std::string_view pageBytes);
std::string PageStyleSheet(const Settings& settings);

} // namespace zorvik

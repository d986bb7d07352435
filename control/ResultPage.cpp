#include "ResultPage.h"

#include "CommonModule.h"
#include "ReplaceFile.h"
#include "ShiftJis.h"
#include "Utf8.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <exception>
#include <fcntl.h>
#include <unistd.h>

namespace zorvik {

namespace {

constexpr std::u32string_view kUrlCharSets[] = {
    U"abcdefghijklmnopqrstuvwxyz",
    U"0123456789./~_-+@!#$%&=\\?;:,",
    U"ABCDEFGHIJKLMNOPQRSTUVWXYZ",
};
constexpr std::u32string_view kLocalPartChars =
    U"abcdefghijklmnopqrstuvwxyz0123456789_-ABCDEFGHIJKLMNOPQRSTUVWXYZ";
constexpr std::u32string_view kLocalPartNoLead = U"0123456789_-";
constexpr std::u32string_view kDomainChars =
    U"abcdefghijklmnopqrstuvwxyz0123456789_-.ABCDEFGHIJKLMNOPQRSTUVWXYZ";

bool IsIn(std::u32string_view set, char32_t c) {
    return set.find(c) != set.npos;
}

// Text of the decoded symbol as it may appear in the page, in element
// content and in attribute values alike. A bidirectional control shows as a
// visible mark ("[U+202E]"): left to work, it could make a link read as
// another address (a character reference would work all the same).
std::string Escaped(std::u32string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t c : text) {
        if (IsBidiControl(c)) {
            char mark[16];
            std::snprintf(mark, sizeof mark, "[U+%04X]", unsigned(c));
            out += mark;
            continue;
        }
        switch (c) {
        case U'<':
            out += "&lt;";
            break;
        case U'>':
            out += "&gt;";
            break;
        case U'&':
            out += "&amp;";
            break;
        case U'"':
            out += "&quot;";
            break;
        default:
            AppendUtf8(out, c);
        }
    }
    return out;
}

std::string ColorText(const RgbColor& colour) {
    return ColorHex(colour[0]) + ColorHex(colour[1]) + ColorHex(colour[2]);
}

// The scan state: the 16-bit position, the output so far, and the mail
// address found by the last candidate search.
class ResultTextScan {
  public:
    ResultTextScan(std::u32string_view text, const RgbColor& linkColor)
        : text_(text), link_(ColorText(linkColor)) {}

    std::string Run() {
        enum { kHttp, kHttps, kEscapedHttp, kEscapedHttps, kMail, kReturn, kLineFeed, kKinds };
        for (;;) {
            std::array<int16_t, kKinds> candidates{};
            candidates[kHttp] = Find(U"http://");
            candidates[kHttps] = Find(U"https://");
            candidates[kEscapedHttp] = Find(U"URL:http\\://");
            candidates[kEscapedHttps] = Find(U"URL:https\\://");
            candidates[kMail] = FindMailAddress();
            candidates[kReturn] = Find(U"\r");
            candidates[kLineFeed] = FindLoneLineFeed();

            int kind = -1;
            for (int k = 0; k < kKinds; ++k) {
                if (candidates[k] != 0 && (kind < 0 || candidates[k] < candidates[kind])) kind = k;
            }
            if (kind < 0) {
                out_ += Escaped(text_.substr(pos_ - 1));
                return out_;
            }
            const int16_t min = candidates[kind];
            if (pos_ < min) out_ += Escaped(text_.substr(pos_ - 1, min - pos_));

            switch (kind) {
            case kHttp:
                MakeWebLink(U"http://", min);
                break;
            case kHttps:
                MakeWebLink(U"https://", min);
                break;
            case kEscapedHttp:
                MakeEscapedWebLink(U"http\\://", U"http://", min);
                break;
            case kEscapedHttps:
                MakeEscapedWebLink(U"https\\://", U"https://", min);
                break;
            case kMail:
                out_ += "<a href=\"mailto:" + Escaped(mailAddress_) + "\"><font color=\"" + link_ +
                        "\">" + Escaped(mailAddress_) + "</font></a>";
                pos_ = CheckedInt16(min + static_cast<long long>(mailAddress_.size()));
                break;
            case kReturn:
                out_ += "<br>\r";
                pos_ = CheckedInt16(min + 1);
                break;
            case kLineFeed:
                out_ += "<br>\n";
                pos_ = CheckedInt16(min + 1);
                break;
            }
        }
    }

  private:
    // 1-based position of needle from pos_ onward, 0 when absent.
    int16_t Find(std::u32string_view needle) const {
        const size_t at = text_.find(needle, pos_ - 1);
        return at == text_.npos ? 0 : CheckedInt16(static_cast<long long>(at) + 1);
    }

    // 1-based position of the first LF from pos_ onward that does not end a
    // CR LF pair, 0 when none: text from systems that end lines with LF
    // alone (a vCard from many encoders) breaks its lines too.
    int16_t FindLoneLineFeed() const {
        for (size_t at = text_.find(U'\n', pos_ - 1); at != text_.npos;
             at = text_.find(U'\n', at + 1))
            if (at == 0 || text_[at - 1] != U'\r')
                return CheckedInt16(static_cast<long long>(at) + 1);
        return 0;
    }

    // The first "@" from pos_ onward, tested as a mail address: the position
    // of its local part, or 0 when the "@" has no acceptable address round it
    // (a later "@" is not tried in the same search).
    int16_t FindMailAddress() {
        mailAddress_.clear();
        const int16_t at = Find(U"@");
        if (at == 0) return 0;
        const std::u32string local = ScanMailLocalPart(at);
        const std::u32string domain = ScanMailDomain(at);
        if (local.empty() || domain.empty()) return 0;
        mailAddress_ = local + U"@" + domain;
        return CheckedInt16(at - static_cast<long long>(local.size()));
    }

    void MakeWebLink(std::u32string_view scheme, int16_t min) {
        std::u32string url(scheme);
        pos_ = min;
        for (long long i = min + static_cast<long long>(scheme.size()); i <= Length(); ++i) {
            if (!IsUrlChar(text_, CheckedInt16(i))) break;
            url += text_[i - 1];
        }
        const std::string escaped = Escaped(url);
        out_ += "<a href =\"" + escaped + "\" target=\"_blank\"><font color=\"" + link_ + "\">" +
                escaped + "</font></a>";
        pos_ = CheckedInt16(min + static_cast<long long>(url.size()));
    }

    // "URL:" is written from the template, not copied; the ";;" that ends the
    // address is left for the next plain stretch.
    void MakeEscapedWebLink(std::u32string_view shownScheme, std::u32string_view scheme,
                            int16_t min) {
        std::u32string shown(shownScheme);
        std::u32string target(scheme);
        pos_ = CheckedInt16(min + 4);
        for (long long i = min + 4 + static_cast<long long>(shownScheme.size()); i <= Length();
             ++i) {
            CheckedInt16(i);
            if (text_.substr(i - 1, 2) == U";;" || !IsUrlChar(text_, i)) break;
            shown += text_[i - 1];
            target += text_[i - 1];
        }
        out_ += "URL:<a href =\"" + Escaped(target) + "\" target=\"_blank\"><font color=\"" +
                link_ + "\">" + Escaped(shown) + "</font></a>";
        pos_ = CheckedInt16(min + 4 + static_cast<long long>(shown.size()));
    }

    // The letters, digits, "_" and "-" just before the "@" at position at,
    // without leading digits, "_" and "-"; it may reach back before pos_.
    std::u32string ScanMailLocalPart(int16_t at) const {
        // Not back beyond the position: what is already written must not be
        // written twice ("a@b.c@d.e" would repeat the "c").
        long long first = at;
        while (first > pos_ && IsIn(kLocalPartChars, text_[first - 2])) --first;
        std::u32string_view part = text_.substr(first - 1, at - first);
        while (!part.empty() && IsIn(kLocalPartNoLead, part.front())) part.remove_prefix(1);
        return std::u32string(part);
    }

    // The letters, digits, "_", "-" and "." just after the "@"; empty
    // unless it holds a dot.
    std::u32string ScanMailDomain(int16_t at) const {
        std::u32string domain;
        for (long long i = at + 1; i <= Length(); ++i) {
            CheckedInt16(i);
            if (!IsIn(kDomainChars, text_[i - 1])) break;
            domain += text_[i - 1];
        }
        if (domain.find(U'.') == domain.npos) domain.clear();
        return domain;
    }

    long long Length() const { return static_cast<long long>(text_.size()); }

    std::u32string_view text_;
    std::string link_;
    int16_t pos_ = 1;
    std::string out_;
    std::u32string mailAddress_;
};

std::string CharacterReference(char32_t c) {
    return "&#" + std::to_string(static_cast<unsigned long>(c)) + ";";
}

} // namespace

std::string ColorHex(int component) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const unsigned low = static_cast<unsigned>(component) & 0xFF;
    return {kDigits[low >> 4], kDigits[low & 0xF]};
}

bool IsUrlChar(std::u32string_view text, size_t index1) {
    if (index1 < 1 || index1 > text.size()) return false;
    const char32_t c = text[index1 - 1];
    for (std::u32string_view set : kUrlCharSets) {
        if (IsIn(set, c)) return true;
    }
    return false;
}

std::string ConvertResultText(std::string_view utf8Text, const RgbColor& linkColor) {
    const std::u32string text = Utf8ToCodePoints(utf8Text);
    return ResultTextScan(text, linkColor).Run();
}

std::vector<std::string> ResultPageLines(std::string_view utf8Text, const Settings& settings) {
    return {
        "<html>",
        "<head>",
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=shift_jis\">",
        "<title>ミルカ デコード結果 HTML展開</title>",
        "</head>",
        "<body bgcolor=\"#" + ColorText(settings.BackColor) + "\" text=\"#" +
            ColorText(settings.TextColor) + "\" link=\"#" + ColorText(settings.LinkColor) + "\">",
        "<p>",
        "<font size=\"" + std::to_string(settings.FontSize) + "\">",
        ConvertResultText(utf8Text, settings.LinkColor),
        "</font>",
        "</p>",
        "</body>",
        "</html>",
    };
}

int WriteResultHtml(const std::string& path, std::string_view utf8Text, const Settings& settings) {
    try {
        // Made anew, so that a failed scan never leaves an earlier page
        // looking like this one; a link or file put at the name in between
        // is refused rather than written through.
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) return 4;
        const int fd =
            ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) return 4;
        std::string bytes;
        for (const std::string& line : ResultPageLines(utf8Text, settings))
            bytes += Utf8ToShiftJis(line, CharacterReference) + "\r\n";
        const bool written = WriteAll(fd, bytes);
        return ::close(fd) == 0 && written ? 0 : 4;
    } catch (const std::exception&) {
        return 4;
    }
}

} // namespace zorvik

namespace zorvik {

std::string PageForTextBrowser(std::string_view pageBytes) {
    std::string html = ShiftJisToUtf8(pageBytes);
    static constexpr std::string_view kFontColour = "<font color=\"";
    for (size_t at = html.find(kFontColour); at != std::string::npos;
         at = html.find(kFontColour, at + 1)) {
        const size_t value = at + kFontColour.size();
        if (value < html.size() && html[value] != '#') html.insert(value, 1, '#');
    }
    return html;
}

std::string PageStyleSheet(const Settings& settings) {
    auto colour = [](const RgbColor& c) {
        return "#" + ColorHex(c[0]) + ColorHex(c[1]) + ColorHex(c[2]);
    };
    return "body { color: " + colour(settings.TextColor) +
           "; } a { color: " + colour(settings.LinkColor) + "; }";
}

} // namespace zorvik

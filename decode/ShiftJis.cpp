#include "ShiftJis.h"

#include "Utf8.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace zorvik {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD in UTF-8

// One iconv descriptor for the length of one conversion; closed on scope exit.
class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts as much of in as it can, appending to out. Returns 0 when all of
    // it was taken, otherwise errno (EILSEQ or EINVAL) with in at the bad byte.
    int Run(std::string_view& in, std::string& out) {
        char buffer[512];
        // iconv takes char** but only reads the input.
        char* inPtr = const_cast<char*>(in.data());
        size_t inLeft = in.size();
        int error = 0;
        while (inLeft > 0) {
            char* outPtr = buffer;
            size_t outLeft = sizeof buffer;
            size_t r = iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
            out.append(buffer, static_cast<size_t>(outPtr - buffer));
            if (r != static_cast<size_t>(-1)) break;
            if (errno == E2BIG) continue;
            error = errno == EINVAL ? EINVAL : EILSEQ;
            break;
        }
        in = in.substr(in.size() - inLeft);
        // A fresh shift state for whatever follows a skipped byte.
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        return error;
    }

  private:
    iconv_t cd_;
};

bool IsLeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool IsTrailByte(unsigned char b) {
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

// Number of bytes to skip for one unconvertible code page 932 character: a
// well-formed double-byte code without a character is one position of the
// code page, so it becomes one replacement rather than a replacement and a
// stray ASCII trail byte.
size_t BadShiftJisLength(std::string_view in) {
    if (in.size() >= 2 && IsLeadByte(static_cast<unsigned char>(in[0])) &&
        IsTrailByte(static_cast<unsigned char>(in[1])))
        return 2;
    return 1;
}

// Bytes to skip for one unconvertible character of charset.
size_t BadLength(std::string_view in, const char* charset) {
    if (std::strcmp(charset, "CP932") == 0) return BadShiftJisLength(in);
    if (std::strcmp(charset, "UTF-8") == 0) return BadUtf8Length(in);
    if (std::strcmp(charset, "UTF-16BE") == 0) return std::min<size_t>(2, in.size());
    return 1;
}

} // namespace

std::string ConvertToUtf8(std::string_view bytes, const char* charset) {
    std::string out;
    out.reserve(bytes.size() * 3 / 2);
    Converter converter("UTF-8", charset);
    if (!converter.ok()) {
        // Without the character set only ASCII can be trusted.
        for (char ch : bytes) {
            if (static_cast<unsigned char>(ch) < 0x80)
                out += ch;
            else
                out += kReplacement;
        }
        return out;
    }
    while (!bytes.empty()) {
        if (converter.Run(bytes, out) == 0) break;
        out += kReplacement;
        bytes.remove_prefix(BadLength(bytes, charset));
    }
    return out;
}

std::optional<std::string> ConvertToUtf8Strictly(std::string_view bytes, const char* charset) {
    std::string out;
    Converter converter("UTF-8", charset);
    if (!converter.ok() || converter.Run(bytes, out) != 0) return std::nullopt;
    return out;
}

std::string ShiftJisToUtf8(std::string_view bytes) {
    return ConvertToUtf8(bytes, "CP932");
}

std::string Utf8ToShiftJis(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    Converter converter("CP932", "UTF-8");
    if (!converter.ok()) {
        for (char ch : text) {
            if (static_cast<unsigned char>(ch) < 0x80)
                out += ch;
            else if ((static_cast<unsigned char>(ch) & 0xC0) != 0x80)
                out += '?';
        }
        return out;
    }
    while (!text.empty()) {
        if (converter.Run(text, out) == 0) break;
        out += '?';
        text.remove_prefix(BadUtf8Length(text));
    }
    return out;
}

std::string Utf8ToShiftJis(std::string_view text,
                           const std::function<std::string(char32_t)>& unmappable) {
    std::string out;
    out.reserve(text.size());
    Converter converter("CP932", "UTF-8");
    while (!text.empty()) {
        if (converter.ok() && converter.Run(text, out) == 0) break;
        // Without the code page every character but ASCII goes to the caller.
        if (!converter.ok() && static_cast<unsigned char>(text[0]) < 0x80) {
            out += text[0];
            text.remove_prefix(1);
            continue;
        }
        const Utf8Character c = ReadUtf8Character(text);
        out += c.length ? unmappable(c.code) : std::string("?");
        text.remove_prefix(BadUtf8Length(text));
    }
    return out;
}

} // namespace zorvik

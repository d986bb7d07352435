#include "CommonModule.h"

#include <cmath>
#include <fstream>

namespace zorvik {

void ThrowStageFault(const char* what) {
    throw StageFault(what);
}

BitString HexToBits(std::string_view hex, int width) {
    BitString bits(static_cast<size_t>(width), '0');
    for (char ch : hex) {
        int v = 0;
        if (ch >= '0' && ch <= '9')
            v = ch - '0';
        else if (ch >= 'A' && ch <= 'F')
            v = ch - 'A' + 10;
        for (int b = 3; b >= 0; --b) bits.push_back((v >> b) & 1 ? '1' : '0');
    }
    return bits.substr(bits.size() - static_cast<size_t>(width));
}

std::string ToHex(unsigned value) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    do {
        out.insert(out.begin(), digits[value & 15]);
        value >>= 4;
    } while (value != 0);
    return out;
}

int16_t BitsToInt(std::string_view bits) {
    long long sum = 0;
    for (char ch : bits) {
        sum = sum * 2 + (ch == '1' ? 1 : 0);
        if (sum > INT16_MAX) throw StageFault("bit string above 32767");
    }
    return static_cast<int16_t>(sum);
}

std::string_view MidRest(std::string_view s, long long pos) {
    if (pos < 1) throw StageFault("invalid text position");
    if (pos > static_cast<long long>(s.size())) return {};
    return s.substr(static_cast<size_t>(pos - 1));
}

bool WriteTextFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out << content;
    out.close();
    return !out.fail();
}

} // namespace zorvik

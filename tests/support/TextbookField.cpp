#include "TextbookField.h"

namespace zorvik::test {

int TextbookMultiply(int a, int b) {
    int product = 0;
    while (b != 0) {
        if (b & 1) product ^= a;
        b >>= 1;
        a <<= 1;
        if (a & 0x100) a ^= 0x11D;
    }
    return product;
}

int TextbookAlpha(int power) {
    int value = 1;
    for (int i = 0; i < power; ++i) value = TextbookMultiply(value, 2);
    return value;
}

bool TextbookIsCodeword(const std::vector<int>& codewords, int ecCount) {
    for (int k = 0; k < ecCount; ++k) {
        const int point = TextbookAlpha(k);
        int acc = 0;
        for (int c : codewords) acc = TextbookMultiply(acc, point) ^ c;
        if (acc != 0) return false;
    }
    return true;
}

} // namespace zorvik::test

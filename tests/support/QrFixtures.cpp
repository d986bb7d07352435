#include "QrFixtures.h"

#include <qrencode.h>

#include <cmath>
#include <memory>

namespace zorvik::test {
namespace {

QRecLevel ToQrLevel(int level) {
    static const QRecLevel levels[] = {QR_ECLEVEL_L, QR_ECLEVEL_M, QR_ECLEVEL_Q, QR_ECLEVEL_H};
    return levels[level];
}

QRencodeMode ToQrMode(int mode) {
    static const QRencodeMode modes[] = {QR_MODE_NUM, QR_MODE_AN, QR_MODE_8, QR_MODE_KANJI};
    return modes[mode];
}

Modules FromCode(const QRcode* code) {
    Modules m;
    if (!code) return m;
    for (int r = 0; r < code->width; ++r) {
        std::string row;
        for (int c = 0; c < code->width; ++c)
            row.push_back(code->data[r * code->width + c] & 1 ? '1' : '0');
        m.push_back(row);
    }
    return m;
}

} // namespace

Modules EncodeSegments(const std::vector<Segment>& segments, int version, int level) {
    std::unique_ptr<QRinput, decltype(&QRinput_free)> input(QRinput_new2(version, ToQrLevel(level)),
                                                            QRinput_free);
    if (!input) return {};
    for (const Segment& s : segments) {
        if (QRinput_append(input.get(), ToQrMode(s.mode), int(s.data.size()),
                           reinterpret_cast<const unsigned char*>(s.data.data())) != 0)
            return {};
    }
    std::unique_ptr<QRcode, decltype(&QRcode_free)> code(QRcode_encodeInput(input.get()),
                                                         QRcode_free);
    if (!code || code->version != version) return {};
    return FromCode(code.get());
}

namespace {

using InputPtr = std::unique_ptr<QRinput, decltype(&QRinput_free)>;

bool AppendSegment(QRinput* input, const Segment& s) {
    return QRinput_append(input, ToQrMode(s.mode), int(s.data.size()),
                          reinterpret_cast<const unsigned char*>(s.data.data())) == 0;
}

Modules EncodeInput(QRinput* input, int version) {
    std::unique_ptr<QRcode, decltype(&QRcode_free)> code(QRcode_encodeInput(input), QRcode_free);
    if (!code || code->version != version) return {};
    return FromCode(code.get());
}

} // namespace

Modules EncodeSegmentsWithEci(const std::vector<Segment>& segments, size_t eciAt, unsigned eci,
                              int version, int level) {
    InputPtr input(QRinput_new2(version, ToQrLevel(level)), QRinput_free);
    if (!input) return {};
    for (size_t k = 0; k <= segments.size(); ++k) {
        if (k == eciAt && QRinput_appendECIheader(input.get(), eci) != 0) return {};
        if (k < segments.size() && !AppendSegment(input.get(), segments[k])) return {};
    }
    return EncodeInput(input.get(), version);
}

Modules EncodeSegmentsFnc1Second(const std::vector<Segment>& segments, unsigned char appId,
                                 int version, int level) {
    InputPtr input(QRinput_new2(version, ToQrLevel(level)), QRinput_free);
    if (!input || QRinput_setFNC1Second(input.get(), appId) != 0) return {};
    for (const Segment& s : segments)
        if (!AppendSegment(input.get(), s)) return {};
    return EncodeInput(input.get(), version);
}

Modules ModuleRoles(int version, int level) {
    std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeString("1", version, ToQrLevel(level), QR_MODE_8, 1), QRcode_free);
    Modules roles;
    if (!code || code->version != version) return roles;
    // Flags of the encoder's module bytes: 0x80 function module, 0x04 format
    // information, 0x02 error-correction area.
    for (int r = 0; r < code->width; ++r) {
        std::string row;
        for (int c = 0; c < code->width; ++c) {
            const unsigned flags = code->data[r * code->width + c];
            row.push_back(flags & 0x80 ? (flags & 0x04 ? 'f' : '-') : flags & 0x02 ? 'e' : 'd');
        }
        roles.push_back(row);
    }
    return roles;
}

Modules EncodeText(const std::string& text, int level, int minVersion) {
    std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeData(int(text.size()), reinterpret_cast<const unsigned char*>(text.data()),
                          minVersion, ToQrLevel(level)),
        QRcode_free);
    return FromCode(code.get());
}

std::vector<AppendSymbol> EncodeStructured(const std::string& text, int version, int level) {
    std::vector<AppendSymbol> out;
    std::unique_ptr<QRcode_List, decltype(&QRcode_List_free)> list(
        QRcode_encodeString8bitStructured(text.c_str(), version, ToQrLevel(level)),
        QRcode_List_free);
    int total = QRcode_List_size(list.get());
    int position = 0;
    for (QRcode_List* e = list.get(); e; e = e->next, ++position)
        out.push_back({FromCode(e->code), position << 4 | (total - 1)});
    return out;
}

Picture FinderStripes(int unit, int side) {
    const bool darkUnit[8] = {true, false, true, true, true, false, true, false};
    Picture p;
    p.width = p.height = side;
    p.grey.resize(size_t(side) * size_t(side));
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) p.at(y, x) = darkUnit[(x / unit) % 8] ? 0 : 255;
    return p;
}

Picture Render(const Modules& modules, double modulePx, int quietModules, uint8_t background) {
    int n = int(modules.size());
    Picture p;
    auto edge = [&](int k) { return int(std::lround(k * modulePx)); };
    p.width = p.height = edge(n + 2 * quietModules);
    p.grey.assign(size_t(p.width) * size_t(p.height), background);
    // The quiet zone itself is always white, whatever the background.
    int q0 = edge(0), q1 = edge(n + 2 * quietModules);
    for (int y = q0; y < q1; ++y)
        for (int x = q0; x < q1; ++x) p.at(y, x) = 255;
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c) {
            if (modules[r][c] != '1') continue;
            for (int y = edge(r + quietModules); y < edge(r + quietModules + 1); ++y)
                for (int x = edge(c + quietModules); x < edge(c + quietModules + 1); ++x)
                    p.at(y, x) = 0;
        }
    return p;
}

void PutLe16(std::vector<uint8_t>& bytes, size_t at, unsigned value) {
    bytes[at] = uint8_t(value);
    bytes[at + 1] = uint8_t(value >> 8);
}

void PutLe32(std::vector<uint8_t>& bytes, size_t at, unsigned value) {
    PutLe16(bytes, at, value & 0xFFFF);
    PutLe16(bytes, at + 2, value >> 16);
}

std::vector<uint8_t> BmpHeader(int width, int height, int bitCount, unsigned offset,
                               size_t fileSize) {
    std::vector<uint8_t> b(fileSize, 0);
    b[0] = 'B';
    b[1] = 'M';
    PutLe32(b, 2, unsigned(fileSize));
    PutLe32(b, 10, offset);
    PutLe32(b, 14, 40);
    PutLe32(b, 18, unsigned(width));
    PutLe32(b, 22, unsigned(height));
    PutLe16(b, 26, 1);
    PutLe16(b, 28, unsigned(bitCount));
    return b;
}

std::vector<uint8_t> ToBmp24(const Picture& picture) {
    size_t stride = (size_t(picture.width) * 3 + 3) / 4 * 4;
    auto b = BmpHeader(picture.width, picture.height, 24, 54, 54 + stride * picture.height);
    for (int s = 0; s < picture.height; ++s) {
        int r = picture.height - 1 - s;
        for (int c = 0; c < picture.width; ++c) {
            uint8_t g = picture.grey[size_t(r) * picture.width + c];
            size_t at = 54 + size_t(s) * stride + size_t(c) * 3;
            b[at] = b[at + 1] = b[at + 2] = g;
        }
    }
    return b;
}

} // namespace zorvik::test

#include "ModuleSampling.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace zorvik {
namespace {

// Sizes of n modules over span pixels: boundary i sits at i * span / n,
// rounded half up, so the sizes add up to span.
std::vector<int16_t> EqualSizes(int span, int n) {
    std::vector<int16_t> sizes(static_cast<size_t>(n));
    long long before = 0;
    for (int i = 1; i <= n; ++i) {
        double boundary = std::trunc(double(span) / n * i + 0.5);
        sizes[size_t(i - 1)] = RoundToInt16(boundary - double(before));
        before += sizes[size_t(i - 1)];
    }
    return sizes;
}

std::string TabLine(const std::vector<int16_t>& values, size_t count) {
    std::string line;
    for (size_t i = 0; i < count; ++i) line += std::to_string(values.at(i)) + "\t";
    return line + "\r\n";
}

std::string DebugPath(const std::string& folder, const char* name) {
    return (std::filesystem::path(folder) / name).string();
}

std::string Sample(const BinaryImage& binary, SymbolBox& box, ModuleMatrix& matrix,
                   int samplingMode, int sizeCorrection, const DecodeOptions& options) {
    // Two finder patterns of 7 modules each give the module size.
    float s = float(box.FinderWidthSum) / 14.0f;
    int n0 = TruncToInt16(float(box.BoxWidth) / s + 0.5f);
    int n = CheckedInt16(n0 - (n0 - 21) % 4 + sizeCorrection);
    n = std::clamp(n, 21, 177);

    const int left = box.Left, top = box.Top, boxWidth = box.BoxWidth, boxHeight = box.BoxHeight;
    auto row = [&](int y) -> const std::string& { return binary.at(size_t(y)); };

    std::vector<int16_t> columns = EqualSizes(boxWidth, n);
    if (samplingMode > 0 && boxWidth != n) {
        std::vector<int16_t> edges(size_t(boxWidth) + 1, 0);
        for (int j = 0; j < boxWidth; ++j) {
            int changes = 0;
            for (int y = top; y <= top + boxHeight - 1; ++y) {
                auto pair = Mid(row(y), left + j, 2);
                changes += pair == "10" || pair == "01";
            }
            edges[size_t(j)] = CheckedInt16(changes);
        }
        AdjustModuleSizes(columns, edges, n, boxWidth, samplingMode, options.debugFolder);
    }

    std::vector<int16_t> rows = EqualSizes(boxHeight, n);
    if (samplingMode > 0 && boxHeight != n) {
        std::vector<int16_t> edges(size_t(boxHeight) + 1, 0);
        for (int i = 0; i <= boxHeight - 2; ++i) {
            const std::string& upper = row(top + i);
            const std::string& lower = row(top + i + 1);
            int changes = 0;
            // A position beyond the end of a row holds nothing and does not count.
            for (int x = left; x <= left + boxWidth - 1; ++x) {
                auto a = Mid(upper, x, 1), b = Mid(lower, x, 1);
                changes += !a.empty() && !b.empty() && a != b;
            }
            edges[size_t(i)] = CheckedInt16(changes);
        }
        AdjustModuleSizes(rows, edges, n, boxHeight, samplingMode, options.debugFolder);
    }

    box.ModulesAcross = CheckedInt16(n);
    box.ModulesDown = CheckedInt16(n);

    // Majority vote per cell; exactly half dark is dark, an empty cell light.
    matrix.assign(size_t(n), std::string());
    const int lastRow = int(binary.size()) - 1;
    int y0 = top;
    for (int r = 0; r < n; ++r) {
        std::string& out = matrix[size_t(r)];
        int x0 = left;
        for (int c = 0; c < n; ++c) {
            long long dark = 0, total = 0;
            for (int y = y0; y <= y0 + rows[size_t(r)] - 1 && y <= lastRow; ++y) {
                auto piece = Mid(row(y), x0, columns[size_t(c)]);
                dark += CountOnes(piece);
                total += static_cast<long long>(piece.size());
            }
            double share = total == 0 ? 0.0 : double(dark) / double(total);
            out.push_back(share < 0.5 ? '0' : '1');
            x0 = CheckedInt16(x0 + columns[size_t(c)]);
        }
        y0 = CheckedInt16(y0 + rows[size_t(r)]);
    }

    if (!options.debugFolder.empty()) {
        std::string text;
        for (const auto& line : matrix) text += line + "\r\n";
        WriteTextFile(DebugPath(options.debugFolder, "bitmap3.txt"), text);
    }
    return "";
}

} // namespace

void AdjustModuleSizes(std::vector<int16_t>& sizes, const std::vector<int16_t>& edgeCounts, int n,
                       int span, int samplingMode, const std::string& debugFolder) {
    std::string dump;
    if (!debugFolder.empty()) {
        dump = TabLine(sizes, size_t(n)) + TabLine(edgeCounts, size_t(span));
        WriteTextFile(DebugPath(debugFolder, "Adjust.txt"), dump);
    }

    // The window around each module end reaches about half a module either way.
    float p = float(span) / float(n);
    int whole = TruncToInt16(p), half = TruncToInt16(p / 2.0f + 0.5f);
    int lowOff = whole - half;
    if (lowOff == 0) lowOff = 1;
    int highOff = half + whole;

    char state = '=';
    int pos = 0;
    for (int k = 0; k <= n - 2; ++k) {
        int w = sizes.at(size_t(k));
        int from = std::max(pos + lowOff - 1, 1);
        int to = std::min(pos + highOff - 1, span);
        int best = 0, f = w;
        for (int d = from; d <= to; ++d) {
            if (edgeCounts.at(size_t(d)) > best) {
                best = edgeCounts.at(size_t(d));
                f = CheckedInt16(d - pos + 1);
            }
        }
        if (samplingMode == 2) state = '=';
        if (state != '-' && f < w)
            state = '-';
        else if (state != '+' && f > w)
            state = '+';
        else
            state = '=';
        if (state != '=') {
            sizes.at(size_t(k)) = CheckedInt16(f);
            int16_t& next = sizes.at(size_t(k) + 1);
            next = CheckedInt16(next + (w - f));
            if (next < 1) next = CheckedInt16(f);
        }
        // The running position follows the edge even when the size stayed.
        pos = CheckedInt16(pos + f);
    }

    if (!debugFolder.empty()) {
        dump += TabLine(sizes, size_t(n));
        WriteTextFile(DebugPath(debugFolder, "Adjust.txt"), dump);
    }
}

std::string SampleModules(const BinaryImage& binary, SymbolBox& box, ModuleMatrix& matrix,
                          int samplingMode, int sizeCorrection, const DecodeOptions& options) {
    try {
        return Sample(binary, box, matrix, samplingMode, sizeCorrection, options);
    } catch (const std::exception&) {
        return kNotRecognisedFault;
    }
}

} // namespace zorvik

#include "ModuleSampling.h"

#include "CountKernels.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace zorvik {
namespace {

// Sizes of n modules over span pixels: boundary i sits at i * span / n,
// rounded half up, so the sizes add up to span. The sizes before a boundary
// add up to the one before it: each size is the difference of two
// boundaries, each found on its own.
std::vector<int16_t> EqualSizes(int span, int n) {
    std::vector<int16_t> sizes(static_cast<size_t>(n));
    const double step = double(span) / n;
    long long before = 0; // boundary 0: trunc(0.5)
    for (int i = 1; i <= n; ++i) {
        // Truncation toward zero, as std::trunc, of at most |span| + 1.
        const long long boundary = static_cast<long long>(step * i + 0.5);
        sizes[size_t(i - 1)] = CheckedInt16(boundary - before);
        before = boundary;
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

// The edge profiles and votes read as texts, for a box that reaches outside
// the image or an image of uneven rows: every fault as the text operations
// raise it.
std::vector<int> ColumnEdgesByText(const BinaryImage& binary, const SymbolBox& box) {
    std::vector<int> edges(size_t(std::max<int>(box.BoxWidth, 0)), 0);
    for (int j = 0; j < box.BoxWidth; ++j)
        for (int y = box.Top; y <= box.Top + box.BoxHeight - 1; ++y) {
            auto pair = Mid(binary.at(size_t(y)), box.Left + j, 2);
            edges[size_t(j)] += pair == "10" || pair == "01";
        }
    return edges;
}

std::vector<int> RowEdgesByText(const BinaryImage& binary, const SymbolBox& box) {
    std::vector<int> edges(size_t(std::max(box.BoxHeight - 1, 0)), 0);
    for (int i = 0; i <= box.BoxHeight - 2; ++i) {
        const std::string_view upper = binary.at(size_t(box.Top + i));
        const std::string_view lower = binary.at(size_t(box.Top + i + 1));
        // A position beyond the end of a row holds nothing and does not count.
        for (int x = box.Left; x <= box.Left + box.BoxWidth - 1; ++x) {
            auto a = Mid(upper, x, 1), b = Mid(lower, x, 1);
            edges[size_t(i)] += !a.empty() && !b.empty() && a != b;
        }
    }
    return edges;
}

void VoteByText(const BinaryImage& binary, const SymbolBox& box, const std::vector<int16_t>& rows,
                const std::vector<int16_t>& columns, ModuleMatrix& matrix) {
    const int n = int(rows.size());
    const int lastRow = int(binary.size()) - 1;
    int y0 = box.Top;
    for (int r = 0; r < n; ++r) {
        std::string& out = matrix[size_t(r)];
        int x0 = box.Left;
        for (int c = 0; c < n; ++c) {
            long long dark = 0, total = 0;
            for (int y = y0; y <= y0 + rows[size_t(r)] - 1 && y <= lastRow; ++y) {
                auto piece = Mid(binary.at(size_t(y)), x0, columns[size_t(c)]);
                dark += CountOnes(piece);
                total += static_cast<long long>(piece.size());
            }
            double share = total == 0 ? 0.0 : double(dark) / double(total);
            out.push_back(share < 0.5 ? '0' : '1');
            x0 = CheckedInt16(x0 + columns[size_t(c)]);
        }
        y0 = CheckedInt16(y0 + rows[size_t(r)]);
    }
}

} // namespace

// Pixel counts straight from the rows, for a box inside an image of equal
// rows: there no text operation can fault, and every count equals the one
// the text reading gives.
struct SamplingAccess {
    static bool Fits(SamplingCache& c, const BinaryImage& binary, const SymbolBox& box) {
        if (c.image == &binary && c.left == box.Left && c.top == box.Top &&
            c.width == box.BoxWidth && c.height == box.BoxHeight)
            return c.fits;
        c.Reset();
        c.image = &binary;
        c.left = box.Left, c.top = box.Top, c.width = box.BoxWidth, c.height = box.BoxHeight;
        c.rowWidth = binary.empty() ? 0 : int(binary[0].size());
        c.fits = c.left >= 1 && c.top >= 0 && c.width >= 1 && c.height >= 1 &&
                 size_t(c.top) + size_t(c.height) <= binary.size();
        for (size_t y = 0; c.fits && y < binary.size(); ++y)
            c.fits = binary[y].size() == size_t(c.rowWidth);
        return c.fits;
    }

    // Changes between position left + j and the next one, over the box's rows.
    static const std::vector<int>& ColumnEdges(SamplingCache& c, const BinaryImage& binary) {
        if (c.columnsDone) return c.columnEdges;
        const int pairs = std::min(c.width, c.rowWidth - c.left); // both pixels inside the row
        // A column has at most 32767 changes: 16-bit counts, widened at the end.
        std::vector<uint16_t> counts(size_t(std::max(pairs, 0)), 0);
        uint16_t* __restrict count = counts.data();
        for (int y = c.top; y < c.top + c.height; ++y) {
            const char* __restrict p = binary[size_t(y)].data() + (c.left - 1);
            // A change is a '0' beside a '1'; no branch, so that it vectorises.
            for (int j = 0; j < pairs; ++j) {
                const char a = p[j], b = p[j + 1];
                count[j] += ((a == '1') & (b == '0')) | ((a == '0') & (b == '1'));
            }
        }
        c.columnEdges.assign(size_t(c.width), 0);
        std::copy(counts.begin(), counts.end(), c.columnEdges.begin());
        c.columnsDone = true;
        return c.columnEdges;
    }

    // Changes between row top + i and the next one, over the box's positions.
    static const std::vector<int>& RowEdges(SamplingCache& c, const BinaryImage& binary) {
        if (c.rowsDone) return c.rowEdges;
        c.rowEdges.assign(size_t(c.height - 1), 0);
        const int span = std::min(c.width, c.rowWidth - c.left + 1);
        for (int i = 0; i + 1 < c.height; ++i) {
            const char* upper = binary[size_t(c.top + i)].data() + (c.left - 1);
            const char* lower = binary[size_t(c.top + i + 1)].data() + (c.left - 1);
            c.rowEdges[size_t(i)] = CountDifferent(upper, lower, span);
        }
        c.rowsDone = true;
        return c.rowEdges;
    }

    // Makes the summed-area table reach row lastY and position lastX.
    template <typename Count>
    static void Cover(SamplingCache& c, SamplingCache::SummedTable<Count>& t,
                      const BinaryImage& binary, int lastY, int lastX) {
        const int rowsNeeded = lastY - c.top + 1, columnsNeeded = lastX - c.left + 1;
        if (t.sums && rowsNeeded <= t.rows && columnsNeeded <= t.columns) return;
        t.top = c.top;
        t.left = c.left;
        t.rows = std::max(rowsNeeded, t.rows);
        t.columns = std::max(columnsNeeded, t.columns);
        const size_t stride = size_t(t.columns) + 1;
        // Every entry is written below: the guard row here, the guard column
        // with each row. Narrow counts wrap, which differences undo.
        t.sums.reset(new Count[(size_t(t.rows) + 1) * stride]);
        std::fill_n(t.sums.get(), stride, Count{0});
        for (int i = 0; i < t.rows; ++i) {
            const char* p = binary[size_t(t.top + i)].data() + (t.left - 1);
            const Count* above = &t.sums[size_t(i) * stride];
            Count* here = &t.sums[(size_t(i) + 1) * stride];
            AddRunningDark(p, t.columns, above, here);
        }
    }

    // One band of rows, height pixels high, over adjoining module columns
    // whose cells hold fewer than 65536 pixels. differences[j] is the dark
    // count left of boundary j (modulo 2^16), so a cell's is the difference
    // of two; it is dark from half its area up.
    static void VoteAdjoining(const uint16_t* upper, const uint16_t* lower,
                              const std::vector<size_t>& boundary,
                              const std::vector<uint16_t>& widths,
                              std::vector<uint16_t>& differences, int height, char* out) {
        const size_t cells = boundary.size() - 1;
        uint16_t* d = differences.data();
        for (size_t j = 0; j <= cells; ++j)
            d[j] = uint16_t(lower[boundary[j]] - upper[boundary[j]]);
        // 16-bit areas are whole below 2^16, and eight cells go to a vector.
        const uint16_t* __restrict width = widths.data();
        char* __restrict cell = out;
        for (size_t k = 0; k < cells; ++k) {
            const uint16_t count = uint16_t(d[k + 1] - d[k]);
            const uint16_t area = uint16_t(height * width[k]);
            cell[k] = char('0' + (count >= (area >> 1) + (area & 1)));
        }
    }

    static void Vote(SamplingCache& c, const BinaryImage& binary, const std::vector<int16_t>& rows,
                     const std::vector<int16_t>& columns, ModuleMatrix& matrix) {
        // No cell holds more pixels than the largest row band times the
        // widest column: below 2^16 the narrow counts are exact.
        const int16_t tallest = rows.empty() ? 0 : *std::max_element(rows.begin(), rows.end());
        const int16_t widest =
            columns.empty() ? 0 : *std::max_element(columns.begin(), columns.end());
        if (static_cast<long long>(tallest) * widest < 65536)
            VoteWith(c, c.narrow, binary, rows, columns, matrix);
        else
            VoteWith(c, c.wide, binary, rows, columns, matrix);
    }

    template <typename Count>
    static void VoteWith(SamplingCache& c, SamplingCache::SummedTable<Count>& t,
                         const BinaryImage& binary, const std::vector<int16_t>& rows,
                         const std::vector<int16_t>& columns, ModuleMatrix& matrix) {
        const int n = int(rows.size());
        const int lastRow = int(binary.size()) - 1;
        long long rowSum = 0, columnSum = 0;
        for (int16_t v : rows) rowSum += v;
        for (int16_t v : columns) columnSum += v;
        const int lastY = int(std::min<long long>(c.top + rowSum - 1, lastRow));
        const int lastX = int(std::min<long long>(c.left + columnSum - 1, c.rowWidth));
        if (lastY >= c.top && lastX >= c.left) Cover(c, t, binary, lastY, lastX);
        const size_t stride = size_t(t.columns) + 1;
        const Count* sat = t.sums.get();

        // Each module column's pixels, the same in every row: from firstX to
        // before endX (at most rowWidth + 1), as table columns; a column
        // without pixels stays light.
        struct Span {
            size_t a, b;
            long long width;
        };
        std::vector<Span> spans;
        std::vector<int> spanColumn;
        spans.reserve(size_t(n));
        spanColumn.reserve(size_t(n));
        for (int c2 = 0, x0 = c.left; c2 < n; ++c2) {
            const int x1 = std::min(x0 + columns[size_t(c2)] - 1, c.rowWidth) + 1;
            if (x1 > x0) {
                spans.push_back({size_t(x0 - t.left), size_t(x1 - t.left), x1 - x0});
                spanColumn.push_back(c2);
            }
            x0 = CheckedInt16(x0 + columns[size_t(c2)]);
        }
        // Narrow counts where every module column has pixels and each
        // starts where the one before ends: n + 1 boundaries give every
        // cell, eight cells at a time.
        bool adjoining = sizeof(Count) == 2 && int(spans.size()) == n;
        for (size_t k = 1; adjoining && k < spans.size(); ++k)
            adjoining = spans[k].a == spans[k - 1].b;
        std::vector<size_t> boundary;
        std::vector<uint16_t> widths, differences;
        if (adjoining) {
            boundary.reserve(spans.size() + 1);
            widths.reserve(spans.size());
            boundary.push_back(spans[0].a);
            for (const Span& span : spans) {
                boundary.push_back(span.b);
                widths.push_back(uint16_t(span.width));
            }
            differences.assign(boundary.size(), 0);
        }
        // One band of rows, height high, span by span.
        auto voteSpans = [&](const Count* upper, const Count* lower, long long height, char* out) {
            for (size_t k = 0; k < spans.size(); ++k) {
                const Span& s = spans[k];
                // In the table's own width: a wrapped narrow count comes
                // back exact.
                const long long dark = Count(lower[s.b] - upper[s.b] - lower[s.a] + upper[s.a]);
                // Exactly half dark is dark.
                out[spanColumn[k]] = char('0' + (2 * dark >= height * s.width));
            }
        };
        int y0 = c.top;
        for (int r = 0; r < n; ++r) {
            std::string& line = matrix[size_t(r)];
            line.assign(size_t(n), '0');
            const int y1 = std::min(y0 + rows[size_t(r)] - 1, lastRow);
            // Without a table no module column has a pixel (see Cover above).
            if (y1 >= y0 && sat) {
                const Count* upper = sat + size_t(y0 - t.top) * stride;
                const Count* lower = sat + size_t(y1 + 1 - t.top) * stride;
                if constexpr (sizeof(Count) == 2) {
                    if (adjoining)
                        VoteAdjoining(upper, lower, boundary, widths, differences, y1 - y0 + 1,
                                      line.data());
                    else
                        voteSpans(upper, lower, y1 - y0 + 1, line.data());
                } else {
                    voteSpans(upper, lower, y1 - y0 + 1, line.data());
                }
            }
            y0 = CheckedInt16(y0 + rows[size_t(r)]);
        }
    }
};

namespace {

bool NoNegative(const std::vector<int16_t>& sizes) {
    return std::all_of(sizes.begin(), sizes.end(), [](int16_t v) { return v >= 0; });
}

std::string Sample(const BinaryImage& binary, SymbolBox& box, ModuleMatrix& matrix,
                   int samplingMode, int sizeCorrection, const DecodeOptions& options,
                   SamplingCache& cache) {
    // Two finder patterns of 7 modules each give the module size.
    float s = float(box.FinderWidthSum) / 14.0f;
    int n0 = TruncToInt16(float(box.BoxWidth) / s + 0.5f);
    int n = CheckedInt16(n0 - (n0 - 21) % 4 + sizeCorrection);
    n = std::clamp(n, 21, 177);

    const int boxWidth = box.BoxWidth, boxHeight = box.BoxHeight;
    const bool fits = SamplingAccess::Fits(cache, binary, box);

    std::vector<int16_t> columns = EqualSizes(boxWidth, n);
    if (samplingMode > 0 && boxWidth != n) {
        std::vector<int16_t> edges(size_t(boxWidth) + 1, 0);
        const std::vector<int>& counts =
            fits ? SamplingAccess::ColumnEdges(cache, binary) : ColumnEdgesByText(binary, box);
        for (int j = 0; j < boxWidth; ++j) edges[size_t(j)] = CheckedInt16(counts[size_t(j)]);
        AdjustModuleSizes(columns, edges, n, boxWidth, samplingMode, options.debugFolder);
    }

    std::vector<int16_t> rows = EqualSizes(boxHeight, n);
    if (samplingMode > 0 && boxHeight != n) {
        std::vector<int16_t> edges(size_t(boxHeight) + 1, 0);
        const std::vector<int>& counts =
            fits ? SamplingAccess::RowEdges(cache, binary) : RowEdgesByText(binary, box);
        for (int i = 0; i <= boxHeight - 2; ++i) edges[size_t(i)] = CheckedInt16(counts[size_t(i)]);
        AdjustModuleSizes(rows, edges, n, boxHeight, samplingMode, options.debugFolder);
    }

    box.ModulesAcross = CheckedInt16(n);
    box.ModulesDown = CheckedInt16(n);

    // Majority vote per cell; exactly half dark is dark, an empty cell light.
    // The lines keep their memory from the variant before.
    matrix.resize(size_t(n));
    for (auto& line : matrix) {
        line.clear();
        line.reserve(size_t(n));
    }
    if (fits && NoNegative(rows) && NoNegative(columns))
        SamplingAccess::Vote(cache, binary, rows, columns, matrix);
    else
        VoteByText(binary, box, rows, columns, matrix);

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
                          int samplingMode, int sizeCorrection, const DecodeOptions& options,
                          SamplingCache* cache) {
    try {
        SamplingCache local;
        return Sample(binary, box, matrix, samplingMode, sizeCorrection, options,
                      cache ? *cache : local);
    } catch (const std::exception&) {
        return kNotRecognisedFault;
    }
}

} // namespace zorvik

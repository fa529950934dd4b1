#include "AreaScale.h"

#include <cmath>
#include <cstdint>
#include <vector>

#include <QImage>
#include <QRect>

namespace {

// Horizontal weights sum to 1 << HorBits; the row sums are then kept with
// HorBits - RowShift fraction bits, so that vertical weights of VerBits
// still fit 32-bit accumulators: 255 << 8 << 14 < 2^32.
constexpr int HorBits = 12;
constexpr int RowShift = 4;
constexpr int VerBits = 14;
constexpr int OutShift = HorBits - RowShift + VerBits;

// For each of `to` cells over `from` source cells: the first source cell and
// the weights of the cells it covers, which sum to exactly 1 << bits.
struct Span
{
    int first = 0;
    int count = 0;
    int offset = 0; // into Spans::weights
};

struct Spans
{
    std::vector<Span> spans;
    std::vector<uint32_t> weights;
};

Spans makeSpans(int from, int to, int bits)
{
    Spans out;
    out.spans.resize(size_t(to));
    const double step = double(from) / double(to);
    const double unit = double(1 << bits);
    for (int i = 0; i < to; ++i) {
        const double lo = i * step;
        const double hi = (i + 1) * step;
        const int first = int(lo);
        const int last = std::min(from - 1, int(std::ceil(hi)) - 1);
        Span &s = out.spans[size_t(i)];
        s.first = first;
        s.count = last - first + 1;
        s.offset = int(out.weights.size());
        // Cumulative rounding keeps the sum exact and the error under one unit.
        uint32_t given = 0;
        for (int k = first; k <= last; ++k) {
            const double covered = std::min(hi, double(k + 1)) - lo;
            const uint32_t upTo
                = k == last ? uint32_t(unit) : uint32_t(covered / step * unit + 0.5);
            out.weights.push_back(upTo - given);
            given = upTo;
        }
    }
    return out;
}

} // namespace

void scaleAreaInto(const QImage &source, QImage &target, const QRect &area)
{
    const int sw = source.width();
    const int sh = source.height();
    const int dw = area.width();
    const int dh = area.height();
    if (dw <= 0 || dh <= 0 || sw < dw || sh < dh)
        return;

    const Spans hor = makeSpans(sw, dw, HorBits);
    const Spans ver = makeSpans(sh, dh, VerBits);

    // One source row reduced horizontally, 4 channels per target pixel; the
    // row last reduced is kept, since neighbouring target rows share it.
    std::vector<uint16_t> row(size_t(dw) * 4);
    std::vector<uint32_t> sum(size_t(dw) * 4);
    int rowIndex = -1;

    const auto reduceRow = [&](int y) {
        const uint8_t *src = source.constScanLine(y);
        uint16_t *out = row.data();
        for (const Span &s : hor.spans) {
            const uint32_t *w = hor.weights.data() + s.offset;
            const uint8_t *p = src + size_t(s.first) * 4;
            uint32_t c0 = 0, c1 = 0, c2 = 0, c3 = 0;
            for (int k = 0; k < s.count; ++k, p += 4) {
                c0 += w[k] * p[0];
                c1 += w[k] * p[1];
                c2 += w[k] * p[2];
                c3 += w[k] * p[3];
            }
            constexpr uint32_t half = 1u << (RowShift - 1);
            out[0] = uint16_t((c0 + half) >> RowShift);
            out[1] = uint16_t((c1 + half) >> RowShift);
            out[2] = uint16_t((c2 + half) >> RowShift);
            out[3] = uint16_t((c3 + half) >> RowShift);
            out += 4;
        }
        rowIndex = y;
    };

    const size_t n = sum.size();
    for (int y = 0; y < dh; ++y) {
        const Span &s = ver.spans[size_t(y)];
        const uint32_t *w = ver.weights.data() + s.offset;
        std::fill(sum.begin(), sum.end(), 0u);
        for (int k = 0; k < s.count; ++k) {
            if (rowIndex != s.first + k)
                reduceRow(s.first + k);
            const uint32_t wk = w[k];
            const uint16_t *r = row.data();
            uint32_t *acc = sum.data();
            for (size_t i = 0; i < n; ++i)
                acc[i] += wk * r[i];
        }
        uint8_t *dst = target.scanLine(area.top() + y) + size_t(area.left()) * 4;
        constexpr uint32_t half = 1u << (OutShift - 1);
        for (size_t i = 0; i < n; ++i)
            dst[i] = uint8_t((sum[i] + half) >> OutShift);
    }
}

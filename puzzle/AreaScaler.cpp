#include "AreaScaler.h"

#include <algorithm>
#include <cmath>

#include <QImage>
#include <QRect>

namespace {

// Horizontal weights sum to 1 << HorBits, so that a channel times its weight
// fits 16 bits and two channels share one 32-bit product. A reduced row
// keeps those 8 fraction bits; with vertical weights of VerBits the sums
// fit 32 bits: 255 << 8 << 14 < 2^32.
constexpr int HorBits = 8;
constexpr int VerBits = 14;
constexpr int OutShift = HorBits + VerBits;

} // namespace

AreaScaler::AreaScaler(QSize from, QSize to)
{
    Q_ASSERT(!to.isEmpty() && to.width() <= from.width() && to.height() <= from.height());
    makeSpans(from.width(), to.width(), HorBits, m_horSpans, m_horWeights);
    makeSpans(from.height(), to.height(), VerBits, m_verSpans, m_verWeights);
    const size_t n = size_t(to.width()) * 4;
    m_reduced.resize(n);
    m_sums[0].assign(n, 0);
    m_sums[1].assign(n, 0);
    m_out.resize(n);
}

void AreaScaler::makeSpans(int from, int to, int bits, std::vector<Span> &spans,
                           std::vector<uint32_t> &weights)
{
    spans.resize(size_t(to));
    const double step = double(from) / double(to);
    const double unit = double(1 << bits);
    for (int i = 0; i < to; ++i) {
        const double lo = i * step;
        const double hi = (i + 1) * step;
        const int first = int(lo);
        const int last = std::min(from - 1, int(std::ceil(hi)) - 1);
        Span &s = spans[size_t(i)];
        s.first = first;
        s.count = last - first + 1;
        s.offset = int(weights.size());
        // Rounding the running total keeps the sum exact.
        uint32_t given = 0;
        for (int k = first; k <= last; ++k) {
            const double covered = std::min(hi, double(k + 1)) - lo;
            const uint32_t upTo
                = k == last ? uint32_t(unit) : uint32_t(covered / step * unit + 0.5);
            weights.push_back(upTo - given);
            given = upTo;
        }
    }
}

void AreaScaler::reduce(const uchar *row)
{
    uint16_t *out = m_reduced.data();
    const auto *pixels = reinterpret_cast<const uint32_t *>(row);
    for (const Span &s : m_horSpans) {
        const uint32_t *w = m_horWeights.data() + s.offset;
        const uint32_t *p = pixels + s.first;
        // Channels 0 and 2 in one sum, 1 and 3 in the other, 16 bits apart.
        uint32_t even = 0, odd = 0;
        for (int k = 0; k < s.count; ++k) {
            even += (p[k] & 0x00FF00FFu) * w[k];
            odd += ((p[k] >> 8) & 0x00FF00FFu) * w[k];
        }
        // The even sum holds the bytes at 0 and 2 in memory on a
        // little-endian machine, at 3 and 1 on a big-endian one.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
        out[0] = uint16_t(even);
        out[1] = uint16_t(odd);
        out[2] = uint16_t(even >> 16);
        out[3] = uint16_t(odd >> 16);
#else
        out[0] = uint16_t(odd >> 16);
        out[1] = uint16_t(even >> 16);
        out[2] = uint16_t(odd);
        out[3] = uint16_t(even);
#endif
        out += 4;
    }
}

void AreaScaler::accumulate(int target, int sourceRow)
{
    const Span &s = m_verSpans[size_t(target)];
    const uint32_t w = m_verWeights[size_t(s.offset + sourceRow - s.first)];
    uint32_t *sum = m_sums[target & 1].data();
    const uint16_t *r = m_reduced.data();
    const size_t n = m_reduced.size();
    for (size_t i = 0; i < n; ++i)
        sum[i] += w * r[i];
}

const uchar *AreaScaler::addRow(const uchar *row)
{
    if (finished())
        return nullptr;
    const int y = m_source++;
    reduce(row);
    // A source row lies in the first unfinished target row and perhaps the
    // next one; the target rows are at least one source row high.
    const Span &current = m_verSpans[size_t(m_target)];
    accumulate(m_target, y);
    const size_t next = size_t(m_target) + 1;
    if (next < m_verSpans.size() && m_verSpans[next].first <= y)
        accumulate(m_target + 1, y);
    if (y < current.first + current.count - 1)
        return nullptr;

    uint32_t *sum = m_sums[m_target & 1].data();
    uchar *out = m_out.data();
    const size_t n = m_out.size();
    constexpr uint32_t half = 1u << (OutShift - 1);
    for (size_t i = 0; i < n; ++i)
        out[i] = uchar((sum[i] + half) >> OutShift);
    std::fill_n(sum, n, 0u);
    ++m_target;
    return m_out.data();
}

void AreaScaler::scaleInto(const QImage &source, QImage &target, const QRect &area)
{
    AreaScaler scaler(source.size(), area.size());
    int y = area.top();
    for (int row = 0; row < source.height(); ++row) {
        if (const uchar *out = scaler.addRow(source.constScanLine(row)))
            std::copy_n(out, size_t(area.width()) * 4,
                        target.scanLine(y++) + size_t(area.left()) * 4);
    }
}

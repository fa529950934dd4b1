#include "CompactraMatchFinder.h"

#include <algorithm>
#include <bit>

CompactraMatchFinder::CompactraMatchFinder(QByteArrayView text)
    : m_data(reinterpret_cast<const uchar *>(text.data()))
    , m_size(text.size())
    , m_head(size_t(1) << HashBits, -1)
    , m_prev(RingSize, 0xffff)
{ }

int CompactraMatchFinder::commonLength(qsizetype a, qsizetype b, int limit) const
{
    int i = 0;
    while (i + 8 <= limit) {
        quint64 x, y;
        std::memcpy(&x, m_data + a + i, 8);
        std::memcpy(&y, m_data + b + i, 8);
        if (const quint64 diff = x ^ y) {
            if constexpr (std::endian::native == std::endian::little)
                return i + std::countr_zero(diff) / 8;
            else
                return i + std::countl_zero(diff) / 8;
        }
        i += 8;
    }
    while (i < limit && m_data[a + i] == m_data[b + i])
        ++i;
    return i;
}

qsizetype CompactraMatchFinder::leftmost(qsizetype from, qsizetype pos, int length) const
{
    const QByteArrayView window(m_data + from, pos - from);
    return from + window.indexOf(QByteArrayView(m_data + pos, length));
}

void CompactraMatchFinder::insertUpTo(qsizetype pos)
{
    // A source must start at least MinLength bytes back, so nearer positions wait.
    const qsizetype end = pos - MinLength + 1;
    for (; m_inserted < end; ++m_inserted) {
        const qsizetype j = m_inserted;
        // The buckets are touched in random order: fetch a few ahead.
        if (j + PrefetchAhead + 4 <= m_size)
            __builtin_prefetch(&m_head[bucketOf(key(j + PrefetchAhead))]);
        qint32 &head = m_head[bucketOf(key(j))];
        m_prev[j & (RingSize - 1)] = quint16(std::min<qsizetype>(j - head, 0xffff));
        head = qint32(j);
    }
}

CompactraToken CompactraMatchFinder::find(qsizetype pos)
{
    insertUpTo(pos);
    // The candidate never takes in the text's last byte.
    const int cap = int(std::min<qsizetype>(MaxLength, m_size - 1 - pos));
    if (cap < MinLength)
        return {};
    const qsizetype from = std::max<qsizetype>(0, pos - WindowSize);
    const quint32 k = key(pos);
    int best = MinLength - 1;
    qsizetype bestPos = -1;
    int atCap = 0;
    // Newest to oldest: a longer match wins, an equal one farther back too.
    for (qsizetype j = m_head[bucketOf(k)]; j >= from; j -= m_prev[j & (RingSize - 1)]) {
        const int dist = int(pos - j);
        if (dist < best || key(j) != k)
            continue;
        if (best >= MinLength && m_data[j + best - 1] != m_data[pos + best - 1])
            continue;
        const int len = commonLength(j, pos, std::min(cap, dist));
        if (len >= best) {
            best = len;
            bestPos = j;
            if (best == cap && ++atCap > LongChain)
                return { quint16(pos - leftmost(from, pos, cap)), quint16(cap) };
        }
    }
    if (bestPos < 0)
        return {};
    return { quint16(pos - bestPos), quint16(best) };
}

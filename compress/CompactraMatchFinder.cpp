#include "CompactraMatchFinder.h"

#include <algorithm>
#include <bit>
#include <cstring>

CompactraMatchFinder::CompactraMatchFinder(QByteArrayView text)
    : m_data(reinterpret_cast<const uchar *>(text.data()))
    , m_size(text.size())
    , m_first(size_t(1) << HashBits, -1)
    , m_last(size_t(1) << HashBits, -1)
    , m_next(RingSize, -1)
{ }

quint32 CompactraMatchFinder::key(qsizetype pos) const
{
    quint32 k;
    std::memcpy(&k, m_data + pos, sizeof k);
    return k;
}

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

void CompactraMatchFinder::slideTo(qsizetype pos)
{
    // A source must start at least MinLength bytes back, so nearer positions wait.
    const qsizetype insertEnd = pos - MinLength + 1;
    for (; m_inserted < insertEnd; ++m_inserted) {
        const qint32 j = qint32(m_inserted);
        const quint32 b = bucketOf(key(j));
        if (m_last[b] < 0)
            m_first[b] = j;
        else
            m_next[m_last[b] & (RingSize - 1)] = j;
        m_last[b] = j;
    }
    // Positions leave in ascending order, so each is the oldest of its bucket.
    const qsizetype removeEnd = std::min(pos - WindowSize, m_inserted);
    for (; m_removed < removeEnd; ++m_removed) {
        const qint32 j = qint32(m_removed);
        const quint32 b = bucketOf(key(j));
        if (m_last[b] == j)
            m_first[b] = m_last[b] = -1;
        else
            m_first[b] = m_next[j & (RingSize - 1)];
    }
}

CompactraToken CompactraMatchFinder::find(qsizetype pos)
{
    slideTo(pos);
    // The candidate never takes in the text's last byte.
    const int cap = int(std::min<qsizetype>(MaxLength, m_size - 1 - pos));
    if (cap < MinLength)
        return {};
    const quint32 k = key(pos);
    const quint32 b = bucketOf(k);
    int best = MinLength - 1;
    qsizetype bestPos = -1;
    for (qint32 j = m_first[b]; j >= 0; j = (j == m_last[b]) ? -1 : m_next[j & (RingSize - 1)]) {
        // Newer candidates lie nearer, and a source may not overlap the bytes
        // being coded: once the distance cannot exceed the best length, stop.
        const int dist = int(pos - j);
        if (dist <= best)
            break;
        if (key(j) != k)
            continue;
        if (best >= MinLength && m_data[j + best] != m_data[pos + best])
            continue;
        const int len = commonLength(j, pos, std::min(cap, dist));
        if (len > best) {
            best = len;
            bestPos = j;
            if (best == cap)
                break;
        }
    }
    if (bestPos < 0)
        return {};
    return { quint16(pos - bestPos), quint16(best) };
}

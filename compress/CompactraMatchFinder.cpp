#include "CompactraMatchFinder.h"

#include <algorithm>
#include <bit>

namespace {

inline quint32 load32(const uchar *p)
{
    quint32 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline quint64 load64(const uchar *p)
{
    quint64 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline int firstDiff(quint64 diff)
{
    if constexpr (std::endian::native == std::endian::little)
        return std::countr_zero(diff) / 8;
    else
        return std::countl_zero(diff) / 8;
}

} // namespace

CompactraMatchFinder::CompactraMatchFinder(QByteArrayView text)
    : m_data(reinterpret_cast<const uchar *>(text.data()))
    , m_size(text.size())
    , m_head(size_t(1) << HashBits, -1)
    , m_prev(RingSize, 0xffff)
{ }

__attribute__((always_inline)) inline int
CompactraMatchFinder::commonLength(qsizetype a, qsizetype b, int limit) const
{
    const uchar *x = m_data + a;
    const uchar *y = m_data + b;
    int i = 0;
    while (i + 8 <= limit) {
        if (const quint64 diff = load64(x + i) ^ load64(y + i))
            return i + firstDiff(diff);
        i += 8;
    }
    while (i < limit && x[i] == y[i])
        ++i;
    return i;
}

qsizetype CompactraMatchFinder::leftmost(qsizetype from, qsizetype pos, int length) const
{
    const QByteArrayView window(m_data + from, pos - from);
    return from + window.indexOf(QByteArrayView(m_data + pos, length));
}

__attribute__((always_inline)) inline void CompactraMatchFinder::insertUpTo(qsizetype pos)
{
    // A source must start at least MinLength bytes back, so nearer positions wait.
    const qsizetype end = pos - MinLength + 1;
    const uchar *data = m_data;
    qint32 *heads = m_head.data();
    quint16 *prev = m_prev.data();
    for (qsizetype j = m_inserted; j < end; ++j) {
        qint32 &head = heads[bucketOf(load32(data + j))];
        prev[j & (RingSize - 1)] = quint16(std::min<qsizetype>(j - head, 0xffff));
        head = qint32(j);
    }
    m_inserted = std::max(m_inserted, end);
}

// The same search, byte by byte where eight bytes would pass the text's end.
CompactraToken CompactraMatchFinder::findNearEnd(qsizetype pos, int cap) const
{
    const qsizetype from = std::max<qsizetype>(0, pos - WindowSize);
    const uchar *data = m_data;
    const quint16 *prev = m_prev.data();
    const uchar *here = data + pos;
    const quint32 k = load32(here);
    qsizetype j = m_head[bucketOf(k)];
    // Chained positions lie at least MinLength back, so the first one whose
    // four bytes match is a repeat of at least MinLength.
    while (j >= from && load32(data + j) != k)
        j -= prev[j & (RingSize - 1)];
    if (j < from)
        return {};
    int best = commonLength(j, pos, std::min(cap, int(pos - j)));
    qsizetype bestPos = j;
    int atCap = best == cap;
    // Newest to oldest: a longer match wins, an equal one farther back too.
    // A candidate must match the first `best` bytes: its first four and the
    // four ending there screen it.
    quint32 tail = load32(here + best - 4);
    for (j -= prev[j & (RingSize - 1)]; j >= from; j -= prev[j & (RingSize - 1)]) {
        const uchar *c = data + j;
        if (((load32(c) ^ k) | (load32(c + best - 4) ^ tail)) != 0)
            continue;
        const int len = commonLength(j, pos, std::min(cap, int(pos - j)));
        if (len >= best) {
            if (len > best) {
                best = len;
                tail = load32(here + best - 4);
            }
            bestPos = j;
            if (best == cap && ++atCap > LongChain)
                return { quint16(pos - leftmost(from, pos, cap)), quint16(cap) };
        }
    }
    return { quint16(pos - bestPos), quint16(best) };
}

CompactraToken CompactraMatchFinder::find(qsizetype pos)
{
    insertUpTo(pos);
    // The candidate never takes in the text's last byte.
    const int cap = int(std::min<qsizetype>(MaxLength, m_size - 1 - pos));
    if (cap < MinLength)
        return {};
    if (pos + 8 > m_size)
        return findNearEnd(pos, cap);
    const qsizetype from = std::max<qsizetype>(0, pos - WindowSize);
    const uchar *data = m_data;
    const quint16 *prev = m_prev.data();
    const uchar *here = data + pos;
    const quint64 start = load64(here);
    // The walk follows the chain of the four bytes at `offset` into the
    // repeat; `q` is the chained position, the candidate starts `offset` before.
    int offset = 0;
    qsizetype q = m_head[bucketOf(quint32(load32(here)))];
    int best = MinLength;
    qsizetype bestPos = -1;
    int atCap = 0;
    // Newest to oldest: a longer match wins, an equal one farther back too.
    for (; q - offset >= from; q -= prev[q & (RingSize - 1)]) {
        const qsizetype j = q - offset;
        const uchar *c = data + j;
        const int limit = std::min(cap, int(pos - j));
        if (const quint64 diff = load64(c) ^ start) {
            // Short repeats are the common case: take them without a branch.
            const int len = std::min(firstDiff(diff), limit);
            const bool take = len >= best;
            best = take ? len : best;
            bestPos = take ? j : bestPos;
            continue;
        }
        int len;
        if (limit <= 8) {
            len = limit;
        } else {
            // Past eight bytes a candidate must match up to `best`: the four
            // bytes ending there screen it.
            if (best > 8 && load32(c + best - 4) != load32(here + best - 4))
                continue;
            len = 8 + commonLength(j + 8, pos + 8, limit - 8);
        }
        if (len >= best) {
            best = len;
            bestPos = j;
            if (best == cap && ++atCap > LongChain)
                return { quint16(pos - leftmost(from, pos, cap)), quint16(cap) };
            // Every better candidate repeats each four bytes of the first
            // `best`, so it sits on each of their chains: go on along the one
            // whose next link reaches farthest back. The last four bytes are
            // often the rarest.
            int pick = offset;
            int gap = prev[q & (RingSize - 1)];
            const auto consider = [&](int o) {
                const int g = prev[(j + o) & (RingSize - 1)];
                if (g > gap) {
                    gap = g;
                    pick = o;
                }
            };
            for (int o = 0; o <= std::min(best - MinLength, MaxOffset); o += OffsetStep)
                consider(o);
            consider(best - MinLength);
            offset = pick;
            q = j + offset;
        }
    }
    if (bestPos < 0)
        return {};
    return { quint16(pos - bestPos), quint16(best) };
}

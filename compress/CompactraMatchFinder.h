#pragma once

#include "CompactraToken.h"

#include <vector>

#include <QByteArrayView>

// Finds, for each position of a text, the longest earlier repeat that a
// back-reference may use (4 to 91 bytes, wholly inside the 8,280 bytes before
// the position, never reaching the text's last byte) and, for that length,
// its leftmost occurrence. Positions in the window are kept in hash chains
// over their next four bytes, oldest first, so the walk stops as soon as no
// later candidate can be longer.
class CompactraMatchFinder
{
public:
    static constexpr int MinLength = 4;
    static constexpr int MaxLength = 91;
    static constexpr int WindowSize = 8280;

    explicit CompactraMatchFinder(QByteArrayView text);

    // The repeat for `pos`, or a literal token when there is none. Positions
    // must not decrease from one call to the next.
    CompactraToken find(qsizetype pos);

private:
    static constexpr int HashBits = 15;
    static constexpr int RingSize = 16384; // > WindowSize: live positions never share a slot
    static_assert(RingSize > WindowSize + MaxLength);

    void slideTo(qsizetype pos);
    quint32 key(qsizetype pos) const;
    static quint32 bucketOf(quint32 key) { return (key * 2654435761u) >> (32 - HashBits); }
    int commonLength(qsizetype a, qsizetype b, int limit) const;

    const uchar *m_data;
    qsizetype m_size;
    qsizetype m_inserted = 0; // positions below are in the chains or already gone
    qsizetype m_removed = 0; // positions below have left the window
    std::vector<qint32> m_first; // per bucket: oldest position, -1 when empty
    std::vector<qint32> m_last; // per bucket: newest position
    std::vector<qint32> m_next; // per position (ring slot): next newer position in its bucket
};

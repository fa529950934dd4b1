#pragma once

#include "CompactraToken.h"

#include <cstring>
#include <vector>

#include <QByteArrayView>

// Finds, for each position of a text, the longest earlier repeat that a
// back-reference may use (4 to 91 bytes, wholly inside the 8,280 bytes before
// the position, never reaching the text's last byte) and, for that length,
// its leftmost occurrence. Positions are kept in hash chains over their next
// four bytes, newest first; a query walks its chain through the window, moving
// to the sparser chain of later bytes once a repeat pins those bytes down.
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
    static constexpr int HashBits = 16;
    static constexpr int RingSize = 16384; // > WindowSize: window positions never share a slot
    static_assert(RingSize > WindowSize + MaxLength);
    // When this many candidates already reach the longest possible length,
    // the text repeats itself closely and the chain may hold the whole
    // window: a direct search for the leftmost occurrence is then cheaper.
    static constexpr int LongChain = 32;
    // Chains the walk may switch to: those of the four bytes at these
    // offsets into a repeat found.
    static constexpr int MaxOffset = 16;
    static constexpr int OffsetStep = 4;

    void insertUpTo(qsizetype pos);
    static quint32 bucketOf(quint32 key) { return (key * 2654435761u) >> (32 - HashBits); }
    int commonLength(qsizetype a, qsizetype b, int limit) const;
    CompactraToken findNearEnd(qsizetype pos, int cap) const;
    qsizetype leftmost(qsizetype from, qsizetype pos, int length) const;

    const uchar *m_data;
    qsizetype m_size;
    qsizetype m_inserted = 0; // positions below are in the chains
    std::vector<qint32> m_head; // per bucket: newest position, -1 when none
    // Per position (ring slot): how far back the next older position of its
    // bucket lies, at most 65535 (then it is outside the window anyway).
    std::vector<quint16> m_prev;
};

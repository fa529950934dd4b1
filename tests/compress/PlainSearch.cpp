#include "PlainSearch.h"

#include <algorithm>
#include <cstring>

QList<CompactraToken> PlainSearch::tokens(const QByteArray &text)
{
    constexpr qsizetype Window = 8280;
    const char *x = text.constData();
    const qsizetype n = text.size();
    QList<CompactraToken> out;
    qsizetype u = 0;
    while (u < n) {
        const qsizetype start = std::max<qsizetype>(0, u - Window);
        int bestLength = 0;
        qsizetype bestDistance = 0;
        // Lengths 4..91 while the candidate stays clear of the last byte.
        for (int length = 4; length <= 91 && u + length <= n - 1; ++length) {
            const void *hit = memmem(x + start, size_t(u - start), x + u, size_t(length));
            if (!hit)
                break;
            bestLength = length;
            bestDistance = u - (static_cast<const char *>(hit) - x);
        }
        if (bestLength) {
            out.append({ quint16(bestDistance), quint16(bestLength) });
            u += bestLength;
        } else {
            out.append(CompactraToken());
            ++u;
        }
    }
    return out;
}

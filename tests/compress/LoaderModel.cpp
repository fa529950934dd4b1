#include "LoaderModel.h"

#include <optional>
#include <vector>

namespace {

constexpr qsizetype Chunk = 99;

struct Chunks
{
    std::vector<std::optional<QByteArray>> stored;
    qsizetype current = 0;
    QByteArray filling;

    void put(qsizetype i, const QByteArray &bytes)
    {
        if (qsizetype(stored.size()) <= i)
            stored.resize(i + 1);
        stored[i] = bytes;
    }
    const std::optional<QByteArray> &at(qsizetype i)
    {
        if (qsizetype(stored.size()) <= i)
            stored.resize(i + 1);
        return stored[i];
    }
    void store()
    {
        if (filling.size() > Chunk) {
            while (filling.size() > Chunk) {
                put(current++, filling.left(Chunk));
                filling.remove(0, Chunk);
            }
        } else {
            put(current, filling);
        }
    }
};

} // namespace

LoaderModel::Verdict LoaderModel::replay(const QByteArray &text,
                                         const QList<CompactraToken> &tokens)
{
    Verdict v;
    Chunks c;
    qsizetype built = 0;
    qsizetype i = 0;
    while (i < tokens.size()) {
        const bool literal = tokens[i].isLiteral();
        qsizetype end = i;
        while (end < tokens.size() && tokens[end].isLiteral() == literal)
            ++end;
        if ((end - i) % 91 == 0 && end < tokens.size() && v.firstProblem < 0) {
            v.fullRun = true;
            v.firstProblem = i;
        }
        if (literal) {
            c.filling += text.mid(built, end - i);
            built += end - i;
            c.store();
        } else {
            for (qsizetype k = i; k < end; ++k) {
                const int y = tokens[k].length;
                const qsizetype z = built - tokens[k].distance;
                const qsizetype chunk = z / Chunk, offset = z % Chunk;
                auto missing = [&](qsizetype index) {
                    if (c.at(index))
                        return false;
                    v.unreadable = true;
                    if (v.firstProblem < 0)
                        v.firstProblem = k;
                    return true;
                };
                if (missing(chunk))
                    return v;
                if (offset + y > Chunk) {
                    const qsizetype head = Chunk - offset;
                    c.filling += c.at(chunk)->mid(offset, head);
                    c.store();
                    if (missing(chunk + 1))
                        return v;
                    c.filling += c.at(chunk + 1)->left(y - head);
                } else {
                    c.filling += c.at(chunk)->mid(offset, y);
                }
                built += y;
                c.store();
            }
        }
        c.store();
        i = end;
    }
    QByteArray joined;
    for (const auto &chunk : c.stored) {
        if (!chunk)
            break;
        joined += *chunk;
    }
    v.rebuilt = joined == text;
    return v;
}

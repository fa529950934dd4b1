#include "CompressCorpus.h"

#include <unordered_set>

namespace {

using Random = std::mt19937;

int pick(Random &r, int lo, int hi)
{
    return std::uniform_int_distribution<int>(lo, hi)(r);
}

QByteArray randomBytes(qsizetype size, Random &r)
{
    QByteArray out(size, Qt::Uninitialized);
    for (char &c : out)
        c = char(pick(r, 0, 255));
    return out;
}

// Unique filler, then segments copied from it so that each segment is one
// maximal repeat: a run of `count` references, closed by a fresh byte.
QByteArray referenceRun(int count, int minLength, int maxLength, Random &r)
{
    const QByteArray base = CompressCorpus::uniqueBytes(pick(r, 400, 1200), r);
    QByteArray out = base;
    qsizetype prevEnd = -1;
    for (int i = 0; i < count; ++i) {
        const int length = pick(r, minLength, maxLength);
        qsizetype start;
        do {
            start = pick(r, 0, int(base.size() - length - 1));
        } while (start == prevEnd || (prevEnd >= 0 && base[prevEnd] == base[start]));
        out += base.mid(start, length);
        prevEnd = start + length;
    }
    out += CompressCorpus::uniqueBytes(3, r);
    return out;
}

QByteArray vocabularyText(int words, qsizetype size, Random &r)
{
    QList<QByteArray> vocabulary;
    for (int i = 0; i < words; ++i) {
        QByteArray w;
        for (int k = pick(r, 1, 9); k > 0; --k)
            w += char(pick(r, 'a', 'z'));
        vocabulary.append(w);
    }
    static const char separators[] = " \n;.\t'";
    QByteArray out;
    out.reserve(size + 16);
    while (out.size() < size) {
        out += vocabulary[pick(r, 0, words - 1)];
        out += separators[pick(r, 0, int(sizeof separators - 2))];
    }
    return out;
}

QByteArray scriptLike(qsizetype size, Random &r)
{
    static const char *pieces[]
        = { "function ", "var ", "return ",  "if(",  "){",        "}\r\n",
            "\t",        "'",    "\\",       "\"",   "</script>", "</SCRIPT",
            "</ScRiPt",  "<!--", "-->",      "<",    "!",         "document.write(",
            "\n",        "kva",  "\xc3\xa9", "\xff", "\x80",      " ",
            "x",         "=",    "+",        ";",    "0",         "1",
            "abc" };
    QByteArray out;
    while (out.size() < size)
        out += pieces[pick(r, 0, int(std::size(pieces)) - 1)];
    return out;
}

} // namespace

QByteArray CompressCorpus::uniqueBytes(qsizetype size, Random &random, const QByteArray &charset)
{
    std::unordered_set<quint32> seen;
    QByteArray out;
    out.reserve(size);
    while (out.size() < size) {
        const uchar c = charset.isEmpty()
            ? uchar(pick(random, 0, 255))
            : uchar(charset[pick(random, 0, int(charset.size()) - 1)]);
        if (out.size() >= 3) {
            const auto *p = reinterpret_cast<const uchar *>(out.constData()) + out.size() - 3;
            const quint32 key = p[0] | p[1] << 8 | p[2] << 16 | quint32(c) << 24;
            if (!seen.insert(key).second)
                continue;
        }
        out += char(c);
    }
    return out;
}

QList<CompressCorpus::Case> CompressCorpus::build()
{
    Random r(20261211);
    QList<Case> cases;
    auto add = [&cases](const QString &name, const QByteArray &text) {
        cases.append({ name, text });
    };

    add(QStringLiteral("empty"), QByteArray());
    add(QStringLiteral("abcdabcdabcd"), "abcdabcdabcd");
    add(QStringLiteral("abcabcabc"), "abcabcabc");

    // Literal runs of exactly these lengths: last, before one reference, and
    // between two references.
    for (int n : { 1, 4, 8, 9, 90, 91, 92, 181, 182, 183, 273, 274 }) {
        for (int v = 0; v < 3; ++v) {
            const QByteArray u = uniqueBytes(n, r);
            add(QStringLiteral("literals-%1-last-%2").arg(n).arg(v), u);
            if (n >= 4) {
                const int k = pick(r, 4, std::min(n, 91));
                add(QStringLiteral("literals-%1-then-ref-%2").arg(n).arg(v),
                    u + u.left(k) + uniqueBytes(pick(r, 1, 5), r));
                const QByteArray base = uniqueBytes(300, r);
                add(QStringLiteral("literals-%1-between-%2").arg(n).arg(v),
                    base + base.mid(10, 40) + uniqueBytes(n, r) + base.mid(100, 30) + "\x01");
            }
        }
    }

    // Reference runs of exactly these lengths, made of short references
    // (too short to split), long ones, or a mix.
    for (int n : { 1, 90, 91, 92, 181, 182, 183, 273 }) {
        for (int v = 0; v < 4; ++v) {
            const int maxLength = n > 100 ? 20 : 60;
            add(QStringLiteral("refs-%1-short-%2").arg(n).arg(v), referenceRun(n, 4, 7, r));
            add(QStringLiteral("refs-%1-long-%2").arg(n).arg(v), referenceRun(n, 8, maxLength, r));
            add(QStringLiteral("refs-%1-mixed-%2").arg(n).arg(v), referenceRun(n, 4, maxLength, r));
        }
    }

    // Repeats right at the window's edge.
    for (int distance = 8270; distance <= 8290; ++distance) {
        const QByteArray a = uniqueBytes(distance, r);
        const int k = pick(r, 4, 91);
        add(QStringLiteral("distance-%1").arg(distance), a + a.left(k) + uniqueBytes(2, r));
    }

    // The older copy of a text has just left the window and a newer copy,
    // made by the reference right before, lies in the chunk that reference
    // has just split off. The loader's chunks hold 99 characters; half of
    // the time the lead-in places the first copy so that it splits off a
    // chunk without crossing a chunk end at its source, and the second
    // copy's source lies in the new chunk.
    for (int v = 0; v < 120; ++v) {
        int slack, length, offset;
        QList<int> aimed;
        do {
            slack = pick(r, 0, 40);
            length = pick(r, std::max(slack + 8, 24), 91);
            offset = length - pick(r, std::max(slack + 1, 4), length - 4);
            aimed.clear();
            for (int leadIn = 0; leadIn < 99; ++leadIn) {
                const int filled = (leadIn + 8280 - slack - 1) % 99 + 1;
                if (leadIn + length <= 99 && filled + length > 99 && filled + offset >= 99)
                    aimed.append(leadIn);
            }
        } while (v % 2 == 0 && aimed.isEmpty());
        const int leadIn
            = aimed.isEmpty() || v % 2 ? pick(r, 0, 98) : aimed[pick(r, 0, int(aimed.size()) - 1)];
        const int second = pick(r, 4, length - offset);
        const qsizetype start = pick(r, 0, 200);
        const QByteArray a = uniqueBytes(8400, r);
        QByteArray text = uniqueBytes(leadIn, r) + a.mid(start, 8280 - slack);
        text += a.mid(start, length);
        text += a.mid(start + offset, second);
        text += uniqueBytes(pick(r, 1, 20), r);
        add(QStringLiteral("window-edge-%1").arg(v), text);
    }

    // Many references and many chunk splits.
    for (int v = 0; v < 60; ++v) {
        const int words = pick(r, 2, 40);
        add(QStringLiteral("vocabulary-%1").arg(v),
            vocabularyText(words, pick(r, 2000, v < 6 ? 120000 : 25000), r));
    }
    for (int n = 1; n <= 400; n += (n < 40 ? 1 : 7))
        add(QStringLiteral("same-byte-%1").arg(n), QByteArray(n, 'a'));
    for (int v = 0; v < 8; ++v) {
        const QByteArray unit = uniqueBytes(pick(r, 2, 120), r);
        add(QStringLiteral("periodic-%1").arg(v), unit.repeated(pick(r, 2, 200)));
    }

    // Arbitrary bytes and script-like text with escapes and tags.
    for (int v = 0; v < 400; ++v)
        add(QStringLiteral("random-%1").arg(v), randomBytes(pick(r, 0, 300), r));
    for (int size : { 2000, 9000, 30000 })
        add(QStringLiteral("random-%1").arg(size), randomBytes(size, r));
    for (int v = 0; v < 300; ++v)
        add(QStringLiteral("script-%1").arg(v), scriptLike(pick(r, 1, v < 20 ? 20000 : 600), r));
    QByteArray allBytes;
    for (int c = 0; c < 256; ++c)
        allBytes += char(c);
    add(QStringLiteral("all-bytes"), allBytes + allBytes + allBytes.left(100) + "x");
    return cases;
}

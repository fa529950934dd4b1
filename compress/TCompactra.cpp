#include "TCompactra.h"

#include "CompactraMatchFinder.h"
#include "EventPump.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr char CodeChars[] = " !#$%\"()*+,-./0123456789:;=?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[]^_`"
                             "abcdefghijklmnopqrstuvwxyz{|}~<";
constexpr int Base = 91;
static_assert(sizeof CodeChars - 1 == Base);

constexpr char CommentLine[] = "// Pictavia self-extracting script";

constexpr char LoaderTemplate[]
    = "var kvx=new Array(),kva=new Array(),kvh=0,kvf=1,kvl=0,kvg=0,kvt='';"
      "function kve(){if(kvt.length>99){while(kvt.length>99){kva[kvh++]=kvt.substr(0,99);"
      "kvt=kvt.substr(99,kvt.length-99);}}else{kva[kvh]=kvt;}}"
      "for(kvk=0;kvk<kvc.length;kvk++){kvx[kvc.charAt(kvk)]=kvk;}"
      "for(kvi=0;kvi<kvb.length;kvi++,kvf=!kvf){kvp=kvx[kvb.substr(kvi,1)];"
      "while((kvp%91)==0){kvi++;kvp+=91+kvx[kvb.substr(kvi,1)];}"
      "if(kvf){kvt+=kvs.substr(kvl,kvp);kvg+=kvp;kvl+=kvp;kve();}"
      "else{for(kvj=0;kvj<kvp;kvj++){kvw=kvs.substr(kvl,3);kvl+=3;"
      "kvq=kvx[kvw.substr(0,1)]*91+kvx[kvw.substr(1,1)]+1;kvy=kvx[kvw.substr(2,1)]+2;"
      "kvz=kvg-kvq;kvk=Math.floor(kvz/99);kvm=kvz%99;"
      "if(kvm+kvy>99){kvz=99-kvm;kvt+=kva[kvk].substr(kvm,kvz);kve();"
      "kvt+=kva[kvk+1].substr(0,kvy-kvz);}else{kvt+=kva[kvk].substr(kvm,kvy);}kvg+=kvy;kve();}}"
      "kve();}";

char *putEscaped(char *out, uchar c)
{
    char second;
    switch (c) {
    case '\'':
        second = '\'';
        break;
    case '\n':
        second = 'n';
        break;
    case '\r':
        second = 'r';
        break;
    case '\\':
        second = '\\';
        break;
    case '\t':
        second = 't';
        break;
    default:
        *out = char(c);
        return out + 1;
    }
    out[0] = '\\';
    out[1] = second;
    return out + 2;
}

char *putCode2(char *out, int n)
{
    out[0] = CodeChars[n / Base];
    out[1] = CodeChars[n % Base];
    return out + 2;
}

// Follows the loader's chunk store so that no reference reads a chunk the
// loader has split off but not yet stored. The rebuilt text sits in chunks of
// 99 characters: the ones before the chunk being filled are complete; the one
// being filled is stored after every run and after every reference that does
// not split it, but a reference that splits leaves the new chunk unstored
// until the next store.
class LoaderState
{
public:
    static constexpr int Chunk = 99;

    bool canRead(qsizetype source) const { return m_stored || source < m_chunkStart; }

    void literal()
    {
        // A literal ends any run of references; the end of its own run stores.
        ++m_filled;
        if (m_filled > Chunk) {
            m_filled -= Chunk;
            m_chunkStart += Chunk;
        }
        m_stored = true;
    }

    void reference(qsizetype source, int length)
    {
        const int offset = int(source % Chunk);
        if (offset + length > Chunk && m_filled + (Chunk - offset) > Chunk) {
            // The copy crosses a chunk end and the store in between splits
            // off the chunk being filled; the rest then fits and is stored.
            m_filled += length - Chunk;
            m_chunkStart += Chunk;
            m_stored = true;
            return;
        }
        m_filled += length;
        m_stored = m_filled <= Chunk;
        if (!m_stored) {
            m_filled -= Chunk;
            m_chunkStart += Chunk;
        }
    }

private:
    qsizetype m_chunkStart = 0; // position of the chunk being filled
    int m_filled = 0; // its length so far
    bool m_stored = true;
};

// Even reading the clock costs more than a coding step, so the pump is asked
// only every 256 steps.
inline void pumpNow(qsizetype step, EventPump &pump)
{
    if ((step & 255) == 0)
        pump.tick();
}

// Closing-tag pass: appends `stream` so that no "</script" (any case, with
// something after it) and no "<!" shows in the page, without changing the
// value of the apostrophe-quoted literal it stands in. Both start at a "<".
void appendScriptSafe(QByteArray &out, const QByteArray &stream)
{
    const char *s = stream.constData();
    const qsizetype len = stream.size();
    qsizetype copied = 0;
    for (const char *lt = static_cast<const char *>(std::memchr(s, '<', size_t(len))); lt;
         lt = static_cast<const char *>(std::memchr(lt + 1, '<', size_t(s + len - lt - 1)))) {
        const qsizetype i = lt - s;
        if (i + 8 < len && s[i + 1] == '/' && (s[i + 2] | 0x20) == 's' && (s[i + 3] | 0x20) == 'c'
            && (s[i + 4] | 0x20) == 'r' && (s[i + 5] | 0x20) == 'i' && (s[i + 6] | 0x20) == 'p'
            && (s[i + 7] | 0x20) == 't') {
            out.append(s + copied, i + 1 - copied).append("'+'");
            copied = i + 1;
        } else if (i + 1 < len && s[i + 1] == '!') {
            out.append(s + copied, i + 1 - copied).append("\\!");
            copied = i + 2;
        }
    }
    out.append(s + copied, len - copied);
}

} // namespace

const QByteArray &TCompactra::Alphabet()
{
    static const QByteArray alphabet = QByteArray::fromRawData(CodeChars, Base);
    return alphabet;
}

QByteArray TCompactra::Loader(const QByteArray &prefix)
{
    QByteArray loader(LoaderTemplate);
    if (prefix != "kv")
        loader.replace("kv", prefix);
    return loader;
}

QByteArray TCompactra::ExtraChar(char c)
{
    char buf[2];
    return QByteArray(buf, putEscaped(buf, uchar(c)) - buf);
}

QByteArray TCompactra::proc1c(int n)
{
    return QByteArray(1, CodeChars[n]);
}

QByteArray TCompactra::proc2c(int n)
{
    char buf[2];
    putCode2(buf, n);
    return QByteArray(buf, 2);
}

QList<CompactraToken> TCompactra::Tokens(const QByteArray &text)
{
    // Run lengths that are multiples of 91 have no coding the loader reads
    // back, and the loader cannot read a chunk it has not stored. Where the
    // plain choice would lead to either, the token choice changes minimally:
    //  - a literal run of 91k that a reference would end takes the reference's
    //    first byte as one more literal;
    //  - a reference run of 91k that a literal would end has its last
    //    reference split in two (possible from 8 bytes on) or, if shorter,
    //    turned into literals;
    //  - a reference into the unstored chunk becomes a literal, which ends
    //    the run and so stores the chunk.
    // The final literal run needs none of this (see the run stream).
    std::vector<CompactraToken> tokens;
    tokens.reserve(text.size()); // no token is shorter than a byte
    CompactraMatchFinder finder(text);
    LoaderState loader;
    EventPump pump;
    bool inReferences = false;
    qsizetype runLength = 0;
    const qsizetype n = text.size();
    qsizetype steps = 0;
    for (qsizetype pos = 0; pos < n;) {
        CompactraToken t = finder.find(pos);
        if (!t.isLiteral()
            && ((!inReferences && runLength % Base == 0) || !loader.canRead(pos - t.distance)))
            t = CompactraToken();
        if (t.isLiteral()) {
            if (inReferences) {
                if (runLength % Base == 0) {
                    const CompactraToken last = tokens.back();
                    tokens.pop_back();
                    if (last.length >= 2 * CompactraMatchFinder::MinLength) {
                        tokens.push_back({ last.distance, quint16(last.length - 4) });
                        tokens.push_back({ last.distance, 4 });
                        runLength = 0;
                    } else {
                        tokens.insert(tokens.end(), last.length, CompactraToken());
                        runLength = last.length;
                    }
                } else {
                    runLength = 0;
                }
                inReferences = false;
            }
            tokens.push_back(t);
            loader.literal();
            ++pos;
        } else {
            if (!inReferences) {
                inReferences = true;
                runLength = 0;
            }
            tokens.push_back(t);
            loader.reference(pos - t.distance, t.length);
            pos += t.length;
        }
        ++runLength;
        pumpNow(++steps, pump);
    }
    return QList<CompactraToken>(tokens.cbegin(), tokens.cend());
}

QByteArray TCompactra::Compress(const QByteArray &text, const QByteArray &prefix, bool script)
{
    const QList<CompactraToken> tokens = Tokens(text);
    const auto *bytes = reinterpret_cast<const uchar *>(text.constData());
    EventPump pump;

    // Literal stream and run stream in one walk over the tokens. A byte takes
    // at most two characters (a reference three for four bytes or more); a
    // token at most two codes.
    QByteArray stream(2 * text.size(), Qt::Uninitialized);
    QByteArray runStream(2 * tokens.size() + 1, Qt::Uninitialized);
    {
        char *lit = stream.data();
        char *run = runStream.data();
        bool literal = true;
        qsizetype count = 0;
        qsizetype pos = 0;
        for (qsizetype i = 0; i < tokens.size(); ++i) {
            const CompactraToken t = tokens[i];
            if (t.isLiteral()) {
                lit = putEscaped(lit, bytes[pos]);
            } else {
                lit = putCode2(lit, t.distance - 1);
                *lit++ = CodeChars[t.length - 2];
            }
            pos += t.length;
            // Run lengths: each run length m as m div 91 codes for 0 and then
            // the code for m mod 91.
            if (t.isLiteral() == literal) {
                if (++count > Base - 1) {
                    *run++ = CodeChars[0];
                    count = 0;
                }
            } else {
                *run++ = CodeChars[count];
                literal = !literal;
                count = 1;
            }
            pumpNow(i, pump);
        }
        // The loader cannot end a length on a multiple of 91, so the final
        // literal run (the only one left that may be one, 0 for the empty text
        // included) is written one longer: the loader's copy stops at the end
        // of the literal stream anyway.
        *run++ = CodeChars[count == 0 ? 1 : count];
        stream.truncate(lit - stream.constData());
        runStream.truncate(run - runStream.constData());
    }

    const QByteArray loader = Loader(prefix);
    const QByteArray head = script ? QByteArray() : QByteArray("<html><body><script>\r\n");
    const QByteArray tail = script ? QByteArray() : QByteArray("\r\n</script></body></html>");
    const QByteArray sink = script ? QByteArray("eval(") : QByteArray("document.write(");
    const qsizetype comment = qsizetype(sizeof CommentLine - 1);
    const qsizetype rest = head.size() + 2 * comment + 4 + 4 * prefix.size() + 15 + runStream.size()
        + Base + loader.size() + sink.size() + 12 + tail.size();
    QByteArray out;
    out.reserve(rest + stream.size() + 64);
    out.append(head);
    out.append(CommentLine).append("\r\n");
    out.append(prefix).append("s='");

    appendScriptSafe(out, stream);

    out.append("';");
    out.append(prefix).append("b='");
    // Run codes can spell "<!" or "</script" too (runs of 90 then 1, ...).
    appendScriptSafe(out, runStream);
    out.append("';");
    out.append(prefix).append("c='").append(Alphabet()).append("';");
    out.append(loader);
    out.append(sink).append(prefix).append("a.join(''));");
    out.append("\r\n").append(CommentLine);
    out.append(tail);
    return out;
}

QByteArray TCompactra::CompressJS(const QByteArray &text, const QByteArray &prefix)
{
    return Compress(text, prefix, true);
}

QByteArray TCompactra::CompressHtml(const QByteArray &text, const QByteArray &prefix)
{
    return Compress(text, prefix, false);
}

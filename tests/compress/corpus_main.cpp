// Writes every corpus input together with its compressed forms to standard
// output, for the script that runs them in a JavaScript engine. Files named
// on the command line are added to the corpus.
//
// Record: name, prefix, mode (1 byte: 's' script, 'h' page), input, output;
// every field but the mode is a 32-bit little-endian length and the bytes.

#include "CompressCorpus.h"
#include "TCompactra.h"

#include <cstdio>

#include <QFile>
#include <QFileInfo>

namespace {

void putField(QFile &out, const QByteArray &bytes)
{
    const quint32 n = quint32(bytes.size());
    const char length[4] = { char(n), char(n >> 8), char(n >> 16), char(n >> 24) };
    out.write(length, 4);
    out.write(bytes);
}

void putRecord(QFile &out, const QString &name, const QByteArray &text, const QByteArray &prefix,
               bool script)
{
    TCompactra compactra;
    putField(out, name.toUtf8());
    putField(out, prefix);
    out.write(script ? "s" : "h", 1);
    putField(out, text);
    putField(out,
             script ? compactra.CompressJS(text, prefix) : compactra.CompressHtml(text, prefix));
}

} // namespace

int main(int argc, char *argv[])
{
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly))
        return 1;
    QList<CompressCorpus::Case> cases = CompressCorpus::build();
    for (int i = 1; i < argc; ++i) {
        QFile f(QString::fromLocal8Bit(argv[i]));
        if (!f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", argv[i]);
            return 1;
        }
        cases.append({ QFileInfo(f).fileName(), f.readAll() });
    }
    for (qsizetype i = 0; i < cases.size(); ++i) {
        const auto &c = cases[i];
        putRecord(out, c.name, c.text, "kv", true);
        // The other mode and other prefixes on a share of the inputs.
        if (i % 8 == 0)
            putRecord(out, c.name, c.text, "zq_", false);
        if (i % 8 == 4)
            putRecord(out, c.name, c.text, "", true);
    }
    return out.flush() ? 0 : 1;
}

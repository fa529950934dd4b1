#include "CompactraMatchFinder.h"
#include "CompressCorpus.h"
#include "LoaderModel.h"
#include "PlainSearch.h"
#include "TCompactra.h"
#include "TestRegistry.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

struct Pieces
{
    QByteArray comment, literals, runs, alphabet, rest;
};

// Splits script-mode output into the pieces the loader reads.
Pieces split(const QByteArray &out, const QByteArray &prefix = "kv")
{
    Pieces p;
    const qsizetype eol = out.indexOf("\r\n");
    p.comment = out.left(eol);
    qsizetype at = eol + 2;
    auto take = [&](const QByteArray &name, const QByteArray &after) {
        const QByteArray open = prefix + name + "='";
        if (out.mid(at, open.size()) != open)
            return QByteArray("<missing>");
        at += open.size();
        const qsizetype close = out.indexOf("';" + after, at);
        const QByteArray value = out.mid(at, close - at);
        at = close + 2;
        return value;
    };
    p.literals = take("s", prefix + "b='");
    p.runs = take("b", prefix + "c='");
    p.alphabet = take("c", "var " + prefix);
    p.rest = out.mid(at);
    return p;
}

QByteArray lettersOnly(qsizetype size)
{
    std::mt19937 random(7);
    return CompressCorpus::uniqueBytes(
        size, random, "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
}

QList<CompactraToken> fastRuleTokens(const QByteArray &text)
{
    QList<CompactraToken> tokens;
    CompactraMatchFinder finder(text);
    for (qsizetype pos = 0; pos < text.size(); pos += tokens.last().length)
        tokens.append(finder.find(pos));
    return tokens;
}

class RecordingCompactra : public TCompactra
{
public:
    QList<bool> modes;
    QByteArray Compress(const QByteArray &text, const QByteArray &prefix, bool script) override
    {
        modes.append(script);
        return TCompactra::Compress(text, prefix, script);
    }
};

} // namespace

class TestCompactra : public QObject
{
    Q_OBJECT
private slots:
    void alphabetOrder()
    {
        // Printable ASCII without & ' > and backslash, with the double quote
        // moved to index 5 and "<" to the end.
        QByteArray expected;
        for (char c = 0x20; c < 0x7f; ++c) {
            if (!QByteArray("&'>\\\"<").contains(c))
                expected += c;
        }
        expected.insert(5, '"');
        expected += '<';
        QCOMPARE(TCompactra::Alphabet(), expected);
        for (int n = 0; n < 91; ++n)
            QCOMPARE(TCompactra::proc1c(n), expected.mid(n, 1));
    }

    void proc2c_data()
    {
        QTest::addColumn<int>("n");
        QTest::addColumn<QByteArray>("code");
        QTest::newRow("0") << 0 << QByteArray("  ");
        QTest::newRow("3") << 3 << QByteArray(" $");
        QTest::newRow("90") << 90 << QByteArray(" <");
        QTest::newRow("91") << 91 << QByteArray("! ");
        QTest::newRow("8280") << 8280 << QByteArray("<<");
    }
    void proc2c()
    {
        QFETCH(int, n);
        QFETCH(QByteArray, code);
        QCOMPARE(TCompactra::proc2c(n), code);
    }

    void extraChar_data()
    {
        QTest::addColumn<char>("byte");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("apostrophe") << '\'' << QByteArray("\\'");
        QTest::newRow("line feed") << '\n' << QByteArray("\\n");
        QTest::newRow("carriage return") << '\r' << QByteArray("\\r");
        QTest::newRow("backslash") << '\\' << QByteArray("\\\\");
        QTest::newRow("tab") << '\t' << QByteArray("\\t");
        QTest::newRow("double quote") << '"' << QByteArray("\"");
        QTest::newRow("nul") << '\0' << QByteArray(1, '\0');
        QTest::newRow("0xff") << char(0xff) << QByteArray("\xff");
    }
    void extraChar()
    {
        QFETCH(char, byte);
        QFETCH(QByteArray, written);
        QCOMPARE(TCompactra::ExtraChar(byte), written);
    }

    void loaderText()
    {
        QCOMPARE(TCompactra::Loader("kv").size(), 785);
        QCOMPARE(TCompactra::Loader("").size(), 585);
        const QByteArray other = TCompactra::Loader("zq_");
        QCOMPARE(other.size(), 585 + 300);
        QVERIFY(!other.contains("kv"));
        QVERIFY(other.startsWith("var zq_x=new Array(),zq_a=new Array(),zq_h=0"));
        QVERIFY(other.endsWith("zq_g+=zq_y;zq_e();}}zq_e();}"));
    }

    void exactScript()
    {
        TCompactra c;
        const QByteArray out = c.CompressJS("abcdabcdabcd", "kv");
        const QByteArray comment = out.left(out.indexOf("\r\n"));
        QVERIFY(comment.startsWith("//"));
        QVERIFY(!comment.contains('\n') && !comment.contains('\r'));
        QCOMPARE(out,
                 comment + "\r\nkvs='abcd $#abcd';kvb='%!%';kvc='" + TCompactra::Alphabet() + "';"
                     + TCompactra::Loader("kv") + "eval(kva.join(''));\r\n" + comment);
    }

    void pageMode()
    {
        TCompactra c;
        const QByteArray text = "alert('x');\n</script><!-- x";
        const QByteArray script = c.CompressJS(text, "p");
        const QByteArray page = c.CompressHtml(text, "p");
        QVERIFY(page.startsWith("<html><body><script>\r\n//"));
        QVERIFY(page.endsWith("\r\n</script></body></html>"));
        QByteArray body = page.mid(22, page.size() - 22 - 25);
        body.replace("document.write(pa.join(''));", "eval(pa.join(''));");
        QCOMPARE(body, script);
        // Only the one closing tag at the very end.
        QCOMPARE(page.count("</script"), 1);
    }

    void overridableEntry()
    {
        RecordingCompactra c;
        c.CompressJS("x", "kv");
        c.CompressHtml("x", "kv");
        QCOMPARE(c.modes, (QList<bool> { true, false }));
    }

    void streams_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("literals");
        QTest::addColumn<QByteArray>("runs");
        QTest::newRow("abcdabcdabcd")
            << QByteArray("abcdabcdabcd") << QByteArray("abcd $#abcd") << QByteArray("%!%");
        QTest::newRow("abcabcabc")
            << QByteArray("abcabcabc") << QByteArray("abcabcabc") << QByteArray("+");
        QTest::newRow("92 literals") << lettersOnly(92) << lettersOnly(92) << QByteArray(" !");
        QTest::newRow("181 literals") << lettersOnly(181) << lettersOnly(181) << QByteArray(" <");
        // A last run of 91 has no exact coding; one longer reads the same.
        QTest::newRow("91 literals") << lettersOnly(91) << lettersOnly(91) << QByteArray(" !");
        QTest::newRow("empty") << QByteArray() << QByteArray() << QByteArray("!");
        QTest::newRow("escapes") << QByteArray("a'b\tc\rd\ne\\f")
                                 << QByteArray("a\\'b\\tc\\rd\\ne\\\\f") << QByteArray("-");
        QTest::newRow("</script>")
            << QByteArray("</script>") << QByteArray("<'+'/script>") << QByteArray("+");
        QTest::newRow("</sCrIpT>")
            << QByteArray("x</sCrIpT>") << QByteArray("x<'+'/sCrIpT>") << QByteArray(",");
        QTest::newRow("</SCRIPT at end")
            << QByteArray("</SCRIPT") << QByteArray("</SCRIPT") << QByteArray("*");
        QTest::newRow("<!--") << QByteArray("<!--") << QByteArray("<\\!--") << QByteArray("%");
        QByteArray high;
        for (int b = 0x80; b <= 0xff; ++b)
            high += char(b);
        QTest::newRow("0x80-0xff") << high << high << QByteArray(" I");
        // Code characters count too: a "<" before a reference of distance 101.
        const QByteArray w = lettersOnly(100);
        QTest::newRow("code <!") << w + "<" + w.left(10) + "-" << w + "<\\!+*-"
                                 << QByteArray(" ,!!");
        // So do run codes: 90 literals, one reference, one literal spell "<!!".
        const QByteArray v = lettersOnly(90);
        QTest::newRow("run codes <!") << v + v.left(10) + "-" << v + " ~*-" << QByteArray("<\\!!");
    }
    void streams()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, literals);
        QFETCH(QByteArray, runs);
        TCompactra c;
        const Pieces p = split(c.CompressJS(text, "kv"));
        QCOMPARE(p.literals, literals);
        QCOMPARE(p.runs, runs);
        QCOMPARE(p.alphabet, TCompactra::Alphabet());
    }

    void windowLimit()
    {
        std::mt19937 random(3);
        const QByteArray a = CompressCorpus::uniqueBytes(8400, random);
        for (int distance : { 8279, 8280, 8281, 8282 }) {
            const QByteArray text = a.left(distance) + a.left(30) + "x";
            const QList<CompactraToken> tokens = TCompactra::Tokens(text);
            const bool referenced = tokens.size() < text.size();
            QCOMPARE(referenced, distance <= 8280);
            if (referenced)
                QCOMPARE(tokens[distance], (CompactraToken { quint16(distance), 30 }));
        }
    }

    // The fast finder against the plain search, and the coder's tokens
    // against the loader, over the whole generated corpus.
    void corpus()
    {
        int unreadable = 0, fullRuns = 0, changed = 0;
        for (const CompressCorpus::Case &c : CompressCorpus::build()) {
            const QList<CompactraToken> plain = PlainSearch::tokens(c.text);
            QCOMPARE(fastRuleTokens(c.text), plain);

            const QList<CompactraToken> coded = TCompactra::Tokens(c.text);
            qsizetype pos = 0;
            for (const CompactraToken &t : coded) {
                if (!t.isLiteral()) {
                    QVERIFY2(t.length >= 4 && t.length <= 91 && t.distance >= t.length
                                 && t.distance <= 8280 && pos + t.length < c.text.size()
                                 && pos >= t.distance,
                             qPrintable(c.name));
                    QCOMPARE(c.text.mid(pos, t.length), c.text.mid(pos - t.distance, t.length));
                }
                pos += t.length;
            }
            QCOMPARE(pos, c.text.size());
            const LoaderModel::Verdict v = LoaderModel::replay(c.text, coded);
            QVERIFY2(v.rebuilt && !v.unreadable && !v.fullRun, qPrintable(c.name));

            // Where the plain choice is readable the coder keeps it token for
            // token; otherwise it keeps it up to the first run at fault.
            const LoaderModel::Verdict pv = LoaderModel::replay(c.text, plain);
            unreadable += pv.unreadable;
            fullRuns += pv.fullRun;
            if (pv.firstProblem < 0) {
                QVERIFY2(pv.rebuilt, qPrintable(c.name));
                QVERIFY2(coded == plain, qPrintable(c.name));
            } else {
                ++changed;
                QVERIFY2(coded.mid(0, pv.firstProblem) == plain.mid(0, pv.firstProblem),
                         qPrintable(c.name));
            }
        }
        qInfo("plain choice unreadable in %d inputs, with a run of 91k in %d; %d inputs changed",
              unreadable, fullRuns, changed);
        // The corpus must keep reaching both cases.
        QVERIFY(unreadable >= 20);
        QVERIFY(fullRuns >= 20);
    }

    void eventsRunWhileCompressing()
    {
        std::mt19937 random(5);
        QByteArray text(4 << 20, Qt::Uninitialized);
        for (char &ch : text)
            ch = char(random());
        bool ran = false;
        QTimer::singleShot(0, this, [&ran] { ran = true; });
        TCompactra c;
        c.CompressJS(text, "kv");
        QVERIFY(ran);
    }

    void commandLine()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QByteArray text("x\0y\r\n\xff'</script>abcdabcdabcd", 29);
        TCompactra c;
        auto run = [&](const QStringList &args, const QByteArray &input = QByteArray()) {
            QProcess p;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
            p.setProcessEnvironment(env);
            p.start(QStringLiteral(PICTAVIA_CLI),
                    QStringList { QStringLiteral("compress") } + args);
            p.write(input);
            p.closeWriteChannel();
            p.waitForFinished(60000);
            return std::tuple { p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError() };
        };

        auto [code, out, err] = run({}, text);
        QCOMPARE(code, 0);
        QCOMPARE(out, c.CompressJS(text, "kv"));

        const QString file = dir.filePath(QStringLiteral("in.js"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
        f.close();
        std::tie(code, out, err) = run(
            { QStringLiteral("--html"), QStringLiteral("--prefix"), QStringLiteral("zz"), file });
        QCOMPARE(code, 0);
        QCOMPARE(out, c.CompressHtml(text, "zz"));

        std::tie(code, out, err) = run({ dir.filePath(QStringLiteral("missing.js")) });
        QCOMPARE(code, 1);
        QVERIFY(out.isEmpty());
        QCOMPARE(err.count('\n'), 1);
        QVERIFY(err.contains("missing.js"));

        for (const QStringList &wrong :
             { QStringList { QStringLiteral("--prefix") }, QStringList { QStringLiteral("--zip") },
               QStringList { file, file } }) {
            std::tie(code, out, err) = run(wrong);
            QCOMPARE(code, 2);
            QVERIFY(out.isEmpty());
        }
    }
};
PICTAVIA_TEST(TestCompactra)

#include "tst_compress.moc"

#include "data/formats/numberscanner.h"

#include <QTemporaryDir>
#include <QFile>
#include <QDir>
#include <QElapsedTimer>
#include <QtTest>

#include <sys/stat.h>

class TestNumberScanner : public QObject
{
    Q_OBJECT

private slots:
    // Tokens that straddle block boundaries must come out whole: a tiny block
    // forces a refill in the middle of many of them.
    void tokensAcrossBlocks()
    {
        QTemporaryDir dir;
        QFile f(dir.filePath("n.txt"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        QByteArray text;
        for (int i = 0; i < 5000; ++i)
            text += QByteArray::number(i * 1.000123456789, 'g', 12) + (i % 7 ? " " : "\n\t");
        f.write(text);
        f.close();
        NumberScanner in(16);
        QVERIFY(in.open(f.fileName().toStdString()));
        for (int i = 0; i < 5000; ++i) {
            double v = -1;
            QCOMPARE(in.nextDouble(v), NumberScanner::Ok);
            QCOMPARE(v, QByteArray::number(i * 1.000123456789, 'g', 12).toDouble());
        }
        QVERIFY(in.atEnd());
        double v;
        QCOMPARE(in.nextDouble(v), NumberScanner::End);
    }

    // A range of a file reads as if it were the whole file: nothing before
    // its start, nothing past its end, even with blocks smaller than it.
    void rangeIsAWholeText()
    {
        QTemporaryDir dir;
        QFile f(dir.filePath("r.txt"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        QByteArray text;
        for (int i = 0; i < 3000; ++i)
            text += QByteArray::number(i) + (i % 10 == 9 ? "\n" : " ");
        f.write(text);
        f.close();
        const int begin = text.indexOf("1000 "), end = text.indexOf("2000 ");
        NumberScanner in(16);
        QVERIFY(in.openRange(f.fileName().toStdString(), std::uint64_t(begin), std::uint64_t(end)));
        QCOMPARE(in.size(), std::uint64_t(end - begin));
        for (int i = 1000; i < 2000; ++i) {
            long long v = -1;
            QCOMPARE(in.nextInt(v), NumberScanner::Ok);
            QCOMPARE(v, (long long)i);
        }
        long long v;
        QCOMPARE(in.nextInt(v), NumberScanner::End);
        // An end beyond the file stops at the file's end.
        QVERIFY(in.openRange(f.fileName().toStdString(), std::uint64_t(text.indexOf("2998 ")), 1u << 30));
        QCOMPARE(in.nextInt(v), NumberScanner::Ok);
        QCOMPARE(v, 2998LL);
        QCOMPARE(in.nextInt(v), NumberScanner::Ok);
        QCOMPARE(in.nextInt(v), NumberScanner::End);
    }

    void tokens_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("result");
        QTest::addColumn<double>("value");
        QTest::newRow("plus sign") << QByteArray("+2.5") << int(NumberScanner::Ok) << 2.5;
        QTest::newRow("exponent") << QByteArray(" 1e-3 ") << int(NumberScanner::Ok) << 1e-3;
        QTest::newRow("negative") << QByteArray("\n-7") << int(NumberScanner::Ok) << -7.0;
        QTest::newRow("two signs") << QByteArray("+-5") << int(NumberScanner::Bad) << 0.0;
        QTest::newRow("glued text") << QByteArray("1.5x") << int(NumberScanner::Bad) << 0.0;
        QTest::newRow("word") << QByteArray("abc") << int(NumberScanner::Bad) << 0.0;
        QTest::newRow("only blanks") << QByteArray(" \n\t ") << int(NumberScanner::End) << 0.0;
    }
    void tokens()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, result);
        QFETCH(double, value);
        NumberScanner in;
        in.openText(text.toStdString());
        double v = 0;
        QCOMPARE(int(in.nextDouble(v)), result);
        if (result == NumberScanner::Ok)
            QCOMPARE(v, value);
    }

    void integersAreWhole()
    {
        NumberScanner in;
        in.openText("12 -3 4.0 9");
        long long v = 0;
        QCOMPARE(in.nextInt(v), NumberScanner::Ok);
        QCOMPARE(v, 12LL);
        QCOMPARE(in.nextInt(v), NumberScanner::Ok);
        QCOMPARE(v, -3LL);
        QCOMPARE(in.nextInt(v), NumberScanner::Bad);
        QCOMPARE(in.badToken(), std::string("4.0"));
    }

    void overlongTokenIsRefused()
    {
        QTemporaryDir dir;
        QFile f(dir.filePath("long.txt"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("1 " + QByteArray(5000, '7') + " 2");
        f.close();
        NumberScanner in(2048);
        QVERIFY(in.open(f.fileName().toStdString()));
        double v;
        QCOMPARE(in.nextDouble(v), NumberScanner::Ok);
        QCOMPARE(in.nextDouble(v), NumberScanner::Bad);
    }

    // The same limit holds for a text in memory: a token is accepted or
    // refused whatever the block it would fall in.
    void overlongTokenIsRefusedFromMemoryToo()
    {
        NumberScanner in;
        in.openText("1 " + std::string(600, '7') + " 2");
        double v;
        QCOMPARE(in.nextDouble(v), NumberScanner::Ok);
        QCOMPARE(in.nextDouble(v), NumberScanner::Bad);
        NumberScanner justShort;
        justShort.openText(std::string(511, '7'));
        QCOMPARE(justShort.nextDouble(v), NumberScanner::Ok);
    }

    // Anything but a regular file is refused at once, with what it is: a
    // FIFO without a writer would block an ordinary open forever, and a
    // device such as /dev/zero never ends.
    void onlyRegularFilesOpen_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("FIFO") << "fifo" << "it is a FIFO, not a regular file";
        QTest::newRow("device") << "/dev/zero" << "it is a character device, not a regular file";
        QTest::newRow("folder") << "folder" << "it is a folder, not a regular file";
        QTest::newRow("missing") << "missing" << "No such file or directory";
    }
    void onlyRegularFilesOpen()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QString path = kind.startsWith('/') ? kind : dir.filePath(kind);
        if (kind == "fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else if (kind == "folder")
            QVERIFY(QDir().mkdir(path));
        NumberScanner in;
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!in.open(path.toStdString()));
        QVERIFY(clock.elapsed() < 5000);
        QCOMPARE(QString::fromStdString(in.openError()), reason);
        QVERIFY(!in.isOpen());
    }

    // Control bytes are quoted readably: a file of NULs is not quoted as
    // an empty-looking token.
    void badTokenIsPrintable()
    {
        NumberScanner in;
        in.openText(std::string("3 \0\0\x01x", 6));
        long long n;
        QCOMPARE(in.nextInt(n), NumberScanner::Ok);
        QCOMPARE(in.nextInt(n), NumberScanner::Bad);
        QCOMPARE(in.badToken(), std::string("\\x00\\x00\\x01x"));
    }

    // Characters that print as nothing are named in the quote, so that a
    // refused token never looks like a good number.
    void invisibleCharactersAreNamed_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("quoted");
        QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF" "3 4") << QByteArray("U+FEFF3");
        QTest::newRow("no-break space") << QByteArray("1\xC2\xA0" "5") << QByteArray("1U+00A05");
        QTest::newRow("zero-width space") << QByteArray("7\xE2\x80\x8B") << QByteArray("7U+200B");
        QTest::newRow("other UTF-8 kept") << QByteArray("\xC3\xA9t\xC3\xA9") << QByteArray("\xC3\xA9t\xC3\xA9");
    }

    void invisibleCharactersAreNamed()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, quoted);
        NumberScanner in;
        in.openText(text.toStdString());
        long long n;
        QCOMPARE(in.nextInt(n), NumberScanner::Bad);
        QCOMPARE(QByteArray::fromStdString(in.badToken()), quoted);
    }

    void capacityBound()
    {
        NumberScanner in;
        in.openText("2 3 1 2 3 4 5 6");
        long long n;
        in.nextInt(n);
        in.nextInt(n);
        QCOMPARE(in.maxRemainingValues(), std::uint64_t(6));
    }
};

QTEST_GUILESS_MAIN(TestNumberScanner)
#include "tst_numberscanner.moc"

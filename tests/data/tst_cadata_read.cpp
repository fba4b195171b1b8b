#include "data/model/cadata.h"
#include "data/model/console.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QElapsedTimer>
#include <QtTest>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

// Loading of result sets: console lines, derived names, and every way a file
// can be wrong.
class TestCADataRead : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    QString write(const QString &name, const QByteArray &text)
    {
        QFile f(dir.filePath(name));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("cannot write fixture");
        f.write(text);
        return f.fileName();
    }

    // A complete small result set: 3 images x 4 axes, 5 words x 4 axes.
    void writeResults()
    {
        write("z.txt", "3 4\n1 2 3 4\n-1 0.5 0 1e-2\n0 0 0 0\n");
        write("w.txt", "5 4\n1 1 1 1\n2 2 2 2\n3 3 3 3\n4 4 4 4\n5 5 5 5");
        write("p.txt", "3\n0.2 0.3 0.5\n");
        write("q.txt", "5 0.1 0.2 0.3 0.2 0.2");
        write("lambda.txt", "4\n0.5 0.25 0.125 0.0625\n");
        write("labels.txt", "1 a.png\n2 b.png\n1 c.png\n");
        write("keys.txt", "3\na.sift b.sift c.sift\n");
    }

    CAData *project(bool withP = true)
    {
        auto *d = new CAData(true);
        d->baseDir = dir.path();
        d->fileZ = "z.txt";
        d->fileW = "w.txt";
        if (withP) {
            d->fileP = "p.txt";
            d->fileQ = "q.txt";
        }
        d->fileLambda = "lambda.txt";
        d->fileLabel = "labels.txt";
        d->fileDescriptor = "keys.txt";
        return d;
    }

private slots:
    void init()
    {
        writeResults();
        CAData::casolver.clear();
    }

    void fullProject()
    {
        Console::Capture capture;
        std::unique_ptr<CAData> d(project());
        QVERIFY(d->read());
        const QString base = dir.path();
        QCOMPARE(capture.all(), (QStringList{
            "base dir = " + base, "Read Z", "z.txt", "3 4", "Read W", "w.txt", "5 4",
            "Lambda size = 4", "Reading descriptors...", "des file = " + base + "/keys.txt",
            "size = 3", "reading finish!", "Reading's time: 0"}));
        QCOMPARE(d->nbImages, 3);
        QCOMPARE(d->zCols, 4);
        QCOMPARE(d->nbWords, 5);
        QCOMPARE(d->nbAxis, 4);
        QCOMPARE(d->Z[1 * 4 + 3], 1e-2);
        QCOMPARE(d->W[4 * 4 + 0], 5.0);
        QCOMPARE(d->P[2], 0.5);
        QCOMPARE(d->Q[4], 0.2);
        QCOMPARE(d->lambda[3], 0.0625);
        QCOMPARE(d->labels[1].category, 2);
        QCOMPARE(d->labels[2].imageFile, QStringLiteral("c.png"));
        QCOMPARE(d->descriptors[0], QStringLiteral("a.sift"));
        QCOMPARE(d->fileZ, base + "/z.txt");
        QCOMPARE(d->wordLabel(3), 3);
        QCOMPARE(d->wordSet.size(), 5);
    }

    void axisBounds_data()
    {
        QTest::addColumn<int>("requested");
        QTest::addColumn<int>("bounded");
        QTest::newRow("no AXIS: every common axis") << 0 << 3;
        QTest::newRow("more than available") << 50 << 3;
        QTest::newRow("fewer") << 2 << 2;
    }
    void axisBounds()
    {
        QFETCH(int, requested);
        QFETCH(int, bounded);
        write("w.txt", "2 3\n1 2 3\n4 5 6\n");
        Console::Capture capture;
        std::unique_ptr<CAData> d(project(false));
        d->nbAxis = requested;
        QVERIFY(d->read());
        QCOMPARE(d->nbAxis, bounded);
    }

    void withoutMassesEveryMassIsOne()
    {
        Console::Capture capture;
        write("p.txt", "garbage that must not be opened");
        std::unique_ptr<CAData> d(project(false));
        QVERIFY(d->read());
        for (int i = 0; i < 3; ++i)
            QCOMPARE(d->P[i], 1.0);
        for (int j = 0; j < 5; ++j)
            QCOMPARE(d->Q[j], 1.0);
    }

    void layoutOfNumbersIsFree()
    {
        write("z.txt", "3\n\n4 1 2\t3 4 -1\n0.5 0 1e-2 0\n0 0\n0");
        Console::Capture capture;
        std::unique_ptr<CAData> d(project());
        QVERIFY(d->read());
        QCOMPARE(d->Z[7], 1e-2);
        QCOMPARE(d->Z[11], 0.0);
    }

    void massCountMismatch_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("images") << "p.txt" << QByteArray("2 0.5 0.5")
                                << "Error: size of mass of images file is different to Z's one.";
        QTest::newRow("words") << "q.txt" << QByteArray("6 1 1 1 1 1 1")
                               << "Error: size of mass of words file is different to Z's one.";
    }
    void massCountMismatch()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, text);
        QFETCH(QString, message);
        write(file, text);
        Console::Capture capture;
        std::unique_ptr<CAData> d(project());
        QVERIFY(!d->read());
        QCOMPARE(capture.err(), QStringList{message});
        QVERIFY(d->Z);
        QCOMPARE(d->P[0], file == "p.txt" ? 1.0 : 0.2);
    }

    void missingLabelFileStillLoads()
    {
        Console::Capture capture;
        std::unique_ptr<CAData> d(project());
        d->fileLabel.clear();
        QVERIFY(d->read());
        QCOMPARE(capture.err(), QStringList{"Cannot find file for label"});
        const QStringList all = capture.all();
        QCOMPARE(all.indexOf("err: Cannot find file for label") + 1, all.indexOf("Reading descriptors..."));
        QVERIFY(!d->labels);
    }

    void shortLabelFileGivesDefaults()
    {
        write("labels.txt", "7 only.png");
        Console::Capture capture;
        std::unique_ptr<CAData> d(project());
        QVERIFY(d->read());
        QCOMPARE(d->labels[0].category, 7);
        QCOMPARE(d->labels[2].category, 0);
        QVERIFY(d->labels[2].imageFile.isEmpty());
    }

    void descriptorCountMismatch_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("present");
        QTest::newRow("wrong count") << QByteArray("2 a b") << true;
        QTest::newRow("unopenable list reads as 0") << QByteArray() << false;
    }
    void descriptorCountMismatch()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, present);
        if (present)
            write("keys.txt", text);
        else
            QFile::remove(dir.filePath("keys.txt"));
        Console::Capture capture;
        std::unique_ptr<CAData> d(project());
        QVERIFY(!d->read());
        QCOMPARE(capture.err(), QStringList{"Error: the number of descriptors in decriptor file does not match the number of images in Z file"});
        QVERIFY(d->labels); // loaded before the list was checked
    }

    void zeroImagesLoad()
    {
        write("z.txt", "0 4");
        write("p.txt", "0");
        write("keys.txt", "0");
        Console::Capture capture;
        std::unique_ptr<CAData> d(project());
        QVERIFY(d->read());
        QCOMPARE(d->nbImages, 0);
    }

    void missingZFile()
    {
        Console::Capture capture;
        std::unique_ptr<CAData> d(project());
        d->fileZ = "nowhere/z.txt";
        QVERIFY(!d->read());
        QCOMPARE(capture.out().mid(1), (QStringList{"Read Z", "nowhere/z.txt",
            "Cannot open file '" + dir.path() + "/nowhere/z.txt' for reeading"}));
    }

    void filesMissing()
    {
        Console::Capture capture;
        CAData d(true);
        d.fileZ = "z.txt";
        QVERIFY(!d.read());
        QCOMPARE(capture.err(), QStringList{"File(s) missing."});
        QCOMPARE(capture.out().size(), 1);
    }

    // Faults the loader must catch before using the numbers: each gives one
    // error line naming the file, read() false, and no crash or huge
    // allocation.
    void badInput_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("words");
        QTest::newRow("huge header") << "z.txt" << QByteArray("2000000000 2000000000\n1 2 3") << "more than the file can hold";
        QTest::newRow("product beyond 32 bits") << "w.txt" << QByteArray("65536 65536 1") << "more than the file can hold";
        QTest::newRow("count beyond 32 bits") << "z.txt" << QByteArray("99999999999 1 1") << "out of range";
        QTest::newRow("negative count") << "z.txt" << QByteArray("-3 4") << "out of range";
        QTest::newRow("non-numeric count") << "w.txt" << QByteArray("five 4") << "is not a whole number";
        QTest::newRow("real count") << "z.txt" << QByteArray("3.5 4 1 2 3 4") << "is not a whole number";
        QTest::newRow("empty file") << "z.txt" << QByteArray("") << "ends before";
        QTest::newRow("short file") << "w.txt" << QByteArray("5 4\n1 2 3 4 5 6 7 8 9 10 11 12 13 14") + QByteArray(30, ' ') << "ends after 14 of the 20";
        QTest::newRow("token not a number") << "z.txt" << QByteArray("3 4 1 2 3 x4 5 6 7 8 9 10 11 12") << "value 4 ('x4')";
        QTest::newRow("number glued to text") << "lambda.txt" << QByteArray("4 0.5 0.25abc 0.1 0.1") << "is not a number";
        QTest::newRow("short masses") << "p.txt" << QByteArray("3 0.5          ") << "ends after 1 of the 3";
        QTest::newRow("too few eigenvalues") << "lambda.txt" << QByteArray("2 0.5 0.25") << "2 eigenvalues for 4 axes";
        QTest::newRow("one axis only") << "w.txt" << QByteArray("5 1 1 2 3 4 5") << "has 1 axis; a map needs two";
        // No columns: the header's row count is bounded by nothing in the
        // file, and is refused before anything is allocated for its rows.
        QTest::newRow("0 columns, 10^8 rows") << "z.txt" << QByteArray("100000000 0") << "has 0 axis; a map needs two";
        QTest::newRow("1 column, 2^31-1 rows") << "w.txt" << QByteArray("2147483647 1 1") << "has 1 axis; a map needs two";
        QTest::newRow("NUL bytes") << "z.txt" << QByteArray(40, '\0') << "the row count '\\x00\\x00";
        QTest::newRow("W unopenable") << "w.txt" << QByteArray() << "cannot open";
        QTest::newRow("Q unopenable") << "q.txt" << QByteArray() << "cannot open";
        QTest::newRow("Lambda unopenable") << "lambda.txt" << QByteArray() << "cannot open";
    }
    void badInput()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, text);
        QFETCH(QString, words);
        if (QTest::currentDataTag() == QByteArray("W unopenable") || text.isNull())
            QFile::remove(dir.filePath(file));
        else
            write(file, text);
        Console::Capture capture;
        std::unique_ptr<CAData> d(project());
        QVERIFY(!d->read());
        QCOMPARE(capture.err().size(), 1);
        const QString line = capture.err().first();
        QVERIFY2(line.contains(dir.filePath(file)), qPrintable(line));
        QVERIFY2(line.contains(words), qPrintable(line));
        QVERIFY(!capture.out().contains("reading finish!"));
    }

    void nonRegularFilesAreRefused_data();
    void nonRegularFilesAreRefused();
    void allocationFailureIsAnError();
    void overlongNameIsRefused_data();
    void overlongNameIsRefused();

    // Last: the memory it leaves to the allocator would hide the limit of
    // allocationFailureIsAnError.
    void largeMatrixReadsAsOnePass_data()
    {
        // More than a million values: read from both halves of the file at
        // once, with the same values and the same messages as one pass.
        QTest::addColumn<int>("values");
        QTest::addColumn<int>("badAt"); // -1: none
        QTest::addColumn<QString>("words"); // empty: reads
        const int n = 262144 * 4;
        QTest::newRow("all good") << n << -1 << QString();
        QTest::newRow("bad value in the first half") << n << 100 << "value 101 ('x9')";
        QTest::newRow("bad value in the second half") << n << 900000 << "value 900001 ('x9')";
        QTest::newRow("bad last value") << n << n - 1 << QStringLiteral("value %1 ('x9')").arg(n);
        QTest::newRow("five values short") << n - 5 << -1 << QStringLiteral("ends after %1 of the %2").arg(n - 5).arg(n);
        QTest::newRow("three values more") << n + 3 << -1 << QString();
    }
    void largeMatrixReadsAsOnePass()
    {
        QFETCH(int, values);
        QFETCH(int, badAt);
        QFETCH(QString, words);
        const int rows = 262144, cols = 4;
        QByteArray text = QByteArray::number(rows) + " " + QByteArray::number(cols) + "\n";
        text.reserve(values * 6 + 32);
        for (int k = 0; k < values; ++k) {
            if (k == badAt)
                text += "x9";
            else
                text += QByteArray::number(k % 7 - 3) + (k % 3 ? ".5" : "");
            text += (k + 1) % cols ? ' ' : '\n';
        }
        write("w.txt", text);
        Console::Capture capture;
        std::unique_ptr<CAData> d(project(false));
        const bool read = d->read();
        QCOMPARE(read, words.isEmpty());
        if (!read) {
            QCOMPARE(capture.err().size(), 1);
            QVERIFY2(capture.err().first().contains(words), qPrintable(capture.err().first()));
            return;
        }
        QCOMPARE(d->nbWords, rows);
        for (int k = 0; k < rows * cols; ++k)
            if (d->W[k] != (k % 7 - 3) + (k % 3 ? (k % 7 - 3 < 0 ? -0.5 : 0.5) : 0.0))
                QFAIL(qPrintable(QStringLiteral("value %1 is %2").arg(k).arg(d->W[k])));
    }
};

void TestCADataRead::nonRegularFilesAreRefused_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("loads");
    QTest::addColumn<QString>("words");
    QTest::newRow("Z") << "Z" << false << "for reading: it is a FIFO, not a regular file";
    QTest::newRow("W") << "W" << false << "for reading: it is a FIFO, not a regular file";
    QTest::newRow("P") << "P" << false << "it is a FIFO, not a regular file";
    QTest::newRow("Lambda") << "LAMBDA" << false << "it is a FIFO, not a regular file";
    QTest::newRow("image list") << "LABEL" << true << "cannot open the image list";
    QTest::newRow("keypoint-file list") << "DESCRIPTOR" << false << "cannot open the keypoint-file list";
    QTest::newRow("Z is /dev/zero") << "/dev/zero" << false << "it is a character device, not a regular file";
}

// A FIFO (or a device) named as any file of the analysis: the load neither
// hangs nor reads without end, and the file is named with what it is.
void TestCADataRead::nonRegularFilesAreRefused()
{
    QFETCH(QString, field);
    QFETCH(bool, loads);
    QFETCH(QString, words);
    std::unique_ptr<CAData> d(project());
    QString *target = field == "Z" || field.startsWith('/') ? &d->fileZ
                    : field == "W"                          ? &d->fileW
                    : field == "P"                          ? &d->fileP
                    : field == "LAMBDA"                     ? &d->fileLambda
                    : field == "LABEL"                      ? &d->fileLabel
                                                            : &d->fileDescriptor;
    QString path = field;
    if (!field.startsWith('/')) {
        path = dir.filePath("fifo-" + field);
        QFile::remove(path);
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    }
    *target = path;
    Console::Capture capture;
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(d->read(), loads);
    QVERIFY(clock.elapsed() < 5000);
    const QString all = capture.err().join('\n');
    QVERIFY2(all.contains(path) && all.contains(words), qPrintable(all));
}

// An honest file the memory left cannot hold: the load fails with a
// message naming the file, and the process goes on to load the next one.
void TestCADataRead::allocationFailureIsAnError()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("the address sanitizer reserves the address space this test limits");
#endif
    // 4M values: 8 MB of text, 32 MB once read.
    QByteArray big = "1000000 4\n";
    big.reserve(8 * 1024 * 1024 + 16);
    for (int i = 0; i < 4000000; ++i)
        big += "1 ";
    write("big_z.txt", big);
    std::unique_ptr<CAData> d(project(false));
    d->fileZ = "big_z.txt";
    d->fileDescriptor.clear();

    // Leave the process 16 MB of address space above what it uses now.
    QFile status("/proc/self/statm");
    QVERIFY(status.open(QIODevice::ReadOnly));
    const qint64 pages = status.readAll().split(' ').value(0).toLongLong();
    QVERIFY(pages > 0);
    rlimit saved;
    QCOMPARE(::getrlimit(RLIMIT_AS, &saved), 0);
    rlimit tight = saved;
    tight.rlim_cur = rlim_t(pages * ::sysconf(_SC_PAGESIZE) + 16 * 1024 * 1024);
    bool result = true;
    Console::Capture capture;
    QCOMPARE(::setrlimit(RLIMIT_AS, &tight), 0);
    result = d->read();
    ::setrlimit(RLIMIT_AS, &saved);
    QVERIFY(!result);
    QCOMPARE(capture.err().size(), 1);
    QVERIFY2(capture.err().first().contains(dir.filePath("big_z.txt"))
                 && capture.err().first().contains("not enough memory"),
             qPrintable(capture.err().first()));

    // Nothing is left broken: the same load with the memory back succeeds.
    std::unique_ptr<CAData> again(project(false));
    again->fileZ = "big_z.txt";
    again->fileDescriptor.clear();
    QVERIFY(again->read());
    QCOMPARE(again->nbImages, 1000000);
}

// Names in the image list and the keypoint-file list are read one by one;
// a "name" longer than any path is refused, naming the file.
void TestCADataRead::overlongNameIsRefused_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("image list") << "labels.txt" << QByteArray("1 a.png 2 ") + QByteArray(5000, 'b') + " 1 c.png";
    QTest::newRow("keypoint-file list") << "keys.txt" << QByteArray("3 a.sift ") + QByteArray(5000, 'b') + " c.sift";
}
void TestCADataRead::overlongNameIsRefused()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, text);
    write(file, text);
    Console::Capture capture;
    std::unique_ptr<CAData> d(project());
    QVERIFY(!d->read());
    QCOMPARE(capture.err().size(), 1);
    QVERIFY2(capture.err().first().contains(dir.filePath(file))
                 && capture.err().first().contains("longer than 4096 bytes"),
             qPrintable(capture.err().first()));
}

QTEST_GUILESS_MAIN(TestCADataRead)
#include "tst_cadata_read.moc"

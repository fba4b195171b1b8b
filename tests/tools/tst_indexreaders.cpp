// The indexer's readers of its own files and of the lists it is given,
// against files of gigabytes where a few lines belong: each reads by its
// header or a bounded line at a time, and refuses naming the file and the
// problem, within an address space of 1 GB (a reader that took the file
// whole could not). Files of 2 GB are sparse: they cost no disk.
#include "tools/imagecollection.h"
#include "tools/vocabulary.h"

#include "tests/addressspacelimit.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {

constexpr qint64 GB = qint64(1) << 30;

// Writes `text`, then makes the file `size` bytes long (zeros, sparse) when
// `size` is larger.
bool put(const QString &path, const QByteArray &text, qint64 size = 0)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(text) != text.size())
        return false;
    return size <= text.size() || f.resize(size);
}

const QByteArray vocabulary = "ortelis-vocabulary 1\n2 3\n0.5 1 -2\n3 4.25 0\n";

} // namespace

class TestIndexReaders : public QObject
{
    Q_OBJECT
private slots:
    void vocabularies_data();
    void vocabularies();
    void lists_data();
    void lists();
};

void TestIndexReaders::vocabularies_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("said"); // empty: read
    QTest::newRow("as written") << vocabulary << qint64(0) << QString();
    QTest::newRow("rows across lines") << QByteArray("ortelis-vocabulary 1\n2 3\n0.5 1\n-2 3 4.25\n0\n") << qint64(0)
                                       << QString();
    QTest::newRow("padded to 2 GB") << vocabulary << 2 * GB << "more than 2 words of 3 values can take";
    QTest::newRow("a value beyond") << vocabulary + "7\n" << qint64(0)
                                    << ":5: 2 words of 3 values announced, 7 values found";
    QTest::newRow("a value short") << QByteArray(vocabulary).replace(" 0\n", "\n") << qint64(0)
                                   << "2 words of 3 values announced, 5 values found";
    QTest::newRow("a billion words announced") << QByteArray("ortelis-vocabulary 1\n1000000000 128\n") << 2 * GB
                                               << "more than a vocabulary has";
    QTest::newRow("not a number") << QByteArray(vocabulary).replace("4.25", "x") << qint64(0)
                                  << "word 1, value 1 is not a number";
    QTest::newRow("a value of 100 digits") << QByteArray("ortelis-vocabulary 1\n1 1\n") + QByteArray(100, '7') << qint64(0)
                                    << ":3: not a number of a vocabulary";
    QTest::newRow("replaced by 2 GB of zeros") << QByteArray() << 2 * GB << "is not a vocabulary file";
}

void TestIndexReaders::vocabularies()
{
    QFETCH(QByteArray, text);
    QFETCH(qint64, size);
    QFETCH(QString, said);
    QTemporaryDir dir;
    const QString path = dir.filePath("vocabulary.txt");
    QVERIFY(put(path, text, size));
    const int status = AddressSpaceLimit::run(GB, [&]() {
        Vocabulary v;
        QString error;
        const bool read = v.load(path, &error);
        if (said.isEmpty()) {
            if (!read)
                return 1;
            const cv::Mat &c = v.centres();
            const float expected[2][3] = {{0.5f, 1.f, -2.f}, {3.f, 4.25f, 0.f}};
            if (c.rows != 2 || c.cols != 3)
                return 2;
            for (int r = 0; r < 2; ++r)
                for (int k = 0; k < 3; ++k)
                    if (c.at<float>(r, k) != expected[r][k])
                        return 3;
            return 0;
        }
        return !read && error.contains(path) && error.contains(said) ? 0 : 4;
    });
    QCOMPARE(status, 0);
}

void TestIndexReaders::lists_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("said"); // empty: read, two images
    QTest::newRow("two images") << QByteArray("# two\n1 a.png\n2 b c.png\n") << qint64(0) << QString();
    QTest::newRow("2 GB of zeros") << QByteArray() << 2 * GB << ":1: the line is longer than 16384 bytes";
    QTest::newRow("a line of 2 GB after two") << QByteArray("1 a.png\n2 b c.png\n3 ") << 2 * GB
                                             << ":3: the line is longer than";
    QTest::newRow("more lines than a collection") << QByteArray(4000001 * 2, '\n').replace(0, 8, "1 a.png\n")
                                                  << qint64(0) << "more than 4000000 lines";
    QTest::newRow("not a list") << QByteArray("a.png\n") << qint64(0) << ":1: expected \"category path\"";
}

void TestIndexReaders::lists()
{
    QFETCH(QByteArray, text);
    QFETCH(qint64, size);
    QFETCH(QString, said);
    QTemporaryDir dir;
    const QString path = dir.filePath("list.txt");
    QVERIFY(put(path, text, size));
    const int status = AddressSpaceLimit::run(GB, [&]() {
        ImageCollection c;
        QString error;
        const bool read = c.load(path, QString(), &error);
        if (said.isEmpty())
            return read && c.entries().size() == 2 && c.entries()[1].path == dir.filePath("b c.png")
                           && c.entries()[1].category == 2
                       ? 0
                       : 1;
        return !read && error.contains(path) && error.contains(said) ? 0 : 2;
    });
    QCOMPARE(status, 0);
}

QTEST_GUILESS_MAIN(TestIndexReaders)
#include "tst_indexreaders.moc"

#include "data/model/cadata.h"
#include "data/model/console.h"
#include "data/model/sift.h"
#include "data/model/xmlparser.h"
#include "detail/imagewindow.h"
#include "detail/keypointcache.h"
#include "detail/thumbnailpane.h"

#include <QBuffer>
#include <QCheckBox>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// The files a project names for its supplementary images alone. Their
// keypoints (FILE DESCRIPTORSUP) reach the panes and the full-size window as
// an analysed image's do; a list that is absent or unusable leaves them
// without keypoints and the analysis opens. The names of categories only
// they have (FILE CATEGORIESSUP) are shown beside the project's own.
class TestSupplementaryFiles : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    void write(const QString &name, const QByteArray &text)
    {
        QFile f(dir.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }

    // `count` records, all of word `word`, at distinct places.
    void writeKeypoints(const QString &name, int count, int word)
    {
        QByteArray bytes(count * 32, '\0');
        for (int i = 0; i < count; ++i)
            Sift{i, word, 10.0f + i, 20.0f, 3, 0, 0, 3}.toLittleEndian(
                reinterpret_cast<uchar *>(bytes.data()) + 32 * i);
        QFile f(dir.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }

    std::unique_ptr<CAData> open(const QByteArray &extraFiles)
    {
        const QByteArray xml = "<XML>\n<BASE href='.'/>\n<AXIS number='2'/>\n"
                               "<FILE name='Z' path='z.txt'/>\n<FILE name='W' path='w.txt'/>\n"
                               "<FILE name='LAMBDA' path='lambda.txt'/>\n<FILE name='LABEL' path='images.txt'/>\n"
                               "<FILE name='DESCRIPTOR' path='keypoints.txt'/>\n<FILE name='ZSUP' path='zsup.txt'/>\n"
                               "<FILE name='LABELSUP' path='images-sup.txt'/>\n"
                               + extraFiles + "</XML>\n";
        XMLParser parser(dir.path());
        QBuffer buffer;
        buffer.setData(xml);
        if (!parser.parse(&buffer))
            return nullptr;
        std::unique_ptr<CAData> data(parser.data);
        if (!data->read())
            return nullptr;
        return data;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        CAData::casolver.clear();
        write("z.txt", "2 2\n1 0\n-1 0.5\n");
        write("w.txt", "3 2\n1 1\n0 1\n-1 0\n");
        write("lambda.txt", "2\n0.5 0.25\n");
        write("images.txt", "1 a.png\n1 b.png\n");
        write("keypoints.txt", "2\na.sift b.sift\n");
        write("zsup.txt", "2 2\n0.5 0.5\n-0.5 0.25\n");
        write("images-sup.txt", "1 s0.png\n2 s1.png\n");
        writeKeypoints("a.sift", 2, 0);
        writeKeypoints("b.sift", 1, 1);
        writeKeypoints("s0.sift", 4, 2);
        writeKeypoints("s1.sift", 7, 1);
        write("good-sup.txt", "2\ns0.sift s1.sift\n");
        write("short-sup.txt", "2\ns0.sift\n");
        write("wrong-count-sup.txt", "3\ns0.sift s1.sift s1.sift\n");
        write("no-count-sup.txt", "s0.sift s1.sift\n");
    }

    void supplementaryKeypoints_data()
    {
        QTest::addColumn<QByteArray>("entry");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("second");
        // Empty when nothing is to be said; else a file name the console names.
        QTest::addColumn<QString>("named");
        const QByteArray pre = "<FILE name='DESCRIPTORSUP' path='";
        const QByteArray post = "'/>\n";
        QTest::newRow("listed") << pre + "good-sup.txt" + post << 4 << 7 << QString();
        QTest::newRow("lower-case entry") << QByteArray("<FILE name='descriptorsup' path='good-sup.txt'/>\n")
                                          << 4 << 7 << QString();
        QTest::newRow("absent") << QByteArray() << 0 << 0 << QString();
        QTest::newRow("missing file") << pre + "gone-sup.txt" + post << 0 << 0 << "gone-sup.txt";
        QTest::newRow("list too short") << pre + "short-sup.txt" + post << 0 << 0 << "short-sup.txt";
        QTest::newRow("count not the images'") << pre + "wrong-count-sup.txt" + post << 0 << 0
                                               << "wrong-count-sup.txt";
        QTest::newRow("no count") << pre + "no-count-sup.txt" + post << 0 << 0 << "no-count-sup.txt";
    }

    void supplementaryKeypoints()
    {
        QFETCH(QByteArray, entry);
        QFETCH(int, first);
        QFETCH(int, second);
        QFETCH(QString, named);
        Console::Capture capture;
        std::unique_ptr<CAData> data = open(entry);
        QVERIFY(data);
        QCOMPARE(data->nbSupImages, 2);
        const QStringList errors = capture.err();
        if (named.isEmpty()) {
            QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
        } else {
            QCOMPARE(errors.size(), 1);
            QVERIFY2(errors.first().contains(named), qPrintable(errors.first()));
        }

        // The panes read through the keypoint cache, numbering supplementary
        // images after the analysed ones.
        KeypointCache cache(1000);
        QCOMPARE(cache.keypoints(*data, data->nbImages).size(), first);
        QCOMPARE(cache.keypoints(*data, data->nbImages + 1).size(), second);
        // The analysed images keep theirs whatever the supplementary list.
        QCOMPARE(cache.keypoints(*data, 0).size(), 2);
        QCOMPARE(cache.keypoints(*data, 1).size(), 1);
        // Nothing past the last supplementary image.
        QCOMPARE(cache.keypoints(*data, data->imageCount()).size(), 0);

        // The full-size window draws every keypoint when none is hovered.
        ImageWindow window(*data, data->nbImages + 1, nullptr);
        QCOMPARE(window.keypointsDrawn(), second);
        if (second > 0) {
            // Limited to the hovered words, only the matching ones stay.
            QSet<int> other{0};
            ImageWindow limited(*data, data->nbImages + 1, &other);
            limited.hoveredOnlyBox->setChecked(true);
            QCOMPARE(limited.keypointsDrawn(), 0);
        }
    }

    void supplementaryCategoryNames_data()
    {
        QTest::addColumn<QByteArray>("project");   // the project's categories file
        QTest::addColumn<QByteArray>("sup");       // the supplementary one; none when empty
        QTest::addColumn<QStringList>("shown");    // categories 1, 2, 9 as named
        QTest::addColumn<int>("warnings");
        // What the panes say of the supplementary image of category 2.
        QTest::addColumn<QString>("pane");
        QTest::newRow("new category named") << QByteArray("1 cats\n") << QByteArray("2 dogs\n")
                                            << QStringList{"cats", "dogs", "#9"} << 0 << "dogs (2)";
        QTest::newRow("no supplementary file") << QByteArray("1 cats\n") << QByteArray()
                                               << QStringList{"cats", "#2", "#9"} << 0 << "Category 2";
        QTest::newRow("several new ones") << QByteArray("1 cats\n") << QByteArray("2 dogs\n9 red fish\n")
                                          << QStringList{"cats", "dogs", "red fish"} << 0 << "dogs (2)";
        QTest::newRow("the project's name wins") << QByteArray("1 cats\n2 dogs\n") << QByteArray("2 wolves\n")
                                                 << QStringList{"cats", "dogs", "#9"} << 1 << "dogs (2)";
        QTest::newRow("a bad line") << QByteArray("1 cats\n") << QByteArray("x birds\n2 dogs\n")
                                    << QStringList{"cats", "dogs", "#9"} << 1 << "dogs (2)";
    }

    void supplementaryCategoryNames()
    {
        QFETCH(QByteArray, project);
        QFETCH(QByteArray, sup);
        QFETCH(QStringList, shown);
        QFETCH(int, warnings);
        QFETCH(QString, pane);
        write("categories.txt", project);
        QByteArray entries = "<FILE name='CATEGORIES' path='categories.txt'/>\n";
        if (!sup.isEmpty()) {
            write("categories-sup.txt", sup);
            entries += "<FILE name='CATEGORIESSUP' path='categories-sup.txt'/>\n";
        }
        write("images-sup.txt", "1 s0.png\n2 s1.png\n");
        Console::Capture capture;
        std::unique_ptr<CAData> data = open(entries);
        QVERIFY(data);
        QCOMPARE(capture.err().size(), warnings);
        for (const QString &line : capture.err())
            QVERIFY2(line.contains("categories-sup.txt"), qPrintable(line));
        QCOMPARE(data->categoryName(1), shown[0]);
        QCOMPARE(data->categoryName(2), shown[1]);
        QCOMPARE(data->categoryName(9), shown[2]);
        // The panes' description of the supplementary image of category 2.
        const QString described = ThumbnailPane::describe(*data, data->nbImages + 1);
        QVERIFY2(described.contains(pane), qPrintable(described));
    }
};

QTEST_MAIN(TestSupplementaryFiles)
#include "tst_supplementaryfiles.moc"

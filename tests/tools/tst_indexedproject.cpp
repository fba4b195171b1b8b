// The project an indexing run writes, opened the way the viewer opens it:
// parsed, solved and loaded by the data model, with every image and
// keypoint where the lists say.
#include "data/model/cadata.h"
#include "data/model/xmlparser.h"
#include "tools/democollection.h"
#include "tools/indexer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

class TestIndexedProject : public QObject
{
    Q_OBJECT
private slots:
    void opensInTheDataModel();
};

void TestIndexedProject::opensInTheDataModel()
{
    const QString solver = QDir(qEnvironmentVariable("ORTELIS_BIN_DIR",
                                                     QCoreApplication::applicationDirPath()))
                               .filePath("ca.exe");
    if (!QFileInfo(solver).isExecutable())
        QSKIP("the solver ca.exe is not built");

    QTemporaryDir dir;
    const DemoCollection demo(3, 128, 21);
    QString error;
    QVERIFY2(demo.write(dir.filePath("images"), 2, &error), qPrintable(error));
    IndexOptions o;
    o.input = dir.filePath("images");
    o.output = dir.filePath("index");
    o.words = 10;
    o.colourWords = 0; // ten words in all
    o.maxKeypoints = 30;
    o.axes = 3;
    o.quiet = true;
    Indexer indexer(o);
    QVERIFY2(indexer.run(&error), qPrintable(error));

    // The category names, one "number name" line each, named in the
    // project by an entry that the loader passes over until it uses it.
    QFile names(dir.filePath("index/categories.txt"));
    QVERIFY(names.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = names.readAll().split('\n');
    QCOMPARE(lines.size(), 7); // six categories and the final newline
    QCOMPARE(lines[0], QByteArray("1 1-stripes"));
    QCOMPARE(lines[5], QByteArray("6 6-blotches"));
    QFile project(dir.filePath("index/project.xml"));
    QVERIFY(project.open(QIODevice::ReadOnly));
    QVERIFY(project.readAll().contains("<FILE name='CATEGORIES' path='categories.txt'/>"));
    project.seek(0);
    XMLParser parser(QFileInfo(project).absolutePath());
    QVERIFY(parser.parse(&project));
    std::unique_ptr<CAData> data(parser.data);
    QVERIFY(data);
    QVERIFY(data->fileZ.isEmpty()); // the table only: opening runs the solver
    CAData::casolver = solver;
    QVERIFY(data->read());

    QCOMPARE(data->nbImages, demo.count());
    QCOMPARE(data->categoryName(1), QString("1-stripes"));
    QCOMPARE(data->categoryName(6), QString("6-blotches"));
    QCOMPARE(data->nbWords, 10);
    QCOMPARE(data->nbAxis, 3);
    QVERIFY(data->labels);
    QVERIFY(data->descriptors);
    qint64 keypoints = 0;
    for (int i = 0; i < data->nbImages; ++i) {
        QCOMPARE(data->labels[i].category, i / 3 + 1);
        const QImage image = data->getImage(i);
        QVERIFY2(!image.isNull(), qPrintable(data->labels[i].imageFile));
        QCOMPARE(image, demo.draw(i).convertToFormat(image.format()));
        QList<Sift> sifts;
        data->getSifts(i, sifts, nullptr);
        for (const Sift &s : sifts) {
            QVERIFY(s.x >= 0 && s.x < image.width());
            QVERIFY(s.y >= 0 && s.y < image.height());
        }
        keypoints += sifts.size();
    }
    QCOMPARE(keypoints, indexer.summary().keypoints);
}

QTEST_MAIN(TestIndexedProject)
#include "tst_indexedproject.moc"

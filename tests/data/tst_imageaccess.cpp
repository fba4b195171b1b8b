#include "data/model/cadata.h"

#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

class TestImageAccess : public QObject
{
    Q_OBJECT

private slots:
    void captions_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::newRow("20 characters whole") << "abcdefghijklmnop.png" << "abcdefghijklmnop.png";
        QTest::newRow("21 characters shortened") << "abcdefghijklmnopq.png" << "...defghijklmnopq.png";
        QTest::newRow("short") << "a.png" << "a.png";
    }
    void captions()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        CAData d(true);
        d.nbImages = 1;
        d.labels.reset(new ImageLabel[1]);
        d.labels[0].imageFile = name;
        QCOMPARE(d.getImageName(0), caption);
        QCOMPARE(d.getImageName(0).size(), std::min<qsizetype>(name.size(), 21));
    }

    void imagesResolveAgainstBase()
    {
        QTemporaryDir dir;
        QImage picture(7, 5, QImage::Format_RGB32);
        picture.fill(Qt::red);
        QVERIFY(picture.save(dir.filePath("pic.png")));
        CAData d(true);
        d.baseDir = dir.path();
        d.nbImages = 2;
        d.labels.reset(new ImageLabel[2]);
        d.labels[0].imageFile = "pic.png";
        d.labels[1].imageFile = "missing.png";
        QCOMPARE(d.getImage(0).size(), QSize(7, 5));
        QCOMPARE(d.getPixmap(0).size(), QSize(7, 5));
        QVERIFY(d.getImage(1).isNull());
        QVERIFY(d.getPixmap(1).isNull());
    }

    void withoutImageList()
    {
        CAData d(true);
        d.nbImages = 3;
        QCOMPARE(d.getPixmap(2).size(), QSize(100, 100));
        QVERIFY(d.getImage(0).isNull());
        QVERIFY(d.getImageName(1).isEmpty());
    }

    void distance_data()
    {
        QTest::addColumn<QVector<double>>("a");
        QTest::addColumn<QVector<double>>("b");
        QTest::addColumn<int>("axes");
        QTest::addColumn<double>("expected");
        QTest::newRow("itself") << QVector<double>{1, 2, 3} << QVector<double>{1, 2, 3} << 3 << -1.0;
        QTest::newRow("same direction") << QVector<double>{1, 2, 0} << QVector<double>{2, 4, 0} << 3 << -1.0;
        QTest::newRow("opposite") << QVector<double>{1, 1, 0} << QVector<double>{-3, -3, 0} << 3 << 1.0;
        QTest::newRow("orthogonal") << QVector<double>{1, 0, 5} << QVector<double>{0, 1, 5} << 2 << 2.0;
        QTest::newRow("origin") << QVector<double>{0, 0, 0} << QVector<double>{0, 0, 0} << 3 << 2.0;
        QTest::newRow("no axes") << QVector<double>{1, 2, 3} << QVector<double>{1, 2, 3} << 0 << 2.0;
        QTest::newRow("only axes in use count") << QVector<double>{1, 0, 9} << QVector<double>{1, 0, -9} << 2 << -1.0;
    }
    void distance()
    {
        QFETCH(QVector<double>, a);
        QFETCH(QVector<double>, b);
        QFETCH(int, axes);
        QFETCH(double, expected);
        CAData d(true);
        d.nbImages = 2;
        d.zCols = 3;
        d.nbAxis = axes;
        d.Z.reset(new double[6]);
        for (int k = 0; k < 3; ++k) {
            d.Z[k] = a[k];
            d.Z[3 + k] = b[k];
        }
        QCOMPARE(d.distance(0, 1), expected);
    }
};

QTEST_MAIN(TestImageAccess)
#include "tst_imageaccess.moc"

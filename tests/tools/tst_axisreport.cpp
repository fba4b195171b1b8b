// The report of words and groups of identical images that take an axis:
// shares computed by hand from small result files, and colour names.
#include "tools/axisreport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

bool write(const QString &path, const QByteArray &text)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

} // namespace

class TestAxisReport : public QObject
{
    Q_OBJECT
private slots:
    void sharesAboveThreshold_data();
    void sharesAboveThreshold();
    void missingResultsAreAnError();
    void colourNames_data();
    void colourNames();
};

void TestAxisReport::sharesAboveThreshold_data()
{
    QTest::addColumn<double>("threshold");
    QTest::addColumn<QStringList>("expected");
    // Axis 1 (lambda 0.5): word 0 has Q 0.5 and W 0.8, so 0.5 x 0.64 / 0.5
    // = 64 %; word 1: 0.3 x 0.09 / 0.5 = 5.4 %; word 2: 0.2 x 0.36 / 0.5 =
    // 14.4 %. Rows 1 and 2 are identical (P 0.25 each, Z 0.6): 2 x 0.25 x
    // 0.36 / 0.5 = 36 %. Axis 2 (lambda 0.2): word 2: 0.2 x 0.49 / 0.2 =
    // 49 %; word 0: 0.5 x 0.04 / 0.2 = 10 %; the pair: 2 x 0.25 x 0.01 /
    // 0.2 = 2.5 %.
    QTest::newRow("a quarter") << 0.25
                               << QStringList{"axis 1: 64 % from W0",
                                              "axis 1: 36 % from 2 identical images (such as 'image 1')",
                                              "axis 2: 49 % from W2"};
    QTest::newRow("above a tenth") << 0.11
                             << QStringList{"axis 1: 64 % from W0",
                                            "axis 1: 36 % from 2 identical images (such as 'image 1')",
                                            "axis 1: 14 % from W2", "axis 2: 49 % from W2"};
    QTest::newRow("nothing that large") << 0.70 << QStringList{};
}

void TestAxisReport::sharesAboveThreshold()
{
    QFETCH(double, threshold);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    const QString table = dir.filePath("table.txt");
    QVERIFY(write(table, "4 3\n5 1 0\n2 2 1\n2 2 1\n0 1 4\n"));
    QVERIFY(write(table + "_Z.txt", "4 2\n0.9 0.1\n0.6 0.1\n0.6 0.1\n-1.2 0.3\n"));
    QVERIFY(write(table + "_P.txt", "4\n0.3\n0.25\n0.25\n0.2\n"));
    QVERIFY(write(table + "_W.txt", "3 2\n0.8 0.2\n0.3 0.1\n-0.6 0.7\n"));
    QVERIFY(write(table + "_Q.txt", "3\n0.5\n0.3\n0.2\n"));
    QVERIFY(write(table + "_Lambda.txt", "2\n0.5\n0.2\n"));
    AxisReport report;
    QString error;
    QVERIFY2(report.compute(table, 3, threshold, &error), qPrintable(error));
    const QStringList lines = report.lines([](int j) { return QStringLiteral("W%1").arg(j); },
                                           [](int r) { return QStringLiteral("image %1").arg(r); });
    QCOMPARE(lines, expected);
}

void TestAxisReport::missingResultsAreAnError()
{
    QTemporaryDir dir;
    const QString table = dir.filePath("table.txt");
    QVERIFY(write(table, "1 1\n1\n"));
    AxisReport report;
    QString error;
    QVERIFY(!report.compute(table, 3, 0.25, &error));
    QVERIFY2(error.contains("table.txt_Z.txt"), qPrintable(error));
}

void TestAxisReport::colourNames_data()
{
    QTest::addColumn<double>("L");
    QTest::addColumn<double>("a");
    QTest::addColumn<double>("b");
    QTest::addColumn<QString>("name");
    // OpenCV's 8-bit Lab of sRGB white, black, red, green and blue.
    QTest::newRow("white") << 255.0 << 128.0 << 128.0 << "white";
    QTest::newRow("black") << 0.0 << 128.0 << 128.0 << "black";
    QTest::newRow("red") << 136.0 << 208.0 << 195.0 << "red";
    QTest::newRow("green") << 224.0 << 42.0 << 211.0 << "light green";
    QTest::newRow("blue") << 82.0 << 207.0 << 20.0 << "blue";
}

void TestAxisReport::colourNames()
{
    QFETCH(double, L);
    QFETCH(double, a);
    QFETCH(double, b);
    QFETCH(QString, name);
    QCOMPARE(AxisReport::colourName(L, a, b), name);
}

QTEST_GUILESS_MAIN(TestAxisReport)
#include "tst_axisreport.moc"

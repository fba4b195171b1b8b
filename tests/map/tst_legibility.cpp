// Marks that do not hide each other: category colours readable on the white
// map and unlike the word circles, image crosses above the circles when the
// images are coloured, and the exported key of the two marks.

#include "map/caview.h"
#include "map/mapexporter.h"
#include "tst_caview_fixture.h"

#include <QtTest>

#include <cmath>

namespace {

// WCAG 2 relative luminance of an sRGB colour.
double luminance(const QColor &c)
{
    auto channel = [](int v) {
        const double s = v / 255.0;
        return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}

double contrastOnWhite(const QColor &c)
{
    return (1.0 + 0.05) / (luminance(c) + 0.05);
}

// Hue angle (degrees) from the RGB values, without QColor's conversions.
double hueOf(const QColor &c)
{
    const double r = c.redF(), g = c.greenF(), b = c.blueF();
    const double mx = std::max({r, g, b}), mn = std::min({r, g, b});
    if (mx - mn < 1e-9)
        return -1; // a grey has no hue
    double h;
    if (mx == r)
        h = std::fmod((g - b) / (mx - mn), 6.0);
    else if (mx == g)
        h = (b - r) / (mx - mn) + 2;
    else
        h = (r - g) / (mx - mn) + 4;
    h *= 60;
    return h < 0 ? h + 360 : h;
}

std::unique_ptr<CAData> twoCategoriesOnOneSpot()
{
    // Image 0 and word 0 on one spot; image 1 elsewhere, another category.
    auto d = fixture::makeData({{1.0, 1.0}, {-1.0, -0.5}}, {{1.0, 1.0}}, {1, 1});
    d->labels.reset(new ImageLabel[2]);
    d->labels[0].category = 1;
    d->labels[1].category = 2;
    return d;
}

} // namespace

class TestLegibility : public QObject
{
    Q_OBJECT

private slots:
    void categoryColoursReadOnWhite_data();
    void categoryColoursReadOnWhite();
    void crossesAboveCirclesInColour_data();
    void crossesAboveCirclesInColour();
    void exportedKeyCountsTheMarks();
};

void TestLegibility::categoryColoursReadOnWhite_data()
{
    QTest::addColumn<int>("k");
    for (int k : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 20, 25, 31, 40, 57, 63})
        QTest::newRow(qPrintable(QStringLiteral("category %1").arg(k))) << k;
}

void TestLegibility::categoryColoursReadOnWhite()
{
    QFETCH(int, k);
    const QColor c = CAView::categoryColour(k);
    QVERIFY2(contrastOnWhite(c) >= 3.0, qPrintable(QStringLiteral("%1: %2:1").arg(c.name()).arg(contrastOnWhite(c))));
    // Not a blue like the words' circles (pure blue, hue 240).
    const double hue = hueOf(c);
    if (hue >= 0) {
        const double fromBlue = std::min(std::abs(hue - 240), 360 - std::abs(hue - 240));
        QVERIFY2(fromBlue >= 45, qPrintable(QStringLiteral("%1: hue %2").arg(c.name()).arg(hue)));
    }
    // And never the words' own colour.
    QVERIFY(c != QColor(Qt::blue));
}

void TestLegibility::crossesAboveCirclesInColour_data()
{
    QTest::addColumn<bool>("coloured");
    QTest::newRow("by category: the cross on top") << true;
    QTest::newRow("single colours: the default, the circle on top") << false;
}

void TestLegibility::crossesAboveCirclesInColour()
{
    QFETCH(bool, coloured);
    auto d = twoCategoriesOnOneSpot();
    CAView view(0, 1, 2);
    fixture::resizeNow(view, 400, 300);
    view.imageThreshold = 0;
    view.wordThreshold = 0;
    view.setData(d.get());
    view.setCategoryColours(coloured);
    view.fitAllPoints();
    const QImage shot = fixture::shot(view);
    const QPoint p = view.imagePosition(0);
    QCOMPARE(view.wordPosition(0), p);
    // The top of the circle is also the top arm of the cross.
    const QColor top = fixture::at(shot, p.x(), p.y() - 2);
    const QColor cross = coloured ? view.categoryColourAt(0) : QColor(Qt::red);
    QCOMPARE(top, coloured ? cross : QColor(Qt::blue));
}

void TestLegibility::exportedKeyCountsTheMarks()
{
    auto d = twoCategoriesOnOneSpot();
    CAView view(0, 1, 2);
    fixture::resizeNow(view, 400, 300);
    view.imageThreshold = 0;
    view.wordThreshold = 0;
    view.setData(d.get());
    view.setCategoryColours(true);
    view.fitAllPoints();
    QList<MapExporter::KeyEntry> key = MapExporter::keyOf(view);
    QCOMPARE(key.size(), 2);
    QCOMPARE(key[0].text, QStringLiteral("Images: 2 of 2"));
    QCOMPARE(key[1].text, QStringLiteral("Words: 1 of 1"));
    QCOMPARE(key[1].colour, QColor(Qt::blue));

    view.setCategoryHidden(2, true);
    key = MapExporter::keyOf(view);
    QCOMPARE(key[0].text, QStringLiteral("Images: 1 of 2"));

    // In the figure, beside the category names.
    const QByteArray svg = MapExporter(view).svg();
    QVERIFY(svg.contains("Images: 1 of 2"));
    QVERIFY(svg.contains("Words: 1 of 1"));
    view.showHideWordPoint(false);
    QVERIFY(!MapExporter(view).svg().contains("Words:"));
}

QTEST_MAIN(TestLegibility)
#include "tst_legibility.moc"

// Named groups: kept through JSON (sessions and saved analyses), in the
// point table's group column, in the figure's legend and as rings.
#include "map/mapexporter.h"
#include "map/mapstate.h"
#include "map/namedgroup.h"
#include "map/pointexporter.h"
#include "tst_caview_fixture.h"

#include <QtTest>

namespace {

NamedGroup group(const QString &name, QVector<int> images, QVector<int> words, QRgb colour,
                 bool visible = true)
{
    NamedGroup g;
    g.name = name;
    g.images = std::move(images);
    g.words = std::move(words);
    g.colour = QColor(colour);
    g.visible = visible;
    return g;
}

// Five images and three words spread over the map.
std::unique_ptr<CAData> analysis()
{
    return fixture::makeData({{-1, -1}, {-0.5, 0.5}, {0, 1}, {0.5, -0.5}, {1, 1}},
                             {{-1, 1}, {0, -1}, {1, 0}}, {0.5, 0.25});
}

// The CSV's rows as lists of fields (the fixture's names hold no commas
// or quotes).
QList<QStringList> rowsOf(const QByteArray &csv)
{
    QList<QStringList> rows;
    for (const QByteArray &line : csv.split('\n')) {
        const QString l = QString::fromUtf8(line).trimmed();
        if (!l.isEmpty())
            rows.append(l.split(QLatin1Char(',')));
    }
    return rows;
}

} // namespace

class TestNamedGroup : public QObject
{
    Q_OBJECT

private slots:
    void readBackDropsWhatIsNotInTheAnalysis_data();
    void readBackDropsWhatIsNotInTheAnalysis();
    void sessionStateCarriesGroups();
    void csvGroupColumn();
    void legendNamesShownGroups();
    void ringsAroundMembersOnly();
    void hullHoldsEveryPoint_data();
    void hullHoldsEveryPoint();
    void outlineOnMapAndInExport();
};

void TestNamedGroup::readBackDropsWhatIsNotInTheAnalysis_data()
{
    QTest::addColumn<QString>("imagesJson");
    QTest::addColumn<QVector<int>>("images");
    QTest::newRow("in range") << QStringLiteral("[0, 2, 4]") << QVector<int>{0, 2, 4};
    QTest::newRow("out of order, repeated") << QStringLiteral("[4, 0, 4, 2]") << QVector<int>{0, 2, 4};
    QTest::newRow("past the end, negative") << QStringLiteral("[-1, 3, 5, 99]") << QVector<int>{3};
    QTest::newRow("not numbers") << QStringLiteral("[\"1\", 2.5, null, 1]") << QVector<int>{1};
}

void TestNamedGroup::readBackDropsWhatIsNotInTheAnalysis()
{
    QFETCH(QString, imagesJson);
    QFETCH(QVector<int>, images);
    const QByteArray text = QStringLiteral(
        "[{\"name\": \"g\", \"colour\": \"#102030\", \"visible\": false, \"images\": %1, "
        "\"words\": [2, 3]}, {\"images\": [1]}]").arg(imagesJson).toUtf8();
    const QVector<NamedGroup> groups =
        NamedGroup::listFromJson(QJsonDocument::fromJson(text).array(), 5, 3);
    // The unnamed second entry is no group.
    QCOMPARE(groups.size(), 1);
    QCOMPARE(groups[0].name, QStringLiteral("g"));
    QCOMPARE(groups[0].colour, QColor(0x10, 0x20, 0x30));
    QCOMPARE(groups[0].visible, false);
    QCOMPARE(groups[0].images, images);
    QCOMPARE(groups[0].words, QVector<int>{2});
}

void TestNamedGroup::sessionStateCarriesGroups()
{
    auto data = analysis();
    CAView view(0, 1, 2);
    fixture::resizeNow(view, 400, 300);
    view.setData(data.get());
    const QVector<NamedGroup> groups = {group(QStringLiteral("left"), {0, 1}, {0}, 0xff8c00),
                                        group(QStringLiteral("right"), {3, 4}, {}, 0x9400d3, false)};
    view.groups().setList(groups);
    // Through the session file's JSON text, as a session keeps it.
    const QByteArray text = QJsonDocument(MapState::of(view).toJson()).toJson();
    const MapState back = MapState::fromJson(QJsonDocument::fromJson(text).object());
    QCOMPARE(back, MapState::of(view));

    auto again = analysis();
    CAView restored(0, 1, 2);
    fixture::resizeNow(restored, 400, 300);
    restored.setData(again.get());
    QVERIFY(restored.groups().isEmpty());
    back.applyTo(restored);
    QCOMPARE(restored.groups().list(), groups);
}

void TestNamedGroup::csvGroupColumn()
{
    auto data = analysis();
    CAView view(0, 1, 2);
    view.setData(data.get());
    view.groups().setList({group(QStringLiteral("A"), {1, 3}, {2}, 0xff0000),
                   group(QStringLiteral("B"), {3, 4}, {}, 0x00ff00, false)});
    const QList<QStringList> rows = rowsOf(PointExporter::csv(view));
    const QStringList header = rows.first();
    const int kind = int(header.indexOf(QStringLiteral("kind")));
    const int index = int(header.indexOf(QStringLiteral("index")));
    const int col = int(header.indexOf(QStringLiteral("group")));
    QVERIFY(col >= 0);
    // Hidden groups are groups still: the table lists every membership.
    const QMap<QString, QString> expected = {
        {QStringLiteral("image 0"), QString()},       {QStringLiteral("image 1"), QStringLiteral("A")},
        {QStringLiteral("image 2"), QString()},       {QStringLiteral("image 3"), QStringLiteral("A; B")},
        {QStringLiteral("image 4"), QStringLiteral("B")}, {QStringLiteral("word 0"), QString()},
        {QStringLiteral("word 1"), QString()},        {QStringLiteral("word 2"), QStringLiteral("A")},
    };
    QMap<QString, QString> seen;
    for (int r = 1; r < rows.size(); ++r) {
        QCOMPARE(rows[r].size(), header.size());
        seen.insert(rows[r][kind] + QLatin1Char(' ') + rows[r][index], rows[r][col]);
    }
    QCOMPARE(seen, expected);
}

void TestNamedGroup::legendNamesShownGroups()
{
    auto data = analysis();
    CAView view(0, 1, 2);
    view.setData(data.get());
    view.groups().setList({group(QStringLiteral("kept"), {0, 1, 2}, {1}, 0x123456),
                   group(QStringLiteral("off"), {3}, {}, 0x654321, false)});
    const QList<MapExporter::LegendEntry> legend = MapExporter::legendOf(view);
    QCOMPARE(legend.size(), 1);
    QCOMPARE(legend[0].colour, QColor(0x123456));
    QVERIFY(legend[0].text.startsWith(QStringLiteral("kept")));
    QVERIFY(legend[0].text.contains(QStringLiteral("3 images")));
    QVERIFY(legend[0].text.contains(QStringLiteral("1 words")));
}

void TestNamedGroup::ringsAroundMembersOnly()
{
    auto data = analysis();
    CAView view(0, 1, 2);
    fixture::resizeNow(view, 400, 300);
    view.imageThreshold = 0;
    view.wordThreshold = 0;
    view.setData(data.get());
    view.fitAll();
    const QColor ring(0x00, 0x80, 0x40);
    view.groups().setList({group(QStringLiteral("g"), {1, 4}, {}, ring.rgb())});
    const QImage shot = fixture::shot(view);
    for (int i = 0; i < data->nbImages; ++i) {
        const QPoint p = view.imagePosition(i);
        const QRect around(p.x() - 7, p.y() - 7, 15, 15);
        const bool member = i == 1 || i == 4;
        QCOMPARE(fixture::count(shot, around, ring) > 4, member);
    }
    view.groups().setVisible(0, false);
    QCOMPARE(fixture::count(fixture::shot(view), view.rect(), ring), 0);
}

void TestNamedGroup::hullHoldsEveryPoint_data()
{
    QTest::addColumn<QVector<QPointF>>("points");
    QTest::addColumn<QVector<QPointF>>("corners");
    QTest::newRow("square with inner points")
        << QVector<QPointF>{{0, 0}, {4, 0}, {1, 1}, {4, 4}, {2, 3}, {0, 4}, {2, 2}}
        << QVector<QPointF>{{0, 0}, {4, 0}, {4, 4}, {0, 4}};
    QTest::newRow("points on the edges, repeated")
        << QVector<QPointF>{{0, 0}, {2, 0}, {4, 0}, {4, 0}, {4, 2}, {4, 4}, {0, 4}, {0, 2}}
        << QVector<QPointF>{{0, 0}, {4, 0}, {4, 4}, {0, 4}};
    QTest::newRow("triangle") << QVector<QPointF>{{5, 1}, {-3, 2}, {0, -6}, {0, 0}}
                              << QVector<QPointF>{{5, 1}, {-3, 2}, {0, -6}};
    QTest::newRow("collinear") << QVector<QPointF>{{0, 0}, {1, 1}, {3, 3}, {2, 2}}
                               << QVector<QPointF>{{0, 0}, {3, 3}};
    QTest::newRow("two points") << QVector<QPointF>{{1, 2}, {3, 4}} << QVector<QPointF>{{1, 2}, {3, 4}};
}

// The outline's corners are exactly the extreme points, each once, in
// convex order: every point lies inside or on it.
void TestNamedGroup::hullHoldsEveryPoint()
{
    QFETCH(QVector<QPointF>, points);
    QFETCH(QVector<QPointF>, corners);
    const QPolygonF hull = NamedGroup::hull(points);
    QCOMPARE(hull.size(), corners.size());
    for (const QPointF &c : corners)
        QCOMPARE(hull.count(c), 1);
    if (hull.size() < 3)
        return;
    // Convex: every turn goes the same way; and no point is outside an edge.
    int sign = 0;
    for (qsizetype k = 0; k < hull.size(); ++k) {
        const QPointF a = hull[k], b = hull[(k + 1) % hull.size()];
        for (const QPointF &p : points) {
            const double side = (b.x() - a.x()) * (p.y() - a.y()) - (b.y() - a.y()) * (p.x() - a.x());
            if (side == 0)
                continue;
            const int s = side > 0 ? 1 : -1;
            if (sign == 0)
                sign = s;
            QCOMPARE(s, sign);
        }
    }
}

// A group drawn as an outline colours the map between its members (where
// rings leave it blank), on screen and in the exported figure, and keeps
// its way of being drawn through JSON.
void TestNamedGroup::outlineOnMapAndInExport()
{
    auto data = analysis();
    CAView view(0, 1, 2);
    fixture::resizeNow(view, 400, 300);
    view.imageThreshold = 0;
    view.wordThreshold = 0;
    view.setData(data.get());
    view.fitAll();
    const QColor colour(0x00, 0x80, 0x40);
    view.groups().setList({group(QStringLiteral("g"), {0, 2, 3}, {}, colour.rgb())});
    // Half-way along the outline's edge from image 0 to image 3.
    const QPoint a = view.imagePosition(0), b = view.imagePosition(3);
    const QPoint mid = (a + b) / 2;
    const QRect edge(mid.x() - 8, mid.y() - 8, 17, 17);
    QCOMPARE(fixture::count(fixture::shot(view), edge, colour), 0);
    view.groups().setOutline(0, true);
    QVERIFY(fixture::count(fixture::shot(view), edge, colour) > 4);
    const QImage exported = MapExporter(view).image(1);
    QVERIFY(fixture::count(exported, edge, colour) > 4);
    const QVector<NamedGroup> back = NamedGroup::listFromJson(NamedGroup::listToJson(view.groups().list()), 5, 3);
    QCOMPARE(back, view.groups().list());
    QVERIFY(back[0].outline);
}

QTEST_MAIN(TestNamedGroup)
#include "tst_namedgroup.moc"

// Exports of a map: the points as CSV read back field by field (quotes,
// commas and non-ASCII file names included), the selection alone, the map as
// SVG with one mark per drawn point and as PNG at 1x, 2x and 4x, and write
// failures that name the file and leave nothing behind.
#include "data/formats/atomicfile.h"
#include "data/model/cadata.h"
#include "document/camdichild.h"
#include "map/caview.h"
#include "map/mapexporter.h"
#include "map/pointexporter.h"

#include "tests/document/documentfixture.h"
#include "tests/filesizelimit.h"

#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

// RFC 4180 reader: quoted fields may hold commas, doubled quotes and line
// breaks; records end with CRLF.
QList<QStringList> parseCsv(const QByteArray &bytes, bool *wellFormed)
{
    const QString text = QString::fromUtf8(bytes);
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false, wasQuoted = false;
    *wellFormed = true;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
                    field += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"')) {
            if (!field.isEmpty())
                *wellFormed = false;
            quoted = wasQuoted = true;
        } else if (c == QLatin1Char(',')) {
            row << field;
            field.clear();
            wasQuoted = false;
        } else if (c == QLatin1Char('\r')) {
            if (i + 1 >= text.size() || text.at(i + 1) != QLatin1Char('\n'))
                *wellFormed = false;
        } else if (c == QLatin1Char('\n')) {
            row << field;
            rows << row;
            row.clear();
            field.clear();
            wasQuoted = false;
        } else {
            if (wasQuoted)
                *wellFormed = false;
            field += c;
        }
    }
    if (quoted || !field.isEmpty() || !row.isEmpty())
        *wellFormed = false;
    return rows;
}

// Marks of the SVG by stroke colour: each mark is one path element.
QMap<QString, int> pathsByStroke(const QByteArray &svg)
{
    QMap<QString, int> count;
    QXmlStreamReader xml(svg);
    QStringList strokes{QString()};
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            QString stroke = xml.attributes().value(QLatin1String("stroke")).toString();
            if (stroke.isEmpty())
                stroke = strokes.last();
            if (xml.name() == QLatin1String("path"))
                ++count[stroke];
            strokes << stroke;
        } else if (xml.isEndElement()) {
            strokes.removeLast();
        }
    }
    return count;
}

// The drawn images (words) at their canvas pixels.
std::vector<Point> drawnPoints(const CAView &v, bool images)
{
    std::vector<Point> out;
    const int n = images ? v.data->nbImages : v.data->nbWords;
    for (int i = 0; i < n; ++i) {
        if (!(images ? v.imageDrawn(i) : v.wordDrawn(i)))
            continue;
        int px, py;
        if (images)
            v.transform(v.getZ(i, v.axis1), v.getZ(i, v.axis2), px, py);
        else
            v.transform(v.getW(i, v.axis1), v.getW(i, v.axis2), px, py);
        out.emplace_back(px, py, i);
    }
    return out;
}

int shownOnMap(const std::vector<Point> &points, const CAView &v)
{
    int n = 0;
    for (const Point &p : points) {
        const double x = v.originX + v.panX + p.x, y = v.originY + v.panY + p.y;
        if (p.x > -8 && p.y > -8 && p.x < v.mapWidth + 8 && p.y < v.mapHeight + 8 && x > -3
            && y > -3 && x < v.width() + 3 && y < v.height() + 3)
            ++n;
    }
    return n;
}

} // namespace

class TestExports : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void pointsReadBack();
    void selectionOnly();
    void svgHasOneMarkPerDrawnPoint();
    void legendFollowsTheMap();
    void pngSizes();
    void writeFailures();

private:
    QTemporaryDir m_dir;
    QString m_project;
    QStringList m_names;
};

void TestExports::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // Category names with a comma, a quote and accents.
    DocumentFixture::Options options;
    options.categoriesName = QStringLiteral("classes.txt");
    options.categoriesText = QStringLiteral("100 Ciel, bleu\n101 \"Nuit\" \u00e9toil\u00e9e\n").toUtf8();
    m_project = DocumentFixture::writeProject(m_dir.filePath(QStringLiteral("p")), options);
    // File names a CSV must quote or carry as UTF-8 (an image list ends a
    // name at a blank, so there are none).
    QByteArray labels;
    for (int i = 0; i < 60; ++i) {
        QString name = DocumentFixture::imageFile(i);
        if (i % 3 == 0)
            name = QStringLiteral("a,b_%1.png").arg(i);
        else if (i % 3 == 1)
            name = QStringLiteral("say\"cheese\"_%1.jpg").arg(i);
        else
            name = QStringLiteral("\u00e9t\u00e9_\u6771\u4eac_%1.png").arg(i);
        m_names << name;
        labels += QByteArray::number(DocumentFixture::category(i)) + ' ' + name.toUtf8() + '\n';
    }
    QVERIFY(DocumentFixture::writeFile(m_dir.filePath(QStringLiteral("p/images.txt")), labels));
}

void TestExports::pointsReadBack()
{
    CAMdiChild w;
    w.resize(1000, 700);
    QVERIFY(w.loadFile(m_project));
    CAView &v = *w.caView;
    v.changeAxis(1, 2, 0);
    v.changeThreshold(6);
    const CAData &d = *w.data;

    bool ok = false;
    const QList<QStringList> rows = parseCsv(PointExporter::csv(v), &ok);
    QVERIFY(ok);
    QCOMPARE(rows.size(), 1 + d.nbImages + d.nbWords);
    const QStringList header = rows.first();
    QCOMPARE(header, PointExporter::header(v));
    QVERIFY(header.contains(QStringLiteral("quality axis 2")) && header.contains(QStringLiteral("contribution axis 3")));
    const int axis1Col = int(header.indexOf(QStringLiteral("axis 1")));
    const int massCol = int(header.indexOf(QStringLiteral("mass")));
    const int ctrCol = int(header.indexOf(QStringLiteral("contribution axis 2")));
    const int drawnCol = int(header.indexOf(QStringLiteral("drawn")));
    QSet<int> drawnImages;
    for (const Point &p : drawnPoints(v, true))
        drawnImages.insert(p.id);
    QVERIFY(!drawnImages.isEmpty() && drawnImages.size() < d.nbImages);

    for (int i = 0; i < d.nbImages; ++i) {
        const QStringList &r = rows.at(1 + i);
        QCOMPARE(r.size(), header.size());
        QCOMPARE(r[0], QStringLiteral("image"));
        QCOMPARE(r[1].toInt(), i);
        QCOMPARE(r[2], m_names.at(i));
        QCOMPARE(r[4].toInt(), DocumentFixture::category(i));
        const int category = DocumentFixture::category(i);
        QCOMPARE(r[5], category == 100   ? QStringLiteral("Ciel, bleu")
                       : category == 101 ? QStringLiteral("\"Nuit\" \u00e9toil\u00e9e")
                                         : QString());
        for (int a = 0; a < d.nbAxis; ++a)
            QCOMPARE(r[axis1Col + a].toDouble(), d.Z[qint64(i) * d.zCols + a]); // exact
        QCOMPARE(r[massCol].toDouble(), d.P[i]);
        const double z = d.Z[qint64(i) * d.zCols + 1];
        QCOMPARE(r[ctrCol].toDouble(), d.P[i] * z * z / d.lambda[1]);
        QCOMPARE(r[drawnCol], drawnImages.contains(i) ? QStringLiteral("yes") : QStringLiteral("no"));
    }
    for (int j = 0; j < d.nbWords; ++j) {
        const QStringList &r = rows.at(1 + d.nbImages + j);
        QCOMPARE(r.size(), header.size());
        QCOMPARE(r[0], QStringLiteral("word"));
        QCOMPARE(r[6].toInt(), d.wordLabel(j));
        QCOMPARE(r[axis1Col + 2].toDouble(), d.W[qint64(j) * d.wCols + 2]);
    }

    // Written atomically, and never over a file without being allowed to.
    const QString path = m_dir.filePath(QStringLiteral("points \u00e9.csv"));
    QString error;
    QVERIFY2(AtomicFile::write(path, PointExporter::csv(v), AtomicFile::KeepExisting, &error), qPrintable(error));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), PointExporter::csv(v));
}

void TestExports::selectionOnly()
{
    CAMdiChild w;
    QVERIFY(w.loadFile(m_project));
    const QVector<int> images{7, 3, 40};
    const QVector<int> words{59, 0};
    bool ok = false;
    const QList<QStringList> rows = parseCsv(PointExporter::csv(*w.caView, &images, &words), &ok);
    QVERIFY(ok);
    QCOMPARE(rows.size(), 1 + 3 + 2);
    QCOMPARE(rows[1][1], QStringLiteral("7"));
    QCOMPARE(rows[2][2], m_names.at(3));
    QCOMPARE(rows[3][1], QStringLiteral("40"));
    QCOMPARE(rows[4][0], QStringLiteral("word"));
    QCOMPARE(rows[4][1], QStringLiteral("59"));
    QCOMPARE(rows[5][1], QStringLiteral("0"));
}

void TestExports::svgHasOneMarkPerDrawnPoint()
{
    CAMdiChild w;
    w.resize(1200, 800);
    QVERIFY(w.loadFile(m_project));
    CAView &v = *w.caView;
    v.resize(700, 500);
    // Marks counted by colour: all images in the map's single default red.
    v.setCategoryColours(false);
    v.changeThreshold(0);
    // Part of the map lies beyond the window's right edge.
    v.panX = 300;
    v.panY = -25;
    const QString red = QColor(Qt::red).name();
    const QString blue = QColor(Qt::blue).name();

    // Every mark of the SVG is a point the map draws in its window, and
    // every such point has its mark.
    QMap<QString, int> marks;
    auto exportNow = [&] {
        const QByteArray svg = MapExporter(v).svg();
        marks = pathsByStroke(svg);
        return QSvgRenderer(svg).isValid() && svg.contains("Axis 1") && svg.contains("Axis 2")
            && marks.value(red) == shownOnMap(drawnPoints(v, true), v)
            && marks.value(blue) == shownOnMap(drawnPoints(v, false), v);
    };
    QVERIFY(exportNow());
    const QMap<QString, int> all = marks;
    QVERIFY(all.value(red) > 10 && all.value(blue) > 10);
    QVERIFY(all.value(red) < int(drawnPoints(v, true).size())
            || all.value(blue) < int(drawnPoints(v, false).size()));

    v.showHideWordPoint(false);
    QVERIFY(exportNow());
    QCOMPARE(marks.value(blue), 0);
    QCOMPARE(marks.value(red), all.value(red));
    v.showHideWordPoint(true);
    v.showHideImagePoint(false);
    QVERIFY(exportNow());
    QCOMPARE(marks.value(red), 0);
    QCOMPARE(marks.value(blue), all.value(blue));
    v.showHideImagePoint(true);

    v.changeThreshold(3);
    QVERIFY(exportNow());
    QVERIFY(marks.value(red) < all.value(red));

    // A legend, when there is one, names what the colours mean; its
    // swatches are not marks.
    {
        MapExporter withLegend(v);
        withLegend.setLegend({{QColor(0, 114, 178), QStringLiteral("Ciel, bleu")},
                              {QColor(230, 159, 0), QStringLiteral("\u00c9t\u00e9 <plage>")}});
        const QByteArray svg = withLegend.svg();
        QVERIFY(QSvgRenderer(svg).isValid());
        QVERIFY(svg.contains("Ciel, bleu"));
        QVERIFY(QString::fromUtf8(svg).contains(QStringLiteral("\u00c9t\u00e9 &lt;plage&gt;")));
        QVERIFY(svg.contains("#0072b2") && svg.contains("#e69f00"));
        QCOMPARE(pathsByStroke(svg), marks);
    }

    // The outline goes with the figure while it is drawn.
    v.setMode(CAView::ModeSelection);
    v.polygon = {QPointF(10, 10), QPointF(200, 15), QPointF(150, 180)};
    const QByteArray withOutline = MapExporter(v).svg();
    QVERIFY(withOutline.contains("polyline") || withOutline.contains("polygon")
            || pathsByStroke(withOutline).value(QColor(Qt::black).name()) > 0);
}

void TestExports::legendFollowsTheMap()
{
    CAMdiChild w;
    w.resize(1200, 800);
    QVERIFY(w.loadFile(m_project));
    CAView &v = *w.caView;
    v.resize(700, 500);
    v.changeThreshold(0);
    v.setCategoryColours(true);
    QVERIFY(v.categoryList().size() >= 2);
    const int first = v.categoryList().at(0);
    const QString firstName = w.data->categoryName(first);
    const QString secondName = w.data->categoryName(v.categoryList().at(1));
    QCOMPARE(firstName, QStringLiteral("Ciel, bleu"));

    // In colour, the figure names every category with the colour it is drawn in.
    QList<MapExporter::LegendEntry> legend = MapExporter::legendOf(v);
    QCOMPARE(legend.size(), v.categoryList().size());
    QCOMPARE(legend.at(0).text, firstName);
    QCOMPARE(legend.at(0).colour, CAView::categoryColour(0));
    QByteArray svg = MapExporter(v).svg();
    QVERIFY(svg.contains("Ciel, bleu"));

    // A category hidden on the map leaves the legend too.
    v.setCategoryHidden(first, true);
    legend = MapExporter::legendOf(v);
    QCOMPARE(legend.size(), v.categoryList().size() - 1);
    QCOMPARE(legend.at(0).text, secondName);
    svg = MapExporter(v).svg();
    QVERIFY(!svg.contains("Ciel, bleu"));

    // In the map's single default colour the colours name nothing.
    v.setCategoryColours(false);
    QVERIFY(MapExporter::legendOf(v).isEmpty());
}

void TestExports::pngSizes()
{
    CAMdiChild w;
    QVERIFY(w.loadFile(m_project));
    CAView &v = *w.caView;
    v.resize(320, 240);
    for (int factor : {1, 2, 4}) {
        const QString path = m_dir.filePath(QStringLiteral("map%1.png").arg(factor));
        QString error;
        QVERIFY2(MapExporter(v).writePng(path, factor, false, &error), qPrintable(error));
        const QImage image(path);
        QCOMPARE(image.size(), QSize(320 * factor, 240 * factor));
        // Something is drawn: the grey axes at least.
        QVERIFY(image.pixelColor(image.width() - 2, (v.originY + v.panY + 750) * factor) != QColor(Qt::white));
    }
}

void TestExports::writeFailures()
{
    CAMdiChild w;
    QVERIFY(w.loadFile(m_project));
    const MapExporter exporter(*w.caView);
    QString error;

    // An existing file is kept unless replacing was allowed.
    const QString existing = m_dir.filePath(QStringLiteral("existing.svg"));
    QVERIFY(DocumentFixture::writeFile(existing, "keep me"));
    QVERIFY(!exporter.writeSvg(existing, false, &error));
    QVERIFY2(error.contains(existing) && error.contains(QStringLiteral("already exists")), qPrintable(error));
    QFile kept(existing);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("keep me"));
    kept.close();
    QVERIFY2(exporter.writeSvg(existing, true, &error), qPrintable(error));

    // Nothing can be created under a plain file, whoever runs the test.
    const QString plain = m_dir.filePath(QStringLiteral("plain"));
    QVERIFY(DocumentFixture::writeFile(plain, "x"));
    QVERIFY(!exporter.writePng(plain + QStringLiteral("/map.png"), 1, false, &error));
    QVERIFY2(error.startsWith(QStringLiteral("Cannot write '%1/map.png': ").arg(plain)), qPrintable(error));
    QVERIFY(!AtomicFile::write(plain + QStringLiteral("/p.csv"), "a\r\n", AtomicFile::ReplaceExisting, &error));
    QVERIFY2(error.contains(plain + QStringLiteral("/p.csv")), qPrintable(error));

    // A full disk: no file may grow past 64 bytes. The reason is named and
    // neither the export nor its temporary file is left behind.
    {
        const QString full = m_dir.filePath(QStringLiteral("full"));
        QVERIFY(QDir().mkpath(full));
        bool written = true;
        {
            const FileSizeLimit limit(64);
            QVERIFY(limit.isSet());
            written = exporter.writeSvg(full + QStringLiteral("/map.svg"), false, &error);
        }
        QVERIFY(!written);
        QVERIFY2(error.contains(full + QStringLiteral("/map.svg"))
                     && error.contains(QString::fromLocal8Bit(std::strerror(EFBIG))),
                 qPrintable(error));
        QVERIFY(QDir(full).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    }

    // A read-only folder stops everyone but the superuser.
    if (::geteuid() != 0) {
        const QString locked = m_dir.filePath(QStringLiteral("locked"));
        QVERIFY(QDir().mkpath(locked));
        QVERIFY(QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        const bool written = exporter.writeSvg(locked + QStringLiteral("/map.svg"), false, &error);
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QVERIFY(!written);
        QVERIFY2(error.contains(locked + QStringLiteral("/map.svg"))
                     && error.contains(QString::fromLocal8Bit(std::strerror(EACCES))),
                 qPrintable(error));
        QVERIFY(QDir(locked).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    }
}

QTEST_MAIN(TestExports)
#include "tst_exports.moc"

#include "tools/democollection.h"

#include "tools/indexer.h"

#include <QColor>
#include <QDir>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <atomic>
#include <cmath>
#include <mutex>
#include <vector>

const QStringList DemoCollection::kinds = {"stripes", "checkerboards", "dots",
                                           "rings",   "stars",         "blotches"};

namespace {

// A light and a dark colour of random hues. The keypoints are found on grey
// levels, so the two must differ in brightness, not only in hue. Each kind
// keeps one polarity (dark on light or light on dark): SIFT tells the two
// apart, and a kind drawn both ways would split into two clusters.
void pickColours(QColor &background, QColor &foreground, bool lightOnDark, std::mt19937 &engine)
{
    auto u = [&engine] { return engine() / 4294967296.0; };
    auto luma = [](const QColor &c) { return 0.299 * c.redF() + 0.587 * c.greenF() + 0.114 * c.blueF(); };
    QColor light, dark;
    do {
        light = QColor::fromHsvF(float(u()), float(0.2 + 0.6 * u()), float(0.8 + 0.2 * u()));
        dark = QColor::fromHsvF(float(u()), float(0.3 + 0.7 * u()), float(0.1 + 0.25 * u()));
    } while (luma(light) - luma(dark) < 0.35);
    background = lightOnDark ? dark : light;
    foreground = lightOnDark ? light : dark;
}

} // namespace

DemoCollection::DemoCollection(int perKind, int size, quint32 seed)
    : perKind(perKind), size(size), seed(seed)
{
}

QString DemoCollection::relativePath(int i) const
{
    const int kind = i / perKind;
    return QStringLiteral("%1-%2/%2-%3.png")
        .arg(kind + 1).arg(kinds[kind]).arg(i % perKind, 3, 10, QLatin1Char('0'));
}

QImage DemoCollection::draw(int i) const
{
    // One stream per image, so images do not depend on the drawing order.
    Random random(seed * 2654435761u + quint32(i) * 40503u + 1u);
    QImage image(size, size, QImage::Format_RGB32);
    switch (i / perKind) {
    case 0: drawStripes(image, random); break;
    case 1: drawCheckerboard(image, random); break;
    case 2: drawDots(image, random); break;
    case 3: drawRings(image, random); break;
    case 4: drawStars(image, random); break;
    default: drawBlotches(image, random); break;
    }
    return image;
}

void DemoCollection::drawStripes(QImage &image, Random &random) const
{
    QColor bg, fg;
    pickColours(bg, fg, false, random.engine);
    image.fill(bg);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // A patch of parallel bars, so that the bars have ends.
    const double s = size;
    QPainterPath patch;
    patch.addEllipse(QPointF(random.uniform(0.35, 0.65) * s, random.uniform(0.35, 0.65) * s),
                     random.uniform(0.3, 0.45) * s, random.uniform(0.3, 0.45) * s);
    p.setClipPath(patch);
    p.translate(s / 2, s / 2);
    p.rotate(random.uniform(0, 180));
    const double width = random.uniform(3, 7);
    const double period = width * random.uniform(2.0, 3.0);
    p.setPen(Qt::NoPen);
    p.setBrush(fg);
    for (double x = -s; x < s; x += period)
        p.drawRect(QRectF(x, -s, width, 2 * s));
}

void DemoCollection::drawCheckerboard(QImage &image, Random &random) const
{
    QColor bg, fg;
    pickColours(bg, fg, false, random.engine);
    image.fill(bg);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size;
    p.translate(random.uniform(0.3, 0.7) * s, random.uniform(0.3, 0.7) * s);
    p.rotate(random.uniform(0, 90));
    const double cell = random.uniform(12, 30);
    p.setPen(Qt::NoPen);
    p.setBrush(fg);
    const int n = int(std::ceil(1.5 * s / cell));
    for (int r = -n; r < n; ++r)
        for (int c = -n; c < n; ++c)
            if ((r + c) % 2 == 0)
                p.drawRect(QRectF(c * cell, r * cell, cell, cell));
}

void DemoCollection::drawDots(QImage &image, Random &random) const
{
    QColor bg, fg;
    pickColours(bg, fg, true, random.engine);
    image.fill(bg);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(fg);
    const double radius = random.uniform(2.5, 5);
    const int n = random.integer(60, 140);
    for (int k = 0; k < n; ++k) {
        const double r = radius * random.uniform(0.8, 1.25);
        p.drawEllipse(QPointF(random.uniform(r, size - r), random.uniform(r, size - r)), r, r);
    }
}

void DemoCollection::drawRings(QImage &image, Random &random) const
{
    QColor bg, fg;
    pickColours(bg, fg, false, random.engine);
    image.fill(bg);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(Qt::NoBrush);
    const double width = random.uniform(3, 7);
    p.setPen(QPen(fg, width));
    const int centres = random.integer(1, 2);
    for (int c = 0; c < centres; ++c) {
        const QPointF centre(random.uniform(0.2, 0.8) * size, random.uniform(0.2, 0.8) * size);
        const double gap = width * random.uniform(2.2, 3.2);
        const double outer = random.uniform(0.3, 0.6) * size;
        // Each ring open at a random place: perfect circles give SIFT no
        // corner to hold on to.
        for (double r = gap; r < outer; r += gap) {
            const double open = random.uniform(20, 60);
            const double start = random.uniform(0, 360);
            p.drawArc(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r), int(start * 16),
                      int((360 - open) * 16));
        }
    }
}

void DemoCollection::drawStars(QImage &image, Random &random) const
{
    QColor bg, fg;
    pickColours(bg, fg, true, random.engine);
    image.fill(bg);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(fg);
    const int n = random.integer(3, 6);
    for (int k = 0; k < n; ++k) {
        const int points = random.integer(5, 8);
        const double outer = random.uniform(22, 50);
        const double inner = outer * random.uniform(0.25, 0.35);
        const QPointF centre(random.uniform(outer, size - outer), random.uniform(outer, size - outer));
        const double turn = random.uniform(0, 2 * M_PI);
        QPolygonF star;
        for (int v = 0; v < 2 * points; ++v) {
            const double a = turn + v * M_PI / points;
            const double r = (v % 2) ? inner : outer;
            star << centre + QPointF(r * std::cos(a), r * std::sin(a));
        }
        p.drawPolygon(star);
    }
}

void DemoCollection::drawBlotches(QImage &image, Random &random) const
{
    QColor bg, fg;
    pickColours(bg, fg, false, random.engine);
    // A sum of soft Gaussian blobs, thresholded softly into two colours.
    struct Blob { double x, y, inv2s2, weight; };
    std::vector<Blob> blobs;
    const int n = random.integer(40, 70);
    for (int k = 0; k < n; ++k) {
        const double sigma = random.uniform(5, 14);
        blobs.push_back({random.uniform(0, size), random.uniform(0, size),
                         1.0 / (2 * sigma * sigma), random.uniform(-1, 1)});
    }
    for (int y = 0; y < size; ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < size; ++x) {
            double v = 0;
            for (const Blob &b : blobs) {
                const double dx = x - b.x, dy = y - b.y;
                v += b.weight * std::exp(-(dx * dx + dy * dy) * b.inv2s2);
            }
            const double t = 1.0 / (1.0 + std::exp(-10.0 * v)); // 0..1
            line[x] = qRgb(int(bg.red() + t * (fg.red() - bg.red())),
                           int(bg.green() + t * (fg.green() - bg.green())),
                           int(bg.blue() + t * (fg.blue() - bg.blue())));
        }
    }
}

QVector<ImageEntry> DemoCollection::entries(const QString &folder) const
{
    QVector<ImageEntry> list;
    const QDir dir(QDir(folder).absolutePath());
    for (int i = 0; i < count(); ++i)
        list.append(ImageEntry{i / perKind + 1, QDir::cleanPath(dir.filePath(relativePath(i)))});
    return list;
}

QStringList DemoCollection::categoryNames() const
{
    QStringList names{QStringLiteral(".")};
    for (int k = 0; k < kinds.size(); ++k)
        names.append(QFileInfo(relativePath(k * perKind)).path());
    return names;
}

bool DemoCollection::write(const QString &folder, int jobs, QString *error) const
{
    const QDir dir(folder);
    for (int k = 0; k < kinds.size(); ++k) {
        const QString sub = QFileInfo(dir.filePath(relativePath(k * perKind))).path();
        if (!QDir().mkpath(sub)) {
            *error = QStringLiteral("cannot create the folder '%1'").arg(sub);
            return false;
        }
    }
    std::mutex mutex;
    QString firstError;
    Indexer::parallelFor(count(), jobs, nullptr, [&](int i, int) {
        const QString path = dir.filePath(relativePath(i));
        if (!draw(i).save(path, "PNG")) {
            std::lock_guard<std::mutex> lock(mutex);
            if (firstError.isEmpty())
                firstError = QStringLiteral("cannot write '%1'").arg(path);
        }
    });
    if (!firstError.isEmpty()) {
        *error = firstError;
        return false;
    }
    return true;
}

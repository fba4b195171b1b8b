#ifndef DEMOCOLLECTION_H
#define DEMOCOLLECTION_H

#include "tools/imageentry.h"

#include <QImage>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cstdint>
#include <random>

// A small synthetic image collection for trying the viewer: six kinds of
// pattern (stripes, checkerboards, dots, rings, stars, blotches), each a
// category, drawn with colours, scales, angles and positions from a fixed
// seed, so that every run draws the very same images.
class DemoCollection
{
public:
    static const QStringList kinds;

    explicit DemoCollection(int perKind = 50, int size = 256, quint32 seed = 2026);

    int count() const { return perKind * int(kinds.size()); }
    // Image i is of kind i / perKind.
    QImage draw(int i) const;
    // "3-dots/dots-017.png": the kind's folder sorts in category order.
    QString relativePath(int i) const;

    // Draws every image into `folder` (on `jobs` threads).
    bool write(const QString &folder, int jobs, QString *error) const;
    // The images write() draws, with their categories (kind + 1), whatever
    // else the folder holds.
    QVector<ImageEntry> entries(const QString &folder) const;
    // The category names a scan of the written folder gives ("." first, for
    // images directly in it, then one folder name per kind).
    QStringList categoryNames() const;

    int perKind;
    int size;
    quint32 seed;

private:
    // mt19937 is the same everywhere; the conversions below avoid the
    // standard distributions, whose results differ between libraries.
    struct Random
    {
        explicit Random(quint32 seed) : engine(seed) {}
        double uniform(double lo, double hi) { return lo + (hi - lo) * (engine() / 4294967296.0); }
        int integer(int lo, int hi) { return lo + int(uniform(0, hi - lo + 1)); }
        std::mt19937 engine;
    };

    void drawStripes(QImage &image, Random &random) const;
    void drawCheckerboard(QImage &image, Random &random) const;
    void drawDots(QImage &image, Random &random) const;
    void drawRings(QImage &image, Random &random) const;
    void drawStars(QImage &image, Random &random) const;
    void drawBlotches(QImage &image, Random &random) const;
};

#endif // DEMOCOLLECTION_H

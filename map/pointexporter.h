#ifndef POINTEXPORTER_H
#define POINTEXPORTER_H

#include <QByteArray>
#include <QStringList>
#include <QVector>

class CAView;

// The images and words of a map as a table for further work (R, pandas, a
// spreadsheet): one row per point with its file name or vocabulary number,
// category, coordinates on every axis in use, mass, and quality (cos²) and
// contribution on the two axes shown, whether the map draws it, and the
// named groups it belongs to.
class PointExporter
{
public:
    // Every image and word; or, with `images` and `words`, only those (and
    // the supplementary images `sups`, when given).
    static QByteArray csv(const CAView &view, const QVector<int> *images = nullptr,
                          const QVector<int> *words = nullptr, const QVector<int> *sups = nullptr);
    static QStringList header(const CAView &view);
};

#endif // POINTEXPORTER_H

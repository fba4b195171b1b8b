#ifndef POINTFAMILY_H
#define POINTFAMILY_H

#include "map/markshape.h"

#include <QColor>
#include <QString>
#include <QStringList>

class CAData;

// What sets one kind of map point apart from another: where its rows are in
// the analysis, how it is drawn, whether the contribution threshold applies,
// and how the card and the point table describe one of them. Everything else
// (drawing, the point index, hit tests, selection) is PointLayer's, shared by
// every family; a new kind of point is a new description, not new code paths.
struct PointFamily
{
    // Row count, stored coordinates (row i, `cols` values) and masses.
    int (*count)(const CAData &data) = nullptr;
    const double *(*row)(const CAData &data, int i) = nullptr;
    double (*mass)(const CAData &data, int i) = nullptr;
    // Whether the loader found point i's values usable (finite coordinates,
    // a positive mass); an unusable point is never drawn nor selected.
    bool (*usable)(const CAData &data, int i) = nullptr;
    // Category number of point i, or -1 when the family has none.
    int (*category)(const CAData &data, int i) = nullptr;

    // The projection mode in which the coordinates are multiplied by the
    // square root of the eigenvalue (images: 2, rows as barycenters; words:
    // 1, columns as barycenters).
    int rescaledInMode = 0;
    MarkShape::Kind mark = MarkShape::Cross;
    // Colour while the points are not coloured by category.
    QColor colour;
    // Whether the contribution threshold filters the points (a family that
    // took no part in the analysis has no contribution to its axes).
    bool thresholded = true;
    // Whether category colours and hidden categories apply.
    bool byCategory = false;

    // The "kind" column of the point table.
    QString kind;
    // Card: the title line and the start of the second line (the number of
    // topics follows it).
    QString (*cardTitle)(const CAData &data, int i) = nullptr;
    QString (*cardTopicsPrefix)(const CAData &data, int i) = nullptr;
    // Point table: file, path, category, category name and word columns.
    QStringList (*tableFields)(const CAData &data, int i) = nullptr;

    // The two families of every analysis.
    static const PointFamily &images();
    static const PointFamily &words();
    // Images placed on the axes without taking part in them (none in most
    // analyses).
    static const PointFamily &supplementaryImages();
};

#endif // POINTFAMILY_H

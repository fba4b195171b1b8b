#ifndef AXISTABLE_H
#define AXISTABLE_H

#include "data/statistics/axisdescription.h"

#include <QByteArray>
#include <QStringList>
#include <QVector>

class CAData;

// The description of several axes as one table, pole by pole (- then +),
// the words of a pole before its images: what the Axes dock lists and what
// its CSV and the command line write.
class AxisTable
{
public:
    struct Row {
        int axis = 0; // from 0
        int pole = -1; // -1 or +1
        AxisDescription::Point point;
    };

    // The top `n` words and images of each pole of each axis in `axes`.
    static QVector<Row> rows(const AxisDescription &description, const QVector<int> &axes, int n);
    // axis,pole,kind,index,label,coordinate,contribution,cos2
    static QStringList header();
    // The file name of an image, the vocabulary number of a word.
    static QString label(const CAData &data, int family, int index);
    // The rows as CSV under header(); axes counted from 1 as on the map,
    // contributions as fractions of the axis's inertia.
    static QByteArray csv(const CAData &data, const QVector<Row> &rows);
};

#endif // AXISTABLE_H

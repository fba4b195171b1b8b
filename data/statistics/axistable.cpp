#include "data/statistics/axistable.h"

#include "data/model/cadata.h"
#include "data/formats/csvwriter.h"

QVector<AxisTable::Row> AxisTable::rows(const AxisDescription &description, const QVector<int> &axes, int n)
{
    QVector<Row> out;
    for (int axis : axes)
        for (int pole : {-1, +1})
            for (int family : {int(AxisDescription::Words), int(AxisDescription::Images)})
                for (const AxisDescription::Point &p : description.top(family, axis, pole, n))
                    out.append(Row{axis, pole, p});
    return out;
}

QStringList AxisTable::header()
{
    return {QStringLiteral("axis"), QStringLiteral("pole"), QStringLiteral("kind"), QStringLiteral("index"),
            QStringLiteral("label"), QStringLiteral("coordinate"), QStringLiteral("contribution"),
            QStringLiteral("cos2")};
}

QString AxisTable::label(const CAData &data, int family, int index)
{
    if (family == AxisDescription::Words)
        return QString::number(data.wordLabel(index));
    return data.labels ? data.labels[std::size_t(index)].imageFile : QString();
}

QByteArray AxisTable::csv(const CAData &data, const QVector<Row> &rows)
{
    CsvWriter w;
    w.addRow(header());
    for (const Row &r : rows) {
        const AxisDescription::Point &p = r.point;
        w.addRow({QString::number(r.axis + 1), r.pole < 0 ? QStringLiteral("-") : QStringLiteral("+"),
                  p.family == AxisDescription::Words ? QStringLiteral("word") : QStringLiteral("image"),
                  QString::number(p.index), label(data, p.family, p.index), CsvWriter::number(p.coordinate),
                  CsvWriter::number(p.contribution), CsvWriter::number(p.cos2)});
    }
    return w.bytes();
}

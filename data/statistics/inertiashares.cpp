#include "data/statistics/inertiashares.h"

#include "data/model/cadata.h"

#include <cmath>

bool InertiaShares::ofTotal(const CAData &data)
{
    return std::isfinite(data.totalInertia) && data.totalInertia > 0;
}

double InertiaShares::share(const CAData &data, int axis)
{
    if (axis < 0 || axis >= data.nbLambda || !data.lambda)
        return 0;
    double whole = 0;
    if (ofTotal(data)) {
        whole = data.totalInertia;
    } else {
        for (int a = 0; a < data.nbLambda; ++a)
            whole += data.lambda[a];
    }
    const double l = data.lambda[axis];
    return whole > 0 && std::isfinite(whole) && std::isfinite(l) ? l / whole : 0;
}

QString InertiaShares::basis(const CAData &data)
{
    if (ofTotal(data))
        return QString();
    return QStringLiteral("of the %1 axes computed").arg(data.nbLambda);
}

QString InertiaShares::percent(double share)
{
    return QStringLiteral("%1 %").arg(100 * share, 0, 'f', 1);
}

QString InertiaShares::axisTitle(const CAData &data, int axis)
{
    QString title = QStringLiteral("Axis %1 \u00B7 %2").arg(axis + 1).arg(percent(share(data, axis)));
    const QString of = basis(data);
    if (!of.isEmpty())
        title += QLatin1Char(' ') + of;
    return title;
}

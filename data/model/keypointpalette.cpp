#include "data/model/keypointpalette.h"

QList<QColor> KeypointPalette::defaults()
{
    return {QColor(Qt::red),  QColor(Qt::yellow), QColor(Qt::green),
            QColor(Qt::cyan), QColor(Qt::blue),   QColor(Qt::magenta)};
}

QList<QColor> KeypointPalette::ramp(int n)
{
    QList<QColor> colours;
    if (n < 2)
        return defaults();
    colours.reserve(n);
    for (int i = 0; i < n; ++i) {
        const double t = double(i) / (n - 1);
        if (t < 0.2)
            colours << QColor(255, qRound(t / 0.2 * 255), 0);
        else if (t < 0.4)
            colours << QColor(qRound((0.4 - t) / 0.2 * 255), 255, 0);
        else if (t < 0.6)
            colours << QColor(0, 255, qRound((t - 0.4) / 0.2 * 255));
        else if (t < 0.8)
            colours << QColor(0, qRound((0.8 - t) / 0.2 * 255), 255);
        else
            colours << QColor(qRound((t - 0.8) / 0.2 * 255), 0, 255);
    }
    return colours;
}

QColor KeypointPalette::colour(const QList<QColor> &palette, int word)
{
    if (palette.isEmpty())
        return QColor(Qt::red);
    const int n = int(palette.size());
    const int i = word % n;
    return palette.at(i < 0 ? i + n : i);
}

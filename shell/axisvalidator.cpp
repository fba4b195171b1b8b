#include "shell/axisvalidator.h"

AxisValidator::AxisValidator(QObject *parent) : QIntValidator(parent) {}

QValidator::State AxisValidator::validate(QString &input, int &) const
{
    const QString text = input.trimmed();
    if (text.isEmpty())
        return Intermediate;
    for (const QChar c : text)
        if (!c.isDigit())
            return Invalid;
    if (text.startsWith(QLatin1Char('0')))
        return Invalid;
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    if (!ok || value > top())
        return Invalid;
    return value >= bottom() ? Acceptable : Intermediate;
}

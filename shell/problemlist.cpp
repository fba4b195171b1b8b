#include "shell/problemlist.h"

#include <QLocale>
#include <QMessageBox>

#include <algorithm>

QString ProblemList::count(qint64 n)
{
    // Message boxes are not translated; their figures read the same way.
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(n);
}

ProblemList::Text ProblemList::summarise(const QString &heading, const QStringList &lines)
{
    Text out;
    const int n = int(lines.size());
    out.text = heading;
    const int shown = n > ShownLines + 1 ? ShownLines : n;
    for (int i = 0; i < shown; ++i)
        out.text += QLatin1Char('\n') + lines.at(i);
    if (shown == n)
        return out;
    out.text += QStringLiteral("\n%1 more (see the details).").arg(count(n - shown));
    const int detailed = std::min(n, DetailedLines);
    QStringList details = lines.mid(0, detailed);
    if (detailed < n)
        details << QStringLiteral("... and %1 more.").arg(count(n - detailed));
    out.details = details.join(QLatin1Char('\n'));
    return out;
}

void ProblemList::warn(QWidget *parent, const QString &heading, const QStringList &lines)
{
    const Text t = summarise(heading, lines);
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Ortelis"), t.text, QMessageBox::Ok, parent);
    if (!t.details.isEmpty())
        box.setDetailedText(t.details);
    box.exec();
}

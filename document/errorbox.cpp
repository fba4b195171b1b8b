#include "document/errorbox.h"

#include "data/model/console.h"

#include <QMessageBox>

namespace ErrorBox {

namespace {
// Lines shown in the box itself; the rest are behind "Show Details...".
constexpr int kShownLines = 6;
}

QString reasonText(quint64 mark, const QString &reason)
{
    QStringList lines = Console::errorsSince(mark, 40);
    if (!reason.isEmpty())
        lines.append(reason);
    return lines.join(QLatin1Char('\n'));
}

void critical(QWidget *parent, const QString &title, const QString &text, quint64 mark,
              const QString &reason)
{
    QStringList lines = Console::errorsSince(mark, 40);
    if (!reason.isEmpty())
        lines.append(reason);
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok, parent);
    if (!lines.isEmpty()) {
        box.setInformativeText(lines.mid(0, kShownLines).join(QLatin1Char('\n')));
        if (lines.size() > kShownLines)
            box.setDetailedText(lines.join(QLatin1Char('\n')));
    }
    box.exec();
}

} // namespace ErrorBox

#ifndef ERRORBOX_H
#define ERRORBOX_H

#include <QString>
#include <QStringList>

class QWidget;

// Critical message boxes that say why: the box keeps its own short text and
// shows the reason as its informative text, the error lines the console
// received since `mark` (Console::errorMark()) followed by `reason`, so the
// user reads in the box what the console printed (file and problem).
namespace ErrorBox {

// The informative text such a box shows (empty when there is no reason).
QString reasonText(quint64 mark, const QString &reason = QString());

void critical(QWidget *parent, const QString &title, const QString &text, quint64 mark,
              const QString &reason = QString());

} // namespace ErrorBox

#endif // ERRORBOX_H

#ifndef MODALCLOSER_H
#define MODALCLOSER_H

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

class QWidget;

// Armed before a call that may open modal boxes or file dialogs: it notes each
// one that becomes the active modal widget (class, title, text, parent) and
// closes it: message boxes with their OK button, file dialogs by choosing
// `fileToChoose`, or by cancelling when that is empty.
class ModalCloser : public QObject
{
    Q_OBJECT

public:
    struct Seen
    {
        QString className;
        QString title;
        QString text;
        QString informative; // a message box's informative text
        QWidget *parent = nullptr;
        QString directory; // where a file dialog opened
    };

    explicit ModalCloser(const QString &fileToChoose = QString());

    QList<Seen> seen;

private:
    void poll();

    QTimer m_timer;
    QString m_file;
};

#endif // MODALCLOSER_H

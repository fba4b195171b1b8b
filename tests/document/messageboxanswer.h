#ifndef MESSAGEBOXANSWER_H
#define MESSAGEBOXANSWER_H

#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>

// While alive, answers every message box that becomes the active modal
// widget with `button` (or rejects it when it has no such button), keeping
// the texts it saw in order.
class MessageBoxAnswer : public QObject
{
public:
    explicit MessageBoxAnswer(QMessageBox::StandardButton button);

    QStringList texts;

private:
    void poll();

    QMessageBox::StandardButton m_button;
    QTimer m_timer;
};

#endif // MESSAGEBOXANSWER_H

#include "messageboxanswer.h"

#include <QAbstractButton>
#include <QApplication>

MessageBoxAnswer::MessageBoxAnswer(QMessageBox::StandardButton button) : m_button(button)
{
    connect(&m_timer, &QTimer::timeout, this, &MessageBoxAnswer::poll);
    m_timer.start(5);
}

void MessageBoxAnswer::poll()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box)
        return;
    texts << box->text();
    if (QAbstractButton *b = box->button(m_button))
        b->click();
    else
        box->reject();
}

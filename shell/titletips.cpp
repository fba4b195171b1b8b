#include "shell/titletips.h"

#include <QHelpEvent>
#include <QMdiSubWindow>
#include <QToolTip>

TitleTips::TitleTips(QObject *parent) : QObject(parent) {}

void TitleTips::watch(QWidget *frame, const QString &text)
{
    if (!m_texts.contains(frame)) {
        frame->installEventFilter(this);
        connect(frame, &QObject::destroyed, this, [this](QObject *gone) { m_texts.remove(gone); });
    }
    m_texts.insert(frame, text);
}

bool TitleTips::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *frame = qobject_cast<QMdiSubWindow *>(watched);
        auto *help = static_cast<QHelpEvent *>(event);
        // Above the document: the title bar.
        if (frame && frame->widget() && help->pos().y() < frame->widget()->geometry().top()) {
            QToolTip::showText(help->globalPos(), m_texts.value(watched), frame);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

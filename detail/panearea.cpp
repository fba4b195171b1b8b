#include "detail/panearea.h"

#include <QLabel>
#include <QResizeEvent>

PaneArea::PaneArea(const QString &title, const QString &explanation, QWidget *parent)
    : QScrollArea(parent), m_title(new QLabel(title, this))
{
    m_title->setToolTip(explanation);
    m_title->setMargin(3);
    m_title->setAutoFillBackground(true);
    m_title->setBackgroundRole(QPalette::Window);
    QFont bold = m_title->font();
    bold.setBold(true);
    m_title->setFont(bold);
    // The strip sits in the frame's top margin, outside the scrolled grid.
    setViewportMargins(0, m_title->sizeHint().height(), 0, 0);
}

QString PaneArea::title() const
{
    return m_title->text();
}

void PaneArea::resizeEvent(QResizeEvent *event)
{
    QScrollArea::resizeEvent(event);
    const QRect inner = contentsRect();
    m_title->setGeometry(inner.x(), inner.y(), inner.width(), m_title->sizeHint().height());
}

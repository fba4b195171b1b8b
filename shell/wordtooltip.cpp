#include "shell/wordtooltip.h"

#include "data/model/cadata.h"
#include "data/formats/wordatlas.h"
#include "map/caview.h"
#include "shell/atlasstore.h"

#include <QBuffer>
#include <QHelpEvent>
#include <QLabel>
#include <QScreen>
#include <QToolTip>

#include <algorithm>
#include <vector>

WordToolTip::WordToolTip(AtlasStore *atlases, QObject *parent) : QObject(parent), m_atlases(atlases) {}

WordToolTip::~WordToolTip() = default;

void WordToolTip::setView(CAView *view)
{
    if (view == m_view)
        return;
    if (m_view)
        m_view->removeEventFilter(this);
    m_view = view;
    if (view)
        view->installEventFilter(this);
}

QString WordToolTip::text(int word)
{
    if (!m_view || !m_view->data)
        return QString();
    const int label = m_view->data->wordLabel(word);
    const WordAtlas *a = m_atlases->atlas(m_view->data);
    const QImage mosaic = a ? a->mosaic(label) : QImage();
    if (mosaic.isNull())
        return QString();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    mosaic.save(&buffer, "PNG");
    return tr("<p>Word #%1</p><img src=\"data:image/png;base64,%2\"/><p>Exemplar patches from several images</p>")
        .arg(label)
        .arg(QString::fromLatin1(png.toBase64()));
}

bool WordToolTip::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::ToolTip || watched != m_view || !m_view->data || !m_view->showWordPoint)
        return QObject::eventFilter(watched, event);
    auto *help = static_cast<QHelpEvent *>(event);
    const QPointF canvas = m_view->mapTransform().canvasFromWidget(help->pos());
    std::vector<int> words;
    m_view->findWords(words, canvas.x(), canvas.y(), 4);
    const QString tip = words.empty() ? QString() : text(words.front());
    if (tip.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
    } else {
        QPoint at = help->globalPos();
        const bool card = m_view->showInfo
                          && (m_view->focusOnImage ? m_view->focusImage >= 0 : m_view->focusWord >= 0);
        if (card) {
            // The size the tooltip will have: its label, laid out the same.
            QLabel probe;
            probe.setText(tip);
            const QSize size = probe.sizeHint() + QSize(12, 12);
            const QScreen *screen = m_view->screen();
            const QRect bounds = screen ? QRect(m_view->mapFromGlobal(screen->availableGeometry().topLeft()),
                                                screen->availableGeometry().size())
                                        : m_view->rect();
            const QPoint cursor(m_view->cursorX, m_view->cursorY);
            const QPoint topLeft = placeBeside(cardAt(cursor, m_view->size()), size, help->pos(), bounds);
            // The toolkit puts a tooltip a little below and right of the
            // point it is given.
            at = m_view->mapToGlobal(topLeft) - QPoint(2, 16);
        }
        QToolTip::showText(at, tip, m_view);
    }
    return true;
}

QRect WordToolTip::cardAt(const QPoint &cursor, const QSize &view)
{
    // The card's size and its flips, as the map paints it.
    constexpr int width = 300, height = 350;
    const bool flipX = cursor.x() + width > view.width() && cursor.x() > view.width() / 2;
    const bool flipY = cursor.y() + height > view.height() && cursor.y() > view.height() / 2;
    return QRect(flipX ? cursor.x() - width : cursor.x(), flipY ? cursor.y() - height : cursor.y(), width, height);
}

QPoint WordToolTip::placeBeside(const QRect &card, const QSize &tip, const QPoint &cursor, const QRect &bounds)
{
    if (card.isEmpty())
        return cursor;
    const int gap = 6;
    // Beside the card's right or left side, then under or over it.
    const QPoint candidates[] = {
        QPoint(card.right() + 1 + gap, cursor.y()),
        QPoint(card.left() - gap - tip.width(), cursor.y()),
        QPoint(cursor.x(), card.bottom() + 1 + gap),
        QPoint(cursor.x(), card.top() - gap - tip.height()),
    };
    for (int k = 0; k < 4; ++k) {
        QRect r(candidates[k], tip);
        // Slid along the side it is on to stay inside the bounds.
        if (k < 2) {
            r.moveTop(std::clamp(r.top(), bounds.top(), std::max(bounds.top(), bounds.bottom() + 1 - r.height())));
        } else {
            r.moveLeft(std::clamp(r.left(), bounds.left(), std::max(bounds.left(), bounds.right() + 1 - r.width())));
        }
        if (bounds.contains(r) && !r.intersects(card))
            return r.topLeft();
    }
    return cursor;
}

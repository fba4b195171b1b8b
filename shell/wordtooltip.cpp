#include "shell/wordtooltip.h"

#include "data/cadata.h"
#include "data/wordatlas.h"
#include "map/caview.h"
#include "shell/atlasstore.h"

#include <QBuffer>
#include <QHelpEvent>
#include <QToolTip>

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
        QToolTip::showText(help->globalPos(), tip, m_view);
    }
    return true;
}

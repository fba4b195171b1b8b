#include "detail/thumbnailpane.h"

#include "data/model/cadata.h"
#include "data/model/keypointpalette.h"
#include "detail/imagewindow.h"

#include <QDir>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>

ThumbnailPane::ThumbnailPane(int edge, int cols, QWidget *parent)
    : QWidget(parent), cellWidth(edge), columns(cols)
{
    // A finished picture is painted where it is shown; the update is clipped
    // to what is on screen.
    connect(&thumbnailCache, &ThumbnailCache::squareReady, this,
            qOverload<>(&QWidget::update));
    // A click on a square gives the pane the keyboard, for K.
    setFocusPolicy(Qt::ClickFocus);
}

void ThumbnailPane::setKeypointsShown(bool shown)
{
    if (shown == m_keypointsShown)
        return;
    m_keypointsShown = shown;
    update();
    emit keypointsShownChanged(shown);
}

void ThumbnailPane::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_K && !(event->modifiers() & ~Qt::KeypadModifier)) {
        setKeypointsShown(!m_keypointsShown);
        return;
    }
    QWidget::keyPressEvent(event);
}

ThumbnailGrid ThumbnailPane::grid() const
{
    return ThumbnailGrid{cellWidth, spacing, columns, keypointPalette};
}

void ThumbnailPane::resizeToGrid()
{
    const int n = squareCount();
    if (n <= 0 || !data) {
        resize(0, 0);
        return;
    }
    const int pitch = cellWidth + spacing;
    const int rows = n / columns + (n % columns != 0 ? 1 : 0);
    resize(columns * pitch, rows * pitch);
}

void ThumbnailPane::paintEvent(QPaintEvent *event)
{
    const int n = squareCount();
    if (n <= 0 || !data)
        return;
    QPainter painter(this);
    const int pitch = cellWidth + spacing;
    const int rows = n / columns + (n % columns != 0 ? 1 : 0);
    const QRect exposed = event->rect() & QRect(0, 0, columns * pitch, rows * pitch);
    if (exposed.isEmpty())
        return;
    painter.fillRect(exposed, Qt::cyan);
    // Only the rows the paint event reaches: inside a scroll area that is
    // what is on screen, whatever the size of the neighbourhood.
    const int firstRow = qMax(0, exposed.top() / pitch);
    const int lastRow = qMin(rows - 1, exposed.bottom() / pitch);
    for (int row = firstRow; row <= lastRow; ++row) {
        for (int column = 0; column < columns; ++column) {
            const int k = row * columns + column;
            if (k >= n)
                break;
            if (grid().square(k).intersects(exposed))
                drawSquare(painter, k);
        }
    }
    if (m_outline && selected >= 0 && selected < n)
        grid().drawOutline(painter, selected);
}

void ThumbnailPane::drawSquare(QPainter &painter, int k)
{
    const QRect box = grid().square(k);
    const int image = imageOf(k);
    QSize size;
    const QPixmap square = thumbnailCache.lookup(*data, image, cellWidth, &size);
    if (square.isNull()) {
        // Being decoded: a gray square with an ellipsis until it arrives.
        painter.fillRect(box, Qt::gray);
        painter.save();
        painter.setPen(Qt::darkGray);
        painter.drawText(box, Qt::AlignCenter, QStringLiteral("\u2026"));
        painter.restore();
        drawBadges(painter, k, box);
        return;
    }
    painter.drawPixmap(box.topLeft(), square);
    drawKeypoints(painter, k, image, size);
    // Last, so that no keypoint covers the counts.
    drawBadges(painter, k, box);
}

void ThumbnailPane::drawKeypoints(QPainter &painter, int k, int image, const QSize &size)
{
    if (!m_keypointsShown || !data->hasKeypoints() || (size.isEmpty() && !keypointsWithoutPicture))
        return;
    const QList<Sift> all = keypointCache.keypoints(*data, image);
    if (all.isEmpty())
        return;
    QList<Sift> shown;
    if (wordList) {
        for (const Sift &s : all)
            if (wordList->contains(s.word))
                shown.append(s);
    } else {
        shown = all;
    }
    if (!shown.isEmpty()) {
        painter.save();
        // Within the square: a keypoint near its edge is not drawn over
        // the next square's picture and badges either.
        painter.setClipRect(grid().square(k));
        grid().drawKeypoints(painter, k, size, shown);
        painter.restore();
    }
}

QString ThumbnailPane::describe(const CAData &data, int image)
{
    if (image < 0 || image >= data.imageCount())
        return QString();
    // Supplementary images follow the images, numbered after them.
    const bool sup = data.isSupplementary(image);
    const int number = sup ? image - data.nbImages : image;
    const ImageLabel *found = data.imageLabel(image);
    if (!found)
        return sup ? tr("Supplementary image %1").arg(number) : tr("Image %1").arg(image);
    const ImageLabel &label = *found;
    // The category by its name when the project names its categories.
    const QString category = data.categoryNames.contains(label.category)
                                 ? tr("%1 (%2)").arg(data.categoryName(label.category))
                                       .arg(label.category)
                                 : QString::number(label.category);
    if (sup)
        return tr("%1\nCategory %2 \u00b7 supplementary image %3")
            .arg(QDir::toNativeSeparators(label.imageFile), category)
            .arg(number);
    return tr("%1\nCategory %2 \u00b7 image %3")
        .arg(QDir::toNativeSeparators(label.imageFile), category)
        .arg(image);
}

QString ThumbnailPane::toolTipOf(int k) const
{
    return data ? describe(*data, imageOf(k)) : QString();
}

bool ThumbnailPane::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const int k = grid().squareAt(help->pos());
        if (data && k >= 0 && k < squareCount()) {
            QToolTip::showText(help->globalPos(), toolTipOf(k), this, grid().square(k));
        } else {
            QToolTip::hideText();
            event->ignore();
        }
        return true;
    }
    return QWidget::event(event);
}

void ThumbnailPane::mouseDoubleClickEvent(QMouseEvent *event)
{
    const int k = grid().squareAt(event->position());
    if (!data || k < 0 || k >= squareCount())
        return;
    openImage(imageOf(k));
}

void ThumbnailPane::openImage(int image)
{
    if (!data || image < 0 || image >= data->nbImages)
        return;
    auto *window = new ImageWindow(*data, image, wordList, this,
                                   keypointPalette ? *keypointPalette : KeypointPalette::defaults());
    window->show();
    m_opened = window;
    emit imageOpened(window);
}

QImage ThumbnailPane::rendered()
{
    if (size().isEmpty())
        return QImage();
    // The first pass asks for every picture, the second paints them.
    m_outline = false;
    grab();
    thumbnailCache.waitForIdle();
    const QImage image = grab().toImage();
    m_outline = true;
    return image;
}

#include "detail/imageview.h"

#include "data/model/cadata.h"
#include "data/model/imagefit.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>

ImageView::ImageView(QScrollArea *area, QWidget *parent)
    : ThumbnailPane(160, 3, parent), scrollArea(area)
{
    keypointsWithoutPicture = true;
}

void ImageView::map2view(double boxW, double boxH, double imgW, double imgH, double &ox,
                         double &oy, double &s)
{
    ImageFit::fit(boxW, boxH, imgW, imgH, ox, oy, s);
}

void ImageView::changeCell(WordView::CellType *c, QSet<int> *word_list, CAData *d, int center)
{
    wordList = word_list;
    data = d;
    cell = c;
    images = c ? c->images : QVector<int>();
    if (!data)
        cell = nullptr;
    selected = int(images.indexOf(center));
    if (!cell)
        selected = -1;
    resizeToGrid();
    if (scrollArea) {
        // With no image selected this asks for a point left of the grid,
        // which scrolls back to its top-left corner.
        const int pitch = cellWidth + spacing;
        const int half = cellWidth / 2;
        scrollArea->ensureVisible((selected % columns) * pitch + half,
                                  (selected / columns) * pitch + half, half, half);
    }
    repaint();
}

void ImageView::changeWords(QSet<int> *word_list)
{
    wordList = word_list;
    update();
}

void ImageView::drawBadges(QPainter &painter, int k, const QRect &square) const
{
    const QRect index(square.x() + cellWidth - 40, square.y() + cellWidth - 16, 40, 16);
    painter.fillRect(index, Qt::yellow);
    painter.drawText(index, Qt::AlignCenter, QString::number(images.at(k)));
}

void ImageView::mousePressEvent(QMouseEvent *event)
{
    if (!cell || !data)
        return;
    const int k = grid().squareAt(event->position());
    if (k < 0 || k >= images.size() || k == selected)
        return;
    selected = k;
    emit focusChanged(images.at(k));
    repaint();
}

#include "detail/imageview.h"

#include "data/cadata.h"
#include "data/console.h"
#include "map/caview.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScrollArea>
#include <QtMath>

ImageView::ImageView(QScrollArea *area, QWidget *parent) : QWidget(parent), scrollArea(area) {}

ImageView::~ImageView()
{
    delete display;
    delete thumbnails;
}

void ImageView::map2view(double boxW, double boxH, double imgW, double imgH, double &ox,
                         double &oy, double &s)
{
    if (imgW == 0 || imgH == 0) {
        ox = oy = 0;
        s = 1;
        return;
    }
    s = boxH / imgH > boxW / imgW ? boxW / imgW : boxH / imgH;
    ox = (boxW - imgW * s) * 0.5;
    oy = (boxH - imgH * s) * 0.5;
}

QColor ImageView::keypointColour(int word)
{
    const QList<QColor> &palette = CAView::colors;
    if (palette.isEmpty())
        return QColor(Qt::red);
    const int n = palette.size();
    const int i = word % n;
    return palette.at(i < 0 ? i + n : i);
}

void ImageView::changeCell(WordView::CellType *c, QSet<int> *word_list, CAData *d, int center)
{
    wordList = word_list;
    data = d;
    cell = c;
    images = c ? c->images : QVector<int>();
    selected = -1;
    drawImages(center);
    drawWords();
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
    drawWords();
    repaint();
}

void ImageView::drawImages(int center)
{
    delete thumbnails;
    thumbnails = nullptr;
    if (!cell || images.isEmpty() || !data)
        return;

    const int pitch = cellWidth + spacing;
    const int n = images.size();
    const int rows = n / columns + (n % columns != 0 ? 1 : 0);
    thumbnails = new QPixmap(columns * pitch, rows * pitch);
    if (thumbnails->isNull()) {
        Console::err(QStringLiteral("Cannot create QPixmap for background"));
        delete thumbnails;
        thumbnails = nullptr;
        return;
    }
    thumbnails->fill(Qt::cyan);

    QPainter painter(thumbnails);
    for (int k = 0; k < n; ++k) {
        const int id = images.at(k);
        const int x = (k % columns) * pitch;
        const int y = (k / columns) * pitch;
        painter.drawPixmap(x, y, thumbnailCache.square(*data, id, cellWidth));
        const QRect index(x + cellWidth - 40, y + cellWidth - 16, 40, 16);
        painter.fillRect(index, Qt::yellow);
        painter.drawText(index, Qt::AlignCenter, QString::number(id));
        if (id == center)
            selected = k;
    }
    painter.end();
    resize(thumbnails->size());
}

void ImageView::drawWords()
{
    delete display;
    display = nullptr;
    if (!thumbnails || !cell || images.isEmpty()) {
        // An empty cell shows nothing and leaves no stale scroll range.
        resize(0, 0);
        return;
    }

    display = new QPixmap(thumbnails->size());
    if (display->isNull()) {
        Console::err(QStringLiteral("Cannot create QPixmap for background"));
        delete display;
        display = nullptr;
        resize(0, 0);
        return;
    }
    display->fill(Qt::cyan);
    QPainter painter(display);
    painter.drawPixmap(0, 0, *thumbnails);

    if (data->descriptors) {
        for (int k = 0; k < images.size(); ++k) {
            const int id = images.at(k);
            QList<Sift> sifts;
            data->getSifts(id, sifts, wordList);
            if (sifts.isEmpty())
                continue;
            // An unreadable picture has no size: its keypoints are drawn
            // unscaled from the square's corner, still clipped to it.
            QSize size;
            thumbnailCache.square(*data, id, cellWidth, &size);
            grid().drawKeypoints(painter, k, size, sifts);
        }
    }
    painter.end();
    resize(display->size());
}

void ImageView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    grid().paint(painter, display, selected);
}

ThumbnailGrid ImageView::grid() const
{
    return ThumbnailGrid{cellWidth, spacing, columns};
}

void ImageView::mousePressEvent(QMouseEvent *event)
{
    if (!display)
        return;
    const int k = grid().squareAt(event->position());
    if (k < 0 || k >= images.size() || k == selected)
        return;
    selected = k;
    emit focusChanged(images.at(k));
    repaint();
}

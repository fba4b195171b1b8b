#include "detail/wordview.h"

#include "data/cadata.h"
#include "data/console.h"
#include "detail/imageview.h"
#include "map/caview.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScrollArea>
#include <QtMath>

#include <map>
#include <utility>

WordView::WordView(QScrollArea *area, QWidget *parent) : QWidget(parent), scrollArea(area) {}

WordView::~WordView()
{
    delete display;
    delete thumbnails;
}

void WordView::changeImages(QVector<int> *image_list, QSet<int> *word_list, CAData *d,
                            int focus, CAView *view)
{
    imageList = image_list;
    wordList = word_list;
    data = d;
    center = focus;
    caview = view;
    selected = -1;
    drawImages();
    drawWords();
    scrollToSelected();
    repaint();
    // The image view follows every rebuild: the cell it showed is gone.
    if (selected >= 0 && selected < cells.size())
        emit cellChanged(&cells[selected], wordList, data, cells[selected].center);
    else
        emit cellChanged(nullptr, nullptr, nullptr, -1);
}

void WordView::changeWords(QSet<int> *word_list)
{
    wordList = word_list;
    drawWords();
    repaint();
}

void WordView::scrollToSelected()
{
    if (!scrollArea)
        return;
    // With no square selected this asks for a point left of the grid, which
    // scrolls back to its top-left corner.
    const int pitch = cellWidth + spacing;
    const int half = cellWidth / 2;
    scrollArea->ensureVisible((selected % columns) * pitch + half,
                              (selected / columns) * pitch + half, half, half);
}

void WordView::drawImages()
{
    delete thumbnails;
    thumbnails = nullptr;
    // The old cells go in every case, so nothing can reach them through a
    // click or a cell pointer once the neighbourhood they came from is gone.
    cells.clear();
    ++rebuilds;
    if (!imageList || imageList->isEmpty() || !data || !caview)
        return;

    std::map<std::pair<int, int>, int> cellOf;
    for (const int id : std::as_const(*imageList)) {
        int cx, cy;
        caview->id2cell(id, cx, cy);
        const auto found = cellOf.find({cx, cy});
        int index;
        if (found == cellOf.end()) {
            index = cells.size();
            cellOf.emplace(std::make_pair(cx, cy), index);
            CellType cell;
            cell.images.append(id);
            cell.center = id;
            cells.append(cell);
        } else {
            index = found->second;
            cells[index].images.append(id);
        }
        if (id == center) {
            selected = index;
            cells[index].center = id;
        }
    }

    const int pitch = cellWidth + spacing;
    const int n = cells.size();
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
        const CellType &cell = cells.at(k);
        const int x = (k % columns) * pitch;
        const int y = (k / columns) * pitch;
        painter.drawPixmap(x, y, thumbnailCache.square(*data, cell.center, cellWidth));

        const QRect index(x + cellWidth - 40, y + cellWidth - 16, 40, 16);
        painter.fillRect(index, Qt::yellow);
        painter.drawText(index, Qt::AlignCenter, QString::number(cell.center));
        if (cell.images.size() > 1) {
            const QRect count(x, y, 20, 16);
            painter.fillRect(count, Qt::green);
            painter.drawText(count, Qt::AlignCenter, QString::number(cell.images.size()));
        }
    }
    painter.end();
    resize(thumbnails->size());
}

void WordView::drawWords()
{
    delete display;
    display = nullptr;
    if (!thumbnails || !imageList || imageList->isEmpty() || !data) {
        // Nothing to show: no stale scroll range either.
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
        for (int k = 0; k < cells.size(); ++k) {
            const int image = cells.at(k).center;
            // The keypoints are placed by the size of the picture the square
            // was drawn from; an unreadable picture gets none.
            QSize size;
            thumbnailCache.square(*data, image, cellWidth, &size);
            if (size.isEmpty())
                continue;
            QList<Sift> sifts;
            data->getSifts(image, sifts, wordList);
            if (sifts.isEmpty())
                continue;
            grid().drawKeypoints(painter, k, size, sifts);
        }
    }
    painter.end();
    resize(display->size());
}

void WordView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    grid().paint(painter, display, selected);
}

ThumbnailGrid WordView::grid() const
{
    return ThumbnailGrid{cellWidth, spacing, columns};
}

void WordView::mousePressEvent(QMouseEvent *event)
{
    if (!display)
        return;
    const int k = grid().squareAt(event->position());
    if (k < 0 || k >= cells.size() || k == selected)
        return;
    selected = k;
    const quint64 generation = rebuilds;
    emit focusChanged(cells.at(k).center);
    // A receiver of focusChanged may have handed this view a new
    // neighbourhood; that rebuild already told the image view its cell.
    if (generation == rebuilds && k < cells.size())
        emit cellChanged(&cells[k], wordList, data, cells[k].center);
    repaint();
}

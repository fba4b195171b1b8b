#include "detail/wordview.h"

#include "data/model/cadata.h"
#include "map/caview.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>

#include <map>
#include <utility>

WordView::WordView(QScrollArea *area, QWidget *parent)
    : ThumbnailPane(120, 4, parent), scrollArea(area)
{
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
    scrollToSelected();
    // Paints what is on screen now; pictures not decoded yet follow as
    // their workers finish.
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
    update();
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
    // The old cells go in every case, so nothing can reach them through a
    // click or a cell pointer once the neighbourhood they came from is gone.
    cells.clear();
    ++rebuilds;
    if (!imageList || imageList->isEmpty() || !data || !caview) {
        resizeToGrid();
        return;
    }

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
    resizeToGrid();
}

void WordView::drawBadges(QPainter &painter, int k, const QRect &square) const
{
    const CellType &cell = cells.at(k);
    const QRect index(square.x() + cellWidth - 40, square.y() + cellWidth - 16, 40, 16);
    painter.fillRect(index, Qt::yellow);
    painter.drawText(index, Qt::AlignCenter, QString::number(cell.center));
    if (cell.images.size() > 1) {
        const QRect count(square.x(), square.y(), 20, 16);
        painter.fillRect(count, Qt::green);
        painter.drawText(count, Qt::AlignCenter, QString::number(cell.images.size()));
    }
}

QString WordView::toolTipOf(int k) const
{
    QString text = ThumbnailPane::toolTipOf(k);
    const int n = int(cells.at(k).images.size());
    if (n > 1)
        text += tr("\n%1 images in this map cell").arg(n);
    return text;
}

void WordView::mousePressEvent(QMouseEvent *event)
{
    if (!data || cells.isEmpty())
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

#ifndef WORDVIEW_H
#define WORDVIEW_H

#include "detail/thumbnailpane.h"

#include <QPointer>
#include <QSet>
#include <QVector>

class CAData;
class CAView;
class QScrollArea;

// The neighbourhood pane: the images around the map cursor as a grid of
// thumbnails, one square per map cell, with the keypoints of the hovered
// words over each square's centre image. A green badge counts the images of
// a cell, a yellow one numbers the image shown.
class WordView : public ThumbnailPane
{
    Q_OBJECT

public:
    // One square of the grid: the neighbourhood images that fall into one map
    // cell, and the one shown for it.
    struct CellType
    {
        QVector<int> images;
        int center = -1;
    };

    WordView(QScrollArea *scrollArea, QWidget *parent = nullptr);

    int imageOf(int k) const override { return cells.at(k).center; }
    int squareCount() const override { return int(cells.size()); }
    QString toolTipOf(int k) const override;

    QVector<int> *imageList = nullptr;
    CAView *caview = nullptr;
    int center = -1;
    QVector<CellType> cells;
    QPointer<QScrollArea> scrollArea;

signals:
    void focusChanged(int image);
    void cellChanged(WordView::CellType *cell, QSet<int> *words, CAData *data, int center);

public slots:
    void changeImages(QVector<int> *image_list, QSet<int> *word_list, CAData *data,
                      int center, CAView *caview);
    void changeWords(QSet<int> *word_list);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void drawBadges(QPainter &painter, int k, const QRect &square) const override;

private:
    void drawImages();
    void scrollToSelected();

    // Counts the rebuilds of `cells`, so a click can tell whether a receiver
    // of its first signal rebuilt them before the second one.
    quint64 rebuilds = 0;
};

#endif // WORDVIEW_H

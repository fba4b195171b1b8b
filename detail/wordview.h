#ifndef WORDVIEW_H
#define WORDVIEW_H

#include "detail/thumbnailcache.h"

#include <QPointer>
#include "detail/thumbnailgrid.h"

#include <QSet>
#include <QVector>
#include <QWidget>

class CAData;
class CAView;
class QPixmap;
class QScrollArea;

// The neighbourhood pane: the images around the map cursor as a grid of
// thumbnails, one square per map cell, with the keypoints of the hovered
// words over each square's centre image.
class WordView : public QWidget
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
    ~WordView() override;

    QPixmap *display = nullptr;
    QPixmap *thumbnails = nullptr;
    QVector<int> *imageList = nullptr;
    QSet<int> *wordList = nullptr;
    CAData *data = nullptr;
    CAView *caview = nullptr;
    int selected = -1;
    int cellWidth = 120;
    int spacing = 2;
    int columns = 4;
    int center = -1;
    QVector<CellType> cells;
    QPointer<QScrollArea> scrollArea;
    // Finished thumbnail squares, so a hover step decodes only files it has
    // not seen or that changed on disk.
    ThumbnailCache thumbnailCache;

signals:
    void focusChanged(int image);
    void cellChanged(WordView::CellType *cell, QSet<int> *words, CAData *data, int center);

public slots:
    void changeImages(QVector<int> *image_list, QSet<int> *word_list, CAData *data,
                      int center, CAView *caview);
    void changeWords(QSet<int> *word_list);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    void drawImages();
    void drawWords();
    void scrollToSelected();
    // Index of the square under a widget position, or -1 outside the grid.
    ThumbnailGrid grid() const;

    // Counts the rebuilds of `cells`, so a click can tell whether a receiver
    // of its first signal rebuilt them before the second one.
    quint64 rebuilds = 0;
};

#endif // WORDVIEW_H

#ifndef IMAGEVIEW_H
#define IMAGEVIEW_H

#include "detail/thumbnailcache.h"
#include "detail/wordview.h"

#include <QColor>
#include "detail/thumbnailgrid.h"

#include <QSet>
#include <QVector>
#include <QWidget>

class CAData;
class QPixmap;
class QScrollArea;

// The cell pane: every image of one word-view square, larger, three per row,
// with the keypoints of the hovered words.
class ImageView : public QWidget
{
    Q_OBJECT

public:
    ImageView(QScrollArea *scrollArea, QWidget *parent = nullptr);
    ~ImageView() override;

    // Fits an imgW x imgH image into a boxW x boxH box keeping its aspect
    // ratio, centred; enlarges as well as reduces. Zero sizes give s = 1 and
    // zero offsets.
    static void map2view(double boxW, double boxH, double imgW, double imgH,
                         double &ox, double &oy, double &s);
    // Palette colour of a keypoint of word label `word`; never indexes
    // outside the palette (negative labels, empty palette).
    static QColor keypointColour(int word);

    QPixmap *display = nullptr;
    QPixmap *thumbnails = nullptr;
    QSet<int> *wordList = nullptr;
    CAData *data = nullptr;
    WordView::CellType *cell = nullptr;
    int selected = -1;
    int cellWidth = 160;
    int spacing = 2;
    int columns = 3;
    QScrollArea *scrollArea;
    ThumbnailCache thumbnailCache;

signals:
    void focusChanged(int image);

public slots:
    void changeCell(WordView::CellType *cell, QSet<int> *word_list, CAData *data, int center);
    void changeWords(QSet<int> *word_list);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    void drawImages(int center);
    void drawWords();
    ThumbnailGrid grid() const;

    // The images of the cell shown, copied when the cell arrives: the word
    // view rebuilds the cell the pointer refers to on its next neighbourhood.
    QVector<int> images;
};

#endif // IMAGEVIEW_H

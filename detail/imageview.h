#ifndef IMAGEVIEW_H
#define IMAGEVIEW_H

#include "detail/thumbnailpane.h"
#include "detail/wordview.h"

#include <QColor>
#include <QSet>
#include <QVector>

class CAData;
class QScrollArea;

// The cell pane: every image of one word-view square, larger, three per row,
// with the keypoints of the hovered words.
class ImageView : public ThumbnailPane
{
    Q_OBJECT

public:
    ImageView(QScrollArea *scrollArea, QWidget *parent = nullptr);

    // Fits an imgW x imgH image into a boxW x boxH box keeping its aspect
    // ratio, centred; enlarges as well as reduces. Zero sizes give s = 1 and
    // zero offsets.
    static void map2view(double boxW, double boxH, double imgW, double imgH,
                         double &ox, double &oy, double &s);

    int imageOf(int k) const override { return images.at(k); }
    int squareCount() const override { return cell ? int(images.size()) : 0; }

    WordView::CellType *cell = nullptr;
    QScrollArea *scrollArea;

signals:
    void focusChanged(int image);

public slots:
    void changeCell(WordView::CellType *cell, QSet<int> *word_list, CAData *data, int center);
    void changeWords(QSet<int> *word_list);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void drawBadges(QPainter &painter, int k, const QRect &square) const override;

private:
    // The images of the cell shown, copied when the cell arrives: the word
    // view rebuilds the cell the pointer refers to on its next neighbourhood.
    QVector<int> images;
};

#endif // IMAGEVIEW_H

#ifndef THUMBNAILPANE_H
#define THUMBNAILPANE_H

#include "detail/imagewindow.h"
#include "detail/keypointcache.h"
#include "detail/thumbnailcache.h"
#include "detail/thumbnailgrid.h"

#include <QImage>
#include <QPointer>
#include <QSet>
#include <QWidget>

class CAData;

// What the two detail panes share: a grid of squares, each showing one image
// fitted in it with the keypoints of the hovered words, painted only where it
// is visible. Pictures not decoded yet show a placeholder while a worker
// thread decodes them, so a hover step never waits for the disk. A tooltip
// names the image under the mouse and a double click opens it at full size.
class ThumbnailPane : public QWidget
{
    Q_OBJECT

public:
    ThumbnailPane(int edge, int columns, QWidget *parent);

    // The image shown by square k.
    virtual int imageOf(int k) const = 0;
    virtual int squareCount() const = 0;
    // The tooltip of square k.
    virtual QString toolTipOf(int k) const;
    // The tooltip text of an image: its file and its category.
    static QString describe(const CAData &data, int image);

    // The whole grid as painted once every picture is decoded (waits for the
    // decoding workers), without the outline of the highlighted square; a
    // null image when the pane is empty.
    QImage rendered();
    // The full-size window opened last by a double click, if still open.
    ImageWindow *lastOpened() const { return m_opened; }
    // Keypoints over the squares: shown unless switched off (K, as in the
    // full-size window), for when they hide the pictures.
    bool keypointsShown() const { return m_keypointsShown; }

    QSet<int> *wordList = nullptr;
    CAData *data = nullptr;
    // The keypoint colours of the window's map (CAView::colors), which
    // outlives the pane; the defaults until set.
    const QList<QColor> *keypointPalette = nullptr;
    int selected = -1;
    int cellWidth;
    int spacing = 2;
    int columns;
    ThumbnailCache thumbnailCache;
    KeypointCache keypointCache;

signals:
    void imageOpened(ImageWindow *window);
    void keypointsShownChanged(bool shown);

public slots:
    void setKeypointsShown(bool shown);
    // Opens image `image` at full size in a window of its own.
    void openImage(int image);

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

    // The labels a pane writes over square k (drawn before the keypoints).
    virtual void drawBadges(QPainter &painter, int k, const QRect &square) const = 0;
    ThumbnailGrid grid() const;
    // Sizes the widget to the grid of squareCount() squares (0 x 0 when empty).
    void resizeToGrid();
    // Keypoints over a square whose picture could not be read are drawn from
    // its corner unscaled (the cell pane) or not at all (the neighbourhood).
    bool keypointsWithoutPicture = false;

private:
    void drawSquare(QPainter &painter, int k);
    void drawKeypoints(QPainter &painter, int k, int image, const QSize &size);
    QPointer<ImageWindow> m_opened;
    bool m_outline = true;
    bool m_keypointsShown = true;
};

#endif // THUMBNAILPANE_H

#ifndef IMAGEWINDOW_H
#define IMAGEWINDOW_H

#include "data/model/keypointpalette.h"
#include "data/model/sift.h"

#include <QImage>
#include <QList>
#include <QSet>
#include <QSize>
#include <QWidget>

class CAData;
class QCheckBox;
class QLabel;
class QScrollArea;

// One image of the collection at full size in a window of its own, with its
// keypoints drawn over it in their words' colours (switchable, and limited to
// the hovered words on request). Takes a copy of everything it shows, so it
// may outlive the pane that opened it.
class ImageWindow : public QWidget
{
    Q_OBJECT

public:
    // Keypoints are drawn in `palette`, the colours of the opening window's
    // map (the window may outlive it: the colours are copied).
    ImageWindow(const CAData &data, int image, const QSet<int> *hoveredWords,
                QWidget *parent = nullptr,
                const QList<QColor> &palette = KeypointPalette::defaults());

    int image() const { return m_image; }
    // Size of the picture in its file; the picture shown may be reduced
    // when it is very large.
    QSize pictureSize() const { return m_original; }
    QSize shownSize() const { return m_picture.size(); }
    bool keypointsShown() const;
    void setKeypointsShown(bool shown);
    // Number of keypoints currently drawn.
    int keypointsDrawn() const;

    QCheckBox *keypointsBox = nullptr;
    QCheckBox *hoveredOnlyBox = nullptr;

private:
    class Canvas;
    QList<Sift> visibleKeypoints() const;

    int m_image;
    QImage m_picture;
    QSize m_original;
    QList<Sift> m_keypoints;
    QSet<int> m_hovered;
    QList<QColor> m_palette;
    Canvas *m_canvas = nullptr;
    QScrollArea *m_area = nullptr;
};

#endif // IMAGEWINDOW_H

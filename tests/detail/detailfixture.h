#ifndef DETAILFIXTURE_H
#define DETAILFIXTURE_H

#include "data/model/cadata.h"
#include "data/model/sift.h"
#include "map/caview.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QSet>
#include <QSize>
#include <QString>
#include <QTemporaryDir>
#include <QVector>

class QWidget;

// A small analysis on disk for the detail panes: n images with one-colour
// picture files and keypoint files in a temporary folder, and a map view
// whose cell grid groups them by the canvas pixel each image is placed on.
class DetailFixture
{
public:
    explicit DetailFixture(int nbImages, bool withKeypoints = true);

    // Puts image i on canvas pixel (px, py); 1000 <= px, py <= 750.
    void place(int image, int px, int py);
    // Writes image i's picture file: one colour, the given size.
    void writePicture(int image, const QColor &colour, QSize size = QSize(256, 256));
    void writeKeypoints(int image, const QList<Sift> &sifts);
    QString picturePath(int image) const;

    // A round keypoint of radius r at (x, y) of the picture.
    static Sift keypoint(int word, float x, float y, float r);
    // Delivers a press of `button` at `pos` the way the window system does.
    static void click(QWidget *widget, QPoint pos, Qt::MouseButton button = Qt::LeftButton);
    // Whether a pixel of `colour` lies within `radius` pixels of `at`.
    static bool hasColourNear(const QImage &image, QPoint at, int radius, const QColor &colour);
    // Whether any pixel of `colour` lies in `rect`.
    static bool hasColourIn(const QImage &image, const QRect &rect, const QColor &colour);

    QTemporaryDir dir;
    CAData data;
    CAView map;
    QVector<int> neighbourhood;
    QSet<int> words;
};

#endif // DETAILFIXTURE_H

#ifndef MARKSHAPE_H
#define MARKSHAPE_H

#include <QPainterPath>
#include <QPoint>
#include <QRgb>

#include <vector>

class QImage;
class QPainter;

// The mark of a point family, five pixels across. One description serves
// the screen, where marks are stamped pixel by pixel into the canvas (as a
// one-pixel, non-antialiased QPainter pen would set them, at a fraction of
// the cost), and the exported figures, where each mark is one vector path.
class MarkShape
{
public:
    enum Kind { Cross, Circle, Diamond };

    explicit MarkShape(Kind kind);
    Kind kind() const { return m_kind; }

    // Paints the mark centred on the pixel (x, y) with the painter's pen.
    void paint(QPainter &painter, int x, int y) const;
    // The mark as one path, centred on (x, y), for vector output.
    QPainterPath path(double x, double y) const;

    // Writes the mark's pixels around (x, y) into an RGB32 image, clipped.
    void stamp(QImage &canvas, int x, int y, QRgb colour) const;
    // Largest distance of a mark pixel from its centre, on either axis.
    int reach() const { return m_reach; }
    const std::vector<QPoint> &offsets() const { return m_offsets; }

private:
    Kind m_kind;
    std::vector<QPoint> m_offsets;
    int m_reach = 0;
};

#endif // MARKSHAPE_H

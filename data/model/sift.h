#ifndef SIFT_H
#define SIFT_H

#include <QtGlobal>

class QPainter;
class QColor;

// One keypoint. The in-memory layout is also the on-disk record of a keypoint
// file: 32 bytes, fields in this order, integers and floats little-endian.
// The region is the unit circle under (u, v) -> (a11*u + a21*v + x,
// a12*u + a22*v + y).
struct Sift
{
    qint32 id;
    qint32 word;
    float x;
    float y;
    float a11;
    float a12;
    float a21;
    float a22;

    // Draws a red centre cross and the region outline in `colour` on an image
    // shown at offset (tx, ty) with scale (sx, sy). Lines stay one device
    // pixel wide whatever the scale. The painter is left as it was found.
    // Nothing is drawn for a centre that is not finite, and only the cross
    // for a region larger than 65536 device pixels across.
    void draw(QPainter &painter, double tx, double ty, double sx, double sy,
              const QColor &colour) const;

    // Record <-> bytes in file byte order (little-endian), whatever the host.
    static Sift fromLittleEndian(const uchar *bytes);
    void toLittleEndian(uchar *bytes) const;
};

// The largest keypoint file a view reads: 64 MB, 2,097,152 keypoints, far
// beyond what a detector finds in one picture. A larger file is refused
// unread, so that neither the memory of a view nor the time of a hover
// grows with the size of a file.
constexpr qint64 kMaxKeypointFileBytes = qint64(64) << 20;

static_assert(sizeof(Sift) == 32, "a Sift record is 32 bytes on disk");
static_assert(alignof(Sift) == 4, "Sift records are packed without padding");

#endif // SIFT_H

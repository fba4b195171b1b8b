#ifndef DECODEBUDGET_H
#define DECODEBUDGET_H

#include <QByteArray>
#include <QSize>
#include <QString>

// What decoding a picture file costs in memory, judged from its header
// before any pixel is read. The size in the header is not the whole story:
// a progressive JPEG keeps the coefficients of the whole picture while it
// is read (2.7 GB for 30,000 x 30,000 pixels, whatever size it is shown
// at), most formats are decoded whole before they are reduced, and a PNG
// above the budget is read a row at a time instead. A file whose decoding
// would cost more than the budget is refused unread, with the reason.
namespace DecodeBudget {

// The most one picture may take while it is decoded.
constexpr qint64 kBytes = qint64(256) << 20;
// The most all pictures decoded at once may take together (thumbnail
// workers and the full-size window alike): a decode waits for its share.
constexpr qint64 kTotalBytes = qint64(512) << 20;

struct Cost
{
    qint64 bytes = 0;   // peak memory of the decode, estimated
    QString refusal;    // empty when the file may be decoded
    bool rowByRow = false; // a PNG that must be read a row at a time
};

// The cost of decoding the picture `path` (of `format`, as Qt names it, and
// `full` pixels as its header says) to at most `target` pixels.
Cost of(const QString &path, const QByteArray &format, const QSize &full, const QSize &target);

// For a file no reader recognises: what its header announces, when it is a
// format known to announce sizes (Radiance HDR), as a reason.
QString unreadable(const QString &path);

// A share of the total, held while a picture is decoded.
class Reservation
{
public:
    explicit Reservation(qint64 bytes);
    ~Reservation();
    Reservation(const Reservation &) = delete;
    Reservation &operator=(const Reservation &) = delete;

private:
    int m_units;
};

} // namespace DecodeBudget

#endif // DECODEBUDGET_H

#ifndef IMAGEREADER_H
#define IMAGEREADER_H

#include <QSize>
#include <QString>
#include <QStringList>

#include <opencv2/core.hpp>

// One image decoded for indexing: in colour over white (transparent parts
// become white, so line art on a transparent background stays visible), at
// the working scale, and in grey. Where the file has transparency, `alpha`
// says which pixels were drawn, so that the description can leave out the
// white that only stands for the background.
struct DecodedImage
{
    enum Status { Ok, Unreadable, TooLarge, TooSmall };
    Status status = Unreadable;
    QString reason;        // why the image cannot be indexed, for the skipped list
    QSize fileSize;        // pixels announced by the file's header
    cv::Mat colour;        // CV_8UC3, BGR, at the working scale
    cv::Mat grey;          // CV_8U, same size
    cv::Mat alpha;         // CV_8U, same size; empty when every pixel is opaque
    double scale = 1.0;    // file pixels per working pixel (below 1 when enlarged)
};

// Reads images for the indexer within a bounded amount of memory, whatever
// their size: the size is read from the header before anything is decoded;
// PNG and JPEG are decoded a row at a time and reduced on the fly (JPEG also
// through its DCT scaling), so a poster never exists at full size; other
// formats are decoded whole only when that fits the memory allowed for one
// image. Thread-safe: every call is independent.
class ImageReader
{
public:
    struct Limits
    {
        int maxSide = 0;                // longer working side; 0 keeps full size
        qint64 maxPixels = 1000000000;  // larger files are refused unread
        // Working pixels at full size (--max-side 0): keypoint detection
        // takes about 100 bytes per pixel, so larger images are refused.
        qint64 maxWorkingPixels = 16000000;
        // Memory one image may take while decoded whole (interlaced PNG,
        // formats other than PNG and JPEG).
        qint64 maxDecodeBytes = 256 << 20;
        // Side every image is then brought to (enlarged when smaller) before
        // it is described; 0 keeps the working size. The size floor applies
        // to the image at that size: a thin stamp enlarged to a usable
        // picture is described.
        int workSide = 0;
        int minSide = 16;               // smaller images are listed as too small
    };

    static DecodedImage read(const QString &path, const Limits &limits);

    // The refusals `read` would make from the header alone (size, pixels,
    // the size floor, a header no decoder recognises, not a regular file),
    // without decoding. True when the image may be read; otherwise `status`
    // and `reason` say why not.
    static bool checkHeaderOnly(const QString &path, const Limits &limits,
                                DecodedImage::Status *status, QString *reason);

    // The image's size from its header alone (PNG and JPEG parsed here,
    // other formats through Qt's readers). False when there is no header to
    // read; `error` says why.
    static bool readSize(const QString &path, QSize *size, QString *error);

    // Working size for a file of `size` pixels under `maxSide` (0: unchanged).
    static QSize workingSize(const QSize &size, int maxSide);
    // The size the image is described at: the working size brought to
    // `workSide` on its longer side (0: the working size).
    static QSize describedSize(const QSize &size, int maxSide, int workSide);
};

#endif // IMAGEREADER_H

#include "detailfixture.h"

#include <QCoreApplication>
#include <QFile>
#include <QMouseEvent>
#include <QWidget>

DetailFixture::DetailFixture(int nbImages, bool withKeypoints) : data(true), map(0, 1, 2)
{
    data.baseDir = dir.path();
    data.nbImages = nbImages;
    data.zCols = 2;
    data.nbAxis = 2;
    data.Z.reset(new double[std::size_t(2 * nbImages)]);
    data.lambda.reset(new double[2]{1.0, 1.0});
    data.nbLambda = 2;
    data.labels.reset(new ImageLabel[std::size_t(nbImages)]);
    if (withKeypoints)
        data.descriptors.reset(new QString[std::size_t(nbImages)]);
    for (int i = 0; i < nbImages; ++i) {
        data.labels[i].imageFile = QStringLiteral("img%1.png").arg(i);
        if (withKeypoints) {
            data.descriptors[i] = QStringLiteral("img%1.key").arg(i);
            writeKeypoints(i, {});
        }
        // Each image on its own canvas pixel until a test says otherwise.
        place(i, 1000 + 3 * i, 700);
    }
    map.data = &data;
    map.colors = {Qt::red, Qt::yellow, Qt::green, Qt::cyan, Qt::blue, Qt::magenta};
}

void DetailFixture::place(int image, int px, int py)
{
    // The map truncates scale * coordinate toward zero: aim at the pixel's
    // middle so rounding cannot move it.
    data.Z[2 * image] = (px - 1000 + 0.5) / map.scale;
    data.Z[2 * image + 1] = (750 - py + 0.5) / map.scale;
}

QString DetailFixture::picturePath(int image) const
{
    return data.resolve(data.labels[image].imageFile);
}

void DetailFixture::writePicture(int image, const QColor &colour, QSize size)
{
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(colour);
    picture.save(picturePath(image), "PNG");
}

void DetailFixture::writeKeypoints(int image, const QList<Sift> &sifts)
{
    QByteArray bytes(sifts.size() * int(sizeof(Sift)), 0);
    for (int k = 0; k < sifts.size(); ++k)
        sifts[k].toLittleEndian(reinterpret_cast<uchar *>(bytes.data()) + k * sizeof(Sift));
    QFile file(data.resolve(data.descriptors[image]));
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

Sift DetailFixture::keypoint(int word, float x, float y, float r)
{
    Sift s;
    s.id = 0;
    s.word = word;
    s.x = x;
    s.y = y;
    s.a11 = r;
    s.a12 = 0;
    s.a21 = 0;
    s.a22 = r;
    return s;
}

void DetailFixture::click(QWidget *widget, QPoint pos, Qt::MouseButton button)
{
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(pos), widget->mapToGlobal(QPointF(pos)),
                      button, button, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &press);
}

bool DetailFixture::hasColourIn(const QImage &image, const QRect &rect, const QColor &colour)
{
    const QRect r = rect & image.rect();
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (image.pixelColor(x, y) == colour)
                return true;
    return false;
}

bool DetailFixture::hasColourNear(const QImage &image, QPoint at, int radius, const QColor &colour)
{
    return hasColourIn(image, QRect(at.x() - radius, at.y() - radius, 2 * radius + 1, 2 * radius + 1),
                       colour);
}

#include "detail/imagewindow.h"

#include "data/model/cadata.h"
#include "data/model/imagefile.h"
#include "data/model/keypointpalette.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QVBoxLayout>

// The picture at its shown size with the keypoints over it.
class ImageWindow::Canvas : public QWidget
{
public:
    explicit Canvas(ImageWindow *owner) : QWidget(owner), m_owner(owner)
    {
        resize(owner->m_picture.size());
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const ImageWindow &w = *m_owner;
        painter.fillRect(rect(), Qt::gray);
        painter.drawImage(0, 0, w.m_picture);
        if (!w.keypointsShown() || w.m_original.isEmpty())
            return;
        // Keypoints are in the file's pixels; the picture may be reduced.
        const double sx = double(w.m_picture.width()) / w.m_original.width();
        const double sy = double(w.m_picture.height()) / w.m_original.height();
        for (const Sift &s : w.visibleKeypoints())
            s.draw(painter, 0, 0, sx, sy, KeypointPalette::colour(w.m_palette, s.word));
    }

private:
    ImageWindow *m_owner;
};

ImageWindow::ImageWindow(const CAData &data, int image, const QSet<int> *hoveredWords,
                         QWidget *parent, const QList<QColor> &palette)
    : QWidget(parent, Qt::Window), m_image(image), m_palette(palette)
{
    setAttribute(Qt::WA_DeleteOnClose);
    QString file;
    QString why;
    if (data.labels && image >= 0 && image < data.nbImages) {
        file = data.labels[image].imageFile;
        m_picture = ImageFile::read(data.resolve(file), QSize(ImageFile::kLargestSide,
                                                              ImageFile::kLargestSide),
                                    &m_original, &why);
        // Shown with a solid background: clip-art is often transparent.
        if (m_picture.hasAlphaChannel()) {
            QImage flat(m_picture.size(), QImage::Format_RGB32);
            flat.fill(Qt::white);
            QPainter p(&flat);
            p.drawImage(0, 0, m_picture);
            p.end();
            m_picture = flat;
        }
    }
    if (!data.keypointFile(image).isEmpty())
        data.getAllSifts(image, m_keypoints);
    if (hoveredWords)
        m_hovered = *hoveredWords;

    const QString name = file.isEmpty() ? tr("Image %1").arg(image)
                                        : QFileInfo(file).fileName();
    setWindowTitle(tr("%1 - Ortelis").arg(name));

    keypointsBox = new QCheckBox(tr("&Keypoints"), this);
    keypointsBox->setChecked(true);
    keypointsBox->setToolTip(tr("Show or hide the keypoints (K)"));
    hoveredOnlyBox = new QCheckBox(tr("Only the &hovered words"), this);
    hoveredOnlyBox->setToolTip(tr("Only the keypoints of the words around the map cursor"));
    hoveredOnlyBox->setEnabled(!m_hovered.isEmpty());
    auto *info = new QLabel(this);
    // A file that is not there is said to be missing; "cannot be read" is
    // for one that is there, with the reason.
    if (m_original.isEmpty() && why == QLatin1String("not found"))
        info->setText(tr("%1: not found").arg(QDir::toNativeSeparators(file)));
    else if (m_original.isEmpty())
        info->setText(tr("%1: cannot be read%2").arg(QDir::toNativeSeparators(file),
                                                     why.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(why)));
    else if (m_original != m_picture.size())
        info->setText(tr("%1 \u2014 %2 \u00d7 %3 pixels, shown at %4 \u00d7 %5")
                          .arg(QDir::toNativeSeparators(file))
                          .arg(m_original.width()).arg(m_original.height())
                          .arg(m_picture.width()).arg(m_picture.height()));
    else
        info->setText(tr("%1 \u2014 %2 \u00d7 %3 pixels")
                          .arg(QDir::toNativeSeparators(file))
                          .arg(m_original.width()).arg(m_original.height()));

    m_area = new QScrollArea(this);
    m_canvas = new Canvas(this);
    m_area->setWidget(m_canvas);
    m_area->setAlignment(Qt::AlignCenter);

    auto *bar = new QHBoxLayout;
    bar->addWidget(keypointsBox);
    bar->addWidget(hoveredOnlyBox);
    bar->addStretch();
    bar->addWidget(info);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_area);

    auto repaintCanvas = [this] { m_canvas->update(); };
    connect(keypointsBox, &QCheckBox::toggled, this, repaintCanvas);
    connect(hoveredOnlyBox, &QCheckBox::toggled, this, repaintCanvas);
    auto *toggle = new QShortcut(QKeySequence(Qt::Key_K), this);
    connect(toggle, &QShortcut::activated, keypointsBox, &QCheckBox::toggle);
    auto *close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);

    // The picture at full size when it fits, otherwise as much of the screen
    // as the window may take.
    QSize want = m_picture.size() + QSize(40, 70);
    if (const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
        const QSize room = screen->availableGeometry().size() * 0.9;
        want = want.boundedTo(room);
    }
    resize(want.expandedTo(QSize(320, 240)));
}

bool ImageWindow::keypointsShown() const
{
    return keypointsBox->isChecked();
}

void ImageWindow::setKeypointsShown(bool shown)
{
    keypointsBox->setChecked(shown);
}

QList<Sift> ImageWindow::visibleKeypoints() const
{
    if (!keypointsShown())
        return {};
    if (!hoveredOnlyBox->isChecked())
        return m_keypoints;
    QList<Sift> out;
    for (const Sift &s : m_keypoints)
        if (m_hovered.contains(s.word))
            out.append(s);
    return out;
}

int ImageWindow::keypointsDrawn() const
{
    return int(visibleKeypoints().size());
}

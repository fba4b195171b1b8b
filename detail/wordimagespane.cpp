#include "detail/wordimagespane.h"

#include "data/model/cadata.h"

#include <QCheckBox>
#include <QPainter>

WordImagesPane::WordImagesPane(QWidget *parent) : ThumbnailPane(150, 5, parent)
{
    // Over a picture that cannot be read, the word's keypoints still show
    // where the word is, from the square's corner.
    keypointsWithoutPicture = true;
    connect(this, &ThumbnailPane::imageOpened, this, [](ImageWindow *window) {
        // The full-size window starts on the same word's keypoints alone.
        if (window->hoveredOnlyBox->isEnabled())
            window->hoveredOnlyBox->setChecked(true);
    });
}

void WordImagesPane::setImages(CAData *d, const QVector<int> &images, const QVector<double> &values, int label,
                               const QString &valueName)
{
    data = d;
    m_images = images;
    m_values = values;
    m_word = {label};
    wordList = &m_word;
    m_valueName = valueName;
    selected = -1;
    resizeToGrid();
    update();
}

QString WordImagesPane::toolTipOf(int k) const
{
    return ThumbnailPane::toolTipOf(k) + tr("\n%1 in this image: %2").arg(m_valueName).arg(m_values.at(k));
}

void WordImagesPane::drawBadges(QPainter &painter, int k, const QRect &square) const
{
    const QRect index(square.right() + 1 - 48, square.bottom() + 1 - 16, 48, 16);
    painter.fillRect(index, Qt::yellow);
    painter.drawText(index, Qt::AlignCenter, QString::number(m_images.at(k)));
    const QString value = QString::number(m_values.at(k), 'g', 4);
    const QRect count(square.x(), square.y(), painter.fontMetrics().horizontalAdvance(value) + 8, 16);
    painter.fillRect(count, Qt::green);
    painter.drawText(count, Qt::AlignCenter, value);
}

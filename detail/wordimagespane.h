#ifndef WORDIMAGESPANE_H
#define WORDIMAGESPANE_H

#include "detail/thumbnailpane.h"

#include <QSet>
#include <QString>
#include <QVector>

class CAData;

// The images of one visual word, as a grid of thumbnails with only that
// word's keypoints over each: the image's number (yellow) and the word's
// value in it (green) in the corners. Double-click opens an image at full
// size, its keypoints limited to the word.
class WordImagesPane : public ThumbnailPane
{
    Q_OBJECT

public:
    explicit WordImagesPane(QWidget *parent = nullptr);

    // `images` with the word's `values` in them, in the order shown; `label`
    // is the word's vocabulary number (the keypoints' word) and `valueName`
    // what the values are ("count of word #1002").
    void setImages(CAData *data, const QVector<int> &images, const QVector<double> &values, int label,
                   const QString &valueName);

    int imageOf(int k) const override { return m_images.at(k); }
    int squareCount() const override { return data ? int(m_images.size()) : 0; }
    QString toolTipOf(int k) const override;
    double valueOf(int k) const { return m_values.at(k); }

protected:
    void drawBadges(QPainter &painter, int k, const QRect &square) const override;

private:
    QVector<int> m_images;
    QVector<double> m_values;
    QSet<int> m_word;
    QString m_valueName;
};

#endif // WORDIMAGESPANE_H

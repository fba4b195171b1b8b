#include "map/caview.h"

#include "data/model/cadata.h"

#include <QPolygonF>

void CAView::finishSelection()
{
    selectedImages.clear();
    selectedWords.clear();
    m_selectedSupImages.clear();
    // Candidates are the points that pass the threshold and the category
    // switches, whether their layer is shown or not.
    // The thresholds and switches as they are now, rebuilt or not.
    styleLayers();
    const QPolygonF outline(polygon);
    const MapTransform t = mapTransform();
    layer(ImageLayer).select(selectedImages, *data, t, outline);
    layer(WordLayer).select(selectedWords, *data, t, outline);
    layer(SupImageLayer).select(m_selectedSupImages, *data, t, outline);
    // What the rule that a point below the threshold is never selected
    // left inside the outline, for the status bar.
    leftImages = layer(ImageLayer).belowThreshold(*data, t, outline);
    leftWords = layer(WordLayer).belowThreshold(*data, t, outline);
    emit selectionFinished();
}

QString CAView::selectionSummary() const
{
    auto count = [](int n, const char *one, const char *many) {
        return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
    };
    QString text = QStringLiteral("%1 and %2 selected")
                       .arg(count(int(selectedImages.size()), "image", "images"),
                            count(int(selectedWords.size()), "word", "words"));
    if (leftImages > 0 || leftWords > 0) {
        // The two thresholds are the slider's one value unless set apart.
        const QString threshold = imageThreshold == wordThreshold
            ? QString::number(imageThreshold)
            : QStringLiteral("%1 (images), %2 (words)").arg(imageThreshold).arg(wordThreshold);
        text += QStringLiteral("; %1 and %2 inside the outline are hidden by the threshold (%3)")
                    .arg(count(leftImages, "image", "images"), count(leftWords, "word", "words"), threshold);
    }
    return text;
}

void CAView::setSelection(const QVector<int> &images, const QVector<int> &words)
{
    selectedImages = images;
    selectedWords = words;
    m_selectedSupImages.clear();
    leftImages = 0;
    leftWords = 0;
    update();
}

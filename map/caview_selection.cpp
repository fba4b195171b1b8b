#include "map/caview.h"

#include "data/cadata.h"

#include <QPolygonF>

void CAView::finishSelection()
{
    selectedImages.clear();
    selectedWords.clear();
    selectedSupImages.clear();
    // Candidates are the points that pass the threshold and the category
    // switches, whether their layer is shown or not.
    // The thresholds and switches as they are now, rebuilt or not.
    styleLayers();
    const QPolygonF outline(polygon);
    const MapTransform t = mapTransform();
    layer(ImageLayer).select(selectedImages, *data, t, outline);
    layer(WordLayer).select(selectedWords, *data, t, outline);
    layer(SupImageLayer).select(selectedSupImages, *data, t, outline);
    emit selectionFinished();
}

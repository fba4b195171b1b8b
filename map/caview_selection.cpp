#include "map/caview.h"

#include "data/cadata.h"
#include "map/pnpoly.h"

#include <QPolygonF>
#include <QRectF>

namespace {

// Whether a point passes the drawing threshold: it is drawn (and selectable)
// unless its contribution is below t on both displayed axes. Written as a
// negated "below both" so that a NaN contribution counts as reaching t.
bool reaches(double t, double coord1, double coord2, double mass, double lambda1,
             double lambda2)
{
    const double c1 = coord1 * coord1 * mass / lambda1;
    const double c2 = coord2 * coord2 * mass / lambda2;
    return !(t > c1 && t > c2);
}

// The even-odd test can only answer 1 inside the outline's bounding box
// (outside it no edge is crossed, or every crossing lies on the same side),
// so the box check saves walking the outline for most points.
bool inside(const QPolygonF &outline, const QRectF &box, const QPoint &p)
{
    const float x = float(p.x());
    const float y = float(p.y());
    if (x < box.left() || x > box.right() || y < box.top() || y > box.bottom())
        return false;
    return pnpoly(outline, x, y) == 1;
}

} // namespace

void CAView::finishSelection()
{
    selectedImages.clear();
    selectedWords.clear();

    const QPolygonF outline(polygon);
    const QRectF box = outline.boundingRect();
    const double *lambda = data->lambda.get();

    // Points are tested where they are drawn on screen, so the pan and the
    // widget placement count.
    const double ti = double(imageThreshold) / data->nbImages;
    for (int i = 0; i < data->nbImages; ++i) {
        const double *z = data->Z.get() + qint64(i) * data->zCols;
        if (!reaches(ti, z[axis1], z[axis2], data->P[i], lambda[axis1], lambda[axis2]))
            continue;
        // A category hidden in the legend is not on the map to be picked.
        if (!imageCategory.empty()
            && hiddenCategories.contains(categories.at(imageCategory[std::size_t(i)])))
            continue;
        if (inside(outline, box, imagePosition(i)))
            selectedImages.append(i);
    }

    const double tw = double(wordThreshold) / data->nbWords;
    for (int j = 0; j < data->nbWords; ++j) {
        const double *w = data->W.get() + qint64(j) * data->wCols;
        if (!reaches(tw, w[axis1], w[axis2], data->Q[j], lambda[axis1], lambda[axis2]))
            continue;
        if (inside(outline, box, wordPosition(j)))
            selectedWords.append(j);
    }

    emit selectionFinished();
}

#include "map/mapstate.h"

#include "data/model/cadata.h"
#include "map/caview.h"

#include <QJsonArray>

#include <algorithm>
#include <cmath>

MapState MapState::of(const CAView &v)
{
    MapState s;
    // The whole geometry; only its session part is written and compared.
    static_cast<MapGeometry &>(s) = v.mapGeometry();
    s.categoryColours = v.categoryColours;
    s.axisTitles = v.axisTitles;
    s.hiddenCategories = v.hiddenCategories;
    s.imageThreshold = v.imageThreshold;
    s.wordThreshold = v.wordThreshold;
    s.radius = v.radius;
    s.cellSize = v.cellSize;
    s.circleNeighbour = v.circleNeighbour;
    s.showLens = v.showLens;
    s.showImage = v.showImage;
    s.showInfo = v.showInfo;
    s.showImagePoint = v.showImagePoint;
    s.showWordPoint = v.showWordPoint;
    s.showSupImagePoint = v.supImagePointsShown();
    s.groups = NamedGroup::listToJson(v.groups().list());
    return s;
}

void MapState::applyTo(CAView &v) const
{
    if (!v.data)
        return;
    // The same analysis may have been solved again with fewer axes since.
    const int axes = std::max(2, v.data->nbAxis);
    auto axis = [axes](int a, int fallback) { return a >= 0 && a < axes ? a : fallback; };
    v.axis1 = axis(axis1, 0);
    v.axis2 = axis(axis2, 1);
    v.projectionMode = std::clamp(projectionMode, 0, 2);
    // Any scale the wheel or a fit can reach, nothing the pixel arithmetic
    // cannot hold.
    v.scale = std::isfinite(scale) ? std::clamp(scale, 1e-4, 1e7) : 200.0;
    v.panX = panX;
    v.panY = panY;
    v.setCanvasShift(QPoint(shiftX, shiftY));
    v.categoryColours = categoryColours;
    v.axisTitles = axisTitles;
    v.hiddenCategories = hiddenCategories;
    v.fitted = false;
    v.fitPending = false;
    v.imageThreshold = std::max(0, imageThreshold);
    v.wordThreshold = std::max(0, wordThreshold);
    v.radius = std::max(0, radius);
    v.cellSize = std::max(1, cellSize);
    v.circleNeighbour = circleNeighbour;
    v.showLens = showLens;
    v.showImage = showImage;
    v.showInfo = showInfo;
    v.showImagePoint = showImagePoint;
    v.showWordPoint = showWordPoint;
    v.showSupImagePoint = showSupImagePoint;
    v.m_groups.setList(NamedGroup::listFromJson(groups, v.data->nbImages, v.data->nbWords));
    v.drawBackground();
    v.update();
}

QJsonObject MapState::toJson() const
{
    QList<int> sorted(hiddenCategories.cbegin(), hiddenCategories.cend());
    std::sort(sorted.begin(), sorted.end());
    QJsonArray hidden;
    for (int c : sorted)
        hidden.append(c);
    return QJsonObject{
        {QStringLiteral("axis1"), axis1},
        {QStringLiteral("axis2"), axis2},
        {QStringLiteral("projection"), projectionMode},
        {QStringLiteral("scale"), scale},
        {QStringLiteral("panX"), panX},
        {QStringLiteral("panY"), panY},
        {QStringLiteral("imageThreshold"), imageThreshold},
        {QStringLiteral("wordThreshold"), wordThreshold},
        {QStringLiteral("radius"), radius},
        {QStringLiteral("cellSize"), cellSize},
        {QStringLiteral("circleNeighbour"), circleNeighbour},
        {QStringLiteral("lens"), showLens},
        {QStringLiteral("thumbnails"), showImage},
        {QStringLiteral("card"), showInfo},
        {QStringLiteral("imagePoints"), showImagePoint},
        {QStringLiteral("wordPoints"), showWordPoint},
        {QStringLiteral("supplementaryPoints"), showSupImagePoint},
        {QStringLiteral("shiftX"), shiftX},
        {QStringLiteral("shiftY"), shiftY},
        {QStringLiteral("categoryColours"), categoryColours},
        {QStringLiteral("axisTitles"), axisTitles},
        {QStringLiteral("hiddenCategories"), hidden},
        {QStringLiteral("groups"), groups},
    };
}

MapState MapState::fromJson(const QJsonObject &j)
{
    MapState s;
    auto i = [&j](const char *key, int fallback) {
        return j.value(QLatin1String(key)).toInt(fallback);
    };
    auto b = [&j](const char *key, bool fallback) {
        return j.value(QLatin1String(key)).toBool(fallback);
    };
    s.axis1 = i("axis1", s.axis1);
    s.axis2 = i("axis2", s.axis2);
    s.projectionMode = i("projection", s.projectionMode);
    s.scale = j.value(QLatin1String("scale")).toDouble(s.scale);
    s.panX = i("panX", s.panX);
    s.panY = i("panY", s.panY);
    s.imageThreshold = i("imageThreshold", s.imageThreshold);
    s.wordThreshold = i("wordThreshold", s.wordThreshold);
    s.radius = i("radius", s.radius);
    s.cellSize = i("cellSize", s.cellSize);
    s.circleNeighbour = b("circleNeighbour", s.circleNeighbour);
    s.showLens = b("lens", s.showLens);
    s.showImage = b("thumbnails", s.showImage);
    s.showInfo = b("card", s.showInfo);
    s.showImagePoint = b("imagePoints", s.showImagePoint);
    s.showWordPoint = b("wordPoints", s.showWordPoint);
    s.showSupImagePoint = b("supplementaryPoints", s.showSupImagePoint);
    s.shiftX = i("shiftX", s.shiftX);
    s.shiftY = i("shiftY", s.shiftY);
    s.categoryColours = b("categoryColours", s.categoryColours);
    s.axisTitles = b("axisTitles", s.axisTitles);
    for (const QJsonValue &c : j.value(QLatin1String("hiddenCategories")).toArray())
        if (c.isDouble())
            s.hiddenCategories.insert(c.toInt());
    s.groups = j.value(QLatin1String("groups")).toArray();
    return s;
}

bool MapState::operator==(const MapState &o) const
{
    return axis1 == o.axis1 && axis2 == o.axis2 && projectionMode == o.projectionMode
        && scale == o.scale && panX == o.panX && panY == o.panY
        && imageThreshold == o.imageThreshold && wordThreshold == o.wordThreshold
        && radius == o.radius && cellSize == o.cellSize && circleNeighbour == o.circleNeighbour
        && showLens == o.showLens && showImage == o.showImage && showInfo == o.showInfo
        && showImagePoint == o.showImagePoint && showWordPoint == o.showWordPoint
        && showSupImagePoint == o.showSupImagePoint
        && shiftX == o.shiftX && shiftY == o.shiftY && categoryColours == o.categoryColours
        && axisTitles == o.axisTitles && hiddenCategories == o.hiddenCategories
        && groups == o.groups;
}

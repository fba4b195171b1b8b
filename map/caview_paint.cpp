#include "map/caview.h"

#include "data/model/cadata.h"
#include "data/statistics/inertiashares.h"
#include "data/model/imagefile.h"
#include "data/model/imagefit.h"
#include "data/model/keypointpalette.h"
#include "data/model/sift.h"
#include "map/axistitles.h"
#include "map/maplabels.h"
#include "map/extentoverlay.h"
#include "map/tools/maptool.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPixmap>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// The 2-pixel pens of the overlays (focus marks, selection).
QPen widePen(Qt::GlobalColor colour)
{
    return QPen(QBrush(colour), 2.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
}

} // namespace

void CAView::paintEvent(QPaintEvent *)
{
    if (!data)
        return;
    // A fit asked for before the widget had its size is made now.
    if (fitPending)
        refit();
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    draw(&painter);
    // Far points and stacks, which the marks alone would not tell.
    updateExtentFigures();
    ExtentOverlay::paint(painter, *this, rect(), stacks, markers);
    NamedGroup::paint(painter, *this);
    // Over the groups' rings, beside the edge markers.
    if (axisTitles)
        drawAxisTitles(&painter);
    drawFound(&painter);
    MapLabels::paintView(painter, *this);

    // The active tool's overlay (the outline in selection mode).
    if (const MapTool *tool = activeTool())
        tool->paint(painter);

    if (focusImage < 0 || focusImage >= data->imageCount())
        return;
    if (showImage) {
        // Read from disk on every repaint, so a changed file shows at once;
        // never decoded while the thumbnails are off (hover repaints often).
        // Read no larger than shown: a very large picture is reduced while
        // decoding instead of refused. Placed by its size in the file, as
        // its keypoints are.
        QPixmap pixmap;
        QSize original;
        if (const ImageLabel *label = data->imageLabel(focusImage)) {
            pixmap = QPixmap::fromImage(
                ImageFile::read(data->resolve(label->imageFile), QSize(200, 200), &original));
        } else {
            pixmap = data->getPixmap(focusImage);
            original = pixmap.size();
        }
        const int W = width();
        const int H = height();
        double ox, oy, s;
        ImageFit::fit(200, 200, original.width(), original.height(), ox, oy, s);
        const int w = truncate(original.width() * s);
        const int h = truncate(original.height() * s);
        // Left, right, top, bottom, corner.
        const double lefts[5] = {ox, W - 200 + ox, W / 2 - 100 + ox, W / 2 - 100 + ox, ox};
        const double tops[5] = {H / 2 - 100 + oy, H / 2 - 100 + oy, oy, H - 200 + oy, oy};
        for (int k = 0; k < 5; ++k)
            painter.drawPixmap(QRect(truncate(lefts[k]), truncate(tops[k]), w, h), pixmap,
                               pixmap.rect());

        if (data->hasKeypoints() && !colors.isEmpty()) {
            QList<Sift> sifts;
            data->getSifts(focusImage, sifts, nullptr);
            for (const Sift &sift : std::as_const(sifts)) {
                const QColor c = KeypointPalette::colour(colors, sift.word);
                if (wordList.contains(sift.word))
                    sift.draw(painter, lefts[4], tops[4], s, s, c);
                if (axis1PosLabels.contains(sift.word))
                    sift.draw(painter, lefts[1], tops[1], s, s, c);
                if (axis1NegLabels.contains(sift.word))
                    sift.draw(painter, lefts[0], tops[0], s, s, c);
                if (axis2PosLabels.contains(sift.word))
                    sift.draw(painter, lefts[2], tops[2], s, s, c);
                if (axis2NegLabels.contains(sift.word))
                    sift.draw(painter, lefts[3], tops[3], s, s, c);
            }
        }
    }
    if (showInfo) {
        if (focusOnImage)
            showInformation(&painter);
        else
            showWordInformation(&painter);
    }
}

void CAView::updateExtentFigures()
{
    // Generation 0 is never a restyle's: the first paint works both out.
    const int key[3] = {axis1, axis2, projectionMode};
    if (stacksGeneration != layerGeneration || layerGeneration == 0 ||
        !std::equal(key, key + 3, stacksKey)) {
        stacks = ExtentOverlay::stacks(*this);
        stacksGeneration = layerGeneration;
        std::copy(key, key + 3, stacksKey);
    }
    const MapTransform t = mapTransform();
    if (markersGeneration != layerGeneration || layerGeneration == 0 || markersTransform != t ||
        markersWindow != rect()) {
        markers = ExtentOverlay::markers(*this, rect());
        markersGeneration = layerGeneration;
        markersTransform = t;
        markersWindow = rect();
    }
}

void CAView::draw(QPainter *painter)
{
    if (background)
        painter->drawPixmap(mapTransform().canvasTopLeft(), *background);

    const bool imageFocus = focusOnImage && focusImage >= 0 && focusImage < data->imageCount();
    const bool wordFocus = !focusOnImage && focusWord >= 0 && focusWord < data->nbWords;

    if (!showLens) {
        painter->save();
        painter->setPen(Qt::black);
        painter->setBrush(QBrush(Qt::blue));
        for (int j : std::as_const(hoverWords)) {
            const QPoint p = wordPosition(j);
            painter->drawEllipse(p.x() - 2, p.y() - 2, 4, 4);
        }
        painter->setBrush(QBrush(Qt::green));
        for (int i : std::as_const(imageList)) {
            const QPoint p = imagePosition(i);
            painter->drawRect(p.x() - 2, p.y() - 2, 4, 4);
        }
        if (imageFocus) {
            const QPoint p = imagePosition(focusImage);
            painter->setPen(Qt::black);
            painter->setBrush(QBrush(Qt::yellow));
            painter->drawRect(p.x() - 2, p.y() - 2, 4, 4);
            painter->setPen(widePen(Qt::darkGreen));
            painter->setBrush(Qt::NoBrush);
            painter->drawEllipse(p.x() - 6, p.y() - 6, 12, 12);
        } else if (wordFocus) {
            const QPoint p = wordPosition(focusWord);
            painter->setPen(Qt::black);
            painter->setBrush(QBrush(Qt::yellow));
            painter->drawEllipse(p.x() - 2, p.y() - 2, 4, 4);
            painter->setPen(widePen(Qt::darkGreen));
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(p.x() - 6, p.y() - 6, 12, 12);
        }
        painter->setPen(Qt::blue);
        painter->setBrush(Qt::NoBrush);
        painter->drawEllipse(cursorX - radius, cursorY - radius, 2 * radius, 2 * radius);
        painter->restore();
        return;
    }

    painter->save();
    painter->save();
    QRadialGradient gradient(cursorX, cursorY, 102, cursorX, cursorY);
    gradient.setColorAt(0, QColor(255, 255, 255, 191));
    gradient.setColorAt(0.2, QColor(255, 255, 127, 191));
    gradient.setColorAt(0.9, QColor(150, 150, 200, 63));
    gradient.setColorAt(0.97, QColor(0, 0, 0, 127));
    gradient.setColorAt(1, QColor(0, 0, 0, 0));
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setBrush(gradient);
    painter->setPen(Qt::NoPen);
    painter->drawEllipse(cursorX - 102, cursorY - 102, 204, 204);
    painter->setPen(Qt::lightGray);
    painter->setBrush(Qt::NoBrush);
    painter->drawEllipse(cursorX - radius, cursorY - radius, 2 * radius, 2 * radius);
    painter->restore();

    // Distance from the cursor and the magnified position: a point at
    // `radius` lands 80 pixels from the centre of the 102-pixel lens.
    struct Lensed {
        double d;
        int mx, my;
    };
    auto lensed = [this](const QPoint &p) {
        const double dx = double(p.x()) - cursorX;
        const double dy = double(p.y()) - cursorY;
        Lensed l;
        l.d = std::sqrt(dx * dx + dy * dy);
        // With radius 0 only a point on the cursor is magnified, and it
        // stays there.
        l.mx = radius ? truncate(cursorX + dx * 0.8 * 100 / radius) : cursorX;
        l.my = radius ? truncate(cursorY + dy * 0.8 * 100 / radius) : cursorY;
        return l;
    };

    painter->setPen(Qt::black);
    painter->setBrush(QBrush(Qt::cyan));
    for (int j : std::as_const(hoverWords)) {
        const Lensed l = lensed(wordPosition(j));
        if (l.d <= radius)
            painter->drawEllipse(l.mx - 4, l.my - 4, 8, 8);
    }
    painter->setBrush(QBrush(Qt::green));
    for (int i : std::as_const(imageList)) {
        const QPoint p = imagePosition(i);
        const Lensed l = lensed(p);
        if (l.d > radius)
            painter->drawRect(p.x() - 2, p.y() - 2, 4, 4);
        else
            painter->drawRect(l.mx - 4, l.my - 4, 8, 8);
    }
    if (wordFocus || imageFocus) {
        const QPoint p = wordFocus ? wordPosition(focusWord) : imagePosition(focusImage);
        const Lensed l = lensed(p);
        painter->setPen(Qt::black);
        painter->setBrush(QBrush(Qt::yellow));
        // The focus is magnified only strictly inside the lens circle.
        if (l.d < radius) {
            if (wordFocus)
                painter->drawEllipse(l.mx - 4, l.my - 4, 8, 8);
            else
                painter->drawRect(l.mx - 4, l.my - 4, 8, 8);
        } else {
            if (wordFocus)
                painter->drawEllipse(p.x() - 2, p.y() - 2, 4, 4);
            else
                painter->drawRect(p.x() - 2, p.y() - 2, 4, 4);
            painter->setPen(widePen(Qt::darkGreen));
            painter->setBrush(Qt::NoBrush);
            if (wordFocus)
                painter->drawRect(p.x() - 6, p.y() - 6, 12, 12);
            else
                painter->drawEllipse(p.x() - 6, p.y() - 6, 12, 12);
        }
    }
    painter->restore();
}

void CAView::showHideLens(bool show)
{
    showLens = show;
    repaint();
}

void CAView::showHideImage(bool show)
{
    if (!data)
        return;
    showImage = show;
    repaint();
}

double CAView::axisShare(int axis) const
{
    return data ? InertiaShares::share(*data, axis) : 0;
}

QString CAView::axisTitle(int axis) const
{
    return data ? InertiaShares::axisTitle(*data, axis) : QString();
}

void CAView::drawAxisTitles(QPainter *painter)
{
    // The markers' boxes, measured in the font they are painted in.
    QFont bold = painter->font();
    bold.setBold(true);
    const QFontMetrics metrics(bold);
    std::vector<QRect> avoid;
    for (const MapExtent::Marker &m : markers)
        avoid.push_back(ExtentOverlay::markerBox(m, metrics));
    AxisTitles::paint(*painter, mapTransform(), size(), axisTitle(axis1), axisTitle(axis2), avoid);
}

void CAView::setAxisTitles(bool on)
{
    axisTitles = on;
    update();
}

#ifndef TST_CAVIEW_TEXTRECORDER_H
#define TST_CAVIEW_TEXTRECORDER_H

// A paint device that keeps the texts a widget draws, with their baseline
// position in widget pixels and the transformation in force, and discards
// everything else. Lets a test read the words on the map the way a user
// would, without depending on fonts.

#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QTextItem>
#include <QTransform>
#include <QWidget>

namespace fixture {

struct DrawnText
{
    QString text;
    QPointF position;
    QTransform transform;
};

class TextRecorder : public QPaintDevice
{
public:
    explicit TextRecorder(QSize size) : m_size(size), m_engine(this) {}

    QPaintEngine *paintEngine() const override
    {
        return const_cast<Engine *>(&m_engine);
    }

    // Everything `widget` paints, recorded.
    static QList<DrawnText> record(QWidget &widget)
    {
        TextRecorder device(widget.size());
        QPainter painter(&device);
        widget.render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
        painter.end();
        return device.texts;
    }

    QList<DrawnText> texts;

protected:
    int metric(PaintDeviceMetric m) const override
    {
        switch (m) {
        case PdmWidth:
            return m_size.width();
        case PdmHeight:
            return m_size.height();
        case PdmWidthMM:
            return m_size.width() * 254 / 960;
        case PdmHeightMM:
            return m_size.height() * 254 / 960;
        case PdmNumColors:
            return 0;
        case PdmDepth:
            return 32;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return 96;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(QPaintDevice::devicePixelRatioFScale());
        }
        return 0;
    }

private:
    class Engine : public QPaintEngine
    {
    public:
        explicit Engine(TextRecorder *owner) : QPaintEngine(AllFeatures), m_owner(owner) {}
        bool begin(QPaintDevice *) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState &state) override
        {
            if (state.state() & DirtyTransform)
                m_transform = state.transform();
        }
        void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override {}
        void drawImage(const QRectF &, const QImage &, const QRectF &,
                       Qt::ImageConversionFlags) override {}
        void drawTiledPixmap(const QRectF &, const QPixmap &, const QPointF &) override {}
        void drawPath(const QPainterPath &) override {}
        void drawPolygon(const QPointF *, int, PolygonDrawMode) override {}
        void drawPolygon(const QPoint *, int, PolygonDrawMode) override {}
        void drawRects(const QRectF *, int) override {}
        void drawRects(const QRect *, int) override {}
        void drawLines(const QLineF *, int) override {}
        void drawLines(const QLine *, int) override {}
        void drawEllipse(const QRectF &) override {}
        void drawEllipse(const QRect &) override {}
        void drawPoints(const QPointF *, int) override {}
        void drawPoints(const QPoint *, int) override {}
        void drawTextItem(const QPointF &p, const QTextItem &item) override
        {
            m_owner->texts.append({item.text(), m_transform.map(p), m_transform});
        }
        Type type() const override { return User; }

    private:
        TextRecorder *m_owner;
        QTransform m_transform;
    };

    QSize m_size;
    Engine m_engine;
};

} // namespace fixture

#endif // TST_CAVIEW_TEXTRECORDER_H

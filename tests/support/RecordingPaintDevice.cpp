#include "support/RecordingPaintDevice.h"

#include <QPaintEngine>
#include <QPainterPath>
#include <QTextItem>

namespace {

class RecordingEngine final : public QPaintEngine {
public:
    explicit RecordingEngine(RecordingPaintDevice* device) : QPaintEngine(AllFeatures), m_device(device) {}
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState&) override {}
    Type type() const override { return User; }
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawPath(const QPainterPath&) override {}
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
    void drawLines(const QLineF*, int) override {}
    void drawRects(const QRectF* rects, int count) override {
        const QTransform t = painter()->transform();
        for (int i = 0; i < count; ++i)
            m_device->Filled << t.mapRect(rects[i]);
    }
    void drawTextItem(const QPointF& p, const QTextItem& item) override {
        const QPointF at = painter()->transform().map(p);
        m_device->Pages.last() << DrawnText{item.text(), at, item.width(), item.font().bold()};
    }

private:
    RecordingPaintDevice* m_device;
};

} // namespace

RecordingPaintDevice::RecordingPaintDevice(double widthMm, double heightMm, int dpi)
    : m_widthMm(widthMm), m_heightMm(heightMm), m_dpi(dpi), m_engine(std::make_unique<RecordingEngine>(this)) {}

RecordingPaintDevice::~RecordingPaintDevice() = default;

QPaintEngine* RecordingPaintDevice::paintEngine() const {
    return m_engine.get();
}

int RecordingPaintDevice::metric(PaintDeviceMetric metric) const {
    switch (metric) {
    case PdmWidth:
        return qRound(m_widthMm / 25.4 * m_dpi);
    case PdmHeight:
        return qRound(m_heightMm / 25.4 * m_dpi);
    case PdmWidthMM:
        return qRound(m_widthMm);
    case PdmHeightMM:
        return qRound(m_heightMm);
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY:
        return m_dpi;
    case PdmNumColors:
        return INT_MAX;
    case PdmDepth:
        return 32;
    case PdmDevicePixelRatio:
        return 1;
    case PdmDevicePixelRatioScaled:
        return qRound(devicePixelRatioFScale());
    }
    return QPaintDevice::metric(metric);
}

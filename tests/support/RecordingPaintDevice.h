#pragma once

// A paint device that keeps what was painted on it: every text with its position,
// page by page, and the filled rectangles. Metrics are those of an A4 page at the
// given resolution, so layouts computed for it match those of a PDF writer.

#include <QList>
#include <QPaintDevice>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <memory>

struct DrawnText {
    QString text;
    QPointF at;   // baseline start, device coordinates
    double width; // advance of the text
    bool bold;
};

class RecordingPaintDevice : public QPaintDevice {
public:
    RecordingPaintDevice(double widthMm, double heightMm, int dpi);
    ~RecordingPaintDevice() override;

    QPaintEngine* paintEngine() const override;
    void NewPage() { Pages.append(QList<DrawnText>()); }

    QList<QList<DrawnText>> Pages{{}};
    QList<QRectF> Filled;

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    double m_widthMm;
    double m_heightMm;
    int m_dpi;
    std::unique_ptr<QPaintEngine> m_engine;
};

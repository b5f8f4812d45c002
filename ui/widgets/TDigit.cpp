#include "ui/widgets/TDigit.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPolygon>

namespace {
// Lit segments per digit: 6 and 9 have their tails, 7 has no upper-left bar.
constexpr quint8 kPatterns[10] = {125, 80, 55, 87, 90, 79, 111, 81, 127, 95};
} // namespace

TDigit::TDigit(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(16, 32);
}

quint8 TDigit::Pattern(int digit) {
    return digit >= 0 && digit <= 9 ? kPatterns[digit] : kPatterns[0];
}

void TDigit::SetValue(int value) {
    if (value == m_value)
        return;
    // The overflow handler already sees the corrected value, and whatever it
    // sets itself is what the segments show afterwards.
    const bool overflow = value < 0 || value > 9;
    m_value = overflow ? 0 : value;
    if (overflow && OnOverflow)
        OnOverflow(this);
    m_valueBinary = Pattern(m_value);
    RepaintNow();
}

void TDigit::SetValueBinary(quint8 bits) {
    if (bits == m_valueBinary)
        return;
    m_valueBinary = bits;
    RepaintNow();
}

void TDigit::SetColorOn(const QColor& color) {
    if (color == m_colorOn)
        return;
    m_colorOn = color;
    RepaintNow();
}

void TDigit::SetColorOff(const QColor& color) {
    if (color == m_colorOff)
        return;
    m_colorOff = color;
    RepaintNow();
}

void TDigit::SetColor(const QColor& color) {
    if (color == m_color)
        return;
    m_color = color;
    RepaintNow();
}

void TDigit::SetThickness(int thickness) {
    if (thickness > width() / 2 || thickness > height() / 2)
        return;
    m_thickness = thickness;
    update();
}

void TDigit::SetSeparation(int separation) {
    m_separation = separation;
    update();
}

void TDigit::SetBorderStyle(int style) {
    if (style == m_borderStyle)
        return;
    m_borderStyle = style;
    RepaintNow();
}

// A changed value shows at once; the paint itself is queued by the toolkit and
// coalesced, so several setters in one handler paint once.
void TDigit::RepaintNow() {
    update();
}

void TDigit::paintEvent(QPaintEvent* event) {
    ++m_paintCount;
    QPainter p(this);
    p.fillRect(event->rect(), m_color);
    p.setPen(m_color);

    const int W = width() - 1;
    const int H = height() - 1;
    const int T = m_thickness;
    const int S = m_separation;
    const int M = H / 2;

    auto fill = [&](quint8 mask, const QPolygon& shape) {
        p.setBrush((m_valueBinary & mask) == mask ? m_colorOn : m_colorOff);
        p.drawPolygon(shape);
    };

    const int rows[3] = {0, M - T, H - 2 * T};
    const quint8 horizontal[3] = {Top, Middle, Bottom};
    for (int i = 0; i < 3; ++i) {
        const int y = rows[i];
        fill(horizontal[i],
             QPolygon({QPoint(T + S, y + T), QPoint(2 * T + S, y), QPoint(W - 2 * T - S, y), QPoint(W - T - S, y + T),
                       QPoint(W - 2 * T - S, y + 2 * T), QPoint(2 * T + S, y + 2 * T)}));
    }

    const quint8 vertical[4] = {UpperLeft, UpperRight, LowerLeft, LowerRight};
    for (int i = 0; i < 4; ++i) {
        const int x = (i % 2 == 0) ? 0 : W - 2 * T;
        const int y = (i < 2) ? 0 : M - T;
        fill(vertical[i],
             QPolygon({QPoint(x, y + 2 * T + S), QPoint(x + T, y + T + S), QPoint(x + 2 * T, y + 2 * T + S),
                       QPoint(x + 2 * T, y + M - T - S), QPoint(x + T, y + M - S), QPoint(x, y + M - T - S)}));
    }

    fill(Point, QPolygon({QPoint(W, H), QPoint(W + S - 2 * T, H), QPoint(W, H + S - 2 * T)}));
}

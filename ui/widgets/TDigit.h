#pragma once

#include <QColor>
#include <QWidget>

#include <functional>

// One seven-segment digit with a decimal point, drawn from filled polygons so
// it scales with its size. Setters compare before they repaint, so the
// display's 10 ms clock costs nothing for digits that did not change.
class TDigit : public QWidget {
    Q_OBJECT
public:
    // Segment bits of ValueBinary.
    enum Segment : quint8 {
        Top = 1,
        Middle = 2,
        Bottom = 4,
        UpperLeft = 8,
        UpperRight = 16,
        LowerLeft = 32,
        LowerRight = 64,
        Point = 128
    };

    explicit TDigit(QWidget* parent = nullptr);

    // Lit segments of the digits 0 to 9.
    static quint8 Pattern(int digit);

    int Value() const { return m_value; }
    void SetValue(int value);
    quint8 ValueBinary() const { return m_valueBinary; }
    void SetValueBinary(quint8 bits);
    QColor ColorOn() const { return m_colorOn; }
    void SetColorOn(const QColor& color);
    QColor ColorOff() const { return m_colorOff; }
    void SetColorOff(const QColor& color);
    QColor Color() const { return m_color; }
    void SetColor(const QColor& color);
    int Thickness() const { return m_thickness; }
    void SetThickness(int thickness);
    int Separation() const { return m_separation; }
    void SetSeparation(int separation);
    int BorderStyle() const { return m_borderStyle; }
    void SetBorderStyle(int style);

    std::function<void(TDigit*)> OnOverflow;

    // Paint events received; lets tests see that unchanged values do not repaint.
    int PaintCount() const { return m_paintCount; }

    QSize sizeHint() const override { return {16, 32}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void RepaintNow();

    int m_value = 0;
    quint8 m_valueBinary = 125;
    QColor m_colorOn{255, 255, 0};
    QColor m_colorOff{0, 0, 0};
    QColor m_color{0, 0, 0};
    int m_thickness = 2;
    int m_separation = 1;
    int m_borderStyle = 1;
    int m_paintCount = 0;
};

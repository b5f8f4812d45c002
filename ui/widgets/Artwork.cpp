#include "ui/widgets/Artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>

namespace Artwork {

namespace {

const QColor kNavy(28, 44, 82);
const QColor kSteel(60, 90, 140);
const QColor kSky(180, 195, 220);

QImage Blank(QSize size, QImage::Format format = QImage::Format_RGB32) {
    QImage image(size, format);
    image.fill(format == QImage::Format_ARGB32_Premultiplied ? Qt::transparent : Qt::black);
    return image;
}

// Fine horizontal lines that make a surface look brushed.
void Brush(QPainter& p, QSize size, int alpha) {
    for (int y = 0; y < size.height(); y += 2) {
        const int shade = (y * 37) % 5 == 0 ? alpha : alpha / 3;
        p.setPen(QColor(255, 255, 255, shade));
        p.drawLine(0, y, size.width(), y);
    }
}

void StripGradient(QPainter& p, QSize size) {
    QLinearGradient g(0, 0, size.width(), 0);
    g.setColorAt(0, kSteel);
    g.setColorAt(1, kSky);
    p.fillRect(QRect(QPoint(0, 0), size), g);
    QLinearGradient shine(0, 0, 0, size.height());
    shine.setColorAt(0, QColor(255, 255, 255, 70));
    shine.setColorAt(0.5, QColor(255, 255, 255, 0));
    shine.setColorAt(1, QColor(0, 0, 0, 50));
    p.fillRect(QRect(QPoint(0, 0), size), shine);
}

void Stopwatch(QPainter& p, const QRectF& box) {
    const double d = std::min(box.width(), box.height());
    const QPointF c(box.center().x(), box.top() + d * 0.56);
    const double r = d * 0.40;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(90, 98, 110));
    p.drawRoundedRect(QRectF(c.x() - d * 0.08, box.top() + d * 0.02, d * 0.16, d * 0.12), d * 0.03, d * 0.03);
    QRadialGradient face(c - QPointF(r * 0.3, r * 0.3), r * 1.4);
    face.setColorAt(0, QColor(255, 255, 255));
    face.setColorAt(1, QColor(200, 208, 220));
    p.setBrush(QColor(40, 110, 60));
    p.drawEllipse(c, r, r);
    p.setBrush(face);
    p.drawEllipse(c, r * 0.84, r * 0.84);
    p.setPen(QPen(QColor(40, 40, 40), std::max(1.0, d * 0.02)));
    for (int i = 0; i < 12; ++i) {
        const double a = i * M_PI / 6;
        const QPointF dir(std::sin(a), -std::cos(a));
        p.drawLine(c + dir * r * 0.70, c + dir * r * 0.80);
    }
    p.setPen(QPen(QColor(200, 0, 0), std::max(1.5, d * 0.04), Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c, c + QPointF(std::sin(1.0), -std::cos(1.0)) * r * 0.68);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 40, 40));
    p.drawEllipse(c, d * 0.04, d * 0.04);
}

void Page(QPainter& p, int s, const QColor& band, const QString& letter) {
    p.setPen(QPen(QColor(80, 80, 80), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(s * 0.2, s * 0.08, s * 0.6, s * 0.84));
    p.setPen(Qt::NoPen);
    p.setBrush(band);
    p.drawRect(QRectF(s * 0.08, s * 0.3, s * 0.5, s * 0.42));
    // The letter as strokes, so no font is needed.
    p.setPen(QPen(Qt::white, s * 0.07, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const double l = s * 0.16, r = s * 0.50, t = s * 0.38, b = s * 0.64;
    if (letter == QLatin1String("W")) {
        const QPointF pts[5] = {
            {l, t}, {l + (r - l) * 0.25, b}, {(l + r) / 2, t + (b - t) * 0.35}, {l + (r - l) * 0.75, b}, {r, t}};
        p.drawPolyline(pts, 5);
    } else {
        p.drawLine(QPointF(l, t), QPointF(r, b));
        p.drawLine(QPointF(r, t), QPointF(l, b));
    }
    p.setPen(QPen(QColor(150, 150, 150), 1));
    for (int i = 0; i < 4; ++i)
        p.drawLine(QPointF(s * 0.62, s * (0.35 + 0.1 * i)), QPointF(s * 0.74, s * (0.35 + 0.1 * i)));
}

void Speaker(QPainter& p, int s, bool on) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(50, 60, 80));
    const QPointF body[6] = {{s * 0.12, s * 0.38}, {s * 0.30, s * 0.38}, {s * 0.52, s * 0.18},
                             {s * 0.52, s * 0.82}, {s * 0.30, s * 0.62}, {s * 0.12, s * 0.62}};
    p.drawPolygon(body, 6);
    p.setBrush(Qt::NoBrush);
    if (on) {
        p.setPen(QPen(QColor(0, 128, 0), s * 0.07, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(QRectF(s * 0.40, s * 0.30, s * 0.30, s * 0.40), -50 * 16, 100 * 16);
        p.drawArc(QRectF(s * 0.36, s * 0.16, s * 0.50, s * 0.68), -50 * 16, 100 * 16);
    } else {
        p.setPen(QPen(QColor(200, 0, 0), s * 0.08, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(s * 0.62, s * 0.36), QPointF(s * 0.88, s * 0.64));
        p.drawLine(QPointF(s * 0.88, s * 0.36), QPointF(s * 0.62, s * 0.64));
    }
}

} // namespace

QImage DisplaySurround(QSize size) {
    QImage image = Blank(size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, size.width(), size.height());
    g.setColorAt(0, QColor(96, 110, 140));
    g.setColorAt(0.45, QColor(52, 62, 88));
    g.setColorAt(1, QColor(22, 28, 44));
    p.fillRect(image.rect(), g);
    Brush(p, size, 18);
    // A bevelled bezel where the black display sits (17, 14; 492 x 240).
    const QRect bezel(11, 8, 504, 252);
    p.setPen(QPen(QColor(255, 255, 255, 120), 2));
    p.drawLine(bezel.bottomLeft(), bezel.topLeft());
    p.drawLine(bezel.topLeft(), bezel.topRight());
    p.setPen(QPen(QColor(0, 0, 0, 160), 2));
    p.drawLine(bezel.topRight(), bezel.bottomRight());
    p.drawLine(bezel.bottomRight(), bezel.bottomLeft());
    // Three green status dots below the display.
    for (int i = 0; i < 3; ++i) {
        QRadialGradient led(QPointF(24 + 14 * i, size.height() - 12), 5);
        led.setColorAt(0, QColor(160, 255, 160));
        led.setColorAt(1, QColor(0, 110, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(led);
        p.drawEllipse(QPointF(24 + 14 * i, size.height() - 12), 4, 4);
    }
    return image;
}

QImage FinishHeading(QSize size) {
    QImage image = Blank(size);
    QPainter p(&image);
    StripGradient(p, size);
    // A chequered flag band at the right edge.
    const int cell = std::max(3, size.height() / 6);
    for (int y = 0; y * cell < size.height(); ++y)
        for (int x = 0; x < 3; ++x)
            p.fillRect(size.width() - (3 - x) * cell, y * cell, cell, cell,
                       (x + y) % 2 ? QColor(20, 20, 20) : QColor(245, 245, 245));
    return image;
}

QImage TopBar(QSize size) {
    QImage image = Blank(size);
    QPainter p(&image);
    QLinearGradient g(0, 0, 0, size.height());
    g.setColorAt(0, QColor(236, 240, 246));
    g.setColorAt(0.55, QColor(200, 208, 222));
    g.setColorAt(1, QColor(160, 172, 194));
    p.fillRect(image.rect(), g);
    Brush(p, size, 40);
    p.setPen(QColor(120, 130, 150));
    p.drawLine(0, size.height() - 1, size.width(), size.height() - 1);
    return image;
}

QImage ButtonStrip(QSize size) {
    QImage image = Blank(size);
    QPainter p(&image);
    StripGradient(p, size);
    return image;
}

QImage AppIcon(int size) {
    QImage image = Blank(QSize(size, size), QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    Stopwatch(p, QRectF(0, 0, size, size));
    return image;
}

QImage Logo(QSize size) {
    QImage image = Blank(size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QLinearGradient g(0, 0, size.width(), 0);
    g.setColorAt(0, kNavy);
    g.setColorAt(1, kSteel);
    p.fillRect(image.rect(), g);
    // The left part stays plain: the info box shows the program's icon there.
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(size.height() * 5 / 9);
    f.setBold(true);
    f.setItalic(true);
    p.setFont(f);
    const QRect text(size.height(), 0, size.width() - size.height() - 6, size.height() * 3 / 4);
    p.setPen(QColor(0, 0, 0, 120));
    p.drawText(text.translated(2, 2), Qt::AlignCenter, QStringLiteral("Kadenzor"));
    p.setPen(QColor(255, 220, 0));
    p.drawText(text, Qt::AlignCenter, QStringLiteral("Kadenzor"));
    f.setPixelSize(std::max(8, size.height() / 6));
    f.setBold(false);
    f.setItalic(false);
    p.setFont(f);
    p.setPen(QColor(220, 230, 255));
    p.drawText(QRect(size.height(), size.height() * 2 / 3, size.width() - size.height() - 6, size.height() / 3),
               Qt::AlignCenter, QStringLiteral("Zeitnahme für Start und Ziel"));
    return image;
}

QImage ButtonPicture(Picture which, int s) {
    QImage image = Blank(QSize(s, s), QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPen outline(QColor(60, 60, 60), 1);
    switch (which) {
    case Picture::OpenList: {
        p.setPen(outline);
        p.setBrush(QColor(230, 190, 80));
        p.drawRect(QRectF(s * 0.08, s * 0.25, s * 0.8, s * 0.6));
        p.setBrush(QColor(250, 220, 120));
        const QPointF front[4] = {
            {s * 0.2, s * 0.45}, {s * 0.96, s * 0.45}, {s * 0.84, s * 0.85}, {s * 0.08, s * 0.85}};
        p.drawPolygon(front, 4);
        p.setPen(QPen(QColor(0, 100, 0), s * 0.06));
        for (int i = 0; i < 2; ++i)
            p.drawLine(QPointF(s * 0.35, s * (0.6 + 0.12 * i)), QPointF(s * 0.75, s * (0.6 + 0.12 * i)));
        break;
    }
    case Picture::SoundOn:
    case Picture::SoundOff:
        Speaker(p, s, which == Picture::SoundOn);
        break;
    case Picture::PlaceCorrection: {
        // A podium: 2, 1, 3.
        p.setPen(outline);
        const QColor colours[3] = {QColor(192, 192, 200), QColor(240, 200, 40), QColor(200, 130, 60)};
        const double heights[3] = {0.45, 0.65, 0.32};
        for (int i = 0; i < 3; ++i) {
            p.setBrush(colours[i]);
            p.drawRect(QRectF(s * (0.06 + 0.3 * i), s * (0.92 - heights[i]), s * 0.28, s * heights[i]));
        }
        break;
    }
    case Picture::Save: {
        p.setPen(outline);
        p.setBrush(QColor(50, 80, 160));
        p.drawRoundedRect(QRectF(s * 0.1, s * 0.1, s * 0.8, s * 0.8), s * 0.06, s * 0.06);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(s * 0.24, s * 0.1, s * 0.52, s * 0.32));
        p.setBrush(QColor(200, 200, 210));
        p.drawRect(QRectF(s * 0.28, s * 0.58, s * 0.44, s * 0.32));
        break;
    }
    case Picture::Print: {
        p.setPen(outline);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(s * 0.26, s * 0.08, s * 0.48, s * 0.34));
        p.setBrush(QColor(110, 110, 120));
        p.drawRoundedRect(QRectF(s * 0.08, s * 0.38, s * 0.84, s * 0.36), s * 0.05, s * 0.05);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(s * 0.26, s * 0.62, s * 0.48, s * 0.3));
        p.setBrush(QColor(0, 200, 0));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(s * 0.8, s * 0.5), s * 0.04, s * 0.04);
        break;
    }
    case Picture::Word:
        Page(p, s, QColor(40, 80, 170), QStringLiteral("W"));
        break;
    case Picture::Excel:
        Page(p, s, QColor(20, 120, 60), QStringLiteral("X"));
        break;
    case Picture::Html: {
        p.setPen(QPen(QColor(20, 70, 150), s * 0.06));
        p.setBrush(QColor(170, 210, 250));
        const QPointF c(s * 0.5, s * 0.5);
        p.drawEllipse(c, s * 0.4, s * 0.4);
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(c, s * 0.18, s * 0.4);
        p.drawLine(QPointF(s * 0.1, s * 0.5), QPointF(s * 0.9, s * 0.5));
        p.drawLine(QPointF(s * 0.5, s * 0.1), QPointF(s * 0.5, s * 0.9));
        break;
    }
    case Picture::Clear: {
        p.setPen(outline);
        p.setBrush(QColor(170, 170, 180));
        p.drawRect(QRectF(s * 0.14, s * 0.16, s * 0.72, s * 0.1));
        p.drawRect(QRectF(s * 0.4, s * 0.08, s * 0.2, s * 0.08));
        p.setBrush(QColor(200, 200, 210));
        const QPointF can[4] = {{s * 0.2, s * 0.28}, {s * 0.8, s * 0.28}, {s * 0.72, s * 0.92}, {s * 0.28, s * 0.92}};
        p.drawPolygon(can, 4);
        p.setPen(QPen(QColor(200, 0, 0), s * 0.08, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(s * 0.36, s * 0.44), QPointF(s * 0.64, s * 0.76));
        p.drawLine(QPointF(s * 0.64, s * 0.44), QPointF(s * 0.36, s * 0.76));
        break;
    }
    case Picture::Question:
    case Picture::Notice: {
        const bool question = which == Picture::Question;
        p.setPen(QPen(QColor(40, 40, 40), 1));
        if (question) {
            QRadialGradient ball(QPointF(s * 0.38, s * 0.34), s * 0.6);
            ball.setColorAt(0, QColor(120, 170, 255));
            ball.setColorAt(1, QColor(20, 70, 180));
            p.setBrush(ball);
            p.drawEllipse(QRectF(s * 0.06, s * 0.06, s * 0.88, s * 0.88));
        } else {
            p.setBrush(QColor(250, 200, 30));
            const QPointF sign[3] = {{s * 0.5, s * 0.06}, {s * 0.96, s * 0.92}, {s * 0.04, s * 0.92}};
            p.drawPolygon(sign, 3);
        }
        // The mark as strokes: no font needed.
        p.setPen(QPen(question ? Qt::white : QColor(30, 30, 30), s * 0.11, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        if (question) {
            p.drawArc(QRectF(s * 0.34, s * 0.22, s * 0.32, s * 0.26), -60 * 16, 240 * 16);
            p.drawLine(QPointF(s * 0.5, s * 0.5), QPointF(s * 0.5, s * 0.6));
            p.drawPoint(QPointF(s * 0.5, s * 0.76));
        } else {
            p.drawLine(QPointF(s * 0.5, s * 0.36), QPointF(s * 0.5, s * 0.64));
            p.drawPoint(QPointF(s * 0.5, s * 0.8));
        }
        break;
    }
    case Picture::Agree: {
        p.setPen(QPen(QColor(0, 140, 0), s * 0.14, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const QPointF tick[3] = {{s * 0.14, s * 0.54}, {s * 0.4, s * 0.8}, {s * 0.86, s * 0.22}};
        p.drawPolyline(tick, 3);
        break;
    }
    }
    return image;
}

} // namespace Artwork

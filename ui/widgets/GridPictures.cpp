#include "ui/widgets/GridPictures.h"

#include <QPainter>
#include <QPolygon>

namespace {

QImage Blank(int w, int h) {
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// A filled triangle in dark grey, pointing up or down, as the header's sort mark.
QImage Arrow(bool up) {
    QImage image = Blank(8, 7);
    QPainter p(&image);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(64, 64, 64));
    const QPolygon tri = up ? QPolygon({QPoint(0, 6), QPoint(7, 6), QPoint(4, 0), QPoint(3, 0)})
                            : QPolygon({QPoint(0, 0), QPoint(7, 0), QPoint(4, 6), QPoint(3, 6)});
    p.drawPolygon(tri);
    return image;
}

QImage Box(bool checked) {
    QImage image = Blank(16, 16);
    QPainter p(&image);
    p.setPen(QColor(96, 96, 96));
    p.setBrush(Qt::white);
    p.drawRect(2, 2, 11, 11);
    if (checked) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(Qt::black, 2));
        p.drawPolyline(QPolygon({QPoint(4, 8), QPoint(7, 11), QPoint(12, 4)}));
    }
    return image;
}

// A button face in the window colours, with a mark in the middle.
QImage Button(bool ellipsis) {
    QImage image = Blank(16, 16);
    QPainter p(&image);
    p.fillRect(0, 0, 16, 16, QColor(0xf0, 0xf0, 0xf0));
    p.setPen(Qt::white);
    p.drawLine(0, 0, 14, 0);
    p.drawLine(0, 0, 0, 14);
    p.setPen(QColor(0xa0, 0xa0, 0xa0));
    p.drawLine(15, 0, 15, 15);
    p.drawLine(0, 15, 15, 15);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    if (ellipsis) {
        for (int x : {4, 7, 10})
            p.drawRect(x, 10, 1, 1);
    } else {
        p.drawPolygon(QPolygon({QPoint(4, 6), QPoint(11, 6), QPoint(8, 10), QPoint(7, 10)}));
    }
    return image;
}

} // namespace

namespace GridPictures {
const QImage& Up() {
    static const QImage image = Arrow(true);
    return image;
}
const QImage& Down() {
    static const QImage image = Arrow(false);
    return image;
}
const QImage& Checked() {
    static const QImage image = Box(true);
    return image;
}
const QImage& Unchecked() {
    static const QImage image = Box(false);
    return image;
}
const QImage& ComboBox() {
    static const QImage image = Button(false);
    return image;
}
const QImage& Ellipsis() {
    static const QImage image = Button(true);
    return image;
}
} // namespace GridPictures

#include "ui/dialogs/AlgItemDelegate.h"

#include <QPainter>
#include <QPainterPath>

QPixmap AlgItemDelegate::Picture(int alg) {
    QPixmap pixmap(41, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, false);
    const bool rising = alg == 0;
    const int low = 13, high = 2, edge = 20;
    // The line level before and after the edge.
    QPen line(rising ? QColor(0, 128, 0) : QColor(192, 0, 0), 2);
    p.setPen(line);
    p.drawLine(1, rising ? low : high, edge, rising ? low : high);
    p.drawLine(edge, low, edge, high);
    p.drawLine(edge, rising ? high : low, 39, rising ? high : low);
    // The arrow on the edge shows the direction that counts.
    QPainterPath arrow;
    const int tip = rising ? high + 2 : low - 2;
    const int base = rising ? tip + 5 : tip - 5;
    arrow.moveTo(edge, tip);
    arrow.lineTo(edge - 4, base);
    arrow.lineTo(edge + 4, base);
    arrow.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawPath(arrow);
    return pixmap;
}

void AlgItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const QRect r = option.rect;
    const bool selected = option.state & QStyle::State_Selected;
    painter->fillRect(r, selected ? option.palette.highlight() : option.palette.base());
    painter->setPen(selected ? option.palette.highlightedText().color() : option.palette.text().color());
    painter->setFont(option.font);
    painter->drawText(QRect(r.left() + 1, r.top(), 21, r.height()), Qt::AlignLeft | Qt::AlignTop,
                      index.data(Qt::DisplayRole).toString());
    painter->drawPixmap(r.left() + 22, r.top() - 1, Picture(index.row()));
}

QSize AlgItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const QSize base = QStyledItemDelegate::sizeHint(option, index);
    return {std::max(base.width(), 22 + 41 + 2), std::max(base.height(), 16)};
}

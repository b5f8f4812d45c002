#include "ui/widgets/StatusLabel.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

StatusLabel::StatusLabel(QWidget* parent) : QLabel(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
}

void StatusLabel::Show(const QString& text, bool alarm, const QString& tip) {
    if (text != this->text())
        setText(text);
    if (alarm != m_alarm) {
        m_alarm = alarm;
        setStyleSheet(alarm ? QStringLiteral("QLabel { color: white; background: #c00000; }") : QString());
    }
    setToolTip(tip.isEmpty() ? text : tip);
}

QSize StatusLabel::minimumSizeHint() const {
    return QSize(fontMetrics().horizontalAdvance(QStringLiteral("…")) + 2 * frameWidth() + 4,
                 QLabel::minimumSizeHint().height());
}

void StatusLabel::paintEvent(QPaintEvent* event) {
    const QRect room = contentsRect().adjusted(2, 0, -2, 0);
    if (fontMetrics().horizontalAdvance(text()) <= room.width()) {
        QLabel::paintEvent(event);
        return;
    }
    QFrame::paintEvent(event); // frame and background; the text is cut here
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    painter.drawText(room, int(Qt::AlignLeft | Qt::AlignVCenter),
                     fontMetrics().elidedText(text(), Qt::ElideRight, room.width()));
}

#include "ui/widgets/TPictureBox.h"

#include <QEvent>
#include <QPainter>

TPictureBox::TPictureBox(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TPictureBox::SetPicture(const QImage& picture) {
    m_picture = picture;
    update();
}

void TPictureBox::SetFillColor(const QColor& color) {
    if (m_fill == color)
        return;
    m_fill = color;
    update();
}

void TPictureBox::SetCaption(const QString& text, const QFont& font, const QColor& color, int width) {
    m_caption = text;
    m_captionFont = font;
    m_captionColor = color;
    m_captionWidth = width;
    update();
}

void TPictureBox::FillParent() {
    if (!parentWidget())
        return;
    parentWidget()->installEventFilter(this);
    setGeometry(parentWidget()->contentsRect());
    lower();
}

void TPictureBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (m_picture.isNull())
        p.fillRect(rect(), m_fill);
    else
        p.drawImage(rect(), m_picture);
    if (m_caption.isEmpty())
        return;
    p.setFont(m_captionFont);
    const QRect area(0, 0, m_captionWidth > 0 ? m_captionWidth : width(), height());
    p.setPen(QColor(0, 0, 0, 110));
    p.drawText(area.translated(1, 1), Qt::AlignCenter, m_caption);
    p.setPen(m_captionColor);
    p.drawText(area, Qt::AlignCenter, m_caption);
}

bool TPictureBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->contentsRect());
    return QWidget::eventFilter(watched, event);
}

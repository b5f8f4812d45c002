#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QWidget>

// A picture stretched over the whole widget, optionally with a caption drawn over
// its left part; with FillParent it always covers its parent, behind the siblings.
class TPictureBox : public QWidget {
    Q_OBJECT
public:
    explicit TPictureBox(QWidget* parent = nullptr);

    void SetPicture(const QImage& picture);
    const QImage& Picture() const { return m_picture; }
    // Shown where there is no picture (a missing file).
    void SetFillColor(const QColor& color);
    // `width` 0: the caption is centred over the whole picture.
    void SetCaption(const QString& text, const QFont& font, const QColor& color, int width = 0);
    const QString& Caption() const { return m_caption; }
    void FillParent();

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QImage m_picture;
    QColor m_fill = QColor(96, 112, 150);
    QString m_caption;
    QFont m_captionFont;
    QColor m_captionColor = Qt::white;
    int m_captionWidth = 0;
};

#pragma once

#include <QLabel>

// A picture that reports clicks and carries an integer tag, like the contact
// switches' icons: the tag holds the switch state.
class TImage : public QLabel {
    Q_OBJECT
public:
    explicit TImage(QWidget* parent = nullptr);

    int Tag() const { return m_tag; }
    void SetTag(int tag) { m_tag = tag; }

signals:
    // Left button pressed and released over the picture.
    void Clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int m_tag = 0;
    bool m_pressed = false;
};

#pragma once

#include <QLabel>

// A status bar field that never asks for the width of its text: a long text is cut with
// "…" where the field ends, and the whole text is the tooltip, so one field's message
// never pushes the others out of sight.
class StatusLabel : public QLabel {
    Q_OBJECT
public:
    explicit StatusLabel(QWidget* parent = nullptr);

    // Shows `text`; red on white when `alarm`; the tooltip gets `tip`, or the text itself.
    void Show(const QString& text, bool alarm, const QString& tip = QString());
    bool Alarm() const { return m_alarm; }

    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_alarm = false;
};

#pragma once

#include <QColor>
#include <QComboBox>

// A start- or finish-number box: an editable combo box of at most five
// characters that takes only digits and "-". In the simple style it offers no
// drop-down list; the drop-down style opens the list of its items.
class NumberBox : public QComboBox {
    Q_OBJECT
public:
    explicit NumberBox(QWidget* parent = nullptr);

    bool DropDown() const { return m_dropDown; }
    void SetDropDown(bool dropDown);
    // Font, text and background colour of the box, kept in every state (simple or
    // drop-down style, text set or typed). An invalid background keeps the style's.
    void SetLooks(const QFont& font, const QColor& text, const QColor& background);
    // Text colour of the edit part.
    void SetTextColor(const QColor& color);
    QColor TextColor() const { return m_text; }
    QColor BackgroundColor() const { return m_background; }
    int FindItem(const QString& text, Qt::CaseSensitivity cs = Qt::CaseSensitive) const;
    QStringList Items() const;
    void SetItems(const QStringList& items);

    void showPopup() override;

signals:
    void EnterPressed();
    void KeyReleased();
    // A change made by the operator: typing or choosing an item.
    void Changed();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void ApplyLooks();

    bool m_dropDown = false;
    QColor m_text;
    QColor m_background;
};

#pragma once

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
    // Text colour of the edit part.
    void SetTextColor(const QColor& color);
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
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool m_dropDown = false;
};

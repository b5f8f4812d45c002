#include "timing/NumberBox.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpressionValidator>

NumberBox::NumberBox(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    lineEdit()->setMaxLength(5);
    // Digits and "-" only; anything else typed or pasted is discarded.
    lineEdit()->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9-]{0,5}")), lineEdit()));
    lineEdit()->installEventFilter(this);
    connect(lineEdit(), &QLineEdit::textEdited, this, &NumberBox::Changed);
    connect(this, qOverload<int>(&QComboBox::activated), this, &NumberBox::Changed);
    SetDropDown(false);
}

void NumberBox::SetDropDown(bool dropDown) {
    m_dropDown = dropDown;
    setStyleSheet(dropDown ? QString() : QStringLiteral("QComboBox::drop-down { width: 0px; border: none; }"));
}

void NumberBox::SetTextColor(const QColor& color) {
    QPalette p = lineEdit()->palette();
    p.setColor(QPalette::Text, color);
    lineEdit()->setPalette(p);
}

int NumberBox::FindItem(const QString& text, Qt::CaseSensitivity cs) const {
    for (int i = 0; i < count(); ++i)
        if (itemText(i).compare(text, cs) == 0)
            return i;
    return -1;
}

QStringList NumberBox::Items() const {
    QStringList items;
    for (int i = 0; i < count(); ++i)
        items << itemText(i);
    return items;
}

void NumberBox::SetItems(const QStringList& items) {
    const QString text = currentText();
    clear();
    addItems(items);
    setEditText(text);
}

void NumberBox::showPopup() {
    if (m_dropDown && count() > 0)
        QComboBox::showPopup();
}

bool NumberBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lineEdit()) {
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                emit EnterPressed();
                return true;
            }
        } else if (event->type() == QEvent::KeyRelease) {
            emit KeyReleased();
        }
    }
    return QComboBox::eventFilter(watched, event);
}

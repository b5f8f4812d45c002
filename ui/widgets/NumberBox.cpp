#include "ui/widgets/NumberBox.h"

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
    ApplyLooks();
}

void NumberBox::SetLooks(const QFont& font, const QColor& text, const QColor& background) {
    setFont(font);
    lineEdit()->setFont(font);
    m_text = text;
    m_background = background;
    ApplyLooks();
}

void NumberBox::SetTextColor(const QColor& color) {
    if (color == m_text)
        return;
    m_text = color;
    ApplyLooks();
}

// One style sheet holds every look of the box: a second sheet set for the drop-down
// style would replace the colours, and a sheet without font resets the font.
void NumberBox::ApplyLooks() {
    QString rules;
    QString colours;
    if (m_background.isValid())
        colours += QStringLiteral("background: %1; ").arg(m_background.name());
    if (m_text.isValid())
        colours += QStringLiteral("color: %1; ").arg(m_text.name());
    const QFont f = font();
    QString fontRule;
    if (f.pixelSize() > 0)
        fontRule = QStringLiteral("font: %1 %2px \"%3\"; ")
                       .arg(f.bold() ? QStringLiteral("bold") : QStringLiteral("normal"))
                       .arg(f.pixelSize())
                       .arg(f.family());
    if (!colours.isEmpty() || !fontRule.isEmpty())
        rules += QStringLiteral("QComboBox, QComboBox QLineEdit { %1%2}\n").arg(colours, fontRule);
    if (!m_dropDown)
        rules += QStringLiteral("QComboBox::drop-down { width: 0px; border: none; }\n");
    setStyleSheet(rules);
    // The edit part's own palette, for code that reads the colour back.
    if (m_text.isValid()) {
        QPalette p = lineEdit()->palette();
        p.setColor(QPalette::Text, m_text);
        lineEdit()->setPalette(p);
    }
    setFont(f);
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

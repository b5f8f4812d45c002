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
    // A time goes only to the number the operator typed or chose: no completion from the
    // list ("25" must never become "250").
    setCompleter(nullptr);
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

// The window system sends keys to the focused box, not to its edit part (whose focus
// proxy the box is): Enter and the key release are seen here.
void NumberBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        emit EnterPressed();
        return;
    }
    QComboBox::keyPressEvent(event);
}

void NumberBox::keyReleaseEvent(QKeyEvent* event) {
    QComboBox::keyReleaseEvent(event);
    emit KeyReleased();
}

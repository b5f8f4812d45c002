#include "ui/widgets/TSpinFloatEdit.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionFrame>

#include <cmath>

namespace {
constexpr int kButtonWidth = 15;
constexpr int kMaxDigits = 18;
constexpr int kRepeatDelayMs = 400;
constexpr int kRepeatIntervalMs = 100;

// A double holds 15 significant decimal digits reliably; rounding to them
// first keeps 0.2 from showing as 0.200000000000000011 with many decimals.
constexpr int kSignificant = 15;

// value with exactly `digits` decimals and '.' as separator, rounded half away from zero.
QString FixedText(double value, int digits) {
    if (!std::isfinite(value))
        return QString::number(value);
    if (std::fabs(value) >= 1e18)
        return QString::number(value, 'G', kSignificant);

    // "-d.dddddddddddddde+XX"
    const QString e = QString::number(value, 'e', kSignificant - 1);
    const bool negative = e.startsWith(QLatin1Char('-'));
    const QString body = negative ? e.mid(1) : e;
    const qsizetype ePos = body.indexOf(QLatin1Char('e'));
    const QString mantissa = body.left(ePos).remove(QLatin1Char('.'));
    const int exponent = body.mid(ePos + 1).toInt();

    const int before = exponent + 1; // digits before the separator
    QString intPart;
    QString fracPart;
    if (before <= 0) {
        intPart = QStringLiteral("0");
        fracPart = QString(-before, QLatin1Char('0')) + mantissa;
    } else if (before >= mantissa.size()) {
        intPart = mantissa + QString(before - mantissa.size(), QLatin1Char('0'));
    } else {
        intPart = mantissa.left(before);
        fracPart = mantissa.mid(before);
    }

    if (fracPart.size() > digits) {
        const bool roundUp = fracPart.at(digits) >= QLatin1Char('5');
        fracPart.truncate(digits);
        if (roundUp) {
            QString all = intPart + fracPart;
            qsizetype i = all.size() - 1;
            for (; i >= 0; --i) {
                if (all.at(i) == QLatin1Char('9')) {
                    all[i] = QLatin1Char('0');
                } else {
                    all[i] = QChar(all.at(i).unicode() + 1);
                    break;
                }
            }
            if (i < 0)
                all.prepend(QLatin1Char('1'));
            intPart = all.left(all.size() - digits);
            fracPart = all.right(digits);
        }
    } else {
        fracPart = fracPart.leftJustified(digits, QLatin1Char('0'));
    }

    QString result = intPart;
    if (digits > 0)
        result += QLatin1Char('.') + fracPart;
    // No "-0,00": a value that rounds to zero has no sign.
    const bool zero = !result.contains(QRegularExpression(QStringLiteral("[1-9]")));
    if (negative && !zero)
        result.prepend(QLatin1Char('-'));
    return result;
}

// Draws one half of the button pair: raised when up, flat with a shadow border when held.
void DrawStepButton(QPainter& p, const QRect& r, const QPalette& pal, bool up, bool pressed, bool enabled) {
    p.fillRect(r, pal.color(QPalette::Button));
    if (pressed) {
        p.setPen(pal.color(QPalette::Dark));
        p.setBrush(Qt::NoBrush);
        p.drawRect(r.adjusted(0, 0, -1, -1));
    } else {
        p.setPen(pal.color(QPalette::Light));
        p.drawLine(r.left(), r.bottom() - 1, r.left(), r.top());
        p.drawLine(r.left(), r.top(), r.right() - 1, r.top());
        p.setPen(pal.color(QPalette::Shadow));
        p.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
        p.drawLine(r.right(), r.bottom(), r.right(), r.top());
        p.setPen(pal.color(QPalette::Dark));
        p.drawLine(r.left() + 1, r.bottom() - 1, r.right() - 1, r.bottom() - 1);
        p.drawLine(r.right() - 1, r.bottom() - 1, r.right() - 1, r.top() + 1);
    }

    const int half = qMax(1, qMin((r.width() - 6) / 2, (r.height() - 4)));
    const QPoint c = r.center() + (pressed ? QPoint(1, 1) : QPoint(0, 0));
    const int top = c.y() - (half + 1) / 2 + 1;
    QPolygon arrow;
    if (up)
        arrow << QPoint(c.x() - half, top + half - 1) << QPoint(c.x() + half, top + half - 1) << QPoint(c.x(), top - 1);
    else
        arrow << QPoint(c.x() - half, top) << QPoint(c.x() + half, top) << QPoint(c.x(), top + half);
    const QColor ink = enabled ? pal.color(QPalette::Active, QPalette::ButtonText) : pal.color(QPalette::Dark);
    p.setPen(ink);
    p.setBrush(ink);
    p.drawPolygon(arrow);
}

bool IsControlText(const QString& text) {
    for (const QChar c : text) {
        if (!c.isPrint())
            return true;
    }
    return false;
}
} // namespace

TSpinFloatEditLimitError::TSpinFloatEditLimitError(const QString& message)
    : std::runtime_error(message.toStdString()) {}

TSpinFloatEdit::TSpinFloatEdit(QWidget* parent) : QLineEdit(parent) {
    const QString point = QLocale().decimalPoint();
    if (point.size() == 1)
        m_separator = point.at(0);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Dropped text would skip the typing rules.
    setAcceptDrops(false);
    setMouseTracking(true);
    m_repeat.setSingleShot(false);
    connect(&m_repeat, &QTimer::timeout, this, &TSpinFloatEdit::OnRepeat);
    UpdateGeometryRules();
    SetValue(0.0);
}

QString TSpinFloatEdit::FormatValue(double value) const {
    QString text = FixedText(value, m_digits);
    text.replace(QLatin1Char('.'), m_separator);
    return text;
}

// A number as the operator may type it: optional sign, digits with this edit's
// separator, optional exponent. No group separators, no "inf" or "nan".
bool TSpinFloatEdit::ParseText(const QString& text, double* value) const {
    QString t = text.trimmed();
    if (m_separator != QLatin1Char('.')) {
        if (t.contains(QLatin1Char('.')))
            return false;
        t.replace(m_separator, QLatin1Char('.'));
    }
    static const QRegularExpression number(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
    if (!number.match(t).hasMatch())
        return false;
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    *value = v;
    return true;
}

double TSpinFloatEdit::Value() const {
    const QString t = text().trimmed();
    double v = 0.0;
    if (t == QLatin1String("-") || t == QString(m_separator) || t.isEmpty() ||
        t.compare(QLatin1String("E"), Qt::CaseInsensitive) == 0)
        v = 0.0;
    else if (!ParseText(t, &v))
        v = m_min;
    return qBound(m_min, v, m_max);
}

void TSpinFloatEdit::ShowError() const {
    if (!m_errorMessage.isEmpty() && OnError)
        OnError(m_errorMessage);
}

void TSpinFloatEdit::SetValue(double value) {
    if (std::isnan(value)) {
        ShowError();
        value = m_min;
    }
    if (value > m_max) {
        ShowError();
        value = m_max;
    }
    if (value < m_min) {
        ShowError();
        value = m_min;
    }
    setText(FormatValue(value));
    if (!hasFocus())
        m_remembered = value;
}

void TSpinFloatEdit::SetMin(double min) {
    if (min > m_max)
        throw TSpinFloatEditLimitError(QStringLiteral("Minimum value must not be greater than maximum value !"));
    m_min = min;
    SetValue(Value());
}

void TSpinFloatEdit::SetMax(double max) {
    if (max < m_min)
        throw TSpinFloatEditLimitError(QStringLiteral("Maximum value must not be less than minimum value !"));
    m_max = max;
    SetValue(Value());
}

void TSpinFloatEdit::SetDigits(int digits) {
    digits = qBound(0, digits, kMaxDigits);
    if (digits == m_digits)
        return;
    const double v = Value();
    m_digits = digits;
    SetValue(v);
}

void TSpinFloatEdit::UpClick() {
    Step(true);
}

void TSpinFloatEdit::DownClick() {
    Step(false);
}

void TSpinFloatEdit::Step(bool up) {
    if (isReadOnly()) {
        QApplication::beep();
        return;
    }
    if (OnComputedIncrement) {
        OnComputedIncrement(this, up);
        return;
    }
    SetValue(up ? Value() + m_increment : Value() - m_increment);
}

void TSpinFloatEdit::RestoreRemembered() {
    SetValue(m_remembered);
    selectAll();
}

// Judges typed text by the text it would produce in place of the selection.
TSpinFloatEdit::Verdict TSpinFloatEdit::JudgeTyped(const QString& typed) {
    if (typed.isEmpty() || IsControlText(typed))
        return Verdict::Pass;
    if (!m_editorEnabled || isReadOnly())
        return Verdict::Reject;
    for (const QChar c : typed) {
        const bool allowed = (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('-') ||
                             c == QLatin1Char('e') || c == m_separator;
        if (!allowed)
            return Verdict::Reject;
        // No decimals, no separator: also in front of the "0,0" shortcut below.
        if (c == m_separator && m_digits == 0)
            return Verdict::Reject;
    }

    const QString current = text();
    const int start = hasSelectedText() ? selectionStart() : cursorPosition();
    const int length = hasSelectedText() ? int(selectedText().size()) : 0;
    const QString result = current.left(start) + typed + current.mid(start + length);

    if (result == QLatin1String("-")) {
        setText(QStringLiteral("-0"));
        setSelection(1, 1);
        return Verdict::Handled;
    }
    if (result == QString(m_separator)) {
        setText(QLatin1Char('0') + QString(m_separator) + QLatin1Char('0'));
        setSelection(2, 1);
        return Verdict::Handled;
    }
    if (result.isEmpty()) {
        setText(FormatValue(m_min));
        selectAll();
        return Verdict::Handled;
    }

    double v = 0.0;
    if (!ParseText(result, &v) || v < m_min || v > m_max)
        return Verdict::Reject;
    const bool hasExponent = result.contains(QLatin1Char('e'), Qt::CaseInsensitive);
    const qsizetype sep = result.indexOf(m_separator);
    if (!hasExponent && sep >= 0 && result.size() - sep - 1 > m_digits)
        return Verdict::Reject;
    return Verdict::Pass;
}

void TSpinFloatEdit::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const QString typed = event->text();

    if (key == Qt::Key_Return || key == Qt::Key_Enter || typed == QLatin1String("\n") || typed == QLatin1String("\r")) {
        QChar c = typed.isEmpty() ? QLatin1Char('\r') : typed.at(0);
        if (OnEnterPress) {
            OnEnterPress(this, c);
            event->accept();
            return;
        }
        // Nobody takes Enter here: in a dialog it is the default button's, once the typed
        // text stands as the value. A text that cannot stand keeps Enter and the focus.
        if (!CommitText()) {
            ShowError();
            event->accept();
            return;
        }
        event->ignore();
        return;
    }
    if (key == Qt::Key_Escape) {
        // The first Esc takes back what was typed; with nothing to take back it is the
        // dialog's, which closes.
        if (text() != FormatValue(m_remembered)) {
            RestoreRemembered();
            event->accept();
            return;
        }
        event->ignore();
        return;
    }
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
        if (m_editorEnabled)
            Step(key == Qt::Key_Up);
        event->accept();
        return;
    }
    if (!m_editorEnabled) {
        // Reading and selecting stay possible; nothing that changes the text.
        if (event->matches(QKeySequence::Cut) || event->matches(QKeySequence::Paste) ||
            event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo) ||
            event->matches(QKeySequence::Delete) || event->matches(QKeySequence::DeleteStartOfWord) ||
            event->matches(QKeySequence::DeleteEndOfWord) || event->matches(QKeySequence::DeleteEndOfLine) ||
            key == Qt::Key_Backspace || key == Qt::Key_Delete) {
            event->accept();
            return;
        }
    }

    const Qt::KeyboardModifiers commandKeys = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    if (!typed.isEmpty() && !(event->modifiers() & commandKeys)) {
        switch (JudgeTyped(typed)) {
        case Verdict::Pass:
            break;
        case Verdict::Reject:
        case Verdict::Handled:
            event->accept();
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}

void TSpinFloatEdit::inputMethodEvent(QInputMethodEvent* event) {
    // Composed characters obey the same rules as typed ones.
    if (!event->commitString().isEmpty() && event->preeditString().isEmpty() && event->replacementLength() == 0) {
        if (JudgeTyped(event->commitString()) != Verdict::Pass) {
            event->accept();
            return;
        }
    }
    QLineEdit::inputMethodEvent(event);
}

void TSpinFloatEdit::focusInEvent(QFocusEvent* event) {
    // Coming back from another window or a menu is not entering the edit anew.
    const Qt::FocusReason reason = event->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && reason != Qt::MenuBarFocusReason)
        m_remembered = Value();
    QLineEdit::focusInEvent(event);
}

bool TSpinFloatEdit::CommitText() {
    if (text().trimmed().isEmpty()) {
        setText(FormatValue(m_min));
        return true;
    }
    double v = 0.0;
    if (ParseText(text(), &v) && v >= m_min && v <= m_max) {
        setText(FormatValue(v));
        return true;
    }
    RestoreRemembered();
    return false;
}

void TSpinFloatEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    const Qt::FocusReason reason = event->reason();
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason || reason == Qt::MenuBarFocusReason)
        return;

    if (CommitText())
        return;
    // Take the focus back once the focus change has finished; the message
    // comes after that so a message box returns the focus here.
    QTimer::singleShot(0, this, [this] {
        if (isVisible() && isEnabled()) {
            setFocus(Qt::OtherFocusReason);
            selectAll();
        }
        ShowError();
    });
}

QRect TSpinFloatEdit::UpButtonRect() const {
    const int h = qMax(2, height() - 5);
    return {width() - kButtonWidth - 3, 2, kButtonWidth, h / 2};
}

QRect TSpinFloatEdit::DownButtonRect() const {
    const int h = qMax(2, height() - 5);
    return {width() - kButtonWidth - 3, 2 + h / 2, kButtonWidth, h - h / 2};
}

TSpinFloatEdit::Part TSpinFloatEdit::PartAt(const QPoint& pos) const {
    if (UpButtonRect().contains(pos))
        return Part::Up;
    if (DownButtonRect().contains(pos))
        return Part::Down;
    return Part::None;
}

void TSpinFloatEdit::paintEvent(QPaintEvent* event) {
    QLineEdit::paintEvent(event);
    QPainter p(this);
    const bool enabled = isEnabled() && !isReadOnly();
    DrawStepButton(p, UpButtonRect(), palette(), true, m_pressed == Part::Up && m_pressedInside, enabled);
    DrawStepButton(p, DownButtonRect(), palette(), false, m_pressed == Part::Down && m_pressedInside, enabled);
}

void TSpinFloatEdit::mousePressEvent(QMouseEvent* event) {
    const Part part = PartAt(event->position().toPoint());
    if (part == Part::None) {
        QLineEdit::mousePressEvent(event);
        return;
    }
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    m_pressed = part;
    m_pressedInside = true;
    update();
    m_repeat.start(kRepeatDelayMs);
    const QPointer<TSpinFloatEdit> alive(this);
    Step(part == Part::Up);
    if (alive && m_pressed == Part::None)
        m_repeat.stop();
}

void TSpinFloatEdit::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    setCursor(PartAt(pos) != Part::None || isReadOnly() ? Qt::ArrowCursor : Qt::IBeamCursor);
    if (m_pressed == Part::None) {
        QLineEdit::mouseMoveEvent(event);
        return;
    }
    const bool inside = PartAt(pos) == m_pressed;
    if (inside != m_pressedInside) {
        m_pressedInside = inside;
        update();
    }
    event->accept();
}

void TSpinFloatEdit::mouseReleaseEvent(QMouseEvent* event) {
    if (m_pressed == Part::None) {
        QLineEdit::mouseReleaseEvent(event);
        return;
    }
    m_pressed = Part::None;
    m_pressedInside = false;
    m_repeat.stop();
    update();
    event->accept();
}

void TSpinFloatEdit::mouseDoubleClickEvent(QMouseEvent* event) {
    // A quick second click on a button is one more step, not a word selection.
    if (PartAt(event->position().toPoint()) != Part::None) {
        mousePressEvent(event);
        return;
    }
    QLineEdit::mouseDoubleClickEvent(event);
}

void TSpinFloatEdit::OnRepeat() {
    m_repeat.setInterval(kRepeatIntervalMs);
    if (m_pressed != Part::None && m_pressedInside)
        Step(m_pressed == Part::Up);
}

void TSpinFloatEdit::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    UpdateGeometryRules();
}

void TSpinFloatEdit::changeEvent(QEvent* event) {
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        UpdateGeometryRules();
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        m_pressed = Part::None;
        m_repeat.stop();
    }
}

// Minimum height from the fonts; the text ends 2 pixels left of the buttons.
void TSpinFloatEdit::UpdateGeometryRules() {
    const int own = fontMetrics().height();
    const int system = QFontMetrics(QApplication::font()).height();
    constexpr int kBorder = 1;
    const int minHeight = 4 * kBorder + qMin(system, own) / 4 + own + 2;
    if (minimumHeight() != minHeight)
        setMinimumHeight(minHeight);

    QStyleOptionFrame option;
    initStyleOption(&option);
    const QRect contents = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
    const int textRight = UpButtonRect().left() - 3;
    const int right = qMax(0, contents.right() - textRight);
    const QMargins margins = textMargins();
    if (margins.right() != right)
        setTextMargins(margins.left(), margins.top(), right, margins.bottom());
}

void TSpinFloatEdit::contextMenuEvent(QContextMenuEvent* event) {
    // Build the menu as for a read-only edit when typing is blocked: no cut, paste, delete or undo.
    const bool readOnly = isReadOnly();
    if (!m_editorEnabled)
        setReadOnly(true);
    QMenu* menu = createStandardContextMenu();
    if (!m_editorEnabled)
        setReadOnly(readOnly);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
    event->accept();
}

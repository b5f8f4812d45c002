#pragma once

#include <QLineEdit>
#include <QTimer>

#include <functional>
#include <stdexcept>

// Thrown by TSpinFloatEdit::SetMin and SetMax when the limits would cross.
// what() and Message() hold the text for the operator:
//   "Minimum value must not be greater than maximum value !"
//   "Maximum value must not be less than minimum value !"
class TSpinFloatEditLimitError : public std::runtime_error {
public:
    explicit TSpinFloatEditLimitError(const QString& message);
    QString Message() const { return QString::fromUtf8(what()); }
};

// One-line edit for a decimal number with a fixed number of decimals, limits,
// an increment and an up/down button pair drawn inside the edit at its right.
// Every key is judged by the text it would produce, so out-of-range or
// non-numeric input never reaches Value; leaving the edit with such a text
// restores the value it had when the focus came in and keeps the focus.
// The decimal separator is the default locale's at creation.
class TSpinFloatEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TSpinFloatEdit(QWidget* parent = nullptr);

    // Reads the text: "-", the separator alone, an empty text and "E" read 0;
    // a text that does not convert reads Min; the result is limited to Min ... Max.
    double Value() const;
    // Clamps to Max, then Min (showing ErrorMessage each time it corrects), and
    // shows the value with exactly Digits decimals.
    void SetValue(double value);
    double Min() const { return m_min; }
    void SetMin(double min); // throws TSpinFloatEditLimitError when above Max
    double Max() const { return m_max; }
    void SetMax(double max); // throws TSpinFloatEditLimitError when below Min
    int Digits() const { return m_digits; }
    void SetDigits(int digits); // 0 ... 18
    double Increment() const { return m_increment; }
    void SetIncrement(double increment) { m_increment = increment; }
    Qt::Alignment Alignment() const { return alignment(); }
    void SetAlignment(Qt::Alignment alignment) { setAlignment(alignment); }
    QString ErrorMessage() const { return m_errorMessage; }
    void SetErrorMessage(const QString& message) { m_errorMessage = message; }
    bool EditorEnabled() const { return m_editorEnabled; }
    void SetEditorEnabled(bool enabled) { m_editorEnabled = enabled; }
    QChar DecimalSeparator() const { return m_separator; }

    // One step up or down, as the buttons and the Up/Down keys do it.
    void UpClick();
    void DownClick();

    // Value as this edit shows it: exactly Digits decimals, its own separator.
    QString FormatValue(double value) const;

    // The up/down button pair, in widget coordinates.
    QRect UpButtonRect() const;
    QRect DownButtonRect() const;

    // Enter or line feed was typed (the character is swallowed afterwards).
    std::function<void(TSpinFloatEdit*, QChar&)> OnEnterPress;
    // When set, does the stepping itself: true for up, false for down.
    std::function<void(TSpinFloatEdit*, bool)> OnComputedIncrement;
    // Shows ErrorMessage to the operator; unset shows nothing.
    std::function<void(QString)> OnError;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    enum class Part { None, Up, Down };
    enum class Verdict { Pass, Reject, Handled };

    Verdict JudgeTyped(const QString& typed);
    bool ParseText(const QString& text, double* value) const;
    void ShowError() const;
    void RestoreRemembered();
    // The typed text made the value (an empty one the minimum); false, with the remembered
    // value back, when it is no number within Min .. Max.
    bool CommitText();
    void Step(bool up);
    Part PartAt(const QPoint& pos) const;
    void OnRepeat();
    void UpdateGeometryRules();

    double m_min = 0.0;
    double m_max = 100.0;
    int m_digits = 1;
    double m_increment = 1.0;
    QString m_errorMessage;
    bool m_editorEnabled = true;
    QChar m_separator = QLatin1Char('.');
    // Value when the focus came in; Escape and invalid text go back to it.
    double m_remembered = 0.0;
    Part m_pressed = Part::None;
    bool m_pressedInside = false;
    QTimer m_repeat;
};

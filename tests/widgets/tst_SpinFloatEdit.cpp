#include "ui/widgets/TSpinFloatEdit.h"

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

// The finish lock-out edit of the settings dialog (0 ... 5 s in steps of 0,01),
// driven by keys and mouse in a German locale.
class SpinFloatEditTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void upKeyAndDownKeyStep();
    void buttonsStep();
    void thirdDecimalRejected();
    void digitInFrontAboveMaxRejected();
    void typedCharacters_data();
    void typedCharacters();
    void clearedTextLeavesAsMin();
    void separatorIntoEmptyEdit();
    void minusIntoEmptyEdit();
    void escapeRestoresAndIsSwallowed();
    void invalidTextOnLeavingRestoresAndKeepsFocus();
    void enterPressIsReportedAndSwallowed();
    void clampingOnWrite_data();
    void clampingOnWrite();
    void limitMessages();
    void readingRules_data();
    void readingRules();
    void formatting_data();
    void formatting();
    void editorDisabledBlocksTypingNotButtons();
    void computedIncrementReplacesStep();

private:
    void Focus();
    void Type(const QString& keys);

    std::unique_ptr<QDialog> m_dialog;
    TSpinFloatEdit* m_edit = nullptr;
    QLineEdit* m_other = nullptr;
    QStringList m_errors;
};

void SpinFloatEditTest::initTestCase() {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
}

void SpinFloatEditTest::init() {
    m_dialog = std::make_unique<QDialog>();
    m_dialog->resize(300, 120);
    m_edit = new TSpinFloatEdit(m_dialog.get());
    m_edit->setGeometry(10, 10, 120, 24);
    m_edit->SetIncrement(0.01);
    m_edit->SetDigits(2);
    m_edit->SetValue(0.2);
    m_edit->SetMax(5);
    m_edit->SetMin(0);
    m_errors.clear();
    m_edit->OnError = [this](const QString& message) { m_errors << message; };
    m_other = new QLineEdit(m_dialog.get());
    m_other->setGeometry(10, 50, 120, 24);
    auto* ok = new QPushButton(QStringLiteral("OK"), m_dialog.get());
    ok->setGeometry(150, 50, 80, 24);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, m_dialog.get(), &QDialog::accept);
    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowActive(m_dialog.get()));
}

void SpinFloatEditTest::cleanup() {
    m_dialog.reset();
}

void SpinFloatEditTest::Focus() {
    m_edit->setFocus(Qt::TabFocusReason);
    QVERIFY(m_edit->hasFocus());
}

void SpinFloatEditTest::Type(const QString& keys) {
    for (const QChar c : keys)
        QTest::keyClick(m_edit, c.toLatin1());
}

void SpinFloatEditTest::upKeyAndDownKeyStep() {
    Focus();
    QCOMPARE(m_edit->text(), QStringLiteral("0,20"));
    QTest::keyClick(m_edit, Qt::Key_Up);
    QCOMPARE(m_edit->text(), QStringLiteral("0,21"));
    QCOMPARE(m_edit->Value(), 0.21);
    QTest::keyClick(m_edit, Qt::Key_Down);
    QTest::keyClick(m_edit, Qt::Key_Down);
    QCOMPARE(m_edit->text(), QStringLiteral("0,19"));
    // Many steps do not drift: each step starts from the shown text.
    for (int i = 0; i < 81; ++i)
        QTest::keyClick(m_edit, Qt::Key_Up);
    QCOMPARE(m_edit->text(), QStringLiteral("1,00"));
}

void SpinFloatEditTest::buttonsStep() {
    QVERIFY(m_edit->UpButtonRect().right() < m_edit->width());
    QVERIFY(m_edit->DownButtonRect().top() > m_edit->UpButtonRect().top());
    QTest::mouseClick(m_edit, Qt::LeftButton, {}, m_edit->UpButtonRect().center());
    QCOMPARE(m_edit->text(), QStringLiteral("0,21"));
    QTest::mouseClick(m_edit, Qt::LeftButton, {}, m_edit->DownButtonRect().center());
    QTest::mouseClick(m_edit, Qt::LeftButton, {}, m_edit->DownButtonRect().center());
    QCOMPARE(m_edit->text(), QStringLiteral("0,19"));
    m_edit->setReadOnly(true);
    QTest::mouseClick(m_edit, Qt::LeftButton, {}, m_edit->UpButtonRect().center());
    QCOMPARE(m_edit->text(), QStringLiteral("0,19"));
}

void SpinFloatEditTest::thirdDecimalRejected() {
    Focus();
    m_edit->end(false);
    Type(QStringLiteral("5"));
    QCOMPARE(m_edit->text(), QStringLiteral("0,20"));
    QTest::keyClick(m_edit, Qt::Key_Backspace);
    Type(QStringLiteral("5"));
    QCOMPARE(m_edit->text(), QStringLiteral("0,25"));
}

void SpinFloatEditTest::digitInFrontAboveMaxRejected() {
    Focus();
    m_edit->home(false);
    Type(QStringLiteral("6"));
    QCOMPARE(m_edit->text(), QStringLiteral("0,20"));
    // Replacing the selected leading 0 judges "4,20": within the limits.
    m_edit->setSelection(0, 1);
    Type(QStringLiteral("4"));
    QCOMPARE(m_edit->text(), QStringLiteral("4,20"));
    m_edit->setSelection(0, 1);
    Type(QStringLiteral("5"));
    QCOMPARE(m_edit->text(), QStringLiteral("4,20"));
}

void SpinFloatEditTest::typedCharacters_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("result");
    QTest::newRow("letter") << "a" << 1 << "0,20";
    QTest::newRow("capital E") << "E" << 3 << "0,20";
    QTest::newRow("small e makes an exponent") << "e" << 3 << "0,2e0";
    QTest::newRow("plus") << "+" << 0 << "0,20";
    QTest::newRow("space") << " " << 4 << "0,20";
    QTest::newRow("point is no separator here") << "." << 1 << "0,20";
    QTest::newRow("second separator") << "," << 1 << "0,20";
    QTest::newRow("leading zero") << "0" << 0 << "00,20";
}

void SpinFloatEditTest::typedCharacters() {
    QFETCH(QString, typed);
    QFETCH(int, position);
    QFETCH(QString, result);
    Focus();
    m_edit->setCursorPosition(position);
    Type(typed);
    QCOMPARE(m_edit->text(), result);
}

void SpinFloatEditTest::clearedTextLeavesAsMin() {
    Focus();
    m_edit->selectAll();
    QTest::keyClick(m_edit, Qt::Key_Backspace);
    QCOMPARE(m_edit->text(), QString());
    QTest::keyClick(m_edit, Qt::Key_Tab);
    QCoreApplication::processEvents();
    QVERIFY(!m_edit->hasFocus());
    QCOMPARE(m_edit->text(), QStringLiteral("0,00"));
    QVERIFY(m_errors.isEmpty());
}

void SpinFloatEditTest::separatorIntoEmptyEdit() {
    Focus();
    m_edit->selectAll();
    QTest::keyClick(m_edit, Qt::Key_Backspace);
    Type(QStringLiteral(","));
    QCOMPARE(m_edit->text(), QStringLiteral("0,0"));
    QCOMPARE(m_edit->selectionStart(), 2);
    QCOMPARE(m_edit->selectedText(), QStringLiteral("0"));
    Type(QStringLiteral("75"));
    QCOMPARE(m_edit->text(), QStringLiteral("0,75"));

    // Without decimals the separator is refused even there.
    m_edit->SetDigits(0);
    m_edit->selectAll();
    QTest::keyClick(m_edit, Qt::Key_Backspace);
    Type(QStringLiteral(","));
    QCOMPARE(m_edit->text(), QString());
}

void SpinFloatEditTest::minusIntoEmptyEdit() {
    Focus();
    m_edit->selectAll();
    QTest::keyClick(m_edit, Qt::Key_Backspace);
    Type(QStringLiteral("-"));
    QCOMPARE(m_edit->text(), QStringLiteral("-0"));
    QCOMPARE(m_edit->selectionStart(), 1);
    QCOMPARE(m_edit->selectedText(), QStringLiteral("0"));
    // -3 is below Min.
    Type(QStringLiteral("3"));
    QCOMPARE(m_edit->text(), QStringLiteral("-0"));
    QCOMPARE(m_edit->Value(), 0.0);
}

void SpinFloatEditTest::escapeRestoresAndIsSwallowed() {
    Focus();
    m_edit->end(false);
    QTest::keyClick(m_edit, Qt::Key_Backspace);
    Type(QStringLiteral("7"));
    QCOMPARE(m_edit->text(), QStringLiteral("0,27"));
    QTest::keyClick(m_edit, Qt::Key_Escape);
    QCOMPARE(m_edit->text(), QStringLiteral("0,20"));
    QCOMPARE(m_edit->selectedText(), QStringLiteral("0,20"));
    QVERIFY(m_dialog->isVisible());
    QVERIFY(m_edit->hasFocus());
}

void SpinFloatEditTest::invalidTextOnLeavingRestoresAndKeepsFocus() {
    m_edit->SetErrorMessage(QStringLiteral("Wert ungültig"));
    Focus();
    // Pasted text is not judged while typing.
    m_edit->setText(QStringLiteral("7,5"));
    QTest::keyClick(m_edit, Qt::Key_Tab);
    QTRY_VERIFY(m_edit->hasFocus());
    QCOMPARE(m_edit->text(), QStringLiteral("0,20"));
    QCOMPARE(m_edit->selectedText(), QStringLiteral("0,20"));
    QCOMPARE(m_errors, QStringList{QStringLiteral("Wert ungültig")});

    m_edit->setText(QStringLiteral("1,2,3"));
    m_other->setFocus(Qt::MouseFocusReason);
    QTRY_VERIFY(m_edit->hasFocus());
    QCOMPARE(m_edit->text(), QStringLiteral("0,20"));

    // A valid text is re-formatted and the focus leaves.
    m_edit->setText(QStringLiteral("3,5"));
    QTest::keyClick(m_edit, Qt::Key_Tab);
    QCoreApplication::processEvents();
    QVERIFY(m_other->hasFocus());
    QCOMPARE(m_edit->text(), QStringLiteral("3,50"));
}

void SpinFloatEditTest::enterPressIsReportedAndSwallowed() {
    QList<QChar> keys;
    m_edit->OnEnterPress = [&](TSpinFloatEdit* sender, QChar& key) {
        QCOMPARE(sender, m_edit);
        keys << key;
    };
    Focus();
    QTest::keyClick(m_edit, Qt::Key_Return);
    QTest::keyClick(m_edit, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(keys.size(), 2);
    QCOMPARE(keys.first(), QLatin1Char('\r'));
    // The dialog's default button did not see it.
    QVERIFY(m_dialog->isVisible());
    QCOMPARE(m_dialog->result(), 0);
}

void SpinFloatEditTest::clampingOnWrite_data() {
    QTest::addColumn<double>("written");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("corrected");
    QTest::newRow("inside") << 3.14159 << "3,14" << false;
    QTest::newRow("max") << 5.0 << "5,00" << false;
    QTest::newRow("above max") << 7.0 << "5,00" << true;
    QTest::newRow("below min") << -0.5 << "0,00" << true;
    QTest::newRow("not a number") << std::nan("") << "0,00" << true;
}

void SpinFloatEditTest::clampingOnWrite() {
    QFETCH(double, written);
    QFETCH(QString, shown);
    QFETCH(bool, corrected);
    m_edit->SetValue(written);
    QCOMPARE(m_edit->text(), shown);
    QVERIFY(m_errors.isEmpty()); // no ErrorMessage: silent
    m_edit->SetErrorMessage(QStringLiteral("Bereich"));
    m_edit->SetValue(written);
    QCOMPARE(m_edit->text(), shown);
    QCOMPARE(m_errors.size(), corrected ? 1 : 0);
}

void SpinFloatEditTest::limitMessages() {
    try {
        m_edit->SetMin(6);
        QFAIL("no exception");
    } catch (const TSpinFloatEditLimitError& e) {
        QCOMPARE(e.Message(), QStringLiteral("Minimum value must not be greater than maximum value !"));
    }
    try {
        m_edit->SetMax(-1);
        QFAIL("no exception");
    } catch (const TSpinFloatEditLimitError& e) {
        QCOMPARE(e.Message(), QStringLiteral("Maximum value must not be less than minimum value !"));
    }
    QCOMPARE(m_edit->Min(), 0.0);
    QCOMPARE(m_edit->Max(), 5.0);
    QCOMPARE(m_edit->text(), QStringLiteral("0,20"));
    // Limits that are accepted re-apply the value.
    m_edit->SetMin(1);
    QCOMPARE(m_edit->text(), QStringLiteral("1,00"));
    m_edit->SetMin(0);
    m_edit->SetValue(4);
    m_edit->SetMax(2.5);
    QCOMPARE(m_edit->text(), QStringLiteral("2,50"));
}

void SpinFloatEditTest::readingRules_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("minus alone") << "-" << 0.0;
    QTest::newRow("separator alone") << "," << 0.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("E alone") << "E" << 0.0;
    QTest::newRow("number") << "3,5" << 3.5;
    QTest::newRow("exponent") << "2,5e-1" << 0.25;
    QTest::newRow("above max") << "20" << 10.0;
    QTest::newRow("letters read min") << "abc" << -10.0;
    QTest::newRow("point reads min") << "1.5" << -10.0;
    QTest::newRow("unfinished exponent reads min") << "1e" << -10.0;
    QTest::newRow("infinity reads min") << "inf" << -10.0;
}

void SpinFloatEditTest::readingRules() {
    QFETCH(QString, text);
    QFETCH(double, value);
    m_edit->SetMin(-10);
    m_edit->SetMax(10);
    m_edit->setText(text);
    QCOMPARE(m_edit->Value(), value);
}

void SpinFloatEditTest::formatting_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("digits");
    QTest::addColumn<QString>("text");
    QTest::newRow("two decimals") << 0.2 << 2 << "0,20";
    QTest::newRow("half rounds up") << 0.005 << 2 << "0,01";
    QTest::newRow("carry into integer") << 9.995 << 2 << "10,00";
    QTest::newRow("negative zero has no sign") << -0.001 << 2 << "0,00";
    QTest::newRow("negative") << -1.25 << 1 << "-1,3";
    QTest::newRow("no decimals") << 2.5 << 0 << "3";
    QTest::newRow("eighteen decimals") << 0.2 << 18 << "0,200000000000000000";
    QTest::newRow("large") << 123456.5 << 1 << "123456,5";
    QTest::newRow("small") << 1e-7 << 3 << "0,000";
}

void SpinFloatEditTest::formatting() {
    QFETCH(double, value);
    QFETCH(int, digits);
    QFETCH(QString, text);
    m_edit->SetMin(-1e6);
    m_edit->SetMax(1e6);
    m_edit->SetDigits(digits);
    QCOMPARE(m_edit->FormatValue(value), text);
    m_edit->SetValue(value);
    QCOMPARE(m_edit->text(), text);
}

void SpinFloatEditTest::editorDisabledBlocksTypingNotButtons() {
    m_edit->SetEditorEnabled(false);
    Focus();
    m_edit->end(false);
    QTest::keyClick(m_edit, Qt::Key_Backspace);
    m_edit->home(false);
    Type(QStringLiteral("1"));
    QTest::keyClick(m_edit, Qt::Key_Up);
    QCOMPARE(m_edit->text(), QStringLiteral("0,20"));
    QTest::mouseClick(m_edit, Qt::LeftButton, {}, m_edit->UpButtonRect().center());
    QCOMPARE(m_edit->text(), QStringLiteral("0,21"));
}

void SpinFloatEditTest::computedIncrementReplacesStep() {
    QList<bool> steps;
    m_edit->OnComputedIncrement = [&](TSpinFloatEdit*, bool up) { steps << up; };
    Focus();
    QTest::keyClick(m_edit, Qt::Key_Up);
    QTest::mouseClick(m_edit, Qt::LeftButton, {}, m_edit->DownButtonRect().center());
    QCOMPARE(steps, (QList<bool>{true, false}));
    QCOMPARE(m_edit->text(), QStringLiteral("0,20"));
}

QTEST_MAIN(SpinFloatEditTest)
#include "tst_SpinFloatEdit.moc"

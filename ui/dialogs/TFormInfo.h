#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QFrame;
class Shell;

// The info box: the program's name, version and the maker's contact address.
// Created once at program start, shown modally by bInfoClick.
class TFormInfo : public QDialog {
    Q_OBJECT
public:
    static const QString& ContactAddress();

    explicit TFormInfo(Shell& shell, QWidget* parent = nullptr);

    // Copies the application's icon into ImageICON and sets the text of Lab.
    void FormCreate();

    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* LabelVer = nullptr;
    QFrame* Panel1 = nullptr;
    QLabel* ImageICON = nullptr;
    QPushButton* sOK = nullptr;
    QLabel* Lab = nullptr;
    QLabel* Label2 = nullptr;

    // Opens the contact page (the logo and the link).
    void Image1Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Shell& m_shell;
};

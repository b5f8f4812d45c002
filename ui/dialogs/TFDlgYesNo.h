#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class Prompts;

// The question dialog through which every confirmation is asked. A text with
// "?" is a question ("Ja"/"Nein"), any other a notice ("OK"/"Abbrechen"); the
// first button always answers 6 (yes), the second 2. Every showing opens with
// the second, the safe answer, focused.
class TFDlgYesNo : public QDialog {
    Q_OBJECT
public:
    static constexpr int kYes = 6;
    static constexpr int kNo = 2;

    explicit TFDlgYesNo(QWidget* parent = nullptr);
    // Sets the caption, the application title; called once after the settings dialog is created.
    void FormCreate();

    void AskQuestion(const QString& text);
    // Shows the dialog through the prompts seam; true only for "Ja"/"OK".
    bool Ask(Prompts& prompts, const QString& text);

    QLabel* Label1 = nullptr;
    QLabel* Icon = nullptr;
    QLabel* Icon2 = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

signals:
    // Just before a question is shown.
    void Asking();

protected:
    void showEvent(QShowEvent* event) override;
};

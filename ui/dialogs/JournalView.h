#pragma once

#include <QDialog>
#include <QString>
#include <functional>

class QAction;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QWidget;

// The read-only window "Journal": the journal's events of the current race, newest
// first, filtered by start number, so that the operator finds an athlete's impulse
// and copies its time. It reads the file afresh each time it is opened or refreshed.
class JournalView : public QDialog {
    Q_OBJECT
public:
    // `journalFile` names the journal in force (the backup folder may change).
    JournalView(QWidget* window, std::function<QString()> journalFile);

    QAction* mJournal = nullptr;     // Ctrl+J on the main window
    QAction* mJournalItem = nullptr; // the entry of the protocol's context menu

    // Opens the window (or brings it up) with the events read anew.
    void mJournalClick();
    void Refresh();
    // The time of the selected event ("Zeit", else its clock of day) to the clipboard.
    void CopyTime();

    QLineEdit* EditNr = nullptr;
    QTableWidget* Table = nullptr;
    QPushButton* bCopy = nullptr;
    QPushButton* bRefresh = nullptr;
    QLabel* LabelCount = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ApplyFilter();

    std::function<QString()> m_journalFile;
};

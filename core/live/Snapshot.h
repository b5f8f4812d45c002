#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>
#include <vector>

// One published state of the result list. Made by the GUI thread, then never
// changed: the web server's thread and the folder writer read it without locks.
struct Snapshot {
    quint64 version = 0; // grows with every change of the content below
    QString title;
    QString stand;        // clock of day when taken, "10:23:45"
    bool running = false; // a competition runs (from the first START to ENDE)
    bool classes = false; // class places in use
    // The clocks when taken; the server adds the snapshot's age.
    qint64 dayMs = 0;             // milliseconds since midnight
    std::optional<qint64> raceMs; // since the first START, while a competition runs
    QElapsedTimer taken;          // started when taken (a steady clock, never the clock of day)

    // The protocol as it stands: row 0 holds the captions, every grid column is kept
    // (the folder's HTML list is written from these), trailing rows without a start number are left out.
    std::vector<QStringList> cells;
    QList<int> colWidths;   // of the grid's columns; negative = hidden
    QList<int> columns;     // visible columns in grid order, without the grid's raw column
    int lastFinishRow = -1; // row in `cells` of the most recent finish, -1 for none

    int RowCount() const { return static_cast<int>(cells.size()); } // with the caption row
    QString Cell(int col, int row) const;
    // Milliseconds of the clocks now: the values when taken plus the age.
    qint64 DayMsNow() const;
    std::optional<qint64> RaceMsNow() const;
};

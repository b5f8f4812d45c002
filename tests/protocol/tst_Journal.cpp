// The journal's lines byte for byte, the writer's durability path, and the replay of
// damaged and cut journals.
#include "GridTestUtil.h"
#include "core/race/Journal.h"
#include "core/race/JournalReplay.h"
#include "core/race/ProtocolColumns.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

JournalEntry At(const QString& event, const QString& source, const QString& number, const QString& time) {
    JournalEntry e;
    e.date = QDate(2026, 3, 20);
    e.clock = QTime(10, 0, 5, 310);
    e.tick = 105310;
    e.hasTick = true;
    e.event = event;
    e.source = source;
    e.number = number;
    e.time = time;
    return e;
}

QByteArray Read(const QString& name) {
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A short race: a start list of two, both started, 17 finished, one queued finish.
QList<JournalEntry> Race() {
    QList<JournalEntry> race;
    race << At(JournalEvent::StartList, JournalSource::Menu, "", "").Add("Datei", "/x/liste.txt").Add("Zeilen", "2");
    const QList<QStringList> rows{DefaultCaptions(),
                                  {"", "17", "Anna", "Alt", "", "", "", "", "", "", "", "", ""},
                                  {"", "18", "Bert", "Berg", "", "", "", "", "", "", "", "", ""}};
    for (int r = 0; r < rows.size(); ++r) {
        JournalEntry row = At(JournalEvent::StartListRow, JournalSource::Program, rows[r][1], "");
        row.Add(JournalKey::Row, QString::number(r));
        row.cells = rows[r];
        race << row;
    }
    race << At(JournalEvent::Start, JournalSource::Key, "17", "10:00:00,00")
                .Add("Zeile", "1")
                .Add("Split", "0,00")
                .Add("Roh", "100000");
    race << At(JournalEvent::Start, JournalSource::Key, "18", "10:00:30,00")
                .Add("Zeile", "2")
                .Add("Split", "30,00")
                .Add("Roh", "130000");
    race << At(JournalEvent::Finish, JournalSource::Contact, "17", "10:05:00,00")
                .Add("Zeile", "1")
                .Add("Zeit", "5:00,00")
                .Add("Split", "")
                .Add("Roh", "300000")
                .Add("sortiert", "Einzelstart, 2");
    race << At(JournalEvent::Queued, JournalSource::Key, "", "10:06:00,00").Add("Nr", "1.");
    return race;
}

QByteArray Bytes(const QList<JournalEntry>& entries) {
    QByteArray bytes = JournalHeaderLine();
    for (const JournalEntry& e : entries)
        bytes += FormatJournalLine(e);
    return bytes;
}

} // namespace

class tst_Journal : public QObject {
    Q_OBJECT
private slots:
    void lineFormat_data();
    void lineFormat();
    void headerOnceAndAppendOnly();
    void cutLastLineStartsAFreshLine();
    void failedWriteIsReported();
    void replayOfARace();
    void damagedAndCutLinesAreSkipped_data();
    void damagedAndCutLinesAreSkipped();
    void replayFromLastClearing();
};

void tst_Journal::lineFormat_data() {
    QTest::addColumn<JournalEntry>("entry");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("start") << At(JournalEvent::Start, JournalSource::Key, "17", "10:00:05,31")
                                  .Add("Zeile", "1")
                                  .Add("Split", "0,00")
                                  .Add("Roh", "105310")
                           << QByteArray("2026-03-20\t10:00:05,310\t105310\tSTART\tTaste\t17\t10:00:05,31\t"
                                         "Zeile=1; Split=0,00; Roh=105310\r\n");
    // Windows-1252: "ä" is one byte; a character outside the code page becomes "?".
    QTest::newRow("queued by button") << At(JournalEvent::Queued, JournalSource::Button, "", " 9:05:03,07")
                                             .Add("Nr", "3.")
                                             .Add("eingegeben", "\u20AC\u4E2D")
                                      << QByteArray("2026-03-20\t10:00:05,310\t105310\tQUEUED\tSchaltfl\xE4"
                                                    "che\t\t 9:05:03,07\tNr=3.; eingegeben=\x80\\u4e2d\r\n");
    // Tabs, line ends, backslashes and ";" inside texts cannot split the line or the detail.
    QTest::newRow("typed cell") << At(JournalEvent::CellTyped, JournalSource::Key, "1\t2", "")
                                       .Add("Spalte", "3")
                                       .Add("alt", "M;W")
                                       .Add("neu", "a\tb\r\nc\\")
                                << QByteArray("2026-03-20\t10:00:05,310\t105310\tZELLE\tTaste\t1\\t2\t\t"
                                              "Spalte=3; alt=M\\;W; neu=a\\tb\\r\\nc\\\\\r\n");
    JournalEntry row = At(JournalEvent::StartListRow, JournalSource::Program, "17", "");
    row.Add("Zeile", "1");
    row.cells = QStringList{"", "17", "J\u00FCrgen", "M;W"};
    QTest::newRow("start-list row") << row
                                    << QByteArray("2026-03-20\t10:00:05,310\t105310\tZEILE\tProgramm\t17\t\tZeile=1"
                                                  "\t\t17\tJ\xFCrgen\tM;W\r\n");
}

void tst_Journal::lineFormat() {
    QFETCH(JournalEntry, entry);
    QFETCH(QByteArray, line);
    QCOMPARE(FormatJournalLine(entry), line);
    // And back, unless a character had to become "?".
    JournalEntry back;
    QVERIFY(ParseJournalLine(line.chopped(1), back));
    QCOMPARE(back.event, entry.event);
    QCOMPARE(back.number, entry.number);
    QCOMPARE(back.tick, entry.tick);
    QCOMPARE(back.clock, entry.clock);
    if (!QString(QTest::currentDataTag()).contains(QLatin1String("button"))) {
        QCOMPARE(back.detail, entry.detail);
        QCOMPARE(back.cells, entry.cells);
    }
}

void tst_Journal::headerOnceAndAppendOnly() {
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    {
        Journal j;
        j.SetFolder(folder);
        QVERIFY(j.Append(At(JournalEvent::ProgramStart, JournalSource::Program, "", "")));
    }
    Journal j;
    j.SetFolder(folder);
    QVERIFY(j.Append(At(JournalEvent::End, JournalSource::Key, "", "")));
    const QByteArray bytes = Read(folder + "Kadenzor-Journal.txt");
    QCOMPARE(bytes, JournalHeaderLine() + FormatJournalLine(At(JournalEvent::ProgramStart, "Programm", "", "")) +
                        FormatJournalLine(At(JournalEvent::End, "Taste", "", "")));
    QVERIFY(bytes.startsWith("Datum\tUhrzeit\tTick\tEreignis\tQuelle\tSt.Nr.\tZeit\tDetail\r\n"));
}

void tst_Journal::cutLastLineStartsAFreshLine() {
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    const QByteArray cut = JournalHeaderLine() + "2026-03-20\t10:00:05,310\t1053";
    {
        QFile f(folder + "Kadenzor-Journal.txt");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(cut);
    }
    Journal j;
    j.SetFolder(folder);
    const JournalEntry end = At(JournalEvent::End, JournalSource::Key, "", "");
    QVERIFY(j.Append(end));
    QCOMPARE(Read(folder + "Kadenzor-Journal.txt"), cut + "\r\n" + FormatJournalLine(end));
}

void tst_Journal::failedWriteIsReported() {
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/stick/");
    Journal j;
    j.SetFolder(folder);
    const JournalEntry start = At(JournalEvent::Start, JournalSource::Key, "1", "10:00:00,00");
    QVERIFY(!j.Append(start)); // the folder is not there
    QVERIFY(j.LastError().contains(QStringLiteral("Kadenzor-Journal.txt")));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(j.Append(start));
    // The folder goes while the file is open: the lines must not vanish into the removed file.
    QVERIFY(QDir(folder).removeRecursively());
    QVERIFY(!j.Append(start));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(j.Append(start));
    QCOMPARE(Read(folder + "Kadenzor-Journal.txt"), JournalHeaderLine() + FormatJournalLine(start));
}

void tst_Journal::replayOfARace() {
    SortGridData p, f;
    MakeProtocolGrid(p);
    MakeFinishGrid(f);
    const JournalReplayResult r = ReplayJournal(Bytes(Race()), p, f);
    QVERIFY(r.content);
    QCOMPARE(r.skipped, 0);
    QVERIFY(!r.lastLineCut);
    QCOMPARE(RowText(p, 1), QStringLiteral("1|17|Anna|Alt|||||10:00:00,00|10:05:00,00|5:00,00|0,00|300000"));
    QCOMPARE(RowText(p, 2), QStringLiteral("-|18|Bert|Berg|||||10:00:30,00|||30,00|130000"));
    QCOMPARE(RowText(f, 1), QStringLiteral("1.|10:06:00,00"));
}

void tst_Journal::damagedAndCutLinesAreSkipped_data() {
    QTest::addColumn<int>("cutAt");   // bytes of the last line that made it to the disk; -1 keeps it whole
    QTest::addColumn<bool>("damage"); // a line in the middle is garbled
    QTest::addColumn<int>("skipped"); // lines left out, the cut one included
    QTest::addColumn<bool>("queued"); // the queued finish (the last line) is in the finish table
    QTest::newRow("whole") << -1 << false << 0 << true;
    QTest::newRow("cut after date") << 11 << false << 1 << false;
    QTest::newRow("cut before line end") << 44 << false << 1 << false;
    QTest::newRow("cut between CR and LF") << -2 << false << 1 << false;
    QTest::newRow("damaged middle line") << -1 << true << 1 << true;
}

void tst_Journal::damagedAndCutLinesAreSkipped() {
    QFETCH(int, cutAt);
    QFETCH(bool, damage);
    QFETCH(int, skipped);
    QFETCH(bool, queued);
    QByteArray bytes = Bytes(Race());
    const QByteArray last = FormatJournalLine(Race().last());
    if (cutAt == -2)
        bytes.chop(1);
    else if (cutAt >= 0)
        bytes.chop(last.size() - cutAt);
    if (damage)
        bytes.replace("\tSTART\tTaste\t18", "\tSTA\xFF\x01T\tTaste\t18");
    SortGridData p, f;
    MakeProtocolGrid(p);
    MakeFinishGrid(f);
    const JournalReplayResult r = ReplayJournal(bytes, p, f);
    QCOMPARE(r.skipped + (r.lastLineCut ? 1 : 0), skipped);
    QCOMPARE(f.Cell(FinishCol::Kontakt, 1).isEmpty(), !queued);
    QCOMPARE(p.Cell(Col::Zeit, 1), QStringLiteral("5:00,00")); // the lines before it are all there
    QCOMPARE(p.Cell(Col::Start, 2).isEmpty(), damage);
    QCOMPARE(ReplayNotice(r).isEmpty(), skipped == 0);
}

void tst_Journal::replayFromLastClearing() {
    QList<JournalEntry> race = Race();
    race << At(JournalEvent::Cleared, JournalSource::Button, "", "");
    race << At(JournalEvent::Start, JournalSource::Key, "5", "11:00:00,00")
                .Add("Zeile", "1")
                .Add("Split", "0,00")
                .Add("Roh", "1");
    SortGridData p, f;
    MakeProtocolGrid(p);
    MakeFinishGrid(f);
    ReplayJournal(Bytes(race), p, f);
    QCOMPARE(p.RowCount(), 3); // the start and the empty row for the next one
    QCOMPARE(RowText(p, 1), QStringLiteral("-|5|||||||11:00:00,00|||0,00|1"));
    QCOMPARE(RowText(f, 1), QString());
}

QTEST_APPLESS_MAIN(tst_Journal)
#include "tst_Journal.moc"

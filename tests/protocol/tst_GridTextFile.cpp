#include "core/base/Windows1252.h"
#include "core/files/ClassesFile.h"
#include "core/files/GridTextFile.h"
#include "core/race/BackupWriter.h"
#include "protocol/GridTestUtil.h"

#include <QRandomGenerator>
#include <QStringEncoder>

#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

namespace {

const QString Header = "Platz|St.Nr.|Vorname|Nachname|JG|Verein|Klasse|Kl.-Pl.|Start|Stopp|Zeit|Split";

const QByteArray BackupHeaderLine =
    "Platz\tSt.Nr.\tVorname\tNachname\tJG\tVerein\tKlasse\tKl.-Pl.\tStart\tStopp\tZeit\tSplit\t\r\n";
const QByteArray BackupWinnerLine = "1\t17\tA\tB\t \t \t \t \t10:00:00,00\t10:10:05,23\t10:05,23\t0,00\t\r\n";

} // namespace

class GridTextFileTest : public QObject {
    Q_OBJECT
private slots:
    void init();

    void loadProtocolText_data();
    void loadProtocolText();
    void unreadableFileKeepsProtocol_data();
    void unreadableFileKeepsProtocol();
    void charactersOutsideWindows1252_data();
    void charactersOutsideWindows1252();
    void loadLongLinesAndManyLines();

    void backupExampleByteForByte();
    void rowsWritten_data();
    void rowsWritten();
    void writesWindows1252();
    void writeFailureIsReported();
    void backupIsReplacedNotTruncated();
    void backupWriterKeepsTheLatestState_data();
    void backupWriterKeepsTheLatestState();
    void protocolRoundTrip();
    void finishRoundTrip();
    void loadFinishSkipsEmptyLines();
    void unreadableFinishBackupKeepsRows();
    void backupFolderWithoutTrailingSeparator();

    void classesFile_data();
    void classesFile();
    void missingClassesFile();

private:
    QString Path(const QString& name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

void GridTextFileTest::init() {
    QVERIFY(m_dir.isValid());
}

void GridTextFileTest::loadProtocolText_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("expected");

    const QString tabRows = Header + "\n |17|Anna|Meier|1990|SC|W\n |18|Ben|Ott|1985|TV|M";
    QTest::newRow("TAB list lands in columns 1 to 6")
        << QByteArray("St.Nr.\tVorname\tNachname\tJG\tVerein\tKlasse\r\n17\tAnna\tMeier\t1990\tSC\tW\r\n"
                      "18\tBen\tOtt\t1985\tTV\tM\r\n")
        << tabRows;
    QTest::newRow("; list gives the same table")
        << QByteArray("St.Nr.;Vorname;Nachname;JG;Verein;Klasse\r\n17;Anna;Meier;1990;SC;W\r\n18;Ben;Ott;1985;TV;M\r\n")
        << tabRows;
    QTest::newRow("17;;X keeps Vorname blank") << QByteArray("St.Nr.;Vorname;Nachname\r\n17;;X\r\n")
                                               << "Platz|St.Nr.|Vorname|Nachname|JG|Verein|Klasse|Kl.-Pl.|Start|"
                                                  "Stopp|Zeit|Split\n |17| |X";
    QTest::newRow("17 TAB TAB X moves X into Vorname")
        << QByteArray("St.Nr.\tVorname\tNachname\r\n17\t\tX\r\n") << Header + "\n |17|X";
    QTest::newRow("headerless file loses its first athlete into the captions")
        << QByteArray("17;Y;X\r\n18;Z;W\r\n")
        << "Platz|17|Y|X|JG|Verein|Klasse|Kl.-Pl.|Start|Stopp|Zeit|Split\n |18|Z|W";
    QTest::newRow("single numbers go into Platz") << QByteArray("5\r\n6\r\n7\r\n") << Header + "\n5\n6\n7";
    QTest::newRow("single number followed by separators") << QByteArray("5;\r\n6\t\r\n") << Header + "\n5\n6";
    QTest::newRow("zero is no number") << QByteArray("0\r\n1\r\n")
                                       << "Platz|0|Vorname|Nachname|JG|Verein|Klasse|Kl.-Pl.|Start|Stopp|Zeit|"
                                          "Split\n |1";
    QTest::newRow("header with Platz starts at column 0")
        << (BackupHeaderLine + BackupWinnerLine) << Header + "\n1|17|A|B| | | | |10:00:00,00|10:10:05,23|10:05,23|0,00";
    QTest::newRow("empty line in a Platz file is an empty row")
        << QByteArray("Platz;Nr\r\n\r\n1;2\r\n")
        << "Platz|Nr|Vorname|Nachname|JG|Verein|Klasse|Kl.-Pl.|Start|Stopp|Zeit|Split\n\n1|2";
    QTest::newRow("empty line in a shifted file")
        << QByteArray("St.Nr.;Vorname\r\n\r\n17;A\r\n") << Header + "\n \n |17|A";
    QTest::newRow("separator-only line") << QByteArray("St.Nr.;Vorname\r\n;;;\r\n") << Header + "\n | | | ";
    QTest::newRow("fields beyond the twelfth are dropped, raw column stays empty")
        << QByteArray("Platz;a;b;c;d;e;f;g;h;i;j;k;l;m\r\n1;2;3;4;5;6;7;8;9;10;11;12;13;14\r\n")
        << "Platz|a|b|c|d|e|f|g|h|i|j|k\n1|2|3|4|5|6|7|8|9|10|11|12";
    QTest::newRow("TAB decides per line")
        << QByteArray("St.Nr.;Vorname\r\n17\tA;B\r\n18;C\r\n") << Header + "\n |17|A;B\n |18|C";
    QTest::newRow("LF line ends") << QByteArray("St.Nr.;Vorname\n17;A\n18;B") << Header + "\n |17|A\n |18|B";
    QTest::newRow("UTF-8 with byte order mark")
        << QByteArray("\xEF\xBB\xBFSt.Nr.;Vorname\r\n17;M\xC3\xBCller\r\n") << Header + "\n |17|M\u00FCller";
    QTest::newRow("Windows-1252") << QByteArray("St.Nr.;Vorname\r\n17;M\xFCller \x80\x81\r\n")
                                  << Header + "\n |17|M\u00FCller \u20AC\u0081";
    QTest::newRow("UTF-8 without byte order mark")
        << QByteArray("St.Nr.;Vorname;Nachname\r\n17;J\xC3\xB6rg;\xC5\x81ukasz Dvo\xC5\x99\xC3\xA1k\r\n")
        << Header + "\n |17|J\u00F6rg|\u0141ukasz Dvo\u0159\u00E1k";
    QTest::newRow("UTF-8 and one Windows-1252 byte is Windows-1252")
        << QByteArray("St.Nr.;Vorname\r\n17;J\xC3\xB6rg \xFC\r\n") << Header + "\n |17|J\u00C3\u00B6rg \u00FC";
    QStringEncoder utf16(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    QTest::newRow("UTF-16 with byte order mark")
        << QByteArray(utf16.encode(QStringLiteral("St.Nr.;Vorname\r\n17;\u0141ukasz\r\n")))
        << Header + "\n |17|\u0141ukasz";
    QTest::newRow("CR line ends") << QByteArray("St.Nr.;Vorname\r17;A\r18;B\r") << Header + "\n |17|A\n |18|B";
    QTest::newRow("CR, LF and CR LF mixed")
        << QByteArray("St.Nr.;Vorname\r17;A\n18;B\r\n\r\n19;C") << Header + "\n |17|A\n |18|B\n \n |19|C";
    QTest::newRow("0-byte file") << QByteArray() << Header + "\n";
    QTest::newRow("header only") << QByteArray("St.Nr.;Vorname\r\n") << Header + "\n";
    QTest::newRow("empty captions are refilled") << QByteArray("Platz; ;X\r\n")
                                                 << "Platz|St.Nr.|X|Nachname|JG|Verein|Klasse|Kl.-Pl.|Start|Stopp|"
                                                    "Zeit|Split\n";
}

void GridTextFileTest::loadProtocolText() {
    QFETCH(QByteArray, file);
    QFETCH(QString, expected);
    const QString name = Path("Startlist.txt");
    QVERIFY(WriteBytes(name, file));

    SortGridData grid;
    MakeProtocolGrid(grid);
    // Stale rows and captions from an earlier, broken file, with start ticks in the raw column.
    grid.SetRows(0, QString("a|b|c|d|e|f|g|h|i|j|k|l|").split(QLatin1Char('|')));
    grid.SetRowCount(5);
    for (int r = 1; r < 5; ++r)
        grid.SetRows(r, {"-", QString::number(r), "Old", "", "", "", "", "", "", "", "", "", "12345"});

    QString error;
    QVERIFY(LoadProtocolText(grid, name, DefaultCaptions(), &error));
    QVERIFY(error.isEmpty());
    QCOMPARE(GridText(grid), expected);
}

void GridTextFileTest::unreadableFileKeepsProtocol_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing file") << "fehlt.txt" << QByteArray() << "existiert nicht";
    QTest::newRow("folder") << "ordner.txt" << QByteArray() << "Ordner";
    QTest::newRow("PNG renamed .txt") << "bild.txt" << QByteArray("\x89PNG\r\n\x1A\n\0\0\0\rIHDR\0\0\0\x10", 20)
                                      << "keine Textdatei";
    QByteArray random(64 * 1024, '\0');
    QRandomGenerator generator(7);
    for (char& b : random)
        b = static_cast<char>(generator.bounded(256));
    QTest::newRow("random bytes") << "zufall.txt" << random << "keine Textdatei";
    QTest::newRow("mostly control characters, no NUL")
        << "steuer.txt" << QByteArray("St.Nr.;Vorname\r\n\x01\x02\x03\x04;\x05\x06\x07\x08\r\n") << "keine Textdatei";
}

void GridTextFileTest::unreadableFileKeepsProtocol() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    QVERIFY(QDir(m_dir.path()).mkpath("ordner.txt"));
    if (!bytes.isEmpty())
        QVERIFY(WriteBytes(Path(name), bytes));
    SortGridData grid;
    MakeProtocolGrid(grid);
    grid.SetRows(1, {"1", "17", "Anna"});
    const QString before = GridText(grid);

    QString error;
    QVERIFY(!LoadProtocolText(grid, Path(name), DefaultCaptions(), &error));
    QCOMPARE(GridText(grid), before);
    QVERIFY2(error.startsWith("Die Datei »"), qPrintable(error));
    QVERIFY2(error.contains(name) && error.contains("kann nicht gelesen werden: "), qPrintable(error));
    QVERIFY2(error.contains(reason), qPrintable(error));
    SortGridData finish;
    MakeFinishGrid(finish);
    QVERIFY(!LoadFinishText(finish, Path(name)));
    QCOMPARE(ReadClassesFile(Path(name)), QStringList());
}

void GridTextFileTest::charactersOutsideWindows1252_data() {
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("characters");
    QTest::newRow("German and French names") << QStringList{"Jörg Müller", "Œuvre €", "ß"} << "";
    QTest::newRow("each once, in order") << QStringList{"Łukasz Dvořák", "Řehoř", "Łódź"} << "Ł, ř, Ř, ź";
    QTest::newRow("beyond 16 bits") << QStringList{"Lauf 🏃"} << "🏃";
}

void GridTextFileTest::charactersOutsideWindows1252() {
    QFETCH(QStringList, texts);
    QFETCH(QString, characters);
    QCOMPARE(CharactersOutsideWindows1252(texts), characters);
    const QString warning = Windows1252Warning(texts);
    QCOMPARE(warning.isEmpty(), characters.isEmpty());
    if (!characters.isEmpty())
        QCOMPARE(warning, "Zeichen können in den Sicherungsdateien nicht gespeichert werden: " + characters);
}

void GridTextFileTest::loadLongLinesAndManyLines() {
    QByteArray bytes = "St.Nr.;Name\r\n17;" + QByteArray(4 * 1024 * 1024, 'x') + "\r\n";
    for (int i = 2; i <= 100000; ++i)
        bytes += QByteArray::number(i + 16) + ";N" + QByteArray::number(i) + "\r\n";
    const QString name = Path("gross.txt");
    QVERIFY(WriteBytes(name, bytes));

    SortGridData grid;
    MakeProtocolGrid(grid);
    QVERIFY(LoadProtocolText(grid, name, DefaultCaptions()));
    QCOMPARE(grid.RowCount(), 100001);
    QCOMPARE(grid.Cell(2, 1).size(), 4 * 1024 * 1024);
    QCOMPARE(RowText(grid, 100000), " |100016|N100000");
}

void GridTextFileTest::backupExampleByteForByte() {
    SortGridData grid;
    MakeProtocolGrid(grid);
    grid.SetRows(1, {"1", "17", "A", "B", "", "", "", "", "10:00:00,00", "10:10:05,23", "10:05,23", "0,00", "605230"});
    const QString name = Path("Kadenzor-Sicherungsdatei-P.txt");
    QString error;
    QVERIFY(WriteGridText(grid, name, &error));
    QVERIFY(error.isEmpty());
    QCOMPARE(ReadBytes(name), BackupHeaderLine + BackupWinnerLine);
}

void GridTextFileTest::rowsWritten_data() {
    QTest::addColumn<QStringList>("rows"); // cells of columns 0..3 joined by "|", row 0 first
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("empty header of the finish table is not written")
        << QStringList{"|Kontakt|Nr|", "1.|10:05,23||"} << QByteArray("1.\t10:05,23\t \t\r\n");
    QTest::newRow("row with empty Platz but results is written")
        << QStringList{"Platz|Nr|Zeit|", "|17|10:05,23|", "|18||"}
        << QByteArray("Platz\tNr\tZeit\t\r\n \t17\t10:05,23\t\r\n \t18\t \t\r\n");
    QTest::newRow("empty first data row does not suppress later rows")
        << QStringList{"Platz|Nr|Zeit|", "|||", "1|18|9,00|"} << QByteArray("Platz\tNr\tZeit\t\r\n1\t18\t9,00\t\r\n");
    QTest::newRow("a blank counts as text") << QStringList{"|||", " |||"} << QByteArray(" \t \t \t\r\n");
    QTest::newRow("raw column alone is not written") << QStringList{"|||", "|||1234"} << QByteArray();
    QTest::newRow("nothing at all gives an empty file") << QStringList{"|||", "|||"} << QByteArray();
}

void GridTextFileTest::rowsWritten() {
    QFETCH(QStringList, rows);
    QFETCH(QByteArray, expected);
    SortGridData grid(4, static_cast<int>(rows.size()));
    for (int r = 0; r < rows.size(); ++r)
        grid.SetRows(r, rows[r].split('|'));
    const QString name = Path("grid.txt");
    QVERIFY(WriteBytes(name, "old content"));
    QVERIFY(WriteGridText(grid, name));
    QVERIFY(QFile::exists(name));
    QCOMPARE(ReadBytes(name), expected);
}

void GridTextFileTest::writesWindows1252() {
    SortGridData grid(3, 2);
    grid.SetRows(0, {"Platz", "Name", ""});
    grid.SetRows(1, {"1", QString::fromUtf8("M\u00FCller \u20AC \u0141ukasz \U0001F600!"), ""});
    const QString name = Path("cp.txt");
    QVERIFY(WriteGridText(grid, name));
    QCOMPARE(ReadBytes(name), QByteArray("Platz\tName\t\r\n1\tM\xFCller \x80 ?ukasz ?!\t\r\n"));
}

void GridTextFileTest::writeFailureIsReported() {
    SortGridData grid;
    MakeProtocolGrid(grid);
    const QString name = Path("fehlt/Kadenzor-Sicherungsdatei-P.txt");
    QString error;
    QVERIFY(!WriteGridText(grid, name, &error));
    QVERIFY2(error.contains("kann nicht geschrieben werden") && error.contains("existiert nicht"), qPrintable(error));
    QVERIFY(!QFile::exists(name));
}

void GridTextFileTest::backupWriterKeepsTheLatestState_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<int>("states");
    QTest::newRow("one state") << "" << 1;
    QTest::newRow("states faster than the disk") << "" << 200;
    QTest::newRow("missing folder") << "fehlt/" << 3;
}

// States handed over in a row: the files hold the last, written no more often than
// handed over; a failure comes back with its reason; what waits at the end is written.
void GridTextFileTest::backupWriterKeepsTheLatestState() {
    QFETCH(QString, folder);
    QFETCH(int, states);
    std::atomic<int> writes{0};
    SortGridData protocol;
    MakeProtocolGrid(protocol);
    SortGridData finish(4, 2);
    RunState run;
    run.massStartClock = QStringLiteral("10:00:00,00");
    const QString where = m_dir.path() + QLatin1Char('/') + folder;
    const Backups files(where);
    BackupWriter::Result result;
    {
        BackupWriter writer([&](const BackupWriter::Result&) { ++writes; });
        for (int i = 1; i <= states; ++i) {
            protocol.SetCell(1, 1, QString::number(i));
            QCOMPARE(writer.Submit({files, GridCopy(protocol), GridCopy(finish), run}), quint64(i));
        }
        result = writer.Flush();
        QCOMPARE(result.serial, quint64(states));
        protocol.SetCell(1, 1, QStringLiteral("last"));
        writer.Submit({files, GridCopy(protocol), GridCopy(finish), run});
    }
    QVERIFY(writes >= 2 && writes <= states + 1);
    QCOMPARE(result.ok, folder.isEmpty());
    if (!folder.isEmpty()) {
        QVERIFY2(result.error.contains("existiert nicht"), qPrintable(result.error));
        return;
    }
    QVERIFY(ReadBytes(ProtocolBackupName(where)).contains("\tlast\t"));
    QVERIFY(ReadBytes(RunStateBackupName(where)).contains("Massenstart=10:00:00,00"));
}

void GridTextFileTest::backupIsReplacedNotTruncated() {
    // A crash while writing must leave the last good backup: the new file is written
    // beside it and renamed over it, so the old file's inode goes, never its content.
    const QString name = Path("Kadenzor-Sicherungsdatei-F.txt");
    QVERIFY(WriteBytes(name, "1.\t5,00\t \t\r\n"));
    struct stat before {};
    QCOMPARE(::stat(QFile::encodeName(name).constData(), &before), 0);
    QFile keepOpen(name); // holds the old inode, so it cannot be reused for the new file
    QVERIFY(keepOpen.open(QIODevice::ReadOnly));

    SortGridData finish;
    MakeFinishGrid(finish);
    finish.SetRows(1, {"1.", "5,00", "17", ""});
    QVERIFY(WriteGridText(finish, name));
    struct stat after {};
    QCOMPARE(::stat(QFile::encodeName(name).constData(), &after), 0);
    QVERIFY(after.st_ino != before.st_ino);
    QCOMPARE(keepOpen.readAll(), QByteArray("1.\t5,00\t \t\r\n"));
    QCOMPARE(ReadBytes(name), QByteArray("1.\t5,00\t17\t\r\n"));
}

void GridTextFileTest::protocolRoundTrip() {
    SortGridData grid;
    MakeProtocolGrid(grid);
    grid.SetRowCount(5);
    grid.SetRows(1, {"1", "17", "Anna", "Meier", "1990", "SC", "W", "1", " 9:00:00,00", " 9:10:05,23", "10:05,23",
                     "0,00", "605230"});
    grid.SetRows(2, {"-", "18", "Ben", "Ott", "", "", "M", "", " 9:00:30,00", "", "", "30,00", "98765"});
    grid.SetRows(3, {"", "19", "Clara", "", "", "", "", "", "", "", "", "", ""});
    grid.SetRows(4, {"-", "-4", "", "", "", "", "", "", " 9:01:00,00", "", "", "1:00,00", "123"});
    const QString name = Path("Kadenzor-Sicherungsdatei-P.txt");
    QVERIFY(WriteGridText(grid, name));
    const QByteArray first = ReadBytes(name);

    SortGridData restored;
    MakeProtocolGrid(restored);
    QVERIFY(LoadProtocolText(restored, name, DefaultCaptions()));
    QCOMPARE(restored.RowCount(), grid.RowCount());
    for (int r = 0; r < grid.RowCount(); ++r) {
        for (int c = 0; c < 12; ++c)
            QCOMPARE(restored.Cell(c, r).trimmed(), grid.Cell(c, r).trimmed());
        QCOMPARE(restored.Cell(12, r), QString());
    }
    QVERIFY(WriteGridText(restored, name));
    QCOMPARE(ReadBytes(name), first);
}

void GridTextFileTest::finishRoundTrip() {
    SortGridData finish;
    MakeFinishGrid(finish);
    finish.SetRowCount(3);
    finish.SetRows(1, {"1.", "10:05,23", "", "605230"});
    finish.SetRows(2, {"2.", "10:06,00", "17", "606000"});
    const QString name = Path("Kadenzor-Sicherungsdatei-F.txt");
    QVERIFY(WriteGridText(finish, name));
    QCOMPARE(ReadBytes(name), QByteArray("1.\t10:05,23\t \t\r\n2.\t10:06,00\t17\t\r\n"));

    SortGridData restored;
    MakeFinishGrid(restored);
    restored.SetRowCount(6);
    for (int r = 1; r < 6; ++r)
        restored.SetRows(r, {QString::number(r) + ".", "1,00", "5", "1000"});
    QVERIFY(LoadFinishText(restored, name));
    QCOMPARE(GridText(restored), QString("|Kontakt|Nr\n1.|10:05,23| \n2.|10:06,00|17"));
}

void GridTextFileTest::loadFinishSkipsEmptyLines() {
    const QString name = Path("F.txt");
    QVERIFY(WriteBytes(name, "\r\n1.\t5,00\t \t\r\n  \t \r\n2.;6,00;3;9;9\n"));
    SortGridData finish;
    MakeFinishGrid(finish);
    QVERIFY(LoadFinishText(finish, name));
    QCOMPARE(GridText(finish), QString("|Kontakt|Nr\n1.|5,00| \n2.|6,00|3"));
}

void GridTextFileTest::unreadableFinishBackupKeepsRows() {
    SortGridData finish;
    MakeFinishGrid(finish);
    finish.SetRows(1, {"1.", "5,00", "", ""});
    QString error;
    QVERIFY(!LoadFinishText(finish, Path("fehlt.txt"), &error));
    QCOMPARE(GridText(finish), QString("|Kontakt|Nr\n1.|5,00"));
    QVERIFY(error.contains("fehlt.txt"));
}

void GridTextFileTest::backupFolderWithoutTrailingSeparator() {
    const QString typed = Path("Sicherung"); // no trailing separator
    QCOMPARE(ProtocolBackupName(typed), typed + "Kadenzor-Sicherungsdatei-P.txt");
    QCOMPARE(FinishBackupName(typed), typed + "Kadenzor-Sicherungsdatei-F.txt");

    SortGridData grid;
    MakeProtocolGrid(grid);
    QVERIFY(WriteGridText(grid, ProtocolBackupName(typed)));
    QVERIFY(QFile::exists(Path("SicherungKadenzor-Sicherungsdatei-P.txt")));
}

void GridTextFileTest::classesFile_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("CR LF") << QByteArray("M\r\nW\r\n") << QStringList{"M", "W"};
    QTest::newRow("LF, no final end") << QByteArray("M\nW") << QStringList{"M", "W"};
    QTest::newRow("CR") << QByteArray("M\rW\r") << QStringList{"M", "W"};
    QTest::newRow("mixed, empty line kept") << QByteArray("M\r\rW\nU18\r\n") << QStringList{"M", "", "W", "U18"};
    QTest::newRow("Windows-1252") << QByteArray("J\xFCgend\r\n") << QStringList{"J\u00FCgend"};
    QTest::newRow("UTF-8 with byte order mark")
        << QByteArray("\xEF\xBB\xBFJ\xC3\xBCgend\n") << QStringList{"J\u00FCgend"};
    QTest::newRow("0 bytes") << QByteArray() << QStringList{};
}

void GridTextFileTest::classesFile() {
    QFETCH(QByteArray, file);
    QFETCH(QStringList, expected);
    const QString name = Path("Klassen.txt");
    QVERIFY(WriteBytes(name, file));
    bool ok = false;
    QCOMPARE(ReadClassesFile(name, &ok), expected);
    QVERIFY(ok);
}

void GridTextFileTest::missingClassesFile() {
    bool ok = true;
    QVERIFY(ReadClassesFile(Path("KeineKlassen.txt"), &ok).isEmpty());
    QVERIFY(!ok);
}

QTEST_GUILESS_MAIN(GridTextFileTest)
#include "tst_GridTextFile.moc"

#include "core/files/SpreadsheetReader.h"
#include "protocol/GridTestUtil.h"
#include "protocol/XlsxMaker.h"

#include <QLocale>
#include <QTemporaryDir>
#include <QtTest>

#include <zip.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace {

const QString Header = "Platz|St.Nr.|Vorname|Nachname|JG|Verein|Klasse|Kl.-Pl.|Start|Stopp|Zeit|Split";

// A zip archive with the given parts, written by libzip.
bool WriteZip(const QString& fileName, const std::vector<std::pair<QString, QByteArray>>& parts) {
    int error = 0;
    zip_t* zip = zip_open(QFile::encodeName(fileName).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!zip)
        return false;
    for (const auto& [name, data] : parts) {
        zip_source_t* source = zip_source_buffer(zip, data.constData(), data.size(), 0);
        const zip_int64_t index = source ? zip_file_add(zip, name.toUtf8().constData(), source, ZIP_FL_OVERWRITE) : -1;
        if (index < 0) {
            zip_source_free(source);
            zip_discard(zip);
            return false;
        }
        zip_set_file_compression(zip, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 1); // fast
    }
    return zip_close(zip) == 0;
}

QString SheetText(const SheetTexts& sheet) {
    QStringList rows;
    for (int r = 0; r < sheet.RowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < sheet.Columns(); ++c)
            cells.append(sheet.Text(r, c));
        while (!cells.isEmpty() && cells.last().isEmpty())
            cells.removeLast();
        rows.append(cells.join('|'));
    }
    return rows.join('\n');
}

// Another thread of the test process holds a lock and keeps allocating, as the serial
// watcher and Qt's threads do in the window process: a reader forked without exec
// would inherit the lock taken (or the allocator's) and could wait for it forever.
class BusyLockHolder {
public:
    BusyLockHolder()
        : m_thread([this] {
              const std::lock_guard<std::mutex> lock(m_mutex);
              m_locked = true;
              while (!m_stop) {
                  std::vector<char> block(4096 + (m_rounds++ % 64) * 512, 'x');
                  m_sink += block.back();
              }
          }) {
        while (!m_locked)
            std::this_thread::yield();
    }
    ~BusyLockHolder() {
        m_stop = true;
        m_thread.join();
    }
    bool Held() {
        if (!m_mutex.try_lock())
            return true;
        m_mutex.unlock();
        return false;
    }

private:
    std::mutex m_mutex;
    std::atomic<bool> m_locked{false};
    std::atomic<bool> m_stop{false};
    unsigned m_rounds = 0;
    std::atomic<char> m_sink{0};
    std::thread m_thread;
};

} // namespace

class SpreadsheetReaderTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();

    void startListMapping_data();
    void startListMapping();
    void cellValues();
    void inlineStringsAndLargeSheet();
    void firstWorksheetIsRead();
    void workbookOfAnotherWriter();
    void xlsFixture();
    void badInputKeepsProtocol_data();
    void badInputKeepsProtocol();
    void zipBombIsRefused();
    void craftedXlsCannotEndTheProgram();

private:
    QString Path(const QString& name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

void SpreadsheetReaderTest::initTestCase() {
    QVERIFY(m_dir.isValid());
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
}

void SpreadsheetReaderTest::startListMapping_data() {
    QTest::addColumn<SheetRows>("sheet");
    QTest::addColumn<QString>("expected");

    QTest::newRow("names in the second column: offset 1")
        << SheetRows{{"St.Nr.", "Vorname", "Nachname", "JG", "Verein", "Klasse"},
                     {"n:17", "Anna", "M\u00FCller", "n:1990", "SC", "W"},
                     {"n:18", "Ben", "Ott", "n:1985", "TV", "M"}}
        << Header + "\n|17|Anna|M\u00FCller|1990|SC|W\n|18|Ben|Ott|1985|TV|M";
    QTest::newRow("numbers in the second column: offset 0")
        << SheetRows{{"Platz", "St.Nr.", "Vorname"}, {"", "n:17", "Anna"}, {"n:2", "n:18", "Ben"}}
        << Header + "\n|17|Anna\n2|18|Ben";
    QTest::newRow("the list ends at the first row with A to C empty")
        << SheetRows{{"St.Nr.", "Vorname"}, {"n:17", "Anna"}, {"", "", "", "not read"}, {"n:99", "Nach Ende"}}
        << Header + "\n|17|Anna";
    // Without athletes nothing tells the offset: the header starts at column 0.
    QTest::newRow("header only") << SheetRows{{"St.Nr.", "Vorname"}}
                                 << "St.Nr.|Vorname|Vorname|Nachname|JG|Verein|Klasse|Kl.-Pl.|Start|"
                                    "Stopp|Zeit|Split\n";
    QTest::newRow("the twelfth sheet column never reaches the raw column")
        << SheetRows{{"A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M"},
                     {"n:1", "x", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13"}}
        << "Platz|A|B|C|D|E|F|G|H|I|J|K\n|1|x|3|4|5|6|7|8|9|10|11";
    QTest::newRow("empty captions are refilled")
        << SheetRows{{"", "", "Name"}, {"n:1", "n:2", "n:3"}}
        << "Platz|St.Nr.|Name|Nachname|JG|Verein|Klasse|Kl.-Pl.|Start|Stopp|Zeit|Split\n1|2|3";
}

void SpreadsheetReaderTest::startListMapping() {
    QFETCH(SheetRows, sheet);
    QFETCH(QString, expected);
    const QString name = Path("Startlist.xlsx");
    QVERIFY(WriteXlsx(name, sheet));

    SortGridData grid;
    MakeProtocolGrid(grid);
    // An earlier race: places, times and start ticks that a new list must clear.
    grid.SetRowCount(6);
    for (int r = 1; r < 6; ++r)
        grid.SetRows(r, {QString::number(r), "5" + QString::number(r), "Alt", "", "", "", "", "", " 9:00:00,00", "",
                         "1:00,00", "", "4711"});
    QString error;
    QVERIFY2(LoadStartListSpreadsheet(grid, name, DefaultCaptions(), &error), qPrintable(error));
    QCOMPARE(GridText(grid), expected);
}

void SpreadsheetReaderTest::cellValues() {
    const QString name = Path("values.xlsx");
    QVERIFY(WriteXlsx(name, {{"n:1.5", "n:1234", "n:-3", "b:1", "b:0", "n:0.1"}, {}, {}, {}, {}, {}, {"", "", "C7"}}));
    SheetTexts sheet;
    QString error;
    QVERIFY2(ReadFirstSheet(name, sheet, &error), qPrintable(error));
    QCOMPARE(SheetText(sheet), QString("1,5|1234|-3|WAHR|FALSCH|0,1\n\n\n\n\n\n||C7"));
}

void SpreadsheetReaderTest::inlineStringsAndLargeSheet() {
    // Constant-memory mode writes inline strings instead of shared ones.
    SheetRows rows{{"St.Nr.", "Vorname", "Nachname"}};
    for (int i = 1; i < 100000; ++i)
        rows.append({"n:" + QString::number(i), "V" + QString::number(i), "N\u00E4 " + QString::number(i)});
    const QString name = Path("gross.xlsx");
    QVERIFY(WriteXlsx(name, rows, true));

    SortGridData grid;
    MakeProtocolGrid(grid);
    QString error;
    QVERIFY2(LoadStartListSpreadsheet(grid, name, DefaultCaptions(), &error), qPrintable(error));
    QCOMPARE(grid.RowCount(), 100000);
    QCOMPARE(RowText(grid, 1), QString("|1|V1|N\u00E4 1"));
    QCOMPARE(RowText(grid, 99999), QString("|99999|V99999|N\u00E4 99999"));
}

void SpreadsheetReaderTest::firstWorksheetIsRead() {
    const QString name = Path("two.xlsx");
    QVERIFY(WriteXlsxSheets(name, {XlsxSheet{"Erste", {{"a"}, {"b"}}}, XlsxSheet{"Zweite", {{"c"}, {"d"}}}}));
    SheetTexts sheet;
    QVERIFY(ReadFirstSheet(name, sheet, nullptr));
    QCOMPARE(SheetText(sheet), QString("a\nb"));
}

void SpreadsheetReaderTest::workbookOfAnotherWriter() {
    // Prefixed element names, an absolute target, rich-text runs, rows and cells without references.
    const QByteArray rels = R"(<?xml version="1.0"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/wb.xml"/>
</Relationships>)";
    const QByteArray workbook = R"(<?xml version="1.0"?>
<x:workbook xmlns:x="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:rel="http://schemas.openxmlformats.org/officeDocument/2006/relationships">
<x:sheets><x:sheet name="Liste" sheetId="1" rel:id="R7"/></x:sheets></x:workbook>)";
    const QByteArray workbookRels = R"(<?xml version="1.0"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="R7" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="/xl/sheets/liste.xml"/>
<Relationship Id="R8" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="strings.xml"/>
</Relationships>)";
    const QByteArray strings = R"(<?xml version="1.0"?>
<x:sst xmlns:x="http://schemas.openxmlformats.org/spreadsheetml/2006/main">
<x:si><x:t>St.Nr.</x:t></x:si><x:si><x:r><x:t>Vor</x:t></x:r><x:r><x:t xml:space="preserve">name </x:t></x:r></x:si>
<x:si><x:t>Zeile_x000A_zwei &amp; mehr</x:t></x:si><x:si><x:t xml:space="preserve"> </x:t></x:si></x:sst>)";
    const QByteArray sheet = R"(<?xml version="1.0"?>
<x:worksheet xmlns:x="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><x:sheetData>
<x:row><x:c t="s"><x:v>0</x:v></x:c><x:c t="s"><x:v>1</x:v></x:c></x:row>
<x:row><x:c><x:v>17</x:v></x:c><x:c t="s"><x:v>2</x:v></x:c><x:c t="s"><x:v>3</x:v></x:c><x:c t="s"><x:v>99</x:v></x:c></x:row>
<x:row r="5"><x:c r="B5" t="inlineStr"><x:is><x:t>inline</x:t></x:is></x:c><x:c t="str"><x:v>Formel</x:v></x:c></x:row>
</x:sheetData></x:worksheet>)";
    const QString name = Path("fremd.xlsx");
    QVERIFY(WriteZip(name, {{"_rels/.rels", rels},
                            {"xl/wb.xml", workbook},
                            {"xl/_rels/wb.xml.rels", workbookRels},
                            {"xl/strings.xml", strings},
                            {"xl/sheets/liste.xml", sheet}}));
    SheetTexts texts;
    QString error;
    QVERIFY2(ReadFirstSheet(name, texts, &error), qPrintable(error));
    QCOMPARE(SheetText(texts), QString("St.Nr.|Vorname \n17|Zeile\nzwei & mehr| \n\n\n|inline|Formel"));
}

void SpreadsheetReaderTest::xlsFixture() {
    // Made by tests/data/make-xls-fixture.sh.
    SortGridData grid;
    MakeProtocolGrid(grid);
    QString error;
    QVERIFY2(LoadStartListSpreadsheet(grid, KADENZOR_TEST_DATA "/startlist.xls", DefaultCaptions(), &error),
             qPrintable(error));
    QCOMPARE(GridText(grid), Header + "\n|17|Anna|M\u00FCller|1990|SC Nord|W"
                                      "\n|18|Ben|\u00D6zt\u00FCrk|1985|TV S\u00FCd|M"
                                      "\n|19|Clara|Wei\u00DF|2001|SC Nord|W"
                                      "\n|20|Dario|\u0141ukasz|1978||M"
                                      "\n|21|Eva|Gro\u00DF|1999|TSV 1860|W");
}

void SpreadsheetReaderTest::badInputKeepsProtocol_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // empty: the file is not created
    QTest::addColumn<QString>("reason");

    QFile fixture(KADENZOR_TEST_DATA "/startlist.xls");
    QVERIFY(fixture.open(QIODevice::ReadOnly));
    const QByteArray xls = fixture.readAll();

    QTest::newRow("missing file") << "fehlt.xlsx" << QByteArray() << "existiert nicht";
    QTest::newRow("text renamed to .xlsx")
        << "text.xlsx" << QByteArray("St.Nr.;Name\r\n17;A\r\n") << "keine Excel-Arbeitsmappe";
    QTest::newRow("binary renamed to .xls") << "binaer.xls" << QByteArray(5000, '\xA5') << "keine Excel-Arbeitsmappe";
    QTest::newRow("damaged zip") << "kaputt.xlsx" << QByteArray("PK\x03\x04\x14\0\0\0garbage", 15) << "beschädigt";
    QTest::newRow("truncated xls") << "kurz.xls" << xls.left(1536) << "Arbeitsmappe";
    QTest::newRow("xls header, garbage after")
        << "muell.xls" << (xls.left(8) + QByteArray(4096, '\x11')) << "Arbeitsmappe";
}

void SpreadsheetReaderTest::badInputKeepsProtocol() {
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    if (!content.isEmpty())
        QVERIFY(WriteBytes(Path(name), content));

    SortGridData grid;
    MakeProtocolGrid(grid);
    grid.SetRows(1, {"1", "17", "Anna"});
    const QString before = GridText(grid);
    QString error;
    QVERIFY(!LoadStartListSpreadsheet(grid, Path(name), DefaultCaptions(), &error));
    QCOMPARE(GridText(grid), before);
    QVERIFY2(error.startsWith("Die Datei »") && error.contains(name + "« kann nicht gelesen werden: "),
             qPrintable(error));
    QVERIFY2(error.contains(reason), qPrintable(error));
}

void SpreadsheetReaderTest::zipBombIsRefused() {
    // A few hundred kilobytes that unpack beyond the limit.
    const QByteArray huge(MaxWorkbookPartSize + 1024, ' ');
    const QString name = Path("bombe.xlsx");
    QVERIFY(WriteZip(name, {{"xl/workbook.xml", huge}}));
    QVERIFY(QFileInfo(name).size() < 1024 * 1024);

    SortGridData grid;
    MakeProtocolGrid(grid);
    QString error;
    QVERIFY(!LoadStartListSpreadsheet(grid, name, DefaultCaptions(), &error));
    QVERIFY2(error.contains("zu groß"), qPrintable(error));
}

void SpreadsheetReaderTest::craftedXlsCannotEndTheProgram() {
    // Found by fuzz_xls: makes the .xls library read outside its stack buffer.
    BusyLockHolder busy;
    SortGridData grid;
    MakeProtocolGrid(grid);
    grid.SetRows(1, {"1", "17", "Anna"});
    const QString before = GridText(grid);
    QString error;
    // Under the sanitizers the reader program dies of it; without them the library may
    // get through. Either way this process goes on and the protocol stays whole.
    if (!LoadStartListSpreadsheet(grid, KADENZOR_TEST_DATA "/crafted-freexl-overread.xls", DefaultCaptions(), &error)) {
        QCOMPARE(GridText(grid), before);
        QVERIFY2(error.contains("kann nicht gelesen werden: Die Arbeitsmappe ist beschädigt"), qPrintable(error));
    }
    QVERIFY(busy.Held());
    // Reading goes on working afterwards, the lock still held.
    QVERIFY2(LoadStartListSpreadsheet(grid, KADENZOR_TEST_DATA "/startlist.xls", DefaultCaptions(), &error),
             qPrintable(error));
    QCOMPARE(grid.RowCount(), 6);
    QCOMPARE(grid.Cell(1, 1), QStringLiteral("17"));
    QVERIFY(busy.Held());
}

QTEST_GUILESS_MAIN(SpreadsheetReaderTest)
#include "tst_SpreadsheetReader.moc"

#include "core/grid/SortGridData.h"
#include "core/live/LivePages.h"
#include "core/live/SnapshotBuilder.h"
#include "core/race/ProtocolColumns.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {

const QString kCrafted = QStringLiteral("<script>alert(1)</script>");

// A protocol grid: captions, `rows` athletes numbered from 1, one row waiting for a start.
std::unique_ptr<SortGridData> Protocol(int rows) {
    auto g = std::make_unique<SortGridData>(Col::Count, rows + 2);
    g->SetRows(0, ProtocolCaptions());
    for (int r = 1; r <= rows; ++r) {
        g->SetCell(Col::StNr, r, QString::number(r));
        g->SetCell(Col::Vorname, r, QStringLiteral("Vor%1").arg(r));
        g->SetCell(Col::Nachname, r, QStringLiteral("Nach%1").arg(r));
        g->SetCell(Col::Klasse, r, r % 2 ? QStringLiteral("M40") : QStringLiteral("W30"));
        g->SetCell(Col::Start, r, QStringLiteral("10:00:00,00"));
    }
    return g;
}

void Finish(SortGridData& g, int row, const QString& stopp, const QString& zeit) {
    g.SetCell(Col::Stopp, row, stopp);
    g.SetCell(Col::Zeit, row, zeit);
}

SnapshotInputs Inputs() {
    SnapshotInputs in;
    in.title = QStringLiteral("Stadtlauf");
    in.now = QDateTime(QDate(2026, 3, 20), QTime(10, 23, 45, 500));
    in.colWidths = QList<int>(Col::Count, 40);
    in.colWidths[Col::Raw] = -1;
    return in;
}

QByteArray Between(const QByteArray& page, const QByteArray& open, const QByteArray& close) {
    const qsizetype a = page.indexOf(open);
    const qsizetype b = page.indexOf(close, a);
    return a < 0 || b < 0 ? QByteArray() : page.mid(a + open.size(), b - a - open.size());
}

QByteArray HashSource(const QByteArray& text) {
    return "'sha256-" + QCryptographicHash::hash(text, QCryptographicHash::Sha256).toBase64() + "'";
}

} // namespace

// Snapshots of the protocol and what the pages and data make of them.
class LivePagesTest : public QObject {
    Q_OBJECT
private slots:
    void snapshotShowsTheVisibleColumnsAndStartedRows();
    void versionFollowsTheContent();
    void lastFinishFollowsTheAthleteThroughRanking();
    void jsonCarriesEverythingAndNoMarkup();
    void pageEscapesEveryText();
    void policyAllowsExactlyThePagesOwnScriptAndStyle();
    void csvForTheSpeakersSpreadsheet_data();
    void csvForTheSpeakersSpreadsheet();
    void clocksGoOnWithTheSnapshotsAge();
    void narrowListShowsPlaceNumberNameAndTime_data();
    void narrowListShowsPlaceNumberNameAndTime();
};

void LivePagesTest::snapshotShowsTheVisibleColumnsAndStartedRows() {
    auto g = Protocol(3);
    SnapshotInputs in = Inputs();
    in.colWidths[Col::JG] = -1;
    const auto s = TakeSnapshot(*g, in, nullptr);
    QCOMPARE(s->version, quint64(1));
    QCOMPARE(s->RowCount(), 4); // captions and three athletes; the waiting row is left out
    QVERIFY(!s->columns.contains(Col::JG));
    QVERIFY(!s->columns.contains(Col::Raw));
    QVERIFY(s->columns.contains(Col::Nachname));
    QCOMPARE(s->stand, QStringLiteral("10:23:45"));
    QCOMPARE(s->Cell(Col::Nachname, 2), QStringLiteral("Nach2"));
    // Every column stays in the cells, for the folder's HTML list.
    QCOMPARE(s->cells[1].size(), qsizetype(Col::Count));
}

void LivePagesTest::versionFollowsTheContent() {
    auto g = Protocol(3);
    const auto first = TakeSnapshot(*g, Inputs(), nullptr);
    SnapshotInputs later = Inputs();
    later.now = later.now.addSecs(30); // only the clock moved
    auto same = TakeSnapshot(*g, later, first.get());
    QVERIFY(SameContent(*first, *same));
    Finish(*g, 2, QStringLiteral("10:05:00,00"), QStringLiteral("5:00,00"));
    const auto finished = TakeSnapshot(*g, later, first.get());
    QVERIFY(!SameContent(*first, *finished));
    QCOMPARE(finished->version, first->version + 1);
    SnapshotInputs running = later;
    running.running = true;
    QVERIFY(!SameContent(*finished, *TakeSnapshot(*g, running, finished.get())));
    SnapshotInputs renamed = later;
    renamed.title = QStringLiteral("Andere");
    QVERIFY(!SameContent(*finished, *TakeSnapshot(*g, renamed, finished.get())));
}

void LivePagesTest::lastFinishFollowsTheAthleteThroughRanking() {
    auto g = Protocol(3);
    Finish(*g, 1, QStringLiteral("10:04:00,00"), QStringLiteral("4:00,00"));
    const auto a = TakeSnapshot(*g, Inputs(), nullptr);
    QCOMPARE(a->Cell(Col::StNr, a->lastFinishRow), QStringLiteral("1"));
    // Two finishes between snapshots: the later one counts, not the row order.
    Finish(*g, 3, QStringLiteral("10:06:00,00"), QStringLiteral("6:00,00"));
    Finish(*g, 2, QStringLiteral("10:03:00,00"), QStringLiteral("3:00,00"));
    const auto b = TakeSnapshot(*g, Inputs(), a.get());
    QCOMPARE(b->Cell(Col::StNr, b->lastFinishRow), QStringLiteral("3"));
    // The ranking moves the rows; the last finish is still athlete 3.
    g->ExchangeRows(1, 3);
    const auto c = TakeSnapshot(*g, Inputs(), b.get());
    QCOMPARE(c->Cell(Col::StNr, c->lastFinishRow), QStringLiteral("3"));
    QCOMPARE(c->lastFinishRow, 1);
}

void LivePagesTest::jsonCarriesEverythingAndNoMarkup() {
    auto g = Protocol(2);
    g->SetCell(Col::Nachname, 1, kCrafted);
    g->SetCell(Col::Vorname, 2, QStringLiteral("Zoë \"Z\" \\ \u2028 \x01"));
    Finish(*g, 1, QStringLiteral("10:04:00,00"), QStringLiteral("4:00,00"));
    SnapshotInputs in = Inputs();
    in.classes = true;
    in.running = true;
    in.raceMs = 240000;
    const auto s = TakeSnapshot(*g, in, nullptr);
    const QByteArray bytes = ResultsJson(*s);
    QVERIFY(!bytes.contains('<'));
    QVERIFY(!bytes.contains('>'));
    QJsonParseError error;
    const QJsonObject o = QJsonDocument::fromJson(bytes, &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(o.value("version").toInteger(), 1);
    QCOMPARE(o.value("title").toString(), QStringLiteral("Stadtlauf"));
    QCOMPARE(o.value("state").toString(), QStringLiteral("running"));
    QCOMPARE(o.value("stand").toString(), QStringLiteral("10:23:45"));
    QVERIFY(o.value("classes").toBool());
    QVERIFY(o.value("race").toInteger() >= 240000);
    const QJsonArray columns = o.value("columns").toArray();
    QCOMPARE(columns.size(), s->columns.size());
    const QJsonArray rows = o.value("rows").toArray();
    QCOMPARE(rows.size(), 2);
    const QJsonObject first = rows[0].toObject();
    QCOMPARE(first.value("key").toString(), QStringLiteral("1"));
    QCOMPARE(first.value("klasse").toString(), QStringLiteral("M40"));
    const int nameAt = static_cast<int>(s->columns.indexOf(Col::Nachname));
    QCOMPARE(first.value("cells").toArray()[nameAt].toString(), kCrafted);
    const int firstNameAt = static_cast<int>(s->columns.indexOf(Col::Vorname));
    QCOMPARE(rows[1].toObject().value("cells").toArray()[firstNameAt].toString(),
             QStringLiteral("Zoë \"Z\" \\ \u2028 \x01"));
    const QJsonObject last = o.value("lastFinish").toObject();
    QCOMPARE(last.value("number").toString(), QStringLiteral("1"));
    QCOMPARE(last.value("name").toString(), QStringLiteral("Vor1 ") + kCrafted);
    QCOMPARE(last.value("time").toString(), QStringLiteral("4:00,00"));
}

void LivePagesTest::pageEscapesEveryText() {
    auto g = Protocol(2);
    g->SetCell(Col::Nachname, 1, kCrafted);
    g->SetCell(Col::Verein, 2, QStringLiteral("\"><img src=x onerror=alert(2)> 'x' & Söhne"));
    g->SetCell(Col::Nachname, 0, QStringLiteral("<b>Name</b>"));
    SnapshotInputs in = Inputs();
    in.title = QStringLiteral("</title><script>alert(3)</script>");
    const QByteArray page = ResultPage(*TakeSnapshot(*g, in, nullptr));
    QCOMPARE(page.count("<script"), 1); // the page's own, nothing else
    QVERIFY(!page.contains("<img"));
    QVERIFY(!page.contains("<b>"));
    QVERIFY(page.contains("&lt;script&gt;alert(1)&lt;/script&gt;"));
    QVERIFY(page.contains("&quot;&gt;&lt;img src=x onerror=alert(2)&gt; &#39;x&#39; &amp; S\xC3\xB6hne"));
    QVERIFY(page.contains("<title>&lt;/title&gt;&lt;script&gt;alert(3)&lt;/script&gt;"));
    QVERIFY(page.contains("<meta charset=\"utf-8\">"));
    // Nothing from elsewhere: no address of another server in the page.
    QVERIFY(!page.contains("http:"));
    QVERIFY(!page.contains("https:"));
}

void LivePagesTest::policyAllowsExactlyThePagesOwnScriptAndStyle() {
    const QByteArray pages[] = {ResultPage(*TakeSnapshot(*Protocol(1), Inputs(), nullptr)), ClockPage()};
    const QByteArray policies[] = {ResultPagePolicy(), ClockPagePolicy()};
    for (int i = 0; i < 2; ++i) {
        const QByteArray script = Between(pages[i], "<script>", "</script>");
        const QByteArray style = Between(pages[i], "<style>", "</style>");
        QVERIFY(!script.isEmpty() && !style.isEmpty());
        QVERIFY(policies[i].contains("script-src " + HashSource(script) + ';'));
        QVERIFY(policies[i].contains("style-src " + HashSource(style) + ';'));
        QVERIFY(policies[i].startsWith("default-src 'none';"));
        QVERIFY(!policies[i].contains("unsafe"));
    }
}

void LivePagesTest::csvForTheSpeakersSpreadsheet_data() {
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QByteArray>("field");
    QTest::newRow("plain") << QStringLiteral("Müller") << QByteArray("M\xC3\xBCller");
    QTest::newRow("time") << QStringLiteral("1:05,23") << QByteArray("1:05,23");
    QTest::newRow("no place") << QStringLiteral("-") << QByteArray("-");
    QTest::newRow("placeholder number") << QStringLiteral("-1") << QByteArray("-1");
    QTest::newRow("gap") << QStringLiteral("-0:12,50") << QByteArray("-0:12,50");
    QTest::newRow("semicolon") << QStringLiteral("A;B") << QByteArray("\"A;B\"");
    QTest::newRow("quote") << QStringLiteral("Der \"Blitz\"") << QByteArray("\"Der \"\"Blitz\"\"\"");
    QTest::newRow("formula") << QStringLiteral("=HYPERLINK(\"x\")") << QByteArray("\"'=HYPERLINK(\"\"x\"\")\"");
    QTest::newRow("plus") << QStringLiteral("+1+1") << QByteArray("'+1+1");
    QTest::newRow("at") << QStringLiteral("@SUM(A1)") << QByteArray("'@SUM(A1)");
    QTest::newRow("minus formula") << QStringLiteral("-1+A1") << QByteArray("'-1+A1");
}

void LivePagesTest::csvForTheSpeakersSpreadsheet() {
    QFETCH(QString, cell);
    QFETCH(QByteArray, field);
    auto g = Protocol(1);
    g->SetCell(Col::Verein, 1, cell);
    SnapshotInputs in = Inputs();
    in.colWidths = QList<int>(Col::Count, -1);
    in.colWidths[Col::StNr] = in.colWidths[Col::Verein] = 40;
    const QByteArray csv = ResultsCsv(*TakeSnapshot(*g, in, nullptr));
    QVERIFY(csv.startsWith("\xEF\xBB\xBF"));
    const QList<QByteArray> lines = csv.mid(3).split('\n');
    QCOMPARE(lines.value(0), QByteArray("St.Nr.;Verein\r"));
    QCOMPARE(lines.value(1), "1;" + field + '\r');
}

void LivePagesTest::clocksGoOnWithTheSnapshotsAge() {
    Snapshot s;
    s.dayMs = 24LL * 3600 * 1000 - 50; // just before midnight
    s.raceMs = 1000;
    s.taken.start();
    QTest::qWait(120);
    QVERIFY(s.DayMsNow() < 1000); // past midnight, the clock of day starts at 0
    QVERIFY(*s.RaceMsNow() >= 1100);
    const QJsonObject o = QJsonDocument::fromJson(ResultsJson(s)).object();
    QVERIFY(o.value("now").toInteger() < 2000);
    QVERIFY(o.value("race").toInteger() >= 1100);
    Snapshot idle;
    QVERIFY(QJsonDocument::fromJson(ResultsJson(idle)).object().value("race").isNull());
    QVERIFY(QJsonDocument::fromJson(ResultsJson(idle)).object().value("lastFinish").isNull());
}

void LivePagesTest::narrowListShowsPlaceNumberNameAndTime_data() {
    QTest::addColumn<QList<int>>("hidden");
    QTest::addColumn<QString>("name");  // in the narrow list's row of athlete 1
    QTest::addColumn<QString>("phone"); // the positions the page's script uses
    QTest::newRow("all columns") << QList<int>{} << QStringLiteral("Vor1 Nach1")
                                 << QStringLiteral("platz 0 nr 1 name 2,3 zeit 10 klPlatz 7");
    QTest::newRow("first name hidden") << QList<int>{Col::Vorname} << QStringLiteral("Nach1")
                                       << QStringLiteral("platz 0 nr 1 name 2 zeit 9 klPlatz 6");
    // A name the operator hid stays hidden on the phone too.
    QTest::newRow("names and class place hidden") << QList<int>{Col::Vorname, Col::Nachname, Col::KlPl} << QString()
                                                  << QStringLiteral("platz 0 nr 1 name  zeit 7 klPlatz -1");
}

void LivePagesTest::narrowListShowsPlaceNumberNameAndTime() {
    QFETCH(QList<int>, hidden);
    QFETCH(QString, name);
    QFETCH(QString, phone);
    auto g = Protocol(2);
    g->SetCell(Col::Platz, 1, QStringLiteral("1"));
    Finish(*g, 1, QStringLiteral("10:20:00,00"), QStringLiteral("20:00,00"));
    SnapshotInputs in = Inputs();
    for (int c : hidden)
        in.colWidths[c] = -1;
    const auto s = TakeSnapshot(*g, in, nullptr);
    const QJsonObject p = QJsonDocument::fromJson(ResultsJson(*s)).object().value("phone").toObject();
    QStringList names;
    for (const QJsonValue& v : p.value("name").toArray())
        names << QString::number(v.toInt());
    QCOMPARE(QStringLiteral("platz %1 nr %2 name %3 zeit %4 klPlatz %5")
                 .arg(p.value("platz").toInt())
                 .arg(p.value("nr").toInt())
                 .arg(names.join(QLatin1Char(',')))
                 .arg(p.value("zeit").toInt())
                 .arg(p.value("klPlatz").toInt()),
             phone);
    const QString page = QString::fromUtf8(ResultPage(*s));
    QVERIFY(page.contains(QStringLiteral("<th class=\"p\">Platz</th><th class=\"n\">St.Nr.</th>"
                                         "<th class=\"nm\">Name</th><th class=\"z\">Zeit</th>")));
    QVERIFY(page.contains(QStringLiteral("<tr><td class=\"p\">1</td><td class=\"n\">1</td><td class=\"nm\">%1</td>"
                                         "<td class=\"z\">20:00,00</td></tr>")
                              .arg(name)));
}

QTEST_GUILESS_MAIN(LivePagesTest)
#include "tst_LivePages.moc"

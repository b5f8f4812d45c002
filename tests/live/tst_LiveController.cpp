#include "HttpClient.h"
#include "core/grid/SortGridData.h"
#include "core/live/LiveResults.h"
#include "core/live/PublishFolder.h"
#include "core/live/SnapshotBuilder.h"
#include "core/race/ProtocolColumns.h"
#include "support/FakeClock.h"
#include "support/GridHooks.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

// The controller on a bare protocol grid, without a window.
struct Controller {
    SortGridData grid{Col::Count, 3};
    GridHooks gridEvents{grid}; // stands in for the window, which passes on the grid's changes
    TSettings settings;
    RunState state;
    FakeClock clock{5000, QDateTime(QDate(2026, 3, 20), QTime(11, 30))};
    QString status;
    bool alarm = false;
    std::unique_ptr<LiveResults> live;

    explicit Controller(const TSettings& s, HttpLimits limits = HttpLimits()) : settings(s) {
        grid.SetRows(0, ProtocolCaptions());
        grid.SetCell(Col::StNr, 1, QStringLiteral("7"));
        live = std::make_unique<LiveResults>(grid, settings, state, clock, limits);
        live->SetColumnWidths(QList<int>(Col::Count, 30));
        QObject::connect(live.get(), &LiveResults::StatusChanged, [this](const QString& text, bool red) {
            status = text;
            alarm = red;
        });
        gridEvents.OnChanged = [this] { live->Changed(); };
        live->Begin();
    }
    // The settings dialog's way: new values, then ApplySettings with the old ones.
    void Change(const std::function<void(TSettings&)>& edit) {
        const TSettings before = settings;
        edit(settings);
        live->ApplySettings(before);
    }
};

TSettings Web(quint16 port, const QString& bind = QStringLiteral("127.0.0.1")) {
    TSettings s;
    s.WebPort = port;
    s.WebBind = bind;
    return s;
}

} // namespace

// LiveResults: when it publishes, and what the operator is told.
class LiveControllerTest : public QObject {
    Q_OBJECT
private slots:
    void manyCellWritesMakeOneSnapshot();
    void startAndEndChangeTheState();
    void takenPortIsTriedAgain();
    void addressThatIsNoneIsSaid_data();
    void addressThatIsNoneIsSaid();
    void unwritableFolderIsSaid();
    void folderGetsTheFirstAndTheLastOfABurst();
};

void LiveControllerTest::manyCellWritesMakeOneSnapshot() {
    Controller c(Web(FreePort()));
    QSignalSpy published(c.live.get(), &LiveResults::published);
    QVERIFY(published.wait(2000));
    const quint64 first = c.live->Current()->version;
    // A ranking writes many cells in one go: one new version.
    for (int i = 0; i < 50; ++i)
        c.grid.SetCell(Col::Nachname, 1, QStringLiteral("Name %1").arg(i));
    QVERIFY(published.wait(2000));
    QCOMPARE(c.live->Current()->version, first + 1);
    QCOMPARE(c.live->Current()->Cell(Col::Nachname, 1), QStringLiteral("Name 49"));
    // Moving the current cell changes nothing a reader sees: no new version.
    c.grid.SetRow(2);
    QVERIFY(!published.wait(300));
    QCOMPARE(c.live->Current()->version, first + 1);
}

void LiveControllerTest::startAndEndChangeTheState() {
    Controller c(Web(FreePort()));
    QTRY_VERIFY(c.live->Current());
    QVERIFY(!c.live->Current()->running);
    c.state.runStart = Tick(5000);
    c.clock.Advance(61000);
    c.live->Changed();
    QTRY_VERIFY(c.live->Current()->running);
    QVERIFY(*c.live->Current()->raceMs >= 61000);
    QCOMPARE(c.live->Current()->stand, QStringLiteral("11:31:01"));
}

void LiveControllerTest::takenPortIsTriedAgain() {
    auto blocker = std::make_unique<QTcpServer>();
    QVERIFY(blocker->listen(QHostAddress::LocalHost, 0));
    const quint16 port = blocker->serverPort();
    HttpLimits quick;
    quick.retryMs = 100;
    Controller c(Web(port), quick);
    QTRY_COMPARE(c.status, QStringLiteral("Live-Ergebnisse aus: Port %1 ist belegt").arg(port));
    QVERIFY(c.alarm);
    blocker.reset(); // the other program ends
    QTRY_COMPARE(c.live->ServerPort(), port);
    QCOMPARE(c.status, QStringLiteral("http://127.0.0.1:%1/").arg(port));
    QVERIFY(!c.alarm);
    QCOMPARE(Fetch(port, "GET", "/results.json").status, 200);
}

void LiveControllerTest::addressThatIsNoneIsSaid_data() {
    QTest::addColumn<QString>("bind");
    QTest::addColumn<QString>("text");
    QTest::newRow("no address") << QStringLiteral("laptop") << QStringLiteral("Adresse \u201Elaptop\u201C ungültig");
    QTest::newRow("not on this computer")
        << QStringLiteral("192.0.2.77") << QStringLiteral("Adresse 192.0.2.77 gibt es auf diesem Rechner nicht");
}

void LiveControllerTest::addressThatIsNoneIsSaid() {
    QFETCH(QString, bind);
    QFETCH(QString, text);
    Controller c(Web(FreePort(), bind));
    QTRY_COMPARE(c.status, QStringLiteral("Live-Ergebnisse aus: ") + text);
    QVERIFY(c.alarm);
    QCOMPARE(c.live->ServerPort(), quint16(0));
    // A good address starts it.
    const quint16 port = FreePort();
    c.Change([port](TSettings& s) {
        s.WebBind = QStringLiteral("127.0.0.1");
        s.WebPort = port;
    });
    QTRY_COMPARE(c.live->ServerPort(), port);
    QVERIFY(!c.alarm);
}

void LiveControllerTest::unwritableFolderIsSaid() {
    TSettings s;
    s.PublishDir = QStringLiteral("/proc/kein-ordner");
    Controller c(s);
    QTRY_VERIFY(c.status.startsWith(QStringLiteral("Veröffentlichung fehlgeschlagen: ")));
    QVERIFY(c.alarm);
    QTemporaryDir good;
    c.Change([&](TSettings& t) { t.PublishDir = good.path(); });
    QVERIFY(c.status.isEmpty());
    QTRY_VERIFY(QFile::exists(good.filePath(QStringLiteral("results.json"))));
    QVERIFY(c.status.isEmpty());
}

void LiveControllerTest::folderGetsTheFirstAndTheLastOfABurst() {
    QTemporaryDir out;
    auto folder = std::make_unique<PublishFolder>(300);
    folder->SetFolder(out.path());
    QSignalSpy written(folder.get(), &PublishFolder::written);
    SortGridData grid(Col::Count, 2);
    grid.SetRows(0, ProtocolCaptions());
    SnapshotInputs in;
    in.title = QStringLiteral("Lauf");
    std::shared_ptr<const Snapshot> last;
    for (int i = 1; i <= 20; ++i) {
        grid.SetCell(Col::StNr, 1, QString::number(i));
        last = TakeSnapshot(grid, in, last.get());
        folder->Offer(last);
    }
    // The first at once, the last after the interval; none of those between.
    QTRY_COMPARE(written.size(), 2);
    QTest::qWait(400);
    QCOMPARE(written.size(), 2);
    QCOMPARE(written.at(1).at(0).toString(), QString());
    QFile json(out.filePath(PublishFolder::JsonName()));
    QVERIFY(json.open(QIODevice::ReadOnly));
    QVERIFY(json.readAll().contains("\"version\":20,"));
    // A change waiting when the program ends is still written.
    grid.SetCell(Col::StNr, 1, QStringLiteral("98"));
    last = TakeSnapshot(grid, in, last.get());
    folder->Offer(last); // at once
    grid.SetCell(Col::StNr, 1, QStringLiteral("99"));
    folder->Offer(TakeSnapshot(grid, in, last.get())); // waits for the interval
    folder.reset();
    json.close();
    QVERIFY(json.open(QIODevice::ReadOnly));
    QVERIFY(json.readAll().contains("\"version\":22,"));
}

QTEST_GUILESS_MAIN(LiveControllerTest)
#include "tst_LiveController.moc"

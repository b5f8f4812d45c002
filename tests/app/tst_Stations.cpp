#include "RaceWindow.h"
#include "core/stations/MqttClient.h"
#include "stations/Broker.h"
#include "ui/run/StationControl.h"
#include "ui/widgets/StatusLabel.h"

#include <QComboBox>

#include <atomic>

// A start station and a finish station, two real windows with folders of their own,
// joined through a real broker on 127.0.0.1.
class tst_Stations : public QObject {
    Q_OBJECT
private slots:
    void startsCrossWithTheirOwnClock_data();
    void startsCrossWithTheirOwnClock();
};

namespace {
TSettings StationSettings(int station, quint16 port) {
    TSettings s;
    s.Station = station;
    s.Broker = QStringLiteral("127.0.0.1:%1").arg(port);
    return s;
}

// START as the operator gives it: a click into the start box, the number, F5.
void StartAt(RaceWindow& w, const QString& number) {
    w.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.form.get()));
    auto* box = Find<NumberBox>(w.form, "cbStartN");
    QTest::mouseClick(box, Qt::LeftButton);
    QTRY_VERIFY(QApplication::focusWidget() && box->isAncestorOf(QApplication::focusWidget()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(QApplication::focusWidget(), number);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F5);
}

int RemoteStartLines(const QByteArray& journal) {
    int n = 0;
    for (const QByteArray& line : journal.split('\n'))
        n += line.contains("\tSTART\t") && line.contains("Herkunft=start") ? 1 : 0;
    return n;
}
} // namespace

void tst_Stations::startsCrossWithTheirOwnClock_data() {
    QTest::addColumn<int>("finishAheadMs"); // the finish PC's clock against the start PC's
    QTest::addColumn<int>("runMs");
    QTest::addColumn<QString>("zeit");
    QTest::newRow("clocks agree") << 0 << 61234 << QStringLiteral("1:01,23");
    // Ticks of two PCs never mix: a finish clock 2.5 s ahead lengthens the time by as much.
    QTest::newRow("finish clock ahead") << 2500 << 61234 << QStringLiteral("1:03,73");
}

void tst_Stations::startsCrossWithTheirOwnClock() {
    QFETCH(int, finishAheadMs);
    QFETCH(int, runMs);
    QFETCH(QString, zeit);
    Broker broker;
    QVERIFY(broker.Start());
    const QDateTime ten(QDate(2026, 3, 20), QTime(10, 0));
    RaceWindow finish(StationSettings(2, broker.Port()), true, QString(), ten.addMSecs(finishAheadMs));
    finish.fake->clock.Set(7000000, ten.addMSecs(finishAheadMs));
    RaceWindow start(StationSettings(1, broker.Port()));
    auto* field = Find<StatusLabel>(finish.form, "StatusStation");
    QTRY_VERIFY_WITH_TIMEOUT(
        field->text().contains(QStringLiteral("verbunden")) && !field->text().contains(QStringLiteral("nicht")), 15000);

    StartAt(start, QStringLiteral("7"));
    QTRY_COMPARE_WITH_TIMEOUT(finish.RowOf(QStringLiteral("7")) > 0, true, 15000);
    QCOMPARE(finish.Of(QStringLiteral("7"), Col::Start), start.Of(QStringLiteral("7"), Col::Start));
    // The same number again: the finish station keeps its first start and says so.
    StartAt(start, QStringLiteral("7"));
    QTRY_VERIFY_WITH_TIMEOUT(finish.ReadFile("Kadenzor-Journal.txt").contains("START ABGELEHNT"), 15000);
    QCOMPARE(finish.Of(QStringLiteral("7"), Col::Start), start.Of(QStringLiteral("7"), Col::Start));

    finish.Advance(runMs);
    finish.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(finish.form.get()));
    finish.FinishNumber(QStringLiteral("7"));
    QCOMPARE(finish.Of(QStringLiteral("7"), Col::Zeit), zeit);
    // Any reader of the race gets the finish station's result list, retained.
    std::atomic<bool> up = false;
    QByteArray results;
    MqttClient::Options o;
    o.host = QStringLiteral("127.0.0.1");
    o.port = broker.Port();
    MqttClient reader(
        o,
        [&](const QString&, const QByteArray& json, bool) {
            QMetaObject::invokeMethod(qApp, [&, json] { results = json; });
        },
        [&](bool connected, const QString&) { up = connected; });
    QString error;
    QVERIFY(reader.Start(error));
    QTRY_VERIFY_WITH_TIMEOUT(up, 10000);
    QVERIFY(reader.Subscribe(QStringLiteral("kadenzor/rennen/results"), 1));
    QTRY_VERIFY_WITH_TIMEOUT(results.contains(zeit.toUtf8()), 10000);

    // A restart of the finish station applies nothing twice.
    const QString folder = finish.folder;
    finish.form.reset();
    RaceWindow again(StationSettings(2, broker.Port()), true, folder, ten.addMSecs(finishAheadMs + runMs));
    auto* field2 = Find<StatusLabel>(again.form, "StatusStation");
    QTRY_VERIFY_WITH_TIMEOUT(field2->text().contains(QStringLiteral("übernommen 3")), 15000);
    QTest::qWait(500);
    QCOMPARE(RemoteStartLines(again.ReadFile("Kadenzor-Journal.txt")), 1);
    QCOMPARE(again.Of(QStringLiteral("7"), Col::Zeit), zeit);
}

QTEST_MAIN(tst_Stations)
#include "tst_Stations.moc"

#include "Broker.h"
#include "core/race/Journal.h"
#include "core/stations/ClockOffset.h"
#include "core/stations/MqttClient.h"
#include "core/stations/StationLink.h"

#include <QRandomGenerator>
#include <QtTest>

#include <memory>

// One station as the program runs it: its journal in a folder of its own is its only
// memory; "killing" it drops the link without a goodbye and builds it anew from there.
struct Station {
    Station(int role, quint16 port) : m_role(role), m_port(port) {
        m_journal.SetFolder(m_dir.path() + QLatin1Char('/'));
        Up();
    }
    void Up() {
        StationConfig c;
        c.role = m_role;
        c.host = QStringLiteral("127.0.0.1");
        c.port = m_port;
        link = std::make_unique<StationLink>(c);
        link->Restore(ReadJournalLines(m_journal.FileName()));
        QObject::connect(link.get(), &StationLink::EventDue, link.get(), [this](const StationEvent& e) {
            JournalEntry line;
            line.event = e.event;
            line.number = e.number;
            line.clock = QTime::fromMSecsSinceStartOfDay(e.clockMs);
            line.date = QDate::currentDate();
            line.hasTick = true;
            line.Add(StationKey::Origin, e.station).Add(StationKey::Seq, QString::number(e.seq));
            QVERIFY(m_journal.Append(line));
            applied.append(e);
            link->Applied(e.station, e.seq);
        });
        QObject::connect(link.get(), &StationLink::Refused, link.get(), [this] { ++refused; });
        QString error;
        QVERIFY2(link->Begin(error), qPrintable(error));
    }
    void Kill() { link.reset(); }
    // A START as run control journals it, then out to the broker.
    StationEvent Start(int n) {
        JournalEntry line;
        line.event = QStringLiteral("START");
        line.number = QString::number(n);
        line.clock = QTime::fromMSecsSinceStartOfDay(36000000 + n * 37);
        line.date = QDate::currentDate();
        line.tick = 1000u + static_cast<quint32>(n);
        line.hasTick = true;
        const StationEvent e = link->Stamp(line, 1765000000000LL + n * 37);
        if (!m_journal.Append(line))
            qFatal("journal");
        link->Publish(e);
        return e;
    }

    int m_role;
    quint16 m_port;
    QTemporaryDir m_dir;
    Journal m_journal;
    std::unique_ptr<StationLink> link;
    QList<StationEvent> applied; // in the order applied, across restarts
    int refused = 0;
};

class tst_StationLink : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        if (Broker::Program().isEmpty())
            QFAIL("mosquitto is not installed (scripts/setup installs it)");
    }
    void clockOffset_data();
    void clockOffset();
    void faults_data();
    void faults();
    void refusesWhatIsNotAStart();
};

void tst_StationLink::clockOffset_data() {
    QTest::addColumn<QList<qint64>>("times"); // t1..t4 of each exchange
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<qint64>("error");
    QTest::newRow("symmetric") << QList<qint64>{100, 105, 106, 109} << qint64(1) << qint64(4);
    QTest::newRow("peer behind") << QList<qint64>{100, 98, 98, 104} << qint64(-4) << qint64(2);
    QTest::newRow("smallest round trip wins")
        << QList<qint64>{0, 50, 50, 60, 100, 103, 103, 104} << qint64(1) << qint64(2);
    QTest::newRow("impossible exchange skipped")
        << QList<qint64>{100, 0, 200, 101, 10, 12, 12, 12} << qint64(1) << qint64(1);
}

void tst_StationLink::clockOffset() {
    QFETCH(QList<qint64>, times);
    ClockOffset clock;
    for (qsizetype i = 0; i + 3 < times.size(); i += 4)
        clock.Add(times[i], times[i + 1], times[i + 2], times[i + 3]);
    QVERIFY(clock.Best());
    QFETCH(qint64, offset);
    QFETCH(qint64, error);
    QCOMPARE(clock.Best()->offsetMs, offset);
    QCOMPARE(clock.Best()->errorMs, error);
}

// What goes wrong in a race: after `starts` starts, the link is broken at the given
// moments; every start must come across once, in order, with its own clock.
void tst_StationLink::faults_data() {
    QTest::addColumn<int>("starts");
    QTest::addColumn<QList<int>>("faults"); // start index * 10 + what: 1 broker, 2 start, 3 finish station
    QTest::newRow("starts appear at the finish") << 20 << QList<int>{};
    QTest::newRow("broker killed for 5 s") << 30 << QList<int>{101};
    QTest::newRow("start station killed after a START") << 10 << QList<int>{52};
    QTest::newRow("finish station killed") << 10 << QList<int>{33};
    QList<int> random;
    QRandomGenerator rng(28);
    for (int i = 0; i < 8; ++i)
        random << (1 + i * 120 + rng.bounded(100)) * 10 + 1 + rng.bounded(3);
    QTest::newRow("1000 starts, random drops") << 1000 << random;
}

void tst_StationLink::faults() {
    QFETCH(int, starts);
    QFETCH(QList<int>, faults);
    Broker broker;
    QVERIFY(broker.Start());
    Station start(StationRole::Start, broker.Port());
    Station finish(StationRole::Finish, broker.Port());
    QTRY_VERIFY_WITH_TIMEOUT(start.link->Connected() && finish.link->Connected(), 10000);
    QList<StationEvent> sent;
    for (int n = 1; n <= starts; ++n) {
        sent.append(start.Start(n));
        for (int fault : faults) {
            if (fault / 10 != n)
                continue;
            if (fault % 10 == 1) {
                broker.Kill();
                for (int k = n + 1; k <= n + 3 && k <= starts; ++k, ++n)
                    sent.append(start.Start(k)); // taken while the broker is down
                QTest::qWait(starts > 100 ? 1000 : 5000);
                QVERIFY(broker.Start());
            } else {
                Station& s = fault % 10 == 2 ? start : finish;
                s.Kill();
                QTest::qWait(200);
                s.Up();
            }
        }
        if (n % 50 == 0)
            QTest::qWait(1);
    }
    QTRY_COMPARE_WITH_TIMEOUT(finish.applied.size(), sent.size(), 60000);
    QTest::qWait(300); // what else arrives must be dropped
    QCOMPARE(finish.applied.size(), sent.size());
    for (qsizetype i = 0; i < sent.size(); ++i) {
        QCOMPARE(finish.applied[i].seq, quint64(i + 1));
        QCOMPARE(finish.applied[i].number, sent[i].number);
        QCOMPARE(finish.applied[i].clockMs, sent[i].clockMs);
        QCOMPARE(finish.applied[i].utcMs, sent[i].utcMs);
    }
    // The start station hears the acknowledgement and has nothing left to send.
    QTRY_COMPARE_WITH_TIMEOUT(start.link->Ledger().Backlog(), quint64(0), 10000);
    QCOMPARE(finish.refused, 0);
}

// A message delivered twice, one from a station no race knows, one that does not parse,
// one of another race: none is applied, and the START comes across once.
void tst_StationLink::refusesWhatIsNotAStart() {
    Broker broker;
    QVERIFY(broker.Start());
    Station finish(StationRole::Finish, broker.Port());
    MqttClient::Options o;
    o.host = QStringLiteral("127.0.0.1");
    o.port = broker.Port();
    MqttClient raw(
        o, [](const QString&, const QByteArray&, bool) {}, [](bool, const QString&) {});
    QString error;
    QVERIFY(raw.Start(error));
    QTRY_VERIFY_WITH_TIMEOUT(finish.link->Connected(), 10000);
    StationEvent e{
        QStringLiteral("rennen"), QStringLiteral("start"), 1, QStringLiteral("START"), 5, 36000000, 1765000000000LL,
        QStringLiteral("7"),      QStringLiteral("Taste")};
    const QString prefix = QStringLiteral("kadenzor/rennen/station/");
    QTest::qWait(300);
    QVERIFY(raw.Publish(prefix + "start/events", e.ToJson(), 1, false));
    QVERIFY(raw.Publish(prefix + "start/events", e.ToJson(), 1, false));
    QVERIFY(raw.Publish(prefix + "gast/events", e.ToJson(), 1, false));
    QVERIFY(raw.Publish(prefix + "start/events", "{\"seq\":2", 1, false));
    StationEvent other = e;
    other.race = QStringLiteral("anderes");
    other.seq = 2;
    QVERIFY(raw.Publish(prefix + "start/events", other.ToJson(), 1, false));
    QTRY_COMPARE_WITH_TIMEOUT(finish.refused, 3, 10000);
    QCOMPARE(finish.applied.size(), 1);
    QCOMPARE(finish.applied[0].number, QStringLiteral("7"));
    QCOMPARE(finish.link->Ledger().Applied(QStringLiteral("start")), quint64(1));
}

QTEST_GUILESS_MAIN(tst_StationLink)
#include "tst_StationLink.moc"

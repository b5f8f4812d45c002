#include "support/FakeClock.h"
#include "ui/run/InputMoments.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QtTest>

namespace {

constexpr Tick kTick0 = 100000;      // our tick when the program started
constexpr quint32 kSystem0 = 777000; // the window system's time then
const QTime kClock0(10, 0);

struct Event {
    int pressedMs;   // the event's time, from kSystem0; 0: an event without time
    int deliveredMs; // our tick at its delivery, from kTick0
    bool click = false;
};

} // namespace

class InputMomentsTest : public QObject {
    Q_OBJECT
private slots:
    void momentOfTheEvent_data();
    void momentOfTheEvent();
};

void InputMomentsTest::momentOfTheEvent_data() {
    QTest::addColumn<QList<Event>>("events"); // the last is the one handled
    QTest::addColumn<int>("handledMs");       // when the handler takes the moment, from kTick0
    QTest::addColumn<int>("expectedMs");      // the moment taken, from kTick0
    QTest::addColumn<bool>("note");
    QTest::newRow("on time") << QList<Event>{{1000, 1000}} << 1000 << 1000 << false;
    QTest::newRow("queued 100 ms behind a busy thread") << QList<Event>{{1000, 1100}} << 1100 << 1000 << false;
    QTest::newRow("long handler before the moment") << QList<Event>{{1000, 1100}} << 1140 << 1000 << false;
    QTest::newRow("a click") << QList<Event>{{2000, 2090, true}} << 2090 << 2000 << false;
    QTest::newRow("window system 3 ms ahead: rounding") << QList<Event>{{1003, 1000}} << 1000 << 1000 << false;
    QTest::newRow("window system far ahead") << QList<Event>{{1500, 1000}} << 1000 << 1000 << true;
    QTest::newRow("a suspend moved the clocks apart") << QList<Event>{{1000, 40000}} << 40000 << 40000 << true;
    QTest::newRow("after a suspend the next press is mapped anew")
        << QList<Event>{{1000, 40000}, {2000, 41050}} << 41050 << 41000 << false;
    QTest::newRow("the smallest delay becomes the offset")
        << QList<Event>{{1004, 1000}, {2000, 2050}} << 2050 << 1996 << false;
    QTest::newRow("an event without time") << QList<Event>{{0, 1000}} << 1000 << 1000 << false;
    QTest::newRow("no event: the handler's moment") << QList<Event>{} << 5000 << 5000 << false;
    QTest::newRow("an event long gone did not cause the handler")
        << QList<Event>{{1000, 1000}} << 1400 << 1400 << false;
}

// Each press is delivered as the window system sends it, to the focused widget.
void InputMomentsTest::momentOfTheEvent() {
    QFETCH(QList<Event>, events);
    QFETCH(int, handledMs);
    QFETCH(int, expectedMs);
    QFETCH(bool, note);
    FakeClock clock(kTick0, QDateTime(QDate(2026, 3, 20), kClock0));
    InputMoments moments(clock, kSystem0);
    QLineEdit field;
    field.show();
    QApplication::setActiveWindow(&field);
    field.setFocus();
    QVERIFY(QTest::qWaitForWindowActive(&field));
    QString why;
    for (qsizetype i = 0; i < events.size(); ++i) {
        const Event& e = events[i];
        clock.Set(kTick0 + Tick(e.deliveredMs), QDateTime(QDate(2026, 3, 20), kClock0.addMSecs(e.deliveredMs)));
        const ulong time = e.pressedMs == 0 ? ulong(0) : ulong(kSystem0 + quint32(e.pressedMs));
        if (e.click) {
            QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), field.mapToGlobal(QPointF(2, 2)), Qt::LeftButton,
                              Qt::LeftButton, Qt::NoModifier);
            press.setTimestamp(time);
            QApplication::sendEvent(&field, &press);
        } else {
            QKeyEvent key(QEvent::KeyPress, Qt::Key_F8, Qt::NoModifier);
            key.setTimestamp(time);
            QApplication::sendEvent(QApplication::focusWidget(), &key);
        }
        if (i + 1 < events.size())
            moments.Take(why); // an earlier press, handled at once
    }
    clock.Set(kTick0 + Tick(handledMs), QDateTime(QDate(2026, 3, 20), kClock0.addMSecs(handledMs)));
    const Moment at = moments.Take(why);
    QCOMPARE(at.tick, kTick0 + Tick(expectedMs));
    QCOMPARE(at.clock, kClock0.addMSecs(expectedMs));
    QCOMPARE(at.epochMs, QDateTime(QDate(2026, 3, 20), kClock0.addMSecs(expectedMs)).toMSecsSinceEpoch());
    QCOMPARE(!why.isEmpty(), note);
    // One press gives one moment: a second handler reads its own.
    const Moment again = moments.Take(why);
    QCOMPARE(again.tick, kTick0 + Tick(handledMs));
    QVERIFY(why.isEmpty());
}

QTEST_MAIN(InputMomentsTest)
#include "tst_InputMoments.moc"

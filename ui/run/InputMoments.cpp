#include "ui/run/InputMoments.h"

#include <QCoreApplication>
#include <QInputEvent>

#include <algorithm>
#include <utility>

#include <time.h>

namespace {

// A handler reads the moment while its event is being delivered; an event delivered
// longer ago than this did not cause the handler.
constexpr qint32 kDeliveryMs = 250;
// A window system's clock a little ahead of ours is rounding; more is a wrong offset.
constexpr qint32 kAheadMs = 5;
// No handler waits this long; a larger delay means the clocks moved apart (a suspend).
constexpr qint32 kMostLateMs = 10000;

bool IsInput(QEvent::Type type) {
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        return true;
    default:
        return false;
    }
}

} // namespace

InputMoments::InputMoments(const Clock& clock, quint32 windowSystemNow, QObject* parent)
    : QObject(parent), m_clock(clock), m_offset(static_cast<qint32>(clock.tick() - windowSystemNow)) {
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(this);
}

InputMoments::~InputMoments() {
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

quint32 InputMoments::WindowSystemNow() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<quint32>(static_cast<quint64>(ts.tv_sec) * 1000u + static_cast<quint64>(ts.tv_nsec) / 1000000u);
}

bool InputMoments::eventFilter(QObject* watched, QEvent* event) {
    if (IsInput(event->type())) {
        // One press reaches several receivers (shortcut check, widget, parents): the first
        // delivery of the time counts.
        const auto* input = static_cast<const QInputEvent*>(event);
        const quint32 time = static_cast<quint32>(input->timestamp());
        if (!m_pending || time != m_eventTime) {
            m_pending = true;
            m_eventTime = time;
            m_delivered = m_clock.tick();
        }
    }
    return QObject::eventFilter(watched, event);
}

Moment InputMoments::Take(QString& note) {
    note.clear();
    const Moment now = m_clock.moment();
    const bool pending = std::exchange(m_pending, false);
    // Events made up by a program carry no time.
    if (!pending || m_eventTime == 0 || TickDiff(now.tick, m_delivered) > kDeliveryMs)
        return now;
    const qint32 sample = static_cast<qint32>(m_delivered - m_eventTime);
    const qint32 late = sample - m_offset;
    if (late < -kAheadMs || late > kMostLateMs) {
        // The next event is measured against this one.
        m_offset = sample;
        note = QStringLiteral("Ereigniszeit unplausibel (%1 ms), Zeitpunkt der Verarbeitung").arg(late);
        return now;
    }
    if (late < 0)
        m_offset = sample; // the smallest delay seen is the truest offset
    const qint32 back = std::max(0, late) + TickDiff(now.tick, m_delivered);
    Moment at;
    at.tick = now.tick - static_cast<Tick>(back);
    at.clock = now.clock.isValid() ? now.clock.addMSecs(-back) : now.clock;
    // The UTC moment goes back with them: a restart after a reboot times from it.
    at.epochMs = now.epochMs != 0 ? now.epochMs - back : 0;
    return at;
}

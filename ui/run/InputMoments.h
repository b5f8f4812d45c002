#pragma once

// The moment of a key press or mouse click is the window system's time of the event,
// not the time its handler runs: while the window's thread is busy (a long handler, a
// slow file) the event waits in the queue, and reading the clock in the handler would
// record the athlete late. The event's millisecond time is mapped onto our tick and
// clock of day through an offset taken at start and checked on every event.

#include "core/platform/Clock.h"

#include <QObject>
#include <QString>

class QEvent;

class InputMoments : public QObject {
    Q_OBJECT
public:
    // `windowSystemNow`: the window system's millisecond clock at this moment (the
    // X server counts the monotonic clock); installs itself on the application.
    InputMoments(const Clock& clock, quint32 windowSystemNow, QObject* parent = nullptr);
    ~InputMoments() override;

    // The window system's millisecond clock on this machine.
    static quint32 WindowSystemNow();

    // The moment of the input event being handled, taken once; the clock's moment now when
    // no such event is being delivered or it carries no time. When the event's time could
    // not be trusted, `note` says so (else it is emptied) and the moment is now.
    Moment Take(QString& note);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    const Clock& m_clock;
    qint32 m_offset = 0; // our tick minus the window system's time
    bool m_pending = false;
    quint32 m_eventTime = 0;
    Tick m_delivered = 0;
};

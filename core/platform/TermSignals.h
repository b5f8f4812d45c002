#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM and SIGHUP (logout, shutdown, systemctl) as a Qt signal on the GUI thread.
// The handler only writes the signal number into a pipe; everything else happens
// when the event loop reads it.
class TermSignals : public QObject {
    Q_OBJECT
public:
    explicit TermSignals(QObject* parent = nullptr);
    ~TermSignals() override;
    TermSignals(const TermSignals&) = delete;
    TermSignals& operator=(const TermSignals&) = delete;

signals:
    void Received(int signalNumber);

private:
    void Read();

    QSocketNotifier* m_notifier = nullptr;
};

#pragma once

#include "core/live/HttpLimits.h"

#include <QHostAddress>
#include <QObject>
#include <QThread>

class LiveHttpServer;
class SnapshotSlot;

// The GUI thread's handle on the live results server: starts its thread, asks it
// to listen or to stop, and hears back through signals. No call waits for the
// server, and the server never calls into the GUI thread.
class LiveServerThread : public QObject {
    Q_OBJECT
public:
    // `slot` must outlive this object.
    explicit LiveServerThread(const SnapshotSlot& slot, const HttpLimits& limits = HttpLimits(),
                              QObject* parent = nullptr);
    // Stops the server and joins its thread.
    ~LiveServerThread() override;

    // Listening on `port` (0: any free port) follows as `listening` or `failed`.
    void Start(const QHostAddress& address, quint16 port);
    void Stop();
    // A new snapshot is in the slot: the server tells the change streams.
    void Published();
    int ConnectionCount() const;
    int StreamCount() const;

signals:
    void listening(quint16 port);
    void failed(int error, const QString& reason); // a QAbstractSocket::SocketError

private:
    QThread m_thread;
    LiveHttpServer* m_server = nullptr; // lives in m_thread
};

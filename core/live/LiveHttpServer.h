#pragma once

#include "core/live/HttpLimits.h"
#include "core/live/LiveSite.h"

#include <QHostAddress>
#include <QObject>
#include <QSet>
#include <QTimer>

#include <atomic>

class QTcpServer;
class HttpConnection;
class SnapshotSlot;

// The live results server in its own thread: accepts at most maxConnections
// clients, answers each from the newest snapshot, tells the change streams of
// every new one, never touches anything else.
class LiveHttpServer : public QObject {
    Q_OBJECT
public:
    LiveHttpServer(const SnapshotSlot& slot, const HttpLimits& limits, QObject* parent = nullptr);
    ~LiveHttpServer() override;

    // Ends any previous listening and its connections; `listening` or `failed` follows.
    void Listen(const QHostAddress& address, quint16 port);
    // Stops listening and ends every connection.
    void Close();
    // A new snapshot is in the slot: every change stream gets its message.
    void Published();
    // Open client connections, streams included (readable from any thread).
    int ConnectionCount() const { return m_count.load(); }
    int StreamCount() const { return m_streamCount.load(); }

signals:
    void listening(quint16 port);
    // `error` is a QAbstractSocket::SocketError (AddressInUseError: another program has the port).
    void failed(int error, const QString& reason);

private:
    void OnNewConnection();
    void Forget(HttpConnection* connection);
    void Heartbeat();
    void Counted();

    LiveSite m_site;
    HttpLimits m_limits;
    QTcpServer* m_tcp = nullptr;
    QSet<HttpConnection*> m_connections;
    QSet<HttpConnection*> m_refusing;
    QSet<HttpConnection*> m_streams; // of m_connections
    QByteArray m_lastTag;            // of the last message the streams got
    QTimer m_heartbeat;
    std::atomic<int> m_count{0};
    std::atomic<int> m_streamCount{0};
};

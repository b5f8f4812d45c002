#include "core/live/LiveHttpServer.h"

#include "core/live/HttpConnection.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <sys/resource.h>

namespace {

// Every client is a file descriptor; a desktop session often allows only 1 024 of them
// unless asked. The hard limit is the most the system lets us have.
void AllowDescriptors(int wanted) {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= static_cast<rlim_t>(wanted))
        return;
    limit.rlim_cur = std::min(limit.rlim_max, static_cast<rlim_t>(wanted));
    setrlimit(RLIMIT_NOFILE, &limit);
}

} // namespace

LiveHttpServer::LiveHttpServer(const SnapshotSlot& slot, const HttpLimits& limits, QObject* parent)
    : QObject(parent), m_site(slot), m_limits(limits), m_heartbeat(this) {
    m_heartbeat.setInterval(m_limits.heartbeatMs);
    connect(&m_heartbeat, &QTimer::timeout, this, &LiveHttpServer::Heartbeat);
}

LiveHttpServer::~LiveHttpServer() {
    Close();
}

void LiveHttpServer::Listen(const QHostAddress& address, quint16 port) {
    Close();
    // The clients, the refused ones, and room for the program's own files.
    AllowDescriptors(m_limits.maxConnections + m_limits.maxRefusing + 1024);
    m_tcp = new QTcpServer(this);
    // A crowd arriving at once waits in the system's queue, not turned away by it.
    m_tcp->setListenBacklogSize(std::max(50, m_limits.maxConnections));
    m_tcp->setMaxPendingConnections(std::max(30, m_limits.maxRefusing));
    connect(m_tcp, &QTcpServer::newConnection, this, &LiveHttpServer::OnNewConnection);
    if (!m_tcp->listen(address, port)) {
        const int error = m_tcp->serverError();
        const QString reason = m_tcp->errorString();
        delete m_tcp;
        m_tcp = nullptr;
        emit failed(error, reason);
        return;
    }
    m_heartbeat.start();
    emit listening(m_tcp->serverPort());
}

void LiveHttpServer::Close() {
    m_heartbeat.stop();
    delete m_tcp;
    m_tcp = nullptr;
    const auto all = m_connections + m_refusing;
    m_connections.clear();
    m_refusing.clear();
    m_streams.clear();
    qDeleteAll(all);
    Counted();
}

void LiveHttpServer::Counted() {
    m_count.store(static_cast<int>(m_connections.size()));
    m_streamCount.store(static_cast<int>(m_streams.size()));
}

void LiveHttpServer::OnNewConnection() {
    while (m_tcp && m_tcp->hasPendingConnections()) {
        QTcpSocket* socket = m_tcp->nextPendingConnection();
        auto* connection = new HttpConnection(
            socket, m_limits, [this](const HttpRequest& request) { return m_site.Respond(request); }, this);
        connect(connection, &HttpConnection::finished, this, &LiveHttpServer::Forget);
        if (m_connections.size() < m_limits.maxConnections) {
            connect(connection, &HttpConnection::streaming, this, [this](HttpConnection* c) {
                m_streams.insert(c);
                Counted();
            });
            m_connections.insert(connection);
            Counted();
            continue;
        }
        // Over the cap: its request is read and answered 503. A flood of them is not even answered.
        if (m_refusing.size() >= m_limits.maxRefusing) {
            delete connection;
            continue;
        }
        m_refusing.insert(connection);
        connection->Refuse(503);
    }
}

void LiveHttpServer::Published() {
    if (m_streams.isEmpty())
        return;
    // One message for all: made once, written to each (a few hundred bytes).
    const QByteArray tag = m_site.Tag();
    if (tag == m_lastTag)
        return;
    m_lastTag = tag;
    const QByteArray message = m_site.Event();
    const auto streams = m_streams; // Push may end a connection
    for (HttpConnection* c : streams)
        c->Push(message);
}

void LiveHttpServer::Heartbeat() {
    // A comment line: keeps the connection known to every router on the way, costs three bytes.
    const auto streams = m_streams;
    for (HttpConnection* c : streams)
        c->Push(":\n\n");
}

void LiveHttpServer::Forget(HttpConnection* connection) {
    if (!m_connections.remove(connection) && !m_refusing.remove(connection))
        return;
    m_streams.remove(connection);
    Counted();
    connection->deleteLater();
}

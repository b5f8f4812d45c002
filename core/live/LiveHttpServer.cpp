#include "core/live/LiveHttpServer.h"

#include "core/live/HttpConnection.h"

#include <QTcpServer>
#include <QTcpSocket>

LiveHttpServer::LiveHttpServer(const SnapshotSlot& slot, const HttpLimits& limits, QObject* parent)
    : QObject(parent), m_site(slot), m_limits(limits) {}

LiveHttpServer::~LiveHttpServer() {
    Close();
}

void LiveHttpServer::Listen(const QHostAddress& address, quint16 port) {
    Close();
    m_tcp = new QTcpServer(this);
    // Connections beyond the cap wait in the system only briefly: they are refused at once.
    m_tcp->setMaxPendingConnections(m_limits.maxConnections);
    connect(m_tcp, &QTcpServer::newConnection, this, &LiveHttpServer::OnNewConnection);
    if (!m_tcp->listen(address, port)) {
        const int error = m_tcp->serverError();
        const QString reason = m_tcp->errorString();
        delete m_tcp;
        m_tcp = nullptr;
        emit failed(error, reason);
        return;
    }
    emit listening(m_tcp->serverPort());
}

void LiveHttpServer::Close() {
    delete m_tcp;
    m_tcp = nullptr;
    const auto all = m_connections + m_refusing;
    m_connections.clear();
    m_refusing.clear();
    qDeleteAll(all);
    m_count.store(0);
}

void LiveHttpServer::OnNewConnection() {
    while (m_tcp && m_tcp->hasPendingConnections()) {
        QTcpSocket* socket = m_tcp->nextPendingConnection();
        auto* connection = new HttpConnection(
            socket, m_limits, [this](const HttpRequest& request) { return m_site.Respond(request); }, this);
        connect(connection, &HttpConnection::finished, this, &LiveHttpServer::Forget);
        if (m_connections.size() < m_limits.maxConnections) {
            m_connections.insert(connection);
            m_count.store(static_cast<int>(m_connections.size()));
            continue;
        }
        // Over the cap: a short answer, then closed. A flood of them is not even answered.
        if (m_refusing.size() >= m_limits.maxConnections) {
            delete connection;
            continue;
        }
        m_refusing.insert(connection);
        connection->Refuse(503);
    }
}

void LiveHttpServer::Forget(HttpConnection* connection) {
    if (!m_connections.remove(connection) && !m_refusing.remove(connection))
        return;
    m_count.store(static_cast<int>(m_connections.size()));
    connection->deleteLater();
}

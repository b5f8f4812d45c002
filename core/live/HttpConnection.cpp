#include "core/live/HttpConnection.h"

#include <QTcpSocket>

HttpConnection::HttpConnection(QTcpSocket* socket, const HttpLimits& limits, Responder respond, QObject* parent)
    : QObject(parent), m_socket(socket), m_limits(limits), m_respond(std::move(respond)) {
    m_socket->setParent(this);
    // Qt stops reading from the system once this much waits: a client that sends
    // faster than it takes the answers is slowed down by TCP itself.
    m_socket->setReadBufferSize(InputCap());
    m_idle.setSingleShot(true);
    m_idle.setInterval(m_limits.idleMs);
    connect(&m_idle, &QTimer::timeout, this, &HttpConnection::OnIdle);
    connect(m_socket, &QTcpSocket::readyRead, this, &HttpConnection::OnReadyRead);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &HttpConnection::OnBytesWritten);
    connect(m_socket, &QTcpSocket::disconnected, this, &HttpConnection::Finish);
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
        if (m_socket->state() == QAbstractSocket::UnconnectedState)
            Finish();
    });
    m_idle.start();
}

HttpConnection::~HttpConnection() {
    m_idle.stop();
    m_socket->disconnect(this);
    m_socket->abort();
}

qsizetype HttpConnection::InputCap() const {
    // One complete head at the limits, and a little more to see that it ended.
    return qsizetype(m_limits.maxRequestLine) + m_limits.maxHeaderBytes + 64;
}

bool HttpConnection::Backlogged() const {
    return m_socket->bytesToWrite() > m_limits.maxPendingOutput;
}

void HttpConnection::Refuse(int status) {
    Send(HttpResponse::Error(status), false);
    EndAfterWriting();
}

void HttpConnection::OnReadyRead() {
    Process();
}

void HttpConnection::OnBytesWritten() {
    if (m_ending)
        return;
    // A client taking a long answer slowly is not idle.
    if (m_socket->bytesToWrite() > 0)
        m_idle.start();
    if (!Backlogged())
        Process();
}

void HttpConnection::OnIdle() {
    if (m_finished)
        return;
    // A request begun and not completed in time is told so; an idle keep-alive just ends.
    if (!m_ending && !m_in.trimmed().isEmpty()) {
        Send(HttpResponse::Error(408), false);
        EndAfterWriting();
        return;
    }
    m_socket->abort();
    Finish();
}

void HttpConnection::Process() {
    while (!m_ending && !Backlogged()) {
        if (m_in.size() < InputCap() && m_socket->bytesAvailable() > 0)
            m_in += m_socket->read(InputCap() - m_in.size());
        const HttpParseResult parsed = ParseHttpRequest(m_in, m_limits);
        if (parsed.status == HttpParseStatus::Incomplete)
            return;
        if (parsed.status == HttpParseStatus::Error) {
            Send(HttpResponse::Error(parsed.errorStatus), false);
            EndAfterWriting();
            return;
        }
        m_in.remove(0, parsed.consumed);
        const HttpRequest& request = parsed.request;
        HttpResponse response = m_respond(request);
        // A body is never read, so nothing after it could be told from a request.
        if (request.hasBody || !request.keepAlive)
            response.close = true;
        Send(response, request.method == "HEAD");
        if (response.close) {
            EndAfterWriting();
            return;
        }
        // The next request gets the whole idle time again.
        m_idle.start();
    }
}

void HttpConnection::Send(const HttpResponse& response, bool headOnly) {
    // Head and the small part in one write; the shared part as it is, without a copy of ours.
    m_socket->write(headOnly ? response.Head() : response.Head() + response.body);
    if (!headOnly && !response.sharedBody.isEmpty())
        m_socket->write(response.sharedBody);
}

void HttpConnection::EndAfterWriting() {
    m_ending = true;
    m_in.clear();
    // Written out, then closed; a client that never takes it is cut off by the idle timer.
    m_idle.start();
    m_socket->disconnectFromHost();
    if (m_socket->state() == QAbstractSocket::UnconnectedState)
        Finish();
}

void HttpConnection::Finish() {
    if (m_finished)
        return;
    m_finished = true;
    m_idle.stop();
    emit finished(this);
}

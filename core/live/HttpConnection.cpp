#include "core/live/HttpConnection.h"

#include <QTcpSocket>

#include <sys/socket.h>

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
    m_refuse = status;
    m_idle.start(m_limits.refuseMs);
    Process();
}

void HttpConnection::Push(const QByteArray& message) {
    if (!m_streaming || m_ending || m_finished)
        return;
    // A phone that stopped reading (asleep, gone from the network) is let go; its browser comes back by itself.
    if (m_socket->bytesToWrite() > m_limits.streamBacklog) {
        m_socket->abort();
        Finish();
        return;
    }
    m_socket->write(message);
}

void HttpConnection::OnReadyRead() {
    Process();
}

void HttpConnection::OnBytesWritten() {
    if (m_ending) {
        if (!m_halfClosed && m_socket->bytesToWrite() == 0)
            HalfClose();
        return;
    }
    if (m_streaming)
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
    if (m_ending) {
        // The answer was not taken in time, or the lingering is over.
        m_socket->abort();
        Finish();
        return;
    }
    // A refused client that sends no request in time is told anyway.
    if (m_refuse) {
        Send(HttpResponse::Error(m_refuse), false);
        EndAfterWriting();
        return;
    }
    // A request begun and not completed in time is told so; an idle keep-alive just ends.
    if (!m_in.trimmed().isEmpty()) {
        Send(HttpResponse::Error(408), false);
        EndAfterWriting();
        return;
    }
    m_socket->abort();
    Finish();
}

void HttpConnection::Process() {
    if (m_finished)
        return;
    if (m_ending || m_streaming) {
        Drain();
        return;
    }
    int answered = 0;
    while (!Backlogged()) {
        if (m_in.size() < InputCap() && m_socket->bytesAvailable() > 0)
            m_in += m_socket->read(InputCap() - m_in.size());
        const HttpParseResult parsed = ParseHttpRequest(m_in, m_limits);
        if (parsed.status == HttpParseStatus::Incomplete)
            return;
        if (m_refuse) {
            Send(HttpResponse::Error(m_refuse), false);
            EndAfterWriting();
            return;
        }
        if (parsed.status == HttpParseStatus::Error) {
            Send(HttpResponse::Error(parsed.errorStatus), false);
            EndAfterWriting();
            return;
        }
        m_in.remove(0, parsed.consumed);
        const HttpRequest& request = parsed.request;
        const bool headOnly = request.method == "HEAD";
        HttpResponse response = m_respond(request);
        // A body is never read, so nothing after it could be told from a request.
        if (request.hasBody || !request.keepAlive)
            response.close = true;
        Send(response, headOnly);
        if (response.stream && !headOnly && !response.close) {
            m_streaming = true;
            m_in.clear();
            m_idle.stop();
            emit streaming(this);
            return;
        }
        // A stream's head tells no length: only the end of the connection ends it.
        if (response.close || response.stream) {
            EndAfterWriting();
            return;
        }
        // The next request gets the whole idle time again.
        m_idle.start(m_limits.idleMs);
        if (++answered >= m_limits.requestsPerTurn) {
            NextTurn();
            return;
        }
    }
}

void HttpConnection::NextTurn() {
    if (m_turnQueued)
        return;
    m_turnQueued = true;
    // Behind the other clients' events: one client's pipeline does not hold them up.
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_turnQueued = false;
            Process();
        },
        Qt::QueuedConnection);
}

void HttpConnection::Send(const HttpResponse& response, bool headOnly) {
    // Head and the small part in one write; the shared part as it is, without a copy of ours.
    m_socket->write(headOnly ? response.Head() : response.Head() + response.body);
    if (headOnly)
        return;
    if (!response.sharedBody.isEmpty())
        m_socket->write(response.sharedBody);
    if (!response.trailer.isEmpty())
        m_socket->write(response.trailer);
}

void HttpConnection::EndAfterWriting() {
    m_ending = true;
    m_in.clear();
    // A client that never takes the answer is cut off by the idle timer.
    m_idle.start(m_limits.idleMs);
    if (m_socket->bytesToWrite() == 0)
        HalfClose();
}

void HttpConnection::HalfClose() {
    if (m_halfClosed || m_finished)
        return;
    m_halfClosed = true;
    // The client sees the end of the answer and closes; until then (or lingerMs) what
    // it still sends is dropped, so that no unread byte makes the system send a reset.
    ::shutdown(static_cast<int>(m_socket->socketDescriptor()), SHUT_WR);
    m_idle.start(m_limits.lingerMs);
    Drain();
}

void HttpConnection::Drain() {
    if (m_socket->bytesAvailable() > 0)
        m_socket->skip(m_socket->bytesAvailable());
}

void HttpConnection::Finish() {
    if (m_finished)
        return;
    m_finished = true;
    m_idle.stop();
    emit finished(this);
}

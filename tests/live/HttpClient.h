#pragma once

// A plain HTTP/1.1 client on a real QTcpSocket, for tests against the live
// results server on the loopback interface.

#include <QByteArray>
#include <QElapsedTimer>
#include <QMap>
#include <QTcpServer>
#include <QTcpSocket>

struct HttpReply {
    int status = 0;                       // 0: no complete answer
    QMap<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
};

// One answer from `socket`, `in` holding what was read before; `head`: the request
// was HEAD (no body follows).
inline HttpReply ReadReply(QTcpSocket& socket, QByteArray& in, bool head = false, int timeoutMs = 5000) {
    HttpReply reply;
    QElapsedTimer time;
    time.start();
    auto more = [&] {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(std::max<qint64>(1, timeoutMs - time.elapsed())))
            return false;
        in += socket.readAll();
        return true;
    };
    qsizetype end;
    while ((end = in.indexOf("\r\n\r\n")) < 0)
        if (!more())
            return reply;
    const QList<QByteArray> lines = in.left(end).split('\n');
    const QList<QByteArray> status = lines.value(0).trimmed().split(' ');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        reply.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
    }
    const qsizetype length = head ? 0 : reply.headers.value("content-length").toLongLong();
    while (in.size() < end + 4 + length)
        if (!more())
            return reply;
    reply.body = in.mid(end + 4, length);
    in.remove(0, end + 4 + length);
    reply.status = status.value(1).toInt();
    return reply;
}

// A connected client keeping what it read beyond one answer for the next.
struct HttpClient {
    QTcpSocket socket;
    QByteArray pending;

    explicit HttpClient(quint16 port) {
        socket.connectToHost(QHostAddress::LocalHost, port);
        socket.waitForConnected(5000);
    }
    bool Connected() const { return socket.state() == QAbstractSocket::ConnectedState; }
    void Send(const QByteArray& bytes) {
        socket.write(bytes);
        socket.flush();
    }
    HttpReply Request(const QByteArray& method, const QByteArray& path, const QByteArray& extra = QByteArray()) {
        Send(method + ' ' + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extra + "\r\n");
        return ReadReply(socket, pending, method == "HEAD");
    }
    HttpReply Read(bool head = false, int timeoutMs = 5000) { return ReadReply(socket, pending, head, timeoutMs); }
    // What arrived up to and including `marker` (empty when it did not come within `timeoutMs`).
    QByteArray ReadUntil(const QByteArray& marker, int timeoutMs = 5000) {
        QElapsedTimer time;
        time.start();
        qsizetype at;
        // What the event loop has already read into the socket is no new data to wait for.
        pending += socket.readAll();
        while ((at = pending.indexOf(marker)) < 0 && time.elapsed() < timeoutMs)
            if (socket.waitForReadyRead(std::max<qint64>(1, timeoutMs - time.elapsed())))
                pending += socket.readAll();
        if (at < 0)
            return QByteArray();
        const QByteArray got = pending.left(at + marker.size());
        pending.remove(0, at + marker.size());
        return got;
    }
    // True once the server closed the connection (within `timeoutMs`).
    bool WaitClosed(int timeoutMs = 5000) {
        QElapsedTimer time;
        time.start();
        while (socket.state() == QAbstractSocket::ConnectedState && time.elapsed() < timeoutMs) {
            if (socket.waitForReadyRead(50))
                pending += socket.readAll();
        }
        return socket.state() != QAbstractSocket::ConnectedState;
    }
};

// One request on a fresh connection.
inline HttpReply Fetch(quint16 port, const QByteArray& method, const QByteArray& path) {
    HttpClient client(port);
    return client.Request(method, path);
}

// A loopback port that was free a moment ago.
inline quint16 FreePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

#pragma once

#include "core/live/HttpLimits.h"
#include "core/live/HttpRequest.h"
#include "core/live/HttpResponse.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <functional>

class QTcpSocket;

// One client of the live results server, in the server's thread: reads request
// heads within the limits, answers each through `respond`, and ends the
// connection after an error, on the client's wish, or when no complete request
// arrives within the idle time. Nothing of a request body is ever read as a
// request. An answer that opens a change stream turns the connection into one:
// from then on it only carries the messages pushed to it.
//
// The connection ends the way a browser expects: the last answer is written, the
// sending side is shut, and what the client still sends is read and dropped for a
// short time, so that the system never resets the connection under the answer.
class HttpConnection : public QObject {
    Q_OBJECT
public:
    using Responder = std::function<HttpResponse(const HttpRequest&)>;

    // Takes the socket over (it becomes a child).
    HttpConnection(QTcpSocket* socket, const HttpLimits& limits, Responder respond, QObject* parent = nullptr);
    ~HttpConnection() override;

    // Reads the client's request (waiting for it at most refuseMs), answers it
    // `status` whatever it asks, and ends the connection.
    void Refuse(int status);
    // A message of the change stream; a client that lets them pile up is cut off.
    void Push(const QByteArray& message);
    bool Streaming() const { return m_streaming; }

signals:
    // The socket is closed; the owner deletes the connection.
    void finished(HttpConnection* connection);
    // The connection carries a change stream from now on.
    void streaming(HttpConnection* connection);

private:
    void OnReadyRead();
    void OnBytesWritten();
    void OnIdle();
    void Process();
    void Send(const HttpResponse& response, bool headOnly);
    void EndAfterWriting();
    void HalfClose();
    void Drain();
    void NextTurn();
    void Finish();
    bool Backlogged() const;
    qsizetype InputCap() const;

    QTcpSocket* m_socket;
    HttpLimits m_limits;
    Responder m_respond;
    QByteArray m_in;
    QTimer m_idle;
    int m_refuse = 0;          // the status every request gets (0: answered as asked)
    bool m_streaming = false;  // a change stream: no further request is read
    bool m_ending = false;     // the last answer is on its way, then the connection closes
    bool m_halfClosed = false; // the last answer is written and our side shut
    bool m_turnQueued = false; // more pipelined requests wait until the others had their turn
    bool m_finished = false;
};

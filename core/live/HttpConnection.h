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
// arrives within the idle time. Nothing of a request body is ever read.
class HttpConnection : public QObject {
    Q_OBJECT
public:
    using Responder = std::function<HttpResponse(const HttpRequest&)>;

    // Takes the socket over (it becomes a child).
    HttpConnection(QTcpSocket* socket, const HttpLimits& limits, Responder respond, QObject* parent = nullptr);
    ~HttpConnection() override;

    // Answers `status` at once and ends the connection without reading anything.
    void Refuse(int status);

signals:
    // The socket is closed; the owner deletes the connection.
    void finished(HttpConnection* connection);

private:
    void OnReadyRead();
    void OnBytesWritten();
    void OnIdle();
    void Process();
    void Send(const HttpResponse& response, bool headOnly);
    void EndAfterWriting();
    void Finish();
    bool Backlogged() const;
    qsizetype InputCap() const;

    QTcpSocket* m_socket;
    HttpLimits m_limits;
    Responder m_respond;
    QByteArray m_in;
    QTimer m_idle;
    bool m_ending = false;
    bool m_finished = false;
};

#pragma once

#include "core/live/HttpLimits.h"

#include <QByteArray>
#include <QList>
#include <QPair>

// One HTTP/1.x request head as the live results server reads it.
struct HttpRequest {
    QByteArray method;                            // as sent ("GET")
    QByteArray target;                            // as sent ("/results.json?x=1")
    QByteArray path;                              // the target without scheme, host, query and fragment
    QByteArray query;                             // after "?", without the fragment
    int minorVersion = 1;                         // HTTP/1.0 or HTTP/1.1
    QList<QPair<QByteArray, QByteArray>> headers; // names in lower case, values trimmed
    bool keepAlive = true;
    bool hasBody = false; // Content-Length above 0 or a Transfer-Encoding: the connection ends after the answer

    QByteArray Header(const QByteArray& lowerName) const;
    // Accept-Encoding allows gzip (by name or "*", with a quality above 0).
    bool AcceptsGzip() const;
};

enum class HttpParseStatus { Incomplete, Complete, Error };

struct HttpParseResult {
    HttpParseStatus status = HttpParseStatus::Incomplete;
    int errorStatus = 0;    // with Error: 400, 414 or 431
    qsizetype consumed = 0; // with Complete: bytes of the head, including the blank line
    HttpRequest request;
};

// Reads one request head from the start of `buffer` (which holds what the client
// sent so far). Incomplete until the blank line arrives; an error as soon as the
// request line or the headers are longer than `limits` allow, however much follows.
HttpParseResult ParseHttpRequest(const QByteArray& buffer, const HttpLimits& limits);

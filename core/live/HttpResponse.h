#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

// One answer of the live results server. Every answer carries the headers that
// keep a browser from guessing types, caching the data or framing the page.
struct HttpResponse {
    int status = 200;
    QByteArray contentType = "text/plain; charset=utf-8";
    QByteArray body;
    // Follows `body` on the wire: a large body kept by the site and shared, not copied, per answer.
    QByteArray sharedBody;
    // Follows `sharedBody` (the end of a gzip body made of pieces).
    QByteArray trailer;
    // "no-store" for what changes with every answer; data that an ETag names is revalidated instead.
    QByteArray cacheControl = "no-store";
    // The page's Content-Security-Policy; the data and the errors allow nothing at all.
    QByteArray contentSecurityPolicy =
        "default-src 'none'; frame-ancestors 'none'; base-uri 'none'; form-action 'none'";
    QList<QPair<QByteArray, QByteArray>> extraHeaders;
    bool close = false; // the connection ends after this answer
    // A change stream: no length, the body goes on until the connection ends.
    bool stream = false;

    // Status line and headers; Content-Length is that of the body's parts together (none for 304 and streams).
    QByteArray Head() const;
    // Head and (unless `headOnly`) both parts of the body.
    QByteArray Bytes(bool headOnly) const;

    static HttpResponse Error(int status);
};

// "Not Found" for 404 and so on.
QByteArray HttpReason(int status);

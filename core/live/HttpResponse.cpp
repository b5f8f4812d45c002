#include "core/live/HttpResponse.h"

QByteArray HttpReason(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 304:
        return "Not Modified";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 414:
        return "URI Too Long";
    case 431:
        return "Request Header Fields Too Large";
    case 503:
        return "Service Unavailable";
    default:
        return "Error";
    }
}

QByteArray HttpResponse::Head() const {
    QByteArray out;
    out.reserve(512);
    out += "HTTP/1.1 " + QByteArray::number(status) + ' ' + HttpReason(status) + "\r\n";
    if (status != 304)
        out += "Content-Type: " + contentType + "\r\n";
    // A 304 tells no length: the one it would tell is that of the body it stands for.
    if (status != 304 && !stream)
        out += "Content-Length: " + QByteArray::number(body.size() + sharedBody.size() + trailer.size()) + "\r\n";
    out += "Cache-Control: " + cacheControl + "\r\n";
    out += "X-Content-Type-Options: nosniff\r\n";
    out += "Content-Security-Policy: " + contentSecurityPolicy + "\r\n";
    out += "Referrer-Policy: no-referrer\r\n";
    for (const auto& h : extraHeaders)
        out += h.first + ": " + h.second + "\r\n";
    out += close || stream ? "Connection: close\r\n" : "Connection: keep-alive\r\n";
    out += "\r\n";
    return out;
}

QByteArray HttpResponse::Bytes(bool headOnly) const {
    if (headOnly)
        return Head();
    return Head() + body + sharedBody + trailer;
}

HttpResponse HttpResponse::Error(int status) {
    HttpResponse r;
    r.status = status;
    r.body = QByteArray::number(status) + ' ' + HttpReason(status) + '\n';
    if (status == 405)
        r.extraHeaders.append(qMakePair(QByteArray("Allow"), QByteArray("GET, HEAD")));
    if (status == 503)
        r.extraHeaders.append(qMakePair(QByteArray("Retry-After"), QByteArray("2")));
    // After a malformed or refused request the rest of what the client sends cannot be trusted.
    r.close = status == 400 || status == 405 || status == 408 || status == 414 || status == 431 || status == 503;
    return r;
}

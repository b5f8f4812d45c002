#include "core/live/HttpRequest.h"

namespace {

bool IsTokenChar(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    switch (c) {
    case '!':
    case '#':
    case '$':
    case '%':
    case '&':
    case '\'':
    case '*':
    case '+':
    case '-':
    case '.':
    case '^':
    case '_':
    case '`':
    case '|':
    case '~':
        return true;
    default:
        return false;
    }
}

bool IsToken(const QByteArray& text) {
    if (text.isEmpty())
        return false;
    for (char c : text)
        if (!IsTokenChar(c))
            return false;
    return true;
}

// Visible characters only: no blank, no control character.
bool IsVisible(const QByteArray& text) {
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7F)
            return false;
    }
    return true;
}

// The path and query of a target in origin form ("/x?y") or absolute form
// ("http://host:8080/x?y", as a proxy-aware client may send it); empty when it is neither.
QByteArray OriginPart(const QByteArray& target) {
    if (!IsVisible(target))
        return QByteArray();
    if (target.startsWith('/'))
        return target;
    const qsizetype scheme = target.indexOf("://");
    if (scheme <= 0)
        return QByteArray();
    const QByteArray name = target.left(scheme).toLower();
    if (name != "http" && name != "https")
        return QByteArray();
    const qsizetype hostStart = scheme + 3;
    qsizetype hostEnd = hostStart;
    while (hostEnd < target.size() && target[hostEnd] != '/' && target[hostEnd] != '?' && target[hostEnd] != '#')
        ++hostEnd;
    const QByteArray host = target.mid(hostStart, hostEnd - hostStart);
    if (host.isEmpty() || host.contains('@'))
        return QByteArray();
    const QByteArray rest = target.mid(hostEnd);
    return rest.startsWith('/') ? rest : "/" + rest;
}

// A Host value: host and port, nothing that could start a path or carry user data.
bool IsHostValue(const QByteArray& value) {
    for (char c : value)
        if (c == '/' || c == '\\' || c == '@' || c == '?' || c == '#')
            return false;
    return IsVisible(value);
}

// A CR inside [from, to) not followed by LF: such a request is malformed (it would
// otherwise wait for a line end that never comes). A CR at the very end may still get its LF.
bool HasBareCr(const QByteArray& buffer, qsizetype from, qsizetype to) {
    for (qsizetype i = buffer.indexOf('\r', from); i >= 0 && i < to; i = buffer.indexOf('\r', i + 1))
        if (i + 1 < buffer.size() && buffer[i + 1] != '\n')
            return true;
    return false;
}

// The line without its CR (a bare LF also ends a line).
QByteArray LineAt(const QByteArray& buffer, qsizetype from, qsizetype lf) {
    qsizetype end = lf;
    if (end > from && buffer[end - 1] == '\r')
        --end;
    return buffer.mid(from, end - from);
}

HttpParseResult Failed(int status) {
    HttpParseResult r;
    r.status = HttpParseStatus::Error;
    r.errorStatus = status;
    return r;
}

bool HasToken(const QByteArray& list, const char* token) {
    for (const QByteArray& item : list.split(','))
        if (item.trimmed().compare(token, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

} // namespace

QByteArray HttpRequest::Header(const QByteArray& lowerName) const {
    for (const auto& h : headers)
        if (h.first == lowerName)
            return h.second;
    return QByteArray();
}

bool HttpRequest::AcceptsGzip() const {
    for (const QByteArray& item : Header("accept-encoding").split(',')) {
        const QList<QByteArray> parts = item.split(';');
        const QByteArray coding = parts.value(0).trimmed().toLower();
        if (coding != "gzip" && coding != "x-gzip" && coding != "*")
            continue;
        double q = 1;
        for (qsizetype i = 1; i < parts.size(); ++i) {
            const QByteArray p = parts[i].trimmed().toLower();
            if (p.startsWith("q="))
                q = p.mid(2).toDouble();
        }
        return q > 0;
    }
    return false;
}

HttpParseResult ParseHttpRequest(const QByteArray& buffer, const HttpLimits& limits) {
    // Blank lines before a request are tolerated (a client's keep-alive habit), a few only.
    qsizetype start = 0;
    while (start < buffer.size() && start < 8 && (buffer[start] == '\r' || buffer[start] == '\n'))
        ++start;
    if (HasBareCr(buffer, 0, start))
        return Failed(400);

    const qsizetype lineEnd = buffer.indexOf('\n', start);
    if (lineEnd < 0) {
        if (HasBareCr(buffer, start, buffer.size()))
            return Failed(400);
        return buffer.size() - start > limits.maxRequestLine ? Failed(414) : HttpParseResult{};
    }
    const QByteArray line = LineAt(buffer, start, lineEnd);
    if (line.size() > limits.maxRequestLine)
        return Failed(414);
    if (HasBareCr(buffer, start, lineEnd))
        return Failed(400);

    // The request line is judged as soon as it is there: a line without a version
    // (HTTP/0.9) or of another protocol gets its answer without waiting for headers.
    HttpParseResult result;
    HttpRequest& req = result.request;
    const QList<QByteArray> parts = line.split(' ');
    if (parts.size() != 3 || !IsToken(parts[0]))
        return Failed(400);
    req.method = parts[0];
    req.target = parts[1];
    const QByteArray origin = OriginPart(req.target);
    if (origin.isEmpty())
        return Failed(400);
    if (parts[2] == "HTTP/1.1")
        req.minorVersion = 1;
    else if (parts[2] == "HTTP/1.0")
        req.minorVersion = 0;
    else
        return Failed(400);
    qsizetype cut = origin.size();
    for (char stop : {'?', '#'}) {
        const qsizetype i = origin.indexOf(stop);
        if (i >= 0 && i < cut)
            cut = i;
    }
    req.path = origin.left(cut);
    if (cut < origin.size() && origin[cut] == '?') {
        const qsizetype hash = origin.indexOf('#', cut);
        req.query = origin.mid(cut + 1, hash < 0 ? -1 : hash - cut - 1);
    }

    // The headers end at the first empty line; their size counts from the request line's end.
    qsizetype pos = lineEnd + 1;
    QList<QByteArray> headerLines;
    qsizetype headerBytes = 0;
    for (;;) {
        const qsizetype lf = buffer.indexOf('\n', pos);
        if (lf < 0) {
            if (HasBareCr(buffer, pos, buffer.size()))
                return Failed(400);
            if (headerBytes + (buffer.size() - pos) > limits.maxHeaderBytes)
                return Failed(431);
            return HttpParseResult{};
        }
        if (HasBareCr(buffer, pos, lf))
            return Failed(400);
        const QByteArray h = LineAt(buffer, pos, lf);
        headerBytes += lf + 1 - pos;
        pos = lf + 1;
        if (h.isEmpty())
            break;
        if (headerBytes > limits.maxHeaderBytes || headerLines.size() >= limits.maxHeaderCount)
            return Failed(431);
        headerLines << h;
    }
    result.status = HttpParseStatus::Complete;
    result.consumed = pos;

    bool haveLength = false;
    qint64 length = 0;
    int hosts = 0;
    for (const QByteArray& h : headerLines) {
        const qsizetype colon = h.indexOf(':');
        // A folded line (starting with a blank) or a name with blanks is no header of ours.
        if (colon <= 0 || !IsToken(h.left(colon)))
            return Failed(400);
        const QByteArray name = h.left(colon).toLower();
        const QByteArray value = h.mid(colon + 1).trimmed();
        if (name == "content-length") {
            bool ok = false;
            const qint64 n = value.toLongLong(&ok);
            if (!ok || n < 0 || (haveLength && n != length))
                return Failed(400);
            haveLength = true;
            length = n;
        } else if (name == "transfer-encoding") {
            req.hasBody = true;
        } else if (name == "host") {
            if (++hosts > 1 || !IsHostValue(value))
                return Failed(400);
        }
        req.headers.append({name, value});
    }
    // HTTP/1.1 names the host it asks; without it the request is malformed.
    if (req.minorVersion == 1 && hosts == 0)
        return Failed(400);
    if (length > 0)
        req.hasBody = true;
    const QByteArray connection = req.Header("connection");
    if (req.minorVersion == 0)
        req.keepAlive = HasToken(connection, "keep-alive");
    else
        req.keepAlive = !HasToken(connection, "close");
    return result;
}

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

// A target in origin form: "/" and then visible characters only.
bool IsOriginTarget(const QByteArray& target) {
    if (!target.startsWith('/'))
        return false;
    for (char c : target) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7F)
            return false;
    }
    return true;
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

HttpParseResult ParseHttpRequest(const QByteArray& buffer, const HttpLimits& limits) {
    // Blank lines before a request are tolerated (a client's keep-alive habit), a few only.
    qsizetype start = 0;
    while (start < buffer.size() && start < 8 && (buffer[start] == '\r' || buffer[start] == '\n'))
        ++start;

    const qsizetype lineEnd = buffer.indexOf('\n', start);
    if (lineEnd < 0)
        return buffer.size() - start > limits.maxRequestLine ? Failed(414) : HttpParseResult{};
    const QByteArray line = LineAt(buffer, start, lineEnd);
    if (line.size() > limits.maxRequestLine)
        return Failed(414);

    // The headers end at the first empty line; their size counts from the request line's end.
    qsizetype pos = lineEnd + 1;
    QList<QByteArray> headerLines;
    qsizetype headerBytes = 0;
    for (;;) {
        const qsizetype lf = buffer.indexOf('\n', pos);
        if (lf < 0) {
            if (headerBytes + (buffer.size() - pos) > limits.maxHeaderBytes)
                return Failed(431);
            return HttpParseResult{};
        }
        const QByteArray h = LineAt(buffer, pos, lf);
        headerBytes += lf + 1 - pos;
        pos = lf + 1;
        if (h.isEmpty())
            break;
        if (headerBytes > limits.maxHeaderBytes || headerLines.size() >= limits.maxHeaderCount)
            return Failed(431);
        headerLines << h;
    }

    HttpParseResult result;
    result.status = HttpParseStatus::Complete;
    result.consumed = pos;
    HttpRequest& req = result.request;

    const QList<QByteArray> parts = line.split(' ');
    if (parts.size() != 3 || !IsToken(parts[0]) || !IsOriginTarget(parts[1]))
        return Failed(400);
    req.method = parts[0];
    req.target = parts[1];
    if (parts[2] == "HTTP/1.1")
        req.minorVersion = 1;
    else if (parts[2] == "HTTP/1.0")
        req.minorVersion = 0;
    else
        return Failed(400);
    qsizetype cut = req.target.size();
    for (char stop : {'?', '#'}) {
        const qsizetype i = req.target.indexOf(stop);
        if (i >= 0 && i < cut)
            cut = i;
    }
    req.path = req.target.left(cut);

    bool haveLength = false;
    qint64 length = 0;
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
        }
        req.headers.append({name, value});
    }
    if (length > 0)
        req.hasBody = true;
    const QByteArray connection = req.Header("connection");
    if (req.minorVersion == 0)
        req.keepAlive = HasToken(connection, "keep-alive");
    else
        req.keepAlive = !HasToken(connection, "close");
    return result;
}

#include "core/live/LiveSite.h"

#include "core/live/LivePages.h"
#include "core/live/SnapshotSlot.h"

#include <QRandomGenerator>

namespace {

// Below this a body goes as it is: compressing would win less than its frame costs.
constexpr qsizetype kGzipFrom = 1024;

QByteArray Unquoted(QByteArray tag) {
    tag = tag.trimmed();
    if (tag.startsWith("W/"))
        tag = tag.mid(2);
    if (tag.size() >= 2 && tag.startsWith('"') && tag.endsWith('"'))
        return tag.mid(1, tag.size() - 2);
    return QByteArray();
}

} // namespace

LiveSite::LiveSite(const SnapshotSlot& slot)
    : m_slot(slot), m_epoch(QByteArray::number(QRandomGenerator::global()->generate(), 36)) {}

std::shared_ptr<const Snapshot> LiveSite::Current() {
    std::shared_ptr<const Snapshot> now = m_slot.Current();
    if (!now) {
        // Before the first snapshot: an empty list.
        static const auto empty = std::make_shared<const Snapshot>();
        now = empty;
    }
    if (now != m_snapshot) {
        m_snapshot = now;
        m_tag = m_epoch + '-' + QByteArray::number(now->version);
        m_page.clear();
        m_pageGzip.clear();
        m_jsonRest.clear();
        m_jsonRestGzip = DeflatePiece{};
        m_csv.clear();
        m_csvGzip.clear();
    }
    return now;
}

QByteArray LiveSite::Tag() {
    Current();
    return m_tag;
}

QByteArray LiveSite::Event() {
    const auto s = Current();
    return "data: " + ResultsEvent(*s, m_tag) + "\n\n";
}

bool LiveSite::Revalidated(HttpResponse& r, const HttpRequest& request) const {
    // Weak: the clocks in the data and the encoding differ between answers of one version.
    r.extraHeaders.append(qMakePair(QByteArray("ETag"), "W/\"" + m_tag + '"'));
    r.extraHeaders.append(qMakePair(QByteArray("Vary"), QByteArray("Accept-Encoding")));
    // Kept by the browser, but asked for again every time.
    r.cacheControl = "no-cache";
    const QByteArray asked = request.Header("if-none-match");
    if (asked.isEmpty())
        return false;
    bool match = asked.trimmed() == "*";
    for (const QByteArray& item : asked.split(','))
        match = match || Unquoted(item) == m_tag;
    if (match)
        r.status = 304;
    return match;
}

void LiveSite::SetBody(HttpResponse& r, const HttpRequest& request, const QByteArray& plain, QByteArray& gzip) {
    if (plain.size() <= kGzipFrom || !request.AcceptsGzip()) {
        r.sharedBody = plain;
        return;
    }
    if (gzip.isEmpty())
        gzip = Gzipped(plain);
    r.sharedBody = gzip;
    r.extraHeaders.append(qMakePair(QByteArray("Content-Encoding"), QByteArray("gzip")));
}

HttpResponse LiveSite::Respond(const HttpRequest& request) {
    if (request.method != "GET" && request.method != "HEAD")
        return HttpResponse::Error(405);
    const QByteArray& path = request.path;
    HttpResponse r;
    if (path == "/") {
        const auto s = Current();
        r.contentType = "text/html; charset=utf-8";
        r.contentSecurityPolicy = ResultPagePolicy();
        if (Revalidated(r, request))
            return r;
        if (m_page.isEmpty())
            m_page = ResultPage(*s);
        SetBody(r, request, m_page, m_pageGzip);
    } else if (path == "/clock") {
        r.contentType = "text/html; charset=utf-8";
        r.contentSecurityPolicy = ClockPagePolicy();
        SetBody(r, request, ClockPage(), m_clockGzip);
    } else if (path == "/events") {
        // The current version at once, then one message per change (the server sends them).
        r.contentType = "text/event-stream; charset=utf-8";
        r.stream = true;
        r.body = "retry: 3000\n\n" + Event();
        r.extraHeaders.append(qMakePair(QByteArray("X-Accel-Buffering"), QByteArray("no")));
    } else if (path == "/results.json") {
        const auto s = Current();
        r.contentType = "application/json; charset=utf-8";
        if (Revalidated(r, request))
            return r;
        if (m_jsonRest.isEmpty())
            m_jsonRest = ResultsJsonRest(*s);
        const QByteArray clocks = ResultsJsonClocks(*s);
        if (m_jsonRest.size() <= kGzipFrom || !request.AcceptsGzip()) {
            r.body = clocks;
            r.sharedBody = m_jsonRest;
            return r;
        }
        // The clocks change with every answer: a stored piece of our own before the shared compressed rest.
        if (m_jsonRestGzip.data.isEmpty())
            m_jsonRestGzip = Deflated(m_jsonRest, true);
        const DeflatePiece head = Stored(clocks);
        r.body = GzipHeader() + head.data;
        r.sharedBody = m_jsonRestGzip.data;
        r.trailer = GzipTrailer(head, m_jsonRestGzip);
        r.extraHeaders.append(qMakePair(QByteArray("Content-Encoding"), QByteArray("gzip")));
    } else if (path == "/results.csv") {
        const auto s = Current();
        r.contentType = "text/csv; charset=utf-8";
        r.extraHeaders.append(
            qMakePair(QByteArray("Content-Disposition"), QByteArray("inline; filename=\"results.csv\"")));
        if (Revalidated(r, request))
            return r;
        if (m_csv.isEmpty())
            m_csv = ResultsCsv(*s);
        SetBody(r, request, m_csv, m_csvGzip);
    } else {
        return HttpResponse::Error(404);
    }
    return r;
}

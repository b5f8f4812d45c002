#include "core/live/LiveSite.h"

#include "core/live/LivePages.h"
#include "core/live/SnapshotSlot.h"

LiveSite::LiveSite(const SnapshotSlot& slot) : m_slot(slot) {}

std::shared_ptr<const Snapshot> LiveSite::Current() {
    std::shared_ptr<const Snapshot> now = m_slot.Current();
    if (!now) {
        // Before the first snapshot: an empty list.
        static const auto empty = std::make_shared<const Snapshot>();
        now = empty;
    }
    if (now != m_snapshot) {
        m_snapshot = now;
        m_page.clear();
        m_jsonRest.clear();
        m_csv.clear();
    }
    return now;
}

HttpResponse LiveSite::Respond(const HttpRequest& request) {
    if (request.method != "GET" && request.method != "HEAD")
        return HttpResponse::Error(405);
    const QByteArray& path = request.path;
    HttpResponse r;
    if (path == "/") {
        const auto s = Current();
        if (m_page.isEmpty())
            m_page = ResultPage(*s);
        r.contentType = "text/html; charset=utf-8";
        r.sharedBody = m_page;
        r.contentSecurityPolicy = ResultPagePolicy();
    } else if (path == "/clock") {
        r.contentType = "text/html; charset=utf-8";
        r.sharedBody = ClockPage();
        r.contentSecurityPolicy = ClockPagePolicy();
    } else if (path == "/results.json") {
        const auto s = Current();
        if (m_jsonRest.isEmpty())
            m_jsonRest = ResultsJsonRest(*s);
        r.contentType = "application/json; charset=utf-8";
        r.body = ResultsJsonClocks(*s);
        r.sharedBody = m_jsonRest;
    } else if (path == "/results.csv") {
        const auto s = Current();
        if (m_csv.isEmpty())
            m_csv = ResultsCsv(*s);
        r.contentType = "text/csv; charset=utf-8";
        r.sharedBody = m_csv;
        r.extraHeaders.append(
            qMakePair(QByteArray("Content-Disposition"), QByteArray("inline; filename=\"results.csv\"")));
    } else {
        return HttpResponse::Error(404);
    }
    return r;
}

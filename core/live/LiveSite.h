#pragma once

#include "core/live/Gzip.h"
#include "core/live/HttpRequest.h"
#include "core/live/HttpResponse.h"
#include "core/live/Snapshot.h"

#include <QByteArray>
#include <memory>

class SnapshotSlot;

// What the live results server answers, from the newest snapshot only. Lives in
// the server's thread: the bodies of a snapshot (plain and gzip) are made once, on
// the first request that needs them, and kept until a newer snapshot arrives.
class LiveSite {
public:
    explicit LiveSite(const SnapshotSlot& slot);

    // GET and HEAD of "/", "/results.json", "/results.csv", "/clock" and "/events";
    // 405 for any other method, 404 for any other path. The data carry an ETag of
    // their version (304 for If-None-Match), bodies over 1 KiB go gzip-compressed
    // to a client that accepts it; "/events" opens a change stream (`stream`).
    HttpResponse Respond(const HttpRequest& request);

    // The change stream's message for the newest snapshot (its version, ETag and clocks).
    QByteArray Event();
    // The ETag of the newest snapshot's data.
    QByteArray Tag();

private:
    std::shared_ptr<const Snapshot> Current();
    // ETag, Vary and caching of a snapshot's data; true when the client has it already.
    bool Revalidated(HttpResponse& r, const HttpRequest& request) const;
    // `plain`, or its gzip form (made once into `gzip`) for a client that takes it.
    static void SetBody(HttpResponse& r, const HttpRequest& request, const QByteArray& plain, QByteArray& gzip);

    const SnapshotSlot& m_slot;
    QByteArray m_epoch;                         // tells this server's versions from those of an earlier run
    std::shared_ptr<const Snapshot> m_snapshot; // the one the bodies below were made from
    QByteArray m_tag;                           // the opaque part of the ETag: epoch and version
    QByteArray m_page;
    QByteArray m_pageGzip;
    QByteArray m_jsonRest;
    DeflatePiece m_jsonRestGzip;
    QByteArray m_csv;
    QByteArray m_csvGzip;
    QByteArray m_clockGzip;
};

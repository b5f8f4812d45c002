#pragma once

#include "core/live/HttpRequest.h"
#include "core/live/HttpResponse.h"
#include "core/live/Snapshot.h"

#include <QByteArray>
#include <memory>

class SnapshotSlot;

// What the live results server answers, from the newest snapshot only. Lives in
// the server's thread: the bodies of a snapshot are made once, on the first
// request that needs them, and kept until a newer snapshot arrives.
class LiveSite {
public:
    explicit LiveSite(const SnapshotSlot& slot);

    // GET and HEAD of "/", "/results.json", "/results.csv" and "/clock"; 405 for any
    // other method, 404 for any other path.
    HttpResponse Respond(const HttpRequest& request);

private:
    std::shared_ptr<const Snapshot> Current();

    const SnapshotSlot& m_slot;
    std::shared_ptr<const Snapshot> m_snapshot; // the one the bodies below were made from
    QByteArray m_page;
    QByteArray m_jsonRest;
    QByteArray m_csv;
};

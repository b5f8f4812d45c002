#pragma once

#include <QtGlobal>

// What the live results server allows a client. A test may shorten the times.
struct HttpLimits {
    int maxConnections = 64;             // open at once; a further one is answered 503 and closed
    int idleMs = 30000;                  // a connection must bring a complete request within this time
    int maxRequestLine = 2048;           // bytes of "GET /path HTTP/1.1"; longer is 414
    int maxHeaderBytes = 8192;           // bytes of all header lines together; more is 431
    int maxHeaderCount = 64;             // header lines; more is 431
    qint64 maxPendingOutput = 256 << 10; // answered, not yet taken by the client: no further request is read
    int retryMs = 10000;                 // a port another program holds is tried again after this time
};

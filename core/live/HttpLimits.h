#pragma once

#include <QtGlobal>

// What the live results server allows a client. A test may shorten the times.
//
// Memory per client is bounded: at most two copies of one request head
// (2 × (maxRequestLine + maxHeaderBytes + 64) ≈ 20 KiB) on input, and on output
// maxPendingOutput of answers (whose large bodies are shared by every client, not
// copied) or streamBacklog of change messages. With 1 000 clients that is below
// 300 MiB in the worst case and about 10 KiB each for phones that read what they get.
struct HttpLimits {
    int maxConnections = 1000;           // open at once, streams included; a further one is answered 503
    int maxRefusing = 256;               // being answered 503 at once; beyond that a connection is closed unanswered
    int idleMs = 30000;                  // a connection must bring a complete request within this time
    int refuseMs = 2000;                 // a refused client's request is awaited this long before the 503
    int lingerMs = 2000;                 // after the last answer, what the client still sends is read this long
    int heartbeatMs = 30000;             // a change stream gets a comment line this often when nothing changes
    int maxRequestLine = 2048;           // bytes of "GET /path HTTP/1.1"; longer is 414
    int maxHeaderBytes = 8192;           // bytes of all header lines together; more is 431
    int maxHeaderCount = 64;             // header lines; more is 431
    int requestsPerTurn = 4;             // pipelined requests answered before other clients get their turn
    qint64 maxPendingOutput = 256 << 10; // answered, not yet taken by the client: no further request is read
    qint64 streamBacklog = 64 << 10;     // change messages not taken by a stream's client: it is cut off
    int retryMs = 10000;                 // a port another program holds is tried again after this time
};

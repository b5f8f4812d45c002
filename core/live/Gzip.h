#pragma once

#include <QByteArray>
#include <QtGlobal>

// gzip bodies for the live results server (zlib). A body may be made of pieces:
// a small stored piece made per answer and a large compressed piece made once and
// shared by every answer; the pieces in order are one valid gzip member.
struct DeflatePiece {
    QByteArray data;  // raw deflate blocks, ending on a byte boundary
    quint32 crc = 0;  // CRC-32 of the plain bytes
    qint64 plain = 0; // their number
};

// `plain` compressed; `last` ends the deflate stream (else more pieces follow).
DeflatePiece Deflated(const QByteArray& plain, bool last);
// `plain` as it is, in stored blocks (cheap for a few bytes); `last` as above.
DeflatePiece Stored(const QByteArray& plain, bool last = false);
// The ten bytes that open a gzip member.
QByteArray GzipHeader();
// The eight bytes that close a member of `first` followed by `second`.
QByteArray GzipTrailer(const DeflatePiece& first, const DeflatePiece& second);
// A whole gzip member of `plain`.
QByteArray Gzipped(const QByteArray& plain);

#include "core/live/Gzip.h"

#include <zlib.h>

#include <algorithm>

namespace {

void AppendLe32(QByteArray& out, quint32 v) {
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

quint32 Crc(const QByteArray& plain) {
    return static_cast<quint32>(crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(plain.constData()),
                                      static_cast<uInt>(plain.size())));
}

} // namespace

DeflatePiece Deflated(const QByteArray& plain, bool last) {
    DeflatePiece piece;
    piece.crc = Crc(plain);
    piece.plain = plain.size();
    z_stream z{};
    // Raw deflate (negative window bits): the gzip frame is written by us.
    if (deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return Stored(plain, last);
    piece.data.resize(static_cast<qsizetype>(deflateBound(&z, static_cast<uLong>(plain.size()))) + 16);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(plain.constData()));
    z.avail_in = static_cast<uInt>(plain.size());
    z.next_out = reinterpret_cast<Bytef*>(piece.data.data());
    z.avail_out = static_cast<uInt>(piece.data.size());
    // A sync flush ends on a byte boundary without ending the stream, so a piece may follow.
    const int rc = deflate(&z, last ? Z_FINISH : Z_SYNC_FLUSH);
    const bool ok = last ? rc == Z_STREAM_END : rc == Z_OK;
    piece.data.resize(piece.data.size() - static_cast<qsizetype>(z.avail_out));
    deflateEnd(&z);
    if (!ok)
        return Stored(plain, last);
    return piece;
}

DeflatePiece Stored(const QByteArray& plain, bool last) {
    DeflatePiece piece;
    piece.crc = Crc(plain);
    piece.plain = plain.size();
    qsizetype at = 0;
    do {
        const auto n = static_cast<quint16>(std::min<qsizetype>(plain.size() - at, 0xFFFF));
        // BFINAL, BTYPE 00 and the padding to the byte make one byte; then LEN and NLEN.
        piece.data += static_cast<char>(last && at + n == plain.size() ? 1 : 0);
        piece.data += static_cast<char>(n & 0xFF);
        piece.data += static_cast<char>(n >> 8);
        piece.data += static_cast<char>(~n & 0xFF);
        piece.data += static_cast<char>((~n >> 8) & 0xFF);
        piece.data += plain.mid(at, n);
        at += n;
    } while (at < plain.size());
    return piece;
}

QByteArray GzipHeader() {
    // Magic, deflate, no flags, no time, no extra flags, unknown system.
    return QByteArray("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\xff", 10);
}

QByteArray GzipTrailer(const DeflatePiece& first, const DeflatePiece& second) {
    QByteArray out;
    const auto crc = static_cast<quint32>(crc32_combine(first.crc, second.crc, static_cast<z_off_t>(second.plain)));
    AppendLe32(out, crc);
    AppendLe32(out, static_cast<quint32>(first.plain + second.plain));
    return out;
}

QByteArray Gzipped(const QByteArray& plain) {
    const DeflatePiece body = Deflated(plain, true);
    return GzipHeader() + body.data + GzipTrailer(DeflatePiece{}, body);
}

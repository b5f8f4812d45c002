#include "HttpClient.h"
#include "core/grid/SortGridData.h"
#include "core/live/LiveServerThread.h"
#include "core/live/SnapshotBuilder.h"
#include "core/live/SnapshotSlot.h"
#include "core/race/ProtocolColumns.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QtTest>

#include <memory>
#include <vector>

#include <zlib.h>

namespace {

std::shared_ptr<Snapshot> SnapshotOf(int athletes, const Snapshot* previous = nullptr) {
    SortGridData g(Col::Count, athletes + 1);
    g.SetRows(0, ProtocolCaptions());
    for (int r = 1; r <= athletes; ++r) {
        g.SetCell(Col::StNr, r, QString::number(r));
        g.SetCell(Col::Nachname, r, r == 1 ? QStringLiteral("<script>alert(1)</script>") : QStringLiteral("Läufer"));
    }
    SnapshotInputs in;
    in.title = QStringLiteral("Testlauf");
    in.now = QDateTime(QDate(2026, 3, 20), QTime(10, 0));
    in.colWidths = QList<int>(Col::Count, 40);
    in.colWidths[Col::Raw] = -1;
    return TakeSnapshot(g, in, previous);
}

// The real server in its own thread on a loopback port of the system's choice.
struct Server {
    SnapshotSlot slot;
    std::unique_ptr<LiveServerThread> thread;
    quint16 port = 0;

    explicit Server(const HttpLimits& limits = HttpLimits()) {
        slot.Publish(SnapshotOf(3));
        thread = std::make_unique<LiveServerThread>(slot, limits);
        QSignalSpy listening(thread.get(), &LiveServerThread::listening);
        thread->Start(QHostAddress::LocalHost, 0);
        if (listening.wait(5000))
            port = listening.at(0).at(0).value<quint16>();
    }
};

QByteArray Gunzip(const QByteArray& gz) {
    z_stream z{};
    if (inflateInit2(&z, 16 + 15) != Z_OK)
        return QByteArray();
    QByteArray out(16 << 20, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(gz.constData()));
    z.avail_in = static_cast<uInt>(gz.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int rc = inflate(&z, Z_FINISH);
    // Exactly one whole member, nothing after it.
    const bool whole = rc == Z_STREAM_END && z.avail_in == 0;
    out.resize(whole ? static_cast<qsizetype>(z.total_out) : 0);
    inflateEnd(&z);
    return out;
}

HttpLimits ShortIdle(int ms) {
    HttpLimits limits;
    limits.idleMs = ms;
    return limits;
}

} // namespace

// The live results server as a browser, a scanner and a flood see it.
class LiveServerTest : public QObject {
    Q_OBJECT
private slots:
    void everyPageAnswersGetAndHead_data();
    void everyPageAnswersGetAndHead();
    void onlyGetAndHead_data();
    void onlyGetAndHead();
    void unknownPathsAreNotFound_data();
    void unknownPathsAreNotFound();
    void oversizedRequestsAreRefused_data();
    void oversizedRequestsAreRefused();
    void keepAliveServesPipelinedRequests();
    void aClientThatReadsLateGetsEveryAnswerInOrder();
    void aNewSnapshotIsServedAtOnce();
    void craftedNameIsEscapedOnThePage();
    void connectionsAboveTheCapAreReadAndRefused();
    void dataAnswer304ForTheirETag_data();
    void dataAnswer304ForTheirETag();
    void bodiesOver1KiBAreGzippedWhenAsked_data();
    void bodiesOver1KiBAreGzippedWhenAsked();
    void changeStreamTellsEveryNewVersion();
    void malformedRequestsAreAnsweredAtOnce_data();
    void malformedRequestsAreAnsweredAtOnce();
    void idleConnectionsAreClosed();
    void aRequestDrippingInIsCutOff();
    void portTakenIsReported();
};

void LiveServerTest::everyPageAnswersGetAndHead_data() {
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<QByteArray>("cache");
    // The data are revalidated by their ETag; the clock page is fixed and not kept.
    QTest::newRow("list") << QByteArray("/") << QByteArray("text/html; charset=utf-8") << QByteArray("no-cache");
    QTest::newRow("list with query") << QByteArray("/?klasse=M40") << QByteArray("text/html; charset=utf-8")
                                     << QByteArray("no-cache");
    QTest::newRow("json") << QByteArray("/results.json") << QByteArray("application/json; charset=utf-8")
                          << QByteArray("no-cache");
    QTest::newRow("csv") << QByteArray("/results.csv") << QByteArray("text/csv; charset=utf-8")
                         << QByteArray("no-cache");
    QTest::newRow("clock") << QByteArray("/clock") << QByteArray("text/html; charset=utf-8") << QByteArray("no-store");
}

void LiveServerTest::everyPageAnswersGetAndHead() {
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, type);
    QFETCH(QByteArray, cache);
    Server server;
    QVERIFY(server.port != 0);
    HttpClient client(server.port);
    const HttpReply get = client.Request("GET", path);
    QCOMPARE(get.status, 200);
    QCOMPARE(get.headers.value("content-type"), type);
    QCOMPARE(get.headers.value("cache-control"), cache);
    QCOMPARE(get.headers.value("x-content-type-options"), QByteArray("nosniff"));
    QVERIFY(get.headers.value("content-security-policy").startsWith("default-src 'none'"));
    QVERIFY(!get.body.isEmpty());
    // HEAD on the same connection: the same length, no body; the next answer follows cleanly.
    const HttpReply head = client.Request("HEAD", path);
    QCOMPARE(head.status, 200);
    QCOMPARE(head.headers.value("content-length").toLongLong(), get.body.size());
    QVERIFY(head.body.isEmpty());
    QCOMPARE(client.Request("GET", path).status, 200);
}

void LiveServerTest::onlyGetAndHead_data() {
    QTest::addColumn<QByteArray>("request");
    QTest::newRow("POST with body") << QByteArray(
        "POST /results.json HTTP/1.1\r\nHost: x\r\nContent-Length: 7\r\n\r\nx=1&y=2");
    QTest::newRow("PUT") << QByteArray("PUT /results.csv HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n\r\n");
    QTest::newRow("DELETE") << QByteArray("DELETE / HTTP/1.1\r\nHost: x\r\n\r\n");
    QTest::newRow("OPTIONS") << QByteArray("OPTIONS / HTTP/1.1\r\nHost: x\r\n\r\n");
    QTest::newRow("chunked PATCH") << QByteArray(
        "PATCH / HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nabcde\r\n0\r\n\r\n");
    QTest::newRow("lower case get") << QByteArray("get / HTTP/1.1\r\nHost: x\r\n\r\n");
}

void LiveServerTest::onlyGetAndHead() {
    QFETCH(QByteArray, request);
    Server server;
    HttpClient client(server.port);
    client.Send(request);
    const HttpReply reply = client.Read();
    QCOMPARE(reply.status, 405);
    QCOMPARE(reply.headers.value("allow"), QByteArray("GET, HEAD"));
    // The body that may follow is never read as a request: the connection ends.
    QVERIFY(client.WaitClosed());
    QVERIFY(!client.pending.contains("HTTP/1.1"));
}

void LiveServerTest::unknownPathsAreNotFound_data() {
    QTest::addColumn<QByteArray>("path");
    for (const char* path :
         {"/index.html", "/results.json/", "/results.jsonx", "/../../etc/passwd", "/%2e%2e/etc/passwd",
          "/tst_LiveServer", "/CMakeCache.txt", "//results.json", "/RESULTS.JSON"})
        QTest::newRow(path) << QByteArray(path);
}

void LiveServerTest::unknownPathsAreNotFound() {
    QFETCH(QByteArray, path);
    Server server;
    const HttpReply reply = Fetch(server.port, "GET", path);
    QCOMPARE(reply.status, 404);
    QCOMPARE(reply.headers.value("x-content-type-options"), QByteArray("nosniff"));
    QVERIFY(reply.body.size() < 100); // a short notice, never a file
}

void LiveServerTest::oversizedRequestsAreRefused_data() {
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("status");
    const HttpLimits limits;
    QTest::newRow("long target") << QByteArray("GET /" + QByteArray(limits.maxRequestLine, 'a') +
                                               " HTTP/1.1\r\nHost: x\r\n\r\n")
                                 << 414;
    QTest::newRow("endless line") << QByteArray(limits.maxRequestLine * 4, 'G') << 414;
    QTest::newRow("big header") << QByteArray("GET / HTTP/1.1\r\nHost: x\r\nCookie: " +
                                              QByteArray(limits.maxHeaderBytes, 'c') + "\r\n\r\n")
                                << 431;
    QByteArray many = "GET / HTTP/1.1\r\nHost: x\r\n";
    for (int i = 0; i < limits.maxHeaderCount + 1; ++i)
        many += "X-" + QByteArray::number(i) + ": 1\r\n";
    QTest::newRow("many headers") << QByteArray(many + "\r\n") << 431;
    QTest::newRow("garbage") << QByteArray("\x16\x03\x01\x02\x01\xfc\x03\x03\r\n\r\n") << 400;
}

void LiveServerTest::oversizedRequestsAreRefused() {
    QFETCH(QByteArray, request);
    QFETCH(int, status);
    Server server;
    HttpClient client(server.port);
    client.Send(request);
    QCOMPARE(client.Read().status, status);
    QVERIFY(client.WaitClosed());
    // The server goes on serving others.
    QCOMPARE(Fetch(server.port, "GET", "/results.json").status, 200);
}

void LiveServerTest::keepAliveServesPipelinedRequests() {
    Server server;
    HttpClient client(server.port);
    client.Send("GET /results.json HTTP/1.1\r\nHost: x\r\n\r\nHEAD /clock HTTP/1.1\r\nHost: x\r\n\r\nGET /nix "
                "HTTP/1.1\r\nHost: x\r\n\r\n"
                "GET /results.csv HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    QCOMPARE(client.Read().status, 200);
    const HttpReply head = client.Read(true);
    QCOMPARE(head.status, 200);
    QVERIFY(head.body.isEmpty());
    QCOMPARE(client.Read().status, 404);
    const HttpReply csv = client.Read();
    QCOMPARE(csv.status, 200);
    QCOMPARE(csv.headers.value("connection"), QByteArray("close"));
    QVERIFY(csv.body.startsWith("\xEF\xBB\xBF"));
    QVERIFY(client.WaitClosed());
}

void LiveServerTest::aClientThatReadsLateGetsEveryAnswerInOrder() {
    Server server;
    server.slot.Publish(SnapshotOf(2000, server.slot.Current().get()));
    HttpClient client(server.port);
    // Many requests at once and nothing read for a while: the server holds back
    // (its output is bounded) and goes on as the client takes the answers.
    QByteArray requests;
    for (int i = 0; i < 30; ++i)
        requests += i % 3 == 2 ? "GET /results.csv HTTP/1.1\r\nHost: x\r\n\r\n"
                               : "GET /results.json HTTP/1.1\r\nHost: x\r\n\r\n";
    client.Send(requests);
    QTest::qWait(200);
    for (int i = 0; i < 30; ++i) {
        const HttpReply reply = client.Read();
        QCOMPARE(reply.status, 200);
        QCOMPARE(reply.headers.value("content-type").startsWith("text/csv"), i % 3 == 2);
        QVERIFY(reply.body.size() > 20000);
    }
    QCOMPARE(client.Request("GET", "/clock").status, 200);
}

void LiveServerTest::aNewSnapshotIsServedAtOnce() {
    Server server;
    HttpClient client(server.port);
    const auto version = [&] {
        return QJsonDocument::fromJson(client.Request("GET", "/results.json").body)
            .object()
            .value("version")
            .toInteger();
    };
    QCOMPARE(version(), 1);
    const QByteArray csvBefore = client.Request("GET", "/results.csv").body;
    server.slot.Publish(SnapshotOf(5, server.slot.Current().get()));
    QCOMPARE(version(), 2);
    const QByteArray csvAfter = client.Request("GET", "/results.csv").body;
    QCOMPARE(csvAfter.count('\n'), csvBefore.count('\n') + 2); // the bodies follow the new snapshot too
}

void LiveServerTest::craftedNameIsEscapedOnThePage() {
    Server server;
    const HttpReply page = Fetch(server.port, "GET", "/");
    QVERIFY(page.body.contains("&lt;script&gt;alert(1)&lt;/script&gt;"));
    QCOMPARE(page.body.count("<script"), 1);
    const HttpReply json = Fetch(server.port, "GET", "/results.json");
    QVERIFY(!json.body.contains("<script"));
    QVERIFY(json.body.contains("\\u003cscript\\u003ealert(1)\\u003c/script\\u003e"));
}

void LiveServerTest::connectionsAboveTheCapAreReadAndRefused() {
    HttpLimits limits;
    limits.maxConnections = 8;
    Server server(limits);
    std::vector<std::unique_ptr<HttpClient>> held;
    for (int i = 0; i < limits.maxConnections; ++i) {
        held.push_back(std::make_unique<HttpClient>(server.port));
        QVERIFY(held.back()->Connected());
    }
    QTRY_COMPARE(server.thread->ConnectionCount(), limits.maxConnections);
    // One more: its request (and what follows it) is read before the 503, so the answer is
    // still there when the client reads late; a reset would have thrown it away.
    HttpClient extra(server.port);
    extra.Send("GET /results.json HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\n\r\nabcde");
    QTest::qWait(300);
    const HttpReply refused = extra.Read();
    QCOMPARE(refused.status, 503);
    QCOMPARE(refused.headers.value("retry-after"), QByteArray("2"));
    QCOMPARE(refused.headers.value("connection"), QByteArray("close"));
    QVERIFY(extra.WaitClosed());
    QCOMPARE(extra.socket.error(), QAbstractSocket::RemoteHostClosedError);
    QCOMPARE(server.thread->ConnectionCount(), limits.maxConnections);
    // The held ones are served as before.
    QCOMPARE(held.front()->Request("GET", "/results.json").status, 200);
    QCOMPARE(held.back()->Request("GET", "/").status, 200);
    // One leaves: a new client gets its place.
    held.front()->socket.disconnectFromHost();
    held.erase(held.begin());
    QTRY_COMPARE(server.thread->ConnectionCount(), limits.maxConnections - 1);
    HttpClient next(server.port);
    QCOMPARE(next.Request("GET", "/results.json").status, 200);
}

void LiveServerTest::dataAnswer304ForTheirETag_data() {
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("form"); // how the client quotes the tag; %1 stands for it
    for (const char* path : {"/", "/results.json", "/results.csv"}) {
        QTest::addRow("%s as sent", path) << QByteArray(path) << QByteArray("%1");
        QTest::addRow("%s strong", path) << QByteArray(path) << QByteArray("%1").replace("W/", "");
        QTest::addRow("%s in a list", path) << QByteArray(path) << QByteArray("\"other\", %1");
    }
    QTest::newRow("any") << QByteArray("/results.json") << QByteArray("*");
}

void LiveServerTest::dataAnswer304ForTheirETag() {
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, form);
    Server server;
    HttpClient client(server.port);
    const HttpReply first = client.Request("GET", path);
    const QByteArray tag = first.headers.value("etag");
    QVERIFY(tag.startsWith("W/\"") && tag.endsWith('"'));
    QByteArray asked = form;
    asked.replace("%1", form.contains("W/") || form == "%1" ? tag : tag.mid(2));
    const HttpReply same = client.Request("GET", path, "If-None-Match: " + asked + "\r\n");
    QCOMPARE(same.status, 304);
    QCOMPARE(same.headers.value("etag"), tag);
    QVERIFY(!same.headers.contains("content-length"));
    QVERIFY(same.body.isEmpty());
    // The connection goes on cleanly after the bodiless answer.
    QCOMPARE(client.Request("HEAD", path).status, 200);
    // A new version: the old tag gets the whole body and a new tag.
    server.slot.Publish(SnapshotOf(4, server.slot.Current().get()));
    const HttpReply changed = client.Request("GET", path, "If-None-Match: " + tag + "\r\n");
    QCOMPARE(changed.status, 200);
    QVERIFY(changed.headers.value("etag") != tag);
    QVERIFY(changed.body.size() > 50);
}

void LiveServerTest::bodiesOver1KiBAreGzippedWhenAsked_data() {
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("accept");
    QTest::addColumn<bool>("gzip");
    QTest::newRow("json") << QByteArray("/results.json") << QByteArray("gzip, deflate, br") << true;
    QTest::newRow("json refused") << QByteArray("/results.json") << QByteArray("gzip;q=0, deflate") << false;
    QTest::newRow("json not asked") << QByteArray("/results.json") << QByteArray() << false;
    QTest::newRow("list, any coding") << QByteArray("/") << QByteArray("*") << true;
    QTest::newRow("csv, old name") << QByteArray("/results.csv") << QByteArray("x-gzip") << true;
    QTest::newRow("clock") << QByteArray("/clock") << QByteArray("GZIP;q=0.5") << true;
    QTest::newRow("404 stays small") << QByteArray("/nix") << QByteArray("gzip") << false;
}

void LiveServerTest::bodiesOver1KiBAreGzippedWhenAsked() {
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, accept);
    QFETCH(bool, gzip);
    Server server;
    server.slot.Publish(SnapshotOf(500, server.slot.Current().get()));
    HttpClient client(server.port);
    const HttpReply plain = client.Request("GET", path);
    const HttpReply got =
        client.Request("GET", path, accept.isEmpty() ? QByteArray() : "Accept-Encoding: " + accept + "\r\n");
    QCOMPARE(got.status, plain.status);
    QCOMPARE(got.headers.value("content-encoding"), gzip ? QByteArray("gzip") : QByteArray());
    const QByteArray body = gzip ? Gunzip(got.body) : got.body;
    if (path == "/results.json") {
        // Equal but for the clocks, which go on between the two answers.
        QJsonObject a = QJsonDocument::fromJson(plain.body).object(), b = QJsonDocument::fromJson(body).object();
        QVERIFY(b.value("now").isDouble() && b.value("rows").toArray().size() == 500);
        for (const char* clock : {"now", "race"}) {
            a.remove(clock);
            b.remove(clock);
        }
        QCOMPARE(b, a);
    } else {
        QCOMPARE(body, plain.body);
    }
    if (gzip)
        QVERIFY(got.body.size() * 3 < plain.body.size() * 2);
    // HEAD tells the length of what GET sends.
    const HttpReply head = client.Request("HEAD", path, "Accept-Encoding: " + accept + "\r\n");
    QCOMPARE(head.headers.value("content-length").toLongLong(), got.body.size());
}

void LiveServerTest::changeStreamTellsEveryNewVersion() {
    HttpLimits limits;
    limits.heartbeatMs = 300;
    Server server(limits);
    HttpClient page(server.port);
    const QByteArray tag = page.Request("GET", "/results.json").headers.value("etag");
    HttpClient stream(server.port);
    stream.Send("GET /events HTTP/1.1\r\nHost: x\r\n\r\n");
    const QByteArray head = stream.ReadUntil("\r\n\r\n");
    QVERIFY(head.startsWith("HTTP/1.1 200 OK\r\n"));
    QVERIFY(head.contains("\r\nContent-Type: text/event-stream; charset=utf-8\r\n"));
    QVERIFY(head.contains("\r\nCache-Control: no-store\r\n"));
    QVERIFY(!head.contains("Content-Length"));
    const auto message = [&stream] {
        QByteArray m = stream.ReadUntil("\n\n");
        while (m.startsWith(":") || m.startsWith("retry:"))
            m = stream.ReadUntil("\n\n");
        return QJsonDocument::fromJson(m.mid(6)).object();
    };
    // At once the version there is, with the tag the data carry.
    const QJsonObject first = message();
    QCOMPARE(first.value("version").toInteger(), 1);
    QCOMPARE("W/\"" + first.value("tag").toString().toLatin1() + '"', tag);
    QTRY_COMPARE(server.thread->StreamCount(), 1);
    // Every new snapshot, once, to every stream.
    for (int athletes = 4; athletes <= 6; ++athletes) {
        server.slot.Publish(SnapshotOf(athletes, server.slot.Current().get()));
        server.thread->Published();
        const QJsonObject next = message();
        QCOMPARE(next.value("version").toInteger(), athletes - 2);
        QVERIFY(next.value("now").isDouble());
    }
    // Quiet: only a comment line now and then, and the stream is not closed as idle.
    const QByteArray quiet = stream.ReadUntil(":\n\n");
    QCOMPARE(quiet, QByteArray(":\n\n"));
    QVERIFY(stream.Connected());
    QCOMPARE(server.thread->ConnectionCount(), 2);
    stream.socket.disconnectFromHost();
    QTRY_COMPARE(server.thread->StreamCount(), 0);
}

void LiveServerTest::malformedRequestsAreAnsweredAtOnce_data() {
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("status");
    QTest::newRow("no Host") << QByteArray("GET / HTTP/1.1\r\n\r\n") << 400;
    QTest::newRow("two Hosts") << QByteArray("GET / HTTP/1.1\r\nHost: a\r\nHost: a\r\n\r\n") << 400;
    QTest::newRow("HTTP/0.9") << QByteArray("GET /\r\n") << 400;
    QTest::newRow("bare CR") << QByteArray("GET / HTTP/1.1\rHost: x\r\r") << 400;
    QTest::newRow("absolute form") << QByteArray("GET http://127.0.0.1/results.csv HTTP/1.1\r\nHost: x\r\n\r\n") << 200;
    QTest::newRow("1.0 without Host") << QByteArray("GET /results.csv HTTP/1.0\r\n\r\n") << 200;
}

void LiveServerTest::malformedRequestsAreAnsweredAtOnce() {
    QFETCH(QByteArray, request);
    QFETCH(int, status);
    // Far longer than the wait below: an answer can only come from reading the request.
    Server server(ShortIdle(60000));
    HttpClient client(server.port);
    client.Send(request);
    const HttpReply reply = client.Read(false, 5000);
    QCOMPARE(reply.status, status);
    if (status == 200)
        QVERIFY(reply.body.startsWith("\xEF\xBB\xBF"));
    else
        QVERIFY(client.WaitClosed());
}

void LiveServerTest::idleConnectionsAreClosed() {
    Server server(ShortIdle(200));
    HttpClient silent(server.port);
    HttpClient served(server.port);
    QCOMPARE(served.Request("GET", "/results.json").status, 200);
    QTRY_COMPARE(server.thread->ConnectionCount(), 2);
    // Neither sends anything more: both are closed, without an answer.
    QVERIFY(silent.WaitClosed());
    QVERIFY(served.WaitClosed());
    QVERIFY(silent.pending.isEmpty());
    QTRY_COMPARE(server.thread->ConnectionCount(), 0);
}

void LiveServerTest::aRequestDrippingInIsCutOff() {
    Server server(ShortIdle(300));
    HttpClient slow(server.port);
    slow.Send("GET / HTTP/1.1\r\nHost: x\r\n");
    // A header line now and then keeps the connection busy, but never completes the request.
    for (int i = 0; i < 30 && slow.Connected(); ++i) {
        slow.Send("X-" + QByteArray::number(i) + ": 1\r\n");
        slow.WaitClosed(50);
    }
    QVERIFY(slow.WaitClosed());
    QVERIFY(slow.pending.startsWith("HTTP/1.1 408 "));
}

void LiveServerTest::portTakenIsReported() {
    Server first;
    SnapshotSlot slot;
    LiveServerThread second(slot);
    QSignalSpy failed(&second, &LiveServerThread::failed);
    second.Start(QHostAddress::LocalHost, first.port);
    QVERIFY(failed.wait(5000));
    QCOMPARE(failed.at(0).at(0).toInt(), int(QAbstractSocket::AddressInUseError));
    // The first server is not disturbed.
    QCOMPARE(Fetch(first.port, "GET", "/").status, 200);
}

QTEST_GUILESS_MAIN(LiveServerTest)
#include "tst_LiveServer.moc"

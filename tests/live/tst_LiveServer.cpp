#include "HttpClient.h"
#include "core/grid/SortGridData.h"
#include "core/live/LiveServerThread.h"
#include "core/live/SnapshotBuilder.h"
#include "core/live/SnapshotSlot.h"
#include "core/race/ProtocolColumns.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QtTest>

#include <memory>
#include <vector>

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
    void atMost64ConnectionsAtOnce();
    void idleConnectionsAreClosed();
    void aRequestDrippingInIsCutOff();
    void portTakenIsReported();
};

void LiveServerTest::everyPageAnswersGetAndHead_data() {
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("type");
    QTest::newRow("list") << QByteArray("/") << QByteArray("text/html; charset=utf-8");
    QTest::newRow("list with query") << QByteArray("/?klasse=M40") << QByteArray("text/html; charset=utf-8");
    QTest::newRow("json") << QByteArray("/results.json") << QByteArray("application/json; charset=utf-8");
    QTest::newRow("csv") << QByteArray("/results.csv") << QByteArray("text/csv; charset=utf-8");
    QTest::newRow("clock") << QByteArray("/clock") << QByteArray("text/html; charset=utf-8");
}

void LiveServerTest::everyPageAnswersGetAndHead() {
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, type);
    Server server;
    QVERIFY(server.port != 0);
    HttpClient client(server.port);
    const HttpReply get = client.Request("GET", path);
    QCOMPARE(get.status, 200);
    QCOMPARE(get.headers.value("content-type"), type);
    QCOMPARE(get.headers.value("cache-control"), QByteArray("no-store"));
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
    QTest::newRow("POST with body") << QByteArray("POST /results.json HTTP/1.1\r\nContent-Length: 7\r\n\r\nx=1&y=2");
    QTest::newRow("PUT") << QByteArray("PUT /results.csv HTTP/1.1\r\nContent-Length: 0\r\n\r\n");
    QTest::newRow("DELETE") << QByteArray("DELETE / HTTP/1.1\r\n\r\n");
    QTest::newRow("OPTIONS") << QByteArray("OPTIONS / HTTP/1.1\r\n\r\n");
    QTest::newRow("chunked PATCH") << QByteArray(
        "PATCH / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nabcde\r\n0\r\n\r\n");
    QTest::newRow("lower case get") << QByteArray("get / HTTP/1.1\r\n\r\n");
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
    QTest::newRow("long target") << QByteArray("GET /" + QByteArray(limits.maxRequestLine, 'a') + " HTTP/1.1\r\n\r\n")
                                 << 414;
    QTest::newRow("endless line") << QByteArray(limits.maxRequestLine * 4, 'G') << 414;
    QTest::newRow("big header") << QByteArray("GET / HTTP/1.1\r\nCookie: " + QByteArray(limits.maxHeaderBytes, 'c') +
                                              "\r\n\r\n")
                                << 431;
    QByteArray many = "GET / HTTP/1.1\r\n";
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
    client.Send("GET /results.json HTTP/1.1\r\n\r\nHEAD /clock HTTP/1.1\r\n\r\nGET /nix HTTP/1.1\r\n\r\n"
                "GET /results.csv HTTP/1.1\r\nConnection: close\r\n\r\n");
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
        requests += i % 3 == 2 ? "GET /results.csv HTTP/1.1\r\n\r\n" : "GET /results.json HTTP/1.1\r\n\r\n";
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

void LiveServerTest::atMost64ConnectionsAtOnce() {
    Server server;
    std::vector<std::unique_ptr<HttpClient>> held;
    for (int i = 0; i < 64; ++i) {
        held.push_back(std::make_unique<HttpClient>(server.port));
        QVERIFY(held.back()->Connected());
    }
    QTRY_COMPARE(server.thread->ConnectionCount(), 64);
    // The 65th is told to come back later and closed.
    HttpClient extra(server.port);
    const HttpReply refused = extra.Read();
    QCOMPARE(refused.status, 503);
    QCOMPARE(refused.headers.value("retry-after"), QByteArray("2"));
    QVERIFY(extra.WaitClosed());
    QCOMPARE(server.thread->ConnectionCount(), 64);
    // The held ones are served as before.
    QCOMPARE(held.front()->Request("GET", "/results.json").status, 200);
    QCOMPARE(held.back()->Request("GET", "/").status, 200);
    // One leaves: a new client gets its place.
    held.front()->socket.disconnectFromHost();
    held.erase(held.begin());
    QTRY_COMPARE(server.thread->ConnectionCount(), 63);
    HttpClient next(server.port);
    QCOMPARE(next.Request("GET", "/results.json").status, 200);
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
    slow.Send("GET / HTTP/1.1\r\n");
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

#include "core/live/HttpRequest.h"
#include "core/live/HttpResponse.h"

#include <QtTest>

// The request head reader: what it accepts, and where its limits end a request.
class HttpRequestTest : public QObject {
    Q_OBJECT
private slots:
    void heads_data();
    void heads();
    void limitsHoldWhateverFollows_data();
    void limitsHoldWhateverFollows();
    void pipelinedRequestsAreReadOneByOne();
    void errorAnswersCloseAndSayWhy();
};

Q_DECLARE_METATYPE(HttpParseStatus)

void HttpRequestTest::heads_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<HttpParseStatus>("status");
    QTest::addColumn<int>("error");
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<bool>("keepAlive");
    QTest::addColumn<bool>("hasBody");
    const auto ok = HttpParseStatus::Complete;
    const auto more = HttpParseStatus::Incomplete;
    const auto bad = HttpParseStatus::Error;
    QTest::newRow("GET 1.1") << QByteArray("GET / HTTP/1.1\r\nHost: x\r\n\r\n") << ok << 0 << QByteArray("GET")
                             << QByteArray("/") << true << false;
    QTest::newRow("query and fragment cut off")
        << QByteArray("GET /results.json?v=3#x HTTP/1.1\r\nHost: x\r\n\r\n") << ok << 0 << QByteArray("GET")
        << QByteArray("/results.json") << true << false;
    QTest::newRow("HEAD 1.0 closes") << QByteArray("HEAD /clock HTTP/1.0\r\n\r\n") << ok << 0 << QByteArray("HEAD")
                                     << QByteArray("/clock") << false << false;
    QTest::newRow("1.0 keep-alive") << QByteArray("GET / HTTP/1.0\r\nConnection: Keep-Alive\r\n\r\n") << ok << 0
                                    << QByteArray("GET") << QByteArray("/") << true << false;
    QTest::newRow("1.1 close") << QByteArray("GET / HTTP/1.1\r\nHost: x\r\nConnection: foo, close\r\n\r\n") << ok << 0
                               << QByteArray("GET") << QByteArray("/") << false << false;
    QTest::newRow("bare LF") << QByteArray("GET / HTTP/1.1\nHost: x\n\n") << ok << 0 << QByteArray("GET")
                             << QByteArray("/") << true << false;
    QTest::newRow("blank line before") << QByteArray("\r\nGET / HTTP/1.1\r\nHost: x\r\n\r\n") << ok << 0
                                       << QByteArray("GET") << QByteArray("/") << true << false;
    QTest::newRow("other method is read") << QByteArray("POST / HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\n\r\nabcde")
                                          << ok << 0 << QByteArray("POST") << QByteArray("/") << true << true;
    QTest::newRow("chunked body") << QByteArray("PUT /x HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n")
                                  << ok << 0 << QByteArray("PUT") << QByteArray("/x") << true << true;
    QTest::newRow("head unfinished") << QByteArray("GET / HTTP/1.1\r\nHost: x\r\n") << more << 0 << QByteArray()
                                     << QByteArray() << true << false;
    QTest::newRow("line unfinished") << QByteArray("GET /resu") << more << 0 << QByteArray() << QByteArray() << true
                                     << false;
    QTest::newRow("HTTP/2.0") << QByteArray("GET / HTTP/2.0\r\n\r\n") << bad << 400 << QByteArray() << QByteArray()
                              << true << false;
    QTest::newRow("absolute target") << QByteArray(
                                            "GET http://127.0.0.1:8080/results.json?v=1 HTTP/1.1\r\nHost: x\r\n\r\n")
                                     << ok << 0 << QByteArray("GET") << QByteArray("/results.json") << true << false;
    QTest::newRow("absolute target without path") << QByteArray("HEAD HTTPS://x HTTP/1.1\r\nHost: x\r\n\r\n") << ok << 0
                                                  << QByteArray("HEAD") << QByteArray("/") << true << false;
    QTest::newRow("absolute target of another scheme") << QByteArray("GET ftp://x/ HTTP/1.1\r\nHost: x\r\n\r\n") << bad
                                                       << 400 << QByteArray() << QByteArray() << true << false;
    QTest::newRow("no Host in 1.1") << QByteArray("GET / HTTP/1.1\r\n\r\n") << bad << 400 << QByteArray()
                                    << QByteArray() << true << false;
    QTest::newRow("two Hosts") << QByteArray("GET / HTTP/1.1\r\nHost: a\r\nHost: b\r\n\r\n") << bad << 400
                               << QByteArray() << QByteArray() << true << false;
    QTest::newRow("two Hosts in 1.0") << QByteArray("GET / HTTP/1.0\r\nHost: a\r\nhost: a\r\n\r\n") << bad << 400
                                      << QByteArray() << QByteArray() << true << false;
    QTest::newRow("Host with a path") << QByteArray("GET / HTTP/1.1\r\nHost: a/b\r\n\r\n") << bad << 400 << QByteArray()
                                      << QByteArray() << true << false;
    // Told at once, not after waiting for headers that never come.
    QTest::newRow("HTTP/0.9") << QByteArray("GET /\r\n") << bad << 400 << QByteArray() << QByteArray() << true << false;
    QTest::newRow("bare CR ends lines") << QByteArray("GET / HTTP/1.1\rHost: x\r\r") << bad << 400 << QByteArray()
                                        << QByteArray() << true << false;
    QTest::newRow("bare CR in a header") << QByteArray("GET / HTTP/1.1\r\nHost: x\rY: z\r\n\r\n") << bad << 400
                                         << QByteArray() << QByteArray() << true << false;
    QTest::newRow("CR awaiting its LF") << QByteArray("GET / HTTP/1.1\r") << more << 0 << QByteArray() << QByteArray()
                                        << true << false;
    QTest::newRow("control character in target") << QByteArray("GET /a\x01 HTTP/1.1\r\nHost: x\r\n\r\n") << bad << 400
                                                 << QByteArray() << QByteArray() << true << false;
    QTest::newRow("extra blank in line") << QByteArray("GET /  HTTP/1.1\r\nHost: x\r\n\r\n") << bad << 400
                                         << QByteArray() << QByteArray() << true << false;
    QTest::newRow("header without colon") << QByteArray("GET / HTTP/1.1\r\nHost: x\r\nHost\r\n\r\n") << bad << 400
                                          << QByteArray() << QByteArray() << true << false;
    QTest::newRow("folded header") << QByteArray("GET / HTTP/1.1\r\nHost: x\r\nA: b\r\n c\r\n\r\n") << bad << 400
                                   << QByteArray() << QByteArray() << true << false;
    QTest::newRow("length not a number") << QByteArray("GET / HTTP/1.1\r\nHost: x\r\nContent-Length: 1x\r\n\r\n") << bad
                                         << 400 << QByteArray() << QByteArray() << true << false;
    QTest::newRow("two lengths") << QByteArray(
                                        "GET / HTTP/1.1\r\nHost: x\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n")
                                 << bad << 400 << QByteArray() << QByteArray() << true << false;
}

void HttpRequestTest::heads() {
    QFETCH(QByteArray, input);
    QFETCH(HttpParseStatus, status);
    QFETCH(int, error);
    const HttpParseResult r = ParseHttpRequest(input, HttpLimits());
    QCOMPARE(r.status, status);
    QCOMPARE(r.errorStatus, error);
    if (status != HttpParseStatus::Complete)
        return;
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, path);
    QFETCH(bool, keepAlive);
    QFETCH(bool, hasBody);
    QCOMPARE(r.request.method, method);
    QCOMPARE(r.request.path, path);
    QCOMPARE(r.request.keepAlive, keepAlive);
    QCOMPARE(r.request.hasBody, hasBody);
    // The head ends at the blank line; a body is not part of it.
    QCOMPARE(input.mid(r.consumed), hasBody && input.endsWith("abcde") ? QByteArray("abcde") : QByteArray());
}

void HttpRequestTest::limitsHoldWhateverFollows_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("error");
    HttpLimits limits;
    const QByteArray longPath(limits.maxRequestLine, 'a');
    QTest::newRow("line without end") << ("GET /" + longPath) << 414;
    QTest::newRow("line with end") << ("GET /" + longPath + " HTTP/1.1\r\nHost: x\r\n\r\n") << 414;
    const QByteArray bigHeader = "X-A: " + QByteArray(limits.maxHeaderBytes, 'b');
    QTest::newRow("header without end") << ("GET / HTTP/1.1\r\nHost: x\r\n" + bigHeader) << 431;
    QTest::newRow("header with end") << ("GET / HTTP/1.1\r\nHost: x\r\n" + bigHeader + "\r\n\r\n") << 431;
    QByteArray many = "GET / HTTP/1.1\r\nHost: x\r\n";
    for (int i = 0; i <= limits.maxHeaderCount; ++i)
        many += "X-" + QByteArray::number(i) + ": 1\r\n";
    QTest::newRow("too many headers") << QByteArray(many + "\r\n") << 431;
    QTest::newRow("too many headers, unfinished") << many << 431;
}

void HttpRequestTest::limitsHoldWhateverFollows() {
    QFETCH(QByteArray, input);
    QFETCH(int, error);
    const HttpParseResult r = ParseHttpRequest(input, HttpLimits());
    QCOMPARE(r.status, HttpParseStatus::Error);
    QCOMPARE(r.errorStatus, error);
    // Just within the limits is still a request.
    HttpLimits roomy;
    roomy.maxRequestLine = roomy.maxHeaderBytes = roomy.maxHeaderCount = 1 << 20;
    QVERIFY(ParseHttpRequest(input, roomy).status != HttpParseStatus::Error);
}

void HttpRequestTest::pipelinedRequestsAreReadOneByOne() {
    QByteArray both = "GET /results.json HTTP/1.1\r\nHost: x\r\n\r\nHEAD /clock HTTP/1.1\r\nHost: x\r\n\r\n";
    const HttpParseResult first = ParseHttpRequest(both, HttpLimits());
    QCOMPARE(first.status, HttpParseStatus::Complete);
    QCOMPARE(first.request.path, QByteArray("/results.json"));
    both.remove(0, first.consumed);
    const HttpParseResult second = ParseHttpRequest(both, HttpLimits());
    QCOMPARE(second.status, HttpParseStatus::Complete);
    QCOMPARE(second.request.method, QByteArray("HEAD"));
    QCOMPARE(second.consumed, both.size());
}

void HttpRequestTest::errorAnswersCloseAndSayWhy() {
    for (int status : {400, 405, 414, 431, 503}) {
        const QByteArray bytes = HttpResponse::Error(status).Bytes(false);
        QVERIFY2(bytes.startsWith("HTTP/1.1 " + QByteArray::number(status) + ' '), bytes.constData());
        QVERIFY(bytes.contains("\r\nConnection: close\r\n"));
        QVERIFY(bytes.contains("\r\nX-Content-Type-Options: nosniff\r\n"));
    }
    QVERIFY(HttpResponse::Error(405).Bytes(false).contains("\r\nAllow: GET, HEAD\r\n"));
    // 404 keeps the connection: a browser asking for an icon goes on with the page.
    QVERIFY(HttpResponse::Error(404).Bytes(false).contains("\r\nConnection: keep-alive\r\n"));
    // HEAD: the length of the body, and no body.
    HttpResponse r;
    r.body = "12345";
    const QByteArray head = r.Bytes(true);
    QVERIFY(head.contains("\r\nContent-Length: 5\r\n"));
    QVERIFY(head.endsWith("\r\n\r\n"));
}

QTEST_APPLESS_MAIN(HttpRequestTest)
#include "tst_HttpRequest.moc"

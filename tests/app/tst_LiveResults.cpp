#include "RaceWindow.h"

#include "core/live/LiveResults.h"
#include "core/live/PublishFolder.h"
#include "live/HttpClient.h"
#include "ui/dialogs/TCfgDialog.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

namespace {

const QString kCrafted = QStringLiteral("<script>alert(1)</script>");

TSettings OnPort(quint16 port) {
    TSettings s;
    s.WebPort = port;
    s.WebBind = QStringLiteral("127.0.0.1");
    return s;
}

QJsonObject Json(HttpClient& client) {
    return QJsonDocument::fromJson(client.Request("GET", "/results.json").body).object();
}

qint64 Version(HttpClient& client) {
    return Json(client).value("version").toInteger();
}

// The cells of the athlete `number` in the data, by column caption.
QMap<QString, QString> RowOf(const QJsonObject& data, const QString& number) {
    QMap<QString, QString> row;
    const QJsonArray columns = data.value("columns").toArray();
    for (const QJsonValue& r : data.value("rows").toArray()) {
        if (r.toObject().value("key").toString() != number)
            continue;
        const QJsonArray cells = r.toObject().value("cells").toArray();
        for (qsizetype i = 0; i < columns.size(); ++i)
            row.insert(columns[i].toObject().value("caption").toString(), cells[i].toString());
    }
    return row;
}

// Opens the settings with F2; `script` acts on the dialog and presses OK.
void ConfirmSettings(RaceWindow& w, const std::function<void(TCfgDialog&)>& script) {
    w.fake->prompts.OnExec = [script](QDialog& dialog) {
        auto& d = static_cast<TCfgDialog&>(dialog);
        d.setResult(QDialog::Rejected);
        d.show();
        if (!QTest::qWaitForWindowExposed(&d))
            return int(QDialog::Rejected);
        script(d);
        QTest::mouseClick(d.OKBtn, Qt::LeftButton);
        const int result = d.result();
        d.hide();
        return result;
    };
    w.Key(Qt::Key_F2);
    w.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.form.get()));
}

void Type(QWidget* w, const QString& text) {
    w->setFocus();
    QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(w, Qt::Key_Backspace);
    QTest::keyClicks(w, text);
}

QString Address(quint16 port) {
    return QStringLiteral("http://127.0.0.1:%1/").arg(port);
}

} // namespace

// Live results of a race driven through the real window, read over real sockets.
class LiveResultsTest : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }

    void offUntilAPortIsSet();
    void everyFinishReachesThePagesAndTheVersionGrows();
    void timingGoesOnWhile1000ClientsHoldTheServer();
    void portTakenIsShownAndTheDialogMovesTheServer();
    void dialogSwitchesTheServerOff();
    void publishFolderGetsWholeFilesAfterEachFinish();
};

void LiveResultsTest::offUntilAPortIsSet() {
    RaceWindow w;
    QCOMPARE(w.form->Web().ServerPort(), quint16(0));
    QVERIFY(Find<QLabel>(w.form, "StatusWeb")->isHidden());
    w.StartNumber(QStringLiteral("1"));
    QTest::qWait(100);
    QVERIFY(!w.form->Web().Current()); // nothing is published for nobody
}

void LiveResultsTest::everyFinishReachesThePagesAndTheVersionGrows() {
    const quint16 port = FreePort();
    RaceWindow w(OnPort(port));
    QTRY_COMPARE(Find<QLabel>(w.form, "StatusWeb")->text(), Address(port));
    QVERIFY(Find<QLabel>(w.form, "StatusWeb")->isVisible());

    w.StartNumber(QStringLiteral("17"));
    w.Advance(20000);
    w.StartNumber(QStringLiteral("18"));
    // A name as a start list could bring it.
    w.P()->SetCell(Col::Nachname, w.RowOf(QStringLiteral("17")), kCrafted);
    HttpClient client(port);
    QTRY_VERIFY(RowOf(Json(client), QStringLiteral("17")).value(QStringLiteral("Nachname")) == kCrafted);
    QCOMPARE(Json(client).value("state").toString(), QStringLiteral("running"));
    const qint64 started = Version(client);

    w.Advance(100000);
    w.FinishNumber(QStringLiteral("17"));
    QTRY_VERIFY(Version(client) > started);
    const QJsonObject afterFirst = Json(client);
    QCOMPARE(RowOf(afterFirst, QStringLiteral("17")).value(QStringLiteral("Zeit")),
             w.Of(QStringLiteral("17"), Col::Zeit));
    QCOMPARE(afterFirst.value("lastFinish").toObject().value("number").toString(), QStringLiteral("17"));
    const qint64 first = afterFirst.value("version").toInteger();

    w.Advance(5000);
    w.FinishNumber(QStringLiteral("18"));
    QTRY_VERIFY(Version(client) > first);
    const QJsonObject afterSecond = Json(client);
    QCOMPARE(afterSecond.value("lastFinish").toObject().value("number").toString(), QStringLiteral("18"));
    QCOMPARE(RowOf(afterSecond, QStringLiteral("18")).value(QStringLiteral("Zeit")),
             w.Of(QStringLiteral("18"), Col::Zeit));

    const HttpReply page = client.Request("GET", "/");
    QCOMPARE(page.status, 200);
    QVERIFY(page.body.contains("&lt;script&gt;alert(1)&lt;/script&gt;"));
    QCOMPARE(page.body.count("<script"), 1);
    QVERIFY(page.body.contains(w.Of(QStringLiteral("18"), Col::Zeit).toUtf8()));
    const HttpReply csv = client.Request("GET", "/results.csv");
    QVERIFY(csv.body.contains(";18;"));
    QCOMPARE(client.Request("GET", "/clock").status, 200);
}

void LiveResultsTest::timingGoesOnWhile1000ClientsHoldTheServer() {
    const quint16 port = FreePort();
    RaceWindow w(OnPort(port));
    QTRY_COMPARE(w.form->Web().ServerPort(), port);
    w.StartNumber(QStringLiteral("5"));
    w.StartNumber(QStringLiteral("6"));
    QTRY_VERIFY(w.form->Web().Current());
    // Half of the crowd listens for changes, half came for one answer and keeps the connection.
    constexpr int kClients = 1000;
    std::vector<std::unique_ptr<HttpClient>> held;
    for (int i = 0; i < kClients; ++i) {
        held.push_back(std::make_unique<HttpClient>(port));
        held.back()->Send(i % 2 ? "GET /events HTTP/1.1\r\nHost: x\r\n\r\n"
                                : "GET /results.json HTTP/1.1\r\nHost: x\r\n\r\n");
    }
    QTRY_COMPARE_WITH_TIMEOUT(w.form->Web().ConnectionCount(), kClients, 30000);
    QTRY_COMPARE_WITH_TIMEOUT(w.form->Web().StreamCount(), kClients / 2, 30000);
    // One more is read and told to come back.
    HttpClient extra(port);
    extra.Send("GET / HTTP/1.1\r\nHost: x\r\n\r\n");
    const HttpReply refused = extra.Read();
    QCOMPARE(refused.status, 503);
    QCOMPARE(refused.headers.value("retry-after"), QByteArray("2"));
    const quint64 before = w.form->Web().Current()->version;

    w.Advance(61000);
    w.FinishNumber(QStringLiteral("5"));
    w.Advance(2500);
    w.FinishNumber(QStringLiteral("6"));
    QCOMPARE(w.Of(QStringLiteral("5"), Col::Zeit), QStringLiteral("1:01,00"));
    QCOMPARE(w.Of(QStringLiteral("6"), Col::Zeit), QStringLiteral("1:03,50"));
    QTRY_VERIFY(w.form->Web().Current()->lastFinishRow >= 1 &&
                w.form->Web().Current()->Cell(Col::StNr, w.form->Web().Current()->lastFinishRow) == "6");
    const quint64 after = w.form->Web().Current()->version;
    QVERIFY(after > before);
    // Streams far apart in the crowd are told of the last version, with the last finish.
    for (int i : {1, kClients / 2 + 1, kClients - 1}) {
        QJsonObject last;
        for (int n = 0; n < 8 && quint64(last.value("version").toInteger()) < after; ++n) {
            const QByteArray m = held[size_t(i)]->ReadUntil("\n\n");
            if (m.startsWith("data: "))
                last = QJsonDocument::fromJson(m.mid(6)).object();
        }
        QCOMPARE(quint64(last.value("version").toInteger()), after);
        QCOMPARE(last.value("lastFinish").toObject().value("time").toString(), QStringLiteral("1:03,50"));
    }
    // And the ones that asked before get the new data on their kept connection.
    for (int i : {0, kClients - 2}) {
        const HttpReply first = held[size_t(i)]->Read();
        QCOMPARE(first.status, 200);
        QCOMPARE(RowOf(Json(*held[size_t(i)]), QStringLiteral("5")).value(QStringLiteral("Zeit")),
                 QStringLiteral("1:01,00"));
    }
}

void LiveResultsTest::portTakenIsShownAndTheDialogMovesTheServer() {
    QTcpServer other;
    QVERIFY(other.listen(QHostAddress::LocalHost, 0));
    RaceWindow w(OnPort(other.serverPort()));
    QTRY_COMPARE(Find<QLabel>(w.form, "StatusWeb")->text(),
                 QStringLiteral("Live-Ergebnisse aus: Port %1 ist belegt").arg(other.serverPort()));
    QVERIFY(Find<QLabel>(w.form, "StatusWeb")->styleSheet().contains(QStringLiteral("background")));
    QCOMPARE(w.form->Web().ServerPort(), quint16(0));

    const quint16 free = FreePort();
    ConfirmSettings(w, [free](TCfgDialog& d) { Type(d.seWebPort, QString::number(free)); });
    QCOMPARE(w.form->Settings().WebPort, int(free));
    QTRY_COMPARE(Find<QLabel>(w.form, "StatusWeb")->text(), Address(free));
    QVERIFY(Find<QLabel>(w.form, "StatusWeb")->styleSheet().isEmpty());
    QCOMPARE(Fetch(free, "GET", "/results.json").status, 200);
}

void LiveResultsTest::dialogSwitchesTheServerOff() {
    const quint16 port = FreePort();
    RaceWindow w(OnPort(port));
    QTRY_COMPARE(w.form->Web().ServerPort(), port);
    ConfirmSettings(w, [port](TCfgDialog& d) {
        QCOMPARE(d.seWebPort->value(), int(port));
        // The lowest entry is "off".
        Type(d.seWebPort, QString::number(TSettings::kWebPortMin - 1));
    });
    QCOMPARE(w.form->Settings().WebPort, 0);
    QVERIFY(Find<QLabel>(w.form, "StatusWeb")->isHidden());
    HttpClient client(port);
    QVERIFY(!client.Connected());
    // Shown as such the next time.
    QString shown;
    ConfirmSettings(w, [&shown](TCfgDialog& d) { shown = d.seWebPort->text(); });
    QCOMPARE(shown, QStringLiteral("Aus"));
    QCOMPARE(w.form->Settings().WebPort, 0);
}

void LiveResultsTest::publishFolderGetsWholeFilesAfterEachFinish() {
    QTemporaryDir out;
    TSettings s;
    s.PublishDir = out.path();
    s.Title = QStringLiteral("Vereinslauf");
    RaceWindow w(s);
    for (int n = 1; n <= 4; ++n)
        w.StartNumber(QString::number(n));
    w.P()->SetCell(Col::Nachname, w.RowOf(QStringLiteral("2")), kCrafted);
    const QString json = QDir(out.path()).filePath(PublishFolder::JsonName());
    const QString html = QDir(out.path()).filePath(PublishFolder::HtmlName());
    QTRY_VERIFY(QFile::exists(json) && QFile::exists(html));

    int reads = 0;
    for (int n = 1; n <= 4; ++n) {
        w.Advance(30000 + n * 1000);
        w.FinishNumber(QString::number(n));
        const QString zeit = w.Of(QString::number(n), Col::Zeit);
        // Read as a syncing program would, as often as it can: always a whole file.
        QElapsedTimer waited;
        waited.start();
        bool arrived = false;
        while (!arrived && waited.elapsed() < 5000) {
            QFile f(json);
            if (f.open(QIODevice::ReadOnly)) {
                QJsonParseError error;
                const QJsonObject data = QJsonDocument::fromJson(f.readAll(), &error).object();
                QCOMPARE(error.error, QJsonParseError::NoError);
                ++reads;
                arrived = RowOf(data, QString::number(n)).value(QStringLiteral("Zeit")) == zeit;
            }
            QTest::qWait(5);
        }
        QVERIFY2(arrived, qPrintable(QString::number(n)));
    }
    QVERIFY(reads > 4);
    QFile page(html);
    QVERIFY(page.open(QIODevice::ReadOnly));
    const QByteArray bytes = page.readAll();
    QVERIFY(bytes.contains("<H1>Vereinslauf</H1>"));
    QVERIFY(bytes.contains("&lt;script&gt;alert(1)&lt;/script&gt;"));
    QVERIFY(bytes.endsWith("</body></html>\r\n"));
    // Nothing but the two files is left in the folder.
    QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden),
             (QStringList{PublishFolder::HtmlName(), PublishFolder::JsonName()}));
}

QTEST_MAIN(LiveResultsTest)
#include "tst_LiveResults.moc"

// Live results under load: 50 clients on the loopback interface poll
// /results.json every 100 ms against a protocol of 2 000 rows while FINISH is
// triggered 10 times a second. Prints requests served per second, the p99
// response time, and the FINISH handler's median with and without the load.
// Quiet and loaded phases alternate (3 s quiet, 5 s loaded), so that a change of the
// machine's load during the run falls on both alike. The clients stand in for phones
// elsewhere on the network: their thread runs at the server's low priority, so they
// take no more of the window's processor than the phones' traffic would.
// KADENZOR_BENCH_LIVE_SECONDS sets the loaded time in all (default 30, at most 120).
#include "BenchUtil.h"
#include "app/TFormMain.h"
#include "core/base/ThreadPriority.h"
#include "core/live/LiveResults.h"
#include "core/race/ProtocolColumns.h"
#include "support/FakePlatform.h"
#include "support/FindControl.h"
#include "ui/widgets/NumberBox.h"
#include "ui/widgets/TSortGrid.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <mutex>

namespace {

constexpr int kRows = 2000;
constexpr int kClients = 50;
constexpr int kPollMs = 100;
constexpr Tick kStartTick = 100000;

// One polling client: a keep-alive connection, one request at a time.
class Poller : public QObject {
public:
    Poller(quint16 port, const std::atomic<bool>& active, std::vector<double>& latencies, std::mutex& mutex,
           std::atomic<int>& failures)
        : m_port(port), m_active(active), m_latencies(latencies), m_mutex(mutex), m_failures(failures) {
        connect(&m_socket, &QTcpSocket::readyRead, this, [this] { Read(); });
        connect(&m_socket, &QTcpSocket::disconnected, this, [this] {
            if (m_waiting)
                ++m_failures;
            m_waiting = false;
        });
        connect(&m_timer, &QTimer::timeout, this, [this] { Poll(); });
        m_timer.start(kPollMs);
    }

    // Closing at the end is no failed request.
    ~Poller() override { m_socket.disconnect(this); }

private:
    void Poll() {
        if (m_waiting || !m_active)
            return; // the answer is late (the next poll waits for it), or a quiet phase
        if (m_socket.state() != QAbstractSocket::ConnectedState) {
            m_socket.abort();
            m_socket.connectToHost(QHostAddress::LocalHost, m_port);
        }
        m_in.clear();
        m_waiting = true;
        m_sent.start();
        m_socket.write("GET /results.json HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    }
    void Read() {
        m_in += m_socket.readAll();
        const qsizetype end = m_in.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const qsizetype at = m_in.indexOf("Content-Length: ");
        const qsizetype length = m_in.mid(at + 16, m_in.indexOf('\r', at) - at - 16).toLongLong();
        if (m_in.size() < end + 4 + length)
            return;
        const double ms = static_cast<double>(m_sent.nsecsElapsed()) / 1e6;
        m_waiting = false;
        if (!m_in.startsWith("HTTP/1.1 200")) {
            ++m_failures;
            return;
        }
        std::lock_guard lock(m_mutex);
        m_latencies.push_back(ms);
    }

    quint16 m_port;
    const std::atomic<bool>& m_active;
    std::vector<double>& m_latencies;
    std::mutex& m_mutex;
    std::atomic<int>& m_failures;
    QTcpSocket m_socket;
    QTimer m_timer;
    QElapsedTimer m_sent;
    QByteArray m_in;
    bool m_waiting = false;
};

// FINISH 10 times a second for `seconds`, each on the next unfinished athlete at a
// known tick; returns the handler times. `wrong` counts recorded times that differ.
std::vector<double> FinishFor(TFormMain& form, FakePlatform& fake, double seconds, int& next, int& wrong) {
    std::vector<double> handler;
    NumberBox* cbStopN = Find<NumberBox>(&form, "cbStopN");
    QAction* mStop = Find<QAction>(&form, "mStop");
    TSortGrid* grid = Find<TSortGrid>(&form, "SortGrid1");
    QEventLoop loop;
    QTimer finish;
    QElapsedTimer running;
    running.start();
    QObject::connect(&finish, &QTimer::timeout, [&] {
        if (running.elapsed() >= seconds * 1000 || next > kRows) {
            loop.quit();
            return;
        }
        const int number = next;
        next += 1;
        const qint32 ms = 600000 + number * 37;
        fake.clock.SetTick(kStartTick + static_cast<Tick>(ms));
        cbStopN->setEditText(QString::number(number));
        handler.push_back(MedianMs(1, [&] { mStop->trigger(); }));
        const int row = grid->FindRow(Col::StNr, QString::number(number));
        if (row < 0 || grid->Cell(Col::Raw, row) != QString::number(ms))
            ++wrong;
    });
    finish.start(100);
    loop.exec();
    return handler;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    bool ok = false;
    const int loaded = std::clamp(qEnvironmentVariableIntValue("KADENZOR_BENCH_LIVE_SECONDS", &ok), 1, 120);
    const double loadedSeconds = ok ? loaded : 30;

    quint16 port = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
    }
    QTemporaryDir dir;
    FakePlatform fake(dir.path() + QLatin1Char('/'), dir.path() + QLatin1Char('/'));
    TSettings settings;
    settings.AutoSort = true;
    settings.WebPort = port;
    settings.WebBind = QStringLiteral("127.0.0.1");
    fake.clock.Set(kStartTick, QDateTime(QDate(2026, 3, 20), QTime(10, 0)));
    TFormMain form(fake.platform, settings);
    form.show();

    TSortGrid* g = Find<TSortGrid>(&form, "SortGrid1");
    g->BeginUpdate();
    g->SetRowCount(kRows + 1);
    for (int r = 1; r <= kRows; ++r) {
        g->SetCell(Col::StNr, r, QString::number(r));
        g->SetCell(Col::Vorname, r, QStringLiteral("Vorname%1").arg(r));
        g->SetCell(Col::Nachname, r, QStringLiteral("Läufer %1").arg(r));
        g->SetCell(Col::Verein, r, QStringLiteral("Verein %1").arg(r % 40));
        g->SetCell(Col::Start, r, QStringLiteral("10:00:00,00"));
        g->SetCell(Col::Platz, r, QStringLiteral("-"));
        g->SetCell(Col::Raw, r, QString::number(kStartTick));
    }
    g->EndUpdate();
    Find<QAction>(&form, "mStart")->trigger();
    {
        QElapsedTimer up;
        up.start();
        while (form.Web().ServerPort() == 0 && up.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    if (form.Web().ServerPort() == 0) {
        std::printf("live server did not start on port %u\n", port);
        return 1;
    }

    int next = 1;
    int wrongQuiet = 0;
    int wrongLoaded = 0;
    std::vector<double> latencies;
    std::mutex mutex;
    std::atomic<int> failures{0};
    std::atomic<bool> active{false};
    QThread clients;
    clients.start();
    QObject there; // a context in the clients' thread
    there.moveToThread(&clients);
    std::vector<Poller*> pollers;
    QMetaObject::invokeMethod(
        &there,
        [&] {
            LowerThisThreadsPriority();
            for (int i = 0; i < kClients; ++i)
                pollers.push_back(new Poller(port, active, latencies, mutex, failures));
        },
        Qt::BlockingQueuedConnection);

    std::vector<double> quiet;
    std::vector<double> busy;
    double seconds = 0;
    const int phases = std::max(1, static_cast<int>(loadedSeconds / 5 + 0.5));
    for (int phase = 0; phase < phases; ++phase) {
        active = false;
        const std::vector<double> q = FinishFor(form, fake, 3, next, wrongQuiet);
        quiet.insert(quiet.end(), q.begin(), q.end());
        active = true;
        QElapsedTimer wall;
        wall.start();
        const std::vector<double> b = FinishFor(form, fake, loadedSeconds / phases, next, wrongLoaded);
        seconds += static_cast<double>(wall.elapsed()) / 1000.0;
        busy.insert(busy.end(), b.begin(), b.end());
    }
    active = false;
    QMetaObject::invokeMethod(
        &there, [&] { qDeleteAll(pollers); }, Qt::BlockingQueuedConnection);
    clients.quit();
    clients.wait();

    // The window's own share: one snapshot after a change (it runs after the handler, never within it).
    int changes = 0;
    const double snapshot = MedianMs(21, [&] {
        g->SetCell(Col::Verein, 1, QStringLiteral("Verein x%1").arg(++changes));
        form.Web().PublishNow();
    });
    const double cellOnly =
        MedianMs(21, [&] { g->SetCell(Col::Verein, 1, QStringLiteral("Verein y%1").arg(++changes)); });

    std::vector<double> served;
    {
        std::lock_guard lock(mutex);
        served = latencies;
    }
    const double quietMedian = Percentile(quiet, 50);
    const double busyMedian = Percentile(busy, 50);
    std::printf("live results, %d rows, %d clients polling /results.json every %d ms for %.1f s, FINISH 10/s\n", kRows,
                kClients, kPollMs, seconds);
    std::printf("  (%d clients at this rate ask at most %d times a second)\n", kClients, kClients * 1000 / kPollMs);
    std::printf("  requests served: %zu (%.0f per second), failed: %d\n", served.size(),
                static_cast<double>(served.size()) / seconds, failures.load());
    std::printf("  response time: median %.2f ms, p99 %.2f ms, max %.2f ms\n", Percentile(served, 50),
                Percentile(served, 99), Percentile(served, 100));
    std::printf("  FINISH handler median: %.2f ms quiet (%zu), %.2f ms under load (%zu); ratio %.2f\n", quietMedian,
                quiet.size(), busyMedian, busy.size(), busyMedian / quietMedian);
    std::printf("  snapshot of the protocol after a change: %.3f ms (the cell write alone %.4f ms)\n", snapshot,
                cellOnly);
    std::printf("  recorded times differing from their ticks: %d quiet, %d under load\n", wrongQuiet, wrongLoaded);
    return 0;
}

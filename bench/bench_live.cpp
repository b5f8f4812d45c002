// Live results for a crowd: 500 pages on the loopback interface, each as a browser
// holds it (a change stream on /events and a keep-alive connection that fetches
// /results.json, gzip, If-None-Match, once per announced change, never two at once),
// 1 000 connections in all, against a protocol of 2 000 rows.
//
// Prints as `figure:` lines
//   live_clients                    connections the server held with every page open
//   live_bytes_per_client_min       bytes a page receives per minute: quiet, and with one FINISH every 10 s
//   live_finish_ratio               FINISH handler median with the pages open / without (goal <= 1.1)
//   live_update_ms                  FINISH to the change message at the page, p99, one FINISH per 10 s
//                                   (goal <= 200), and the same with FINISH ten times a second
// and, for the record, the resident memory per connection and the requests' failures.
// The pages' thread runs at the server's low priority (nice 19): they stand in for phones elsewhere.
// Bytes are those of HTTP (heads and bodies), not of TCP/IP framing.
// KADENZOR_BENCH_LIVE_SECONDS sets the time of FINISH 10/s with and without the pages
// (default 30, at most 120); KADENZOR_BENCH_LIVE_MINUTE the seconds of each byte count (default 60).
#include "BenchUtil.h"
#include "app/TFormMain.h"
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
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <memory>

#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int kRows = 2000;
constexpr int kPages = 500; // two connections each
constexpr Tick kStartTick = 100000;

QElapsedTimer g_clock;                                    // shared by the window's and the pages' thread
std::vector<std::atomic<qint64>> g_finishedAt(kRows + 2); // ns on g_clock, by start number

qint64 ResidentKb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

QByteArray Field(const QByteArray& text, const QByteArray& name) {
    const QByteArray key = "\"" + name + "\":\"";
    const qsizetype at = text.indexOf(key);
    if (at < 0)
        return QByteArray();
    const qsizetype from = at + key.size();
    return text.mid(from, text.indexOf('"', from) - from);
}

// One open page: its change stream and its fetching connection.
class Page : public QObject {
public:
    explicit Page(quint16 port) : m_port(port) {
        connect(&m_stream, &QTcpSocket::readyRead, this, [this] { ReadStream(); });
        connect(&m_fetch, &QTcpSocket::readyRead, this, [this] { ReadFetch(); });
        connect(&m_fetch, &QTcpSocket::disconnected, this, [this] {
            // The server closes a keep-alive connection after its idle time; a fetch under way is lost.
            if (m_fetching)
                ++failures;
            m_fetching = false;
        });
        m_stream.connectToHost(QHostAddress::LocalHost, m_port);
        m_stream.write("GET /events HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: text/event-stream\r\n\r\n");
        m_fetch.connectToHost(QHostAddress::LocalHost, m_port);
    }
    ~Page() override {
        m_stream.disconnect(this);
        m_fetch.disconnect(this);
    }

    qint64 bytes = 0;
    int failures = 0;
    int fetches = 0;
    int fetched = 0; // answered
    std::vector<double> updateMs;

private:
    void ReadStream() {
        const QByteArray got = m_stream.readAll();
        bytes += got.size();
        m_in += got;
        qsizetype end;
        while ((end = m_in.indexOf("\n\n")) >= 0) {
            const QByteArray message = m_in.left(end);
            m_in.remove(0, end + 2);
            const qsizetype data = message.indexOf("data: ");
            if (data < 0)
                continue;
            const int number = Field(message, "number").toInt();
            if (number > 0 && number != m_lastNumber && number <= kRows) {
                m_lastNumber = number;
                const qint64 at = g_finishedAt[static_cast<size_t>(number)].load();
                if (at > 0)
                    updateMs.push_back(static_cast<double>(g_clock.nsecsElapsed() - at) / 1e6);
            }
            const QByteArray tag = Field(message, "tag");
            if (tag != m_tag) {
                m_tag = tag;
                Fetch();
            }
        }
    }
    void Fetch() {
        if (m_fetching) {
            m_again = true;
            return;
        }
        if (m_fetch.state() != QAbstractSocket::ConnectedState && m_fetch.state() != QAbstractSocket::ConnectingState) {
            m_fetch.abort();
            m_fetch.connectToHost(QHostAddress::LocalHost, m_port);
        }
        m_fetching = true;
        ++fetches;
        m_reply.clear();
        m_fetch.write("GET /results.json HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept-Encoding: gzip, deflate\r\n" +
                      (m_etag.isEmpty() ? QByteArray() : "If-None-Match: " + m_etag + "\r\n") + "\r\n");
    }
    void ReadFetch() {
        const QByteArray got = m_fetch.readAll();
        bytes += got.size();
        m_reply += got;
        const qsizetype end = m_reply.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const qsizetype at = m_reply.indexOf("Content-Length: ");
        const qsizetype length =
            at < 0 || at > end ? 0 : m_reply.mid(at + 16, m_reply.indexOf('\r', at) - at - 16).toLongLong();
        if (m_reply.size() < end + 4 + length)
            return;
        if (!m_reply.startsWith("HTTP/1.1 200") && !m_reply.startsWith("HTTP/1.1 304"))
            ++failures;
        const qsizetype tag = m_reply.indexOf("ETag: ");
        if (tag >= 0 && tag < end)
            m_etag = m_reply.mid(tag + 6, m_reply.indexOf('\r', tag) - tag - 6);
        m_reply.remove(0, end + 4 + length);
        m_fetching = false;
        ++fetched;
        if (m_again) {
            m_again = false;
            Fetch();
        }
    }

    quint16 m_port;
    QTcpSocket m_stream;
    QTcpSocket m_fetch;
    QByteArray m_in;
    QByteArray m_reply;
    QByteArray m_tag;
    QByteArray m_etag;
    int m_lastNumber = 0;
    bool m_fetching = false;
    bool m_again = false;
};

// FINISH every `periodMs` for `seconds`, each on the next unfinished athlete at a
// known tick; returns the handler times. `wrong` counts recorded times that differ.
std::vector<double> FinishFor(TFormMain& form, FakePlatform& fake, double seconds, int periodMs, int& next,
                              int& wrong) {
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
        g_finishedAt[static_cast<size_t>(number)].store(g_clock.nsecsElapsed());
        handler.push_back(MedianMs(1, [&] { mStop->trigger(); }));
        const int row = grid->FindRow(Col::StNr, QString::number(number));
        if (row < 0 || grid->Cell(Col::Raw, row) != QString::number(ms))
            ++wrong;
    });
    finish.start(periodMs);
    loop.exec();
    return handler;
}

// Waits (with the window's events running) until `done` or `ms` passed.
template <typename F>
bool WaitFor(F&& done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    g_clock.start();
    bool ok = false;
    const int loaded = std::clamp(qEnvironmentVariableIntValue("KADENZOR_BENCH_LIVE_SECONDS", &ok), 1, 120);
    const double loadedSeconds = ok ? loaded : 30;
    const int minute = std::clamp(qEnvironmentVariableIntValue("KADENZOR_BENCH_LIVE_MINUTE", &ok), 5, 300);
    const double minuteSeconds = ok ? minute : 60;

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
    if (!WaitFor([&] { return form.Web().ServerPort() != 0; }, 5000)) {
        std::printf("live server did not start on port %u\n", port);
        return 1;
    }

    QThread clients;
    clients.start();
    QObject there; // a context in the pages' thread
    there.moveToThread(&clients);
    QMetaObject::invokeMethod(
        &there, [] { setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19); }, Qt::BlockingQueuedConnection);
    std::vector<std::unique_ptr<Page>> pages;
    const auto open = [&] {
        QMetaObject::invokeMethod(
            &there,
            [&] {
                for (int i = 0; i < kPages; ++i)
                    pages.push_back(std::make_unique<Page>(port));
            },
            Qt::BlockingQueuedConnection);
        // A loaded machine may take a while to let the last crowd go and the new one in.
        return WaitFor([&] { return form.Web().StreamCount() == kPages; }, 60000);
    };
    const auto close = [&] {
        QMetaObject::invokeMethod(
            &there, [&] { pages.clear(); }, Qt::BlockingQueuedConnection);
        WaitFor([&] { return form.Web().ConnectionCount() == 0; }, 60000);
    };
    // Totals over the pages, read in their thread; `reset` starts the next count.
    struct Totals {
        qint64 bytes = 0;
        int failures = 0;
        int fetches = 0;
        int fetched = 0;
        std::vector<double> updateMs;
    };
    const auto totals = [&](bool reset) {
        Totals t;
        QMetaObject::invokeMethod(
            &there,
            [&] {
                for (auto& p : pages) {
                    t.bytes += p->bytes;
                    t.failures += p->failures;
                    t.fetches += p->fetches;
                    t.fetched += p->fetched;
                    t.updateMs.insert(t.updateMs.end(), p->updateMs.begin(), p->updateMs.end());
                    if (reset) {
                        p->bytes = p->failures = p->fetches = 0;
                        p->updateMs.clear();
                    }
                }
            },
            Qt::BlockingQueuedConnection);
        return t;
    };

    int next = 1;
    int wrongQuiet = 0;
    int wrongLoaded = 0;

    // Every page open: what the server holds and what each costs in memory.
    const qint64 rssBefore = ResidentKb();
    if (!open()) {
        std::printf("only %d of %d change streams opened\n", form.Web().StreamCount(), kPages);
        close();
        return 1;
    }
    // Each page fetches the list once on opening; the quiet count starts when all have it.
    WaitFor([&] { return totals(false).fetched >= kPages; }, 60000);
    WaitFor([] { return false; }, 1000);
    const int held = form.Web().ConnectionCount();
    const qint64 rssAfter = ResidentKb();
    totals(true);

    // A quiet minute: nothing changes.
    WaitFor([] { return false; }, static_cast<int>(minuteSeconds * 1000));
    const Totals quietMinute = totals(true);
    // A minute of one FINISH every 10 s.
    FinishFor(form, fake, minuteSeconds, 10000, next, wrongLoaded);
    WaitFor([] { return false; }, 500);
    const Totals slowMinute = totals(true);
    const double perMinute = 60.0 / minuteSeconds / kPages;

    // FINISH ten times a second, with and without the pages, in turns (3 s without, 5 s with),
    // so that a change of the machine's load during the run falls on both alike.
    std::vector<double> quiet;
    std::vector<double> busy;
    Totals fast;
    const int phases = std::max(1, static_cast<int>(loadedSeconds / 5 + 0.5));
    for (int phase = 0; phase < phases; ++phase) {
        if (phase > 0 && !open())
            std::printf("  (only %d of %d change streams open in phase %d)\n", form.Web().StreamCount(), kPages, phase);
        totals(true);
        const std::vector<double> b = FinishFor(form, fake, loadedSeconds / phases, 100, next, wrongLoaded);
        busy.insert(busy.end(), b.begin(), b.end());
        WaitFor([] { return false; }, 300);
        Totals t = totals(true);
        fast.bytes += t.bytes;
        fast.failures += t.failures;
        fast.fetches += t.fetches;
        fast.updateMs.insert(fast.updateMs.end(), t.updateMs.begin(), t.updateMs.end());
        close();
        const std::vector<double> q = FinishFor(form, fake, 3, 100, next, wrongQuiet);
        quiet.insert(quiet.end(), q.begin(), q.end());
    }
    clients.quit();
    clients.wait();

    const std::vector<double>& updates = slowMinute.updateMs;
    const double quietMedian = Percentile(quiet, 50);
    const double busyMedian = Percentile(busy, 50);
    std::printf("live results, %d rows, %d pages (change stream + fetching connection each)\n", kRows, kPages);
    std::printf("  resident memory: %lld KiB more with the pages open, pages' sockets included\n",
                static_cast<long long>(rssAfter - rssBefore));
    std::printf("  quiet: %lld bytes to all pages in %.0f s; one FINISH per 10 s: %lld bytes, %d fetches\n",
                static_cast<long long>(quietMinute.bytes), minuteSeconds, static_cast<long long>(slowMinute.bytes),
                slowMinute.fetches);
    std::printf("  FINISH 10/s: %d fetches, %lld bytes, %d failed requests; FINISH handler median %.3f ms with the "
                "pages (%zu), %.3f ms without (%zu)\n",
                fast.fetches, static_cast<long long>(fast.bytes), fast.failures + slowMinute.failures, busyMedian,
                busy.size(), quietMedian, quiet.size());
    std::printf("  FINISH to change message, one FINISH per 10 s: median %.1f ms, p99 %.1f ms, max %.1f ms (%zu)\n",
                Percentile(updates, 50), Percentile(updates, 99), Percentile(updates, 100), updates.size());
    std::printf("  FINISH to change message, FINISH 10/s: median %.1f ms, p99 %.1f ms, max %.1f ms (%zu)\n",
                Percentile(fast.updateMs, 50), Percentile(fast.updateMs, 99), Percentile(fast.updateMs, 100),
                fast.updateMs.size());
    std::printf("  recorded times differing from their ticks: %d without pages, %d with\n", wrongQuiet, wrongLoaded);
    std::printf("figure: live_clients = %d\n", held);
    std::printf("figure: live_rss_per_client_kb = %.1f\n",
                static_cast<double>(rssAfter - rssBefore) / std::max(1, held));
    std::printf("figure: live_bytes_per_client_min_quiet = %.0f\n", static_cast<double>(quietMinute.bytes) * perMinute);
    std::printf("figure: live_bytes_per_client_min_finish_10s = %.0f\n",
                static_cast<double>(slowMinute.bytes) * perMinute);
    std::printf("figure: live_finish_ratio = %.2f\n", busyMedian / quietMedian);
    std::printf("figure: live_update_ms = %.1f\n", Percentile(updates, 99));
    std::printf("figure: live_update_ms_finish_10_per_s = %.1f\n", Percentile(fast.updateMs, 99));
    return wrongQuiet + wrongLoaded == 0 ? 0 : 1;
}

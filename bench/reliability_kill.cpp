// Reliability check, run by hand (not in CI): a simulated 500-athlete
// individual-start race in the real main window with the fake clock is killed
// with SIGKILL at random moments and restarted from its backups each time.
// Every impulse whose handler had returned before the kill must be found in the
// restored tables, and in the impulse journal exactly once (an impulse whose handler
// the kill interrupted is made again after the restart and may be there twice).
// Prints the number of impulses lost (goal: 0).
//
//   reliability_kill [kills=200] [seed=1]
#include "app/TFormMain.h"
#include "core/base/TimeText.h"
#include "core/race/JournalEntry.h"
#include "core/race/ProtocolColumns.h"
#include "support/FakePlatform.h"
#include "support/FindControl.h"
#include "ui/widgets/NumberBox.h"
#include "ui/widgets/TSortGrid.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <cstdio>
#include <map>
#include <random>
#include <set>
#include <vector>

namespace {

struct Impulse {
    bool start;
    int athlete;
};

// START 1..500, each athlete finishing five starts later.
std::vector<Impulse> Schedule() {
    std::vector<Impulse> s;
    for (int a = 1; a <= 500; ++a) {
        s.push_back({true, a});
        if (a > 5)
            s.push_back({false, a - 5});
    }
    for (int a = 496; a <= 500; ++a)
        s.push_back({false, a});
    return s;
}

int Child(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[2]);
    const int acked = atoi(argv[3]);
    const std::vector<Impulse> plan = Schedule();

    FakePlatform fake(folder, folder);
    auto at = [](int i) { return QDateTime(QDate(2026, 3, 20), QTime(9, 0)).addMSecs(qint64(i) * 3000); };
    fake.clock.Set(1000 + Tick(acked) * 3000, at(acked));
    TFormMain form(fake.platform);

    // Everything acknowledged before the kill must have come back from the backups.
    int lost = 0;
    TSortGrid* p = Find<TSortGrid>(&form, "SortGrid1");
    for (int i = 0; i < acked; ++i) {
        const int row = p->FindRow(Col::StNr, QString::number(plan[i].athlete));
        const int col = plan[i].start ? Col::Start : Col::Zeit;
        if (row < 1 || !HasTimeText(p->Cell(col, row)))
            ++lost;
    }
    std::printf("LOST %d\n", lost);
    // The journal has every acknowledged impulse, each once; its tick names it.
    std::map<quint32, int> journaled;
    QFile journal(folder + QStringLiteral("Kadenzor-Journal.txt"));
    if (journal.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : journal.readAll().split('\n')) {
            JournalEntry e;
            if (ParseJournalLine(line, e) &&
                (e.event == JournalEvent::Start || e.event == JournalEvent::Finish || e.event == JournalEvent::Queued))
                ++journaled[e.tick];
        }
    }
    int missing = 0;
    for (int i = 0; i < acked; ++i) {
        const int n = journaled[1000 + Tick(i) * 3000];
        if (n == 0)
            ++missing;
        else if (n > 1)
            std::printf("TWICE %d\n", i);
    }
    std::printf("MISSING %d\n", missing);
    std::fflush(stdout);

    for (size_t i = static_cast<size_t>(acked); i < plan.size(); ++i) {
        fake.clock.Set(1000 + Tick(i) * 3000, at(static_cast<int>(i)));
        if (plan[i].start) {
            Find<NumberBox>(&form, "cbStartN")->setEditText(QString::number(plan[i].athlete));
            Find<QAction>(&form, "mStart")->trigger();
        } else {
            Find<NumberBox>(&form, "cbStopN")->setEditText(QString::number(plan[i].athlete));
            Find<QAction>(&form, "mStop")->trigger();
        }
        std::printf("ACK %zu\n", i + 1);
        std::fflush(stdout);
    }
    std::printf("DONE\n");
    std::fflush(stdout);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && QByteArray(argv[1]) == "child")
        return Child(argc, argv);

    QCoreApplication app(argc, argv);
    const int kills = argc > 1 ? atoi(argv[1]) : 200;
    std::mt19937 rng(argc > 2 ? atoi(argv[2]) : 1);
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    int acked = 0;
    int lost = 0;
    int missing = 0;
    int doubled = 0;
    std::set<int> twice;    // impulses found twice in the journal
    std::set<int> inFlight; // impulses whose handler a kill may have interrupted
    int killed = 0;
    int rounds = 0;
    while (killed < kills) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("child"), folder, QString::number(acked)});
        if (!child.waitForStarted()) {
            std::printf("cannot start the child\n");
            return 2;
        }
        ++rounds;
        const int killAfter = static_cast<int>(rng() % 1500);
        QByteArray out;
        bool done = false;
        QElapsedTimer since;
        bool ready = false;
        while (!done) {
            child.waitForReadyRead(20);
            out += child.readAllStandardOutput();
            qsizetype nl;
            while ((nl = out.indexOf('\n')) >= 0) {
                const QByteArray line = out.left(nl);
                out.remove(0, nl + 1);
                if (line.startsWith("LOST ")) {
                    lost += line.mid(5).toInt();
                    ready = true;
                    since.start();
                } else if (line.startsWith("MISSING ")) {
                    missing += line.mid(8).toInt();
                } else if (line.startsWith("TWICE ")) {
                    twice.insert(line.mid(6).toInt());
                } else if (line.startsWith("ACK ")) {
                    acked = line.mid(4).toInt();
                } else if (line == "DONE") {
                    done = true;
                }
            }
            if (child.state() == QProcess::NotRunning)
                break;
            if (ready && since.elapsed() >= killAfter) {
                ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
                child.waitForFinished();
                // Acknowledgements written before the kill may still be in the pipe.
                out += child.readAllStandardOutput();
                for (const QByteArray& line : out.split('\n'))
                    if (line.startsWith("ACK "))
                        acked = line.mid(4).toInt();
                inFlight.insert(acked);
                ++killed;
                break;
            }
        }
        if (done || acked >= static_cast<int>(Schedule().size())) {
            child.waitForFinished();
            acked = 0; // a new race in a fresh folder
            for (const int i : twice)
                doubled += inFlight.count(i) ? 0 : 1;
            twice.clear();
            inFlight.clear();
            QDir(folder).removeRecursively();
            QDir().mkpath(folder);
        }
    }
    for (const int i : twice)
        doubled += inFlight.count(i) ? 0 : 1;
    std::printf("%d kills in %d runs of a 500-athlete race: %d recorded impulses lost\n", killed, rounds, lost);
    std::printf("journal: %d acknowledged impulses missing, %d twice (an impulse interrupted by a kill may be)\n",
                missing, doubled);
    return lost == 0 && missing == 0 && doubled == 0 ? 0 : 1;
}

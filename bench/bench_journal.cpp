// The journal's cost: one line appended and synced (median, p99) against the bare
// write of the same bytes, and FINISH with automatic ranking on a protocol of
// 10 000 rows with the journal and with the journal's file blocked (its write fails at
// once), which leaves everything else of the handler as it is.
#include "BenchUtil.h"
#include "app/TFormMain.h"
#include "core/base/TimeText.h"
#include "core/race/Journal.h"
#include "core/race/ProtocolColumns.h"
#include "support/FakePlatform.h"
#include "support/FindControl.h"
#include "ui/widgets/NumberBox.h"
#include "ui/widgets/TSortGrid.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <unistd.h>

namespace {

JournalEntry FinishLine(int i) {
    JournalEntry e;
    e.date = QDate(2026, 3, 20);
    e.clock = QTime(10, 30).addMSecs(i * 997);
    e.tick = 1800000u + static_cast<quint32>(i) * 997u;
    e.hasTick = true;
    e.event = JournalEvent::Finish;
    e.source = JournalSource::Contact;
    e.number = QString::number(i);
    e.time = QStringLiteral("10:30:%1,00").arg(i % 60, 2, 10, QLatin1Char('0'));
    e.Add("Zeile", QString::number(i)).Add("Zeit", "30:00,00").Add("Split", "").Add("Roh", "1800000");
    return e;
}

std::vector<double> FinishTimes(FakePlatform& fake, TFormMain& form, int runs, int first) {
    // Each run finishes another athlete: `first`, `first` + 2, ...
    std::vector<double> times;
    int next = first;
    NumberBox* cbStopN = Find<NumberBox>(&form, "cbStopN");
    QAction* mStop = Find<QAction>(&form, "mStop");
    for (int i = 0; i < runs; ++i, next += 2) {
        fake.clock.Advance(1800000 + 997 * i);
        cbStopN->setEditText(QString::number(next));
        times.push_back(MedianMs(1, [&] { mStop->trigger(); }));
        fake.clock.Advance(-1800000 - 997 * i);
    }
    return times;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Next to the build, on the disk a race would use, not on a memory file system.
    QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/bench-journal-XXXXXX"));
    const QString folder = dir.path() + QLatin1Char('/');

    // 1. One line, appended and synced.
    {
        Journal journal;
        journal.SetFolder(folder);
        journal.Append(FinishLine(0)); // creates the file
        std::vector<double> synced;
        for (int i = 1; i <= 400; ++i)
            synced.push_back(MedianMs(1, [&] { journal.Append(FinishLine(i)); }));
        const QByteArray line = FormatJournalLine(FinishLine(1));
        const int fd = ::open(QFile::encodeName(folder + "bare.txt").constData(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        std::vector<double> bare;
        for (int i = 0; i < 400; ++i)
            bare.push_back(MedianMs(1, [&] {
                if (::write(fd, line.constData(), static_cast<size_t>(line.size())) < 0)
                    std::perror("write");
            }));
        ::close(fd);
        std::printf("journal line (%lld bytes) append + fdatasync: median %.3f ms, p99 %.3f ms\n",
                    static_cast<long long>(line.size()), Percentile(synced, 50), Percentile(synced, 99));
        std::printf("  bare write without sync: median %.4f ms; synced / bare = %.0f\n", Percentile(bare, 50),
                    Percentile(synced, 50) / Percentile(bare, 50));
        QFile::remove(folder + "Kadenzor-Journal.txt");
    }

    // 2. FINISH with AutoSort on 10 000 rows, with and without the journal.
    FakePlatform fake(folder, folder);
    TSettings settings;
    settings.AutoSort = true;
    TFormMain form(fake.platform, settings);
    form.show();
    constexpr int kRows = 10000;
    TSortGrid* g = Find<TSortGrid>(&form, "SortGrid1");
    std::mt19937 rng(7);
    g->BeginUpdate();
    g->SetRowCount(kRows + 1);
    for (int r = 1; r <= kRows; ++r) {
        g->SetCell(Col::StNr, r, QString::number(r));
        g->SetCell(Col::Nachname, r, QStringLiteral("Läufer %1").arg(r));
        g->SetCell(Col::Start, r, QStringLiteral("10:00:00,00"));
        if (r % 2 == 0) {
            const int t = 1800000 + static_cast<int>(rng() % 1800000);
            g->SetCell(Col::Zeit, r, TimeToText(t, 2));
            g->SetCell(Col::Raw, r, QString::number(t));
        } else {
            g->SetCell(Col::Platz, r, QStringLiteral("-"));
            g->SetCell(Col::Raw, r, QString::number(100000));
        }
    }
    g->EndUpdate();
    fake.clock.Set(100000, QDateTime(QDate(2026, 3, 20), QTime(10, 0)));
    Find<QAction>(&form, "mStart")->trigger();

    // Short blocks in turn, with the journal and without, so that a slow phase of the
    // shared machine hits both alike. The first FINISH of a block is left out: after a
    // block without, the journal is created anew (header line and folder synced).
    constexpr int kBlocks = 12;
    constexpr int kPerBlock = 8;
    std::vector<double> with, without;
    int first = 1;
    for (int block = 0; block < kBlocks; ++block) {
        const bool blocked = block % 2 == 1;
        if (blocked) {
            QFile::remove(folder + "Kadenzor-Journal.txt");
            QDir(folder).mkdir("Kadenzor-Journal.txt"); // the journal cannot be opened: it writes nothing
        }
        const std::vector<double> t = FinishTimes(fake, form, kPerBlock, first);
        first += 2 * kPerBlock;
        (blocked ? without : with).insert((blocked ? without : with).end(), t.begin() + 1, t.end());
        if (blocked)
            QDir(folder).rmdir("Kadenzor-Journal.txt");
    }
    const double mw = Percentile(with, 50), mwo = Percentile(without, 50);
    std::printf("FINISH with AutoSort, %d rows: with journal median %.2f ms (p90 %.2f), without %.2f ms (p90 %.2f)\n",
                kRows, mw, Percentile(with, 90), mwo, Percentile(without, 90));
    std::printf("  the journal adds %.2f ms to the median; with / without = %.3f\n", mw - mwo, mw / mwo);
    return 0;
}

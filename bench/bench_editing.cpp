// Protocol corrections on 10 000 rows with AutoSort, backups included: "Zeit löschen",
// a time correction by Enter in "Zeit", and Ctrl+A; the ranking alone as the baseline.
#include "BenchUtil.h"
#include "app/TFormMain.h"
#include "core/base/TimeText.h"
#include "core/race/ProtocolColumns.h"
#include "support/FakePlatform.h"
#include "support/FindControl.h"
#include "ui/tables/ProtocolEditing.h"
#include "ui/tables/ProtocolTable.h"
#include "ui/widgets/TSortGrid.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <cstdio>
#include <random>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    FakePlatform fake(dir.path() + QLatin1Char('/'), dir.path() + QLatin1Char('/'));
    TSettings settings;
    settings.AutoSort = true;
    TFormMain form(fake.platform, settings);
    form.show();

    constexpr int kRows = 10000;
    TSortGrid* g = Find<TSortGrid>(&form, "SortGrid1");
    std::mt19937 rng(7);
    auto fill = [&] {
        g->BeginUpdate();
        g->SetRowCount(kRows + 1);
        for (int r = 1; r <= kRows; ++r) {
            const int t = 1800000 + static_cast<int>(rng() % 1800000);
            g->SetRows(r, {QStringLiteral("-"), QString::number(r), QStringLiteral("Läufer %1").arg(r), QString(),
                           QString(), QString(), QString(), QString(), QStringLiteral("10:00:00,00"), QString(),
                           TimeToText(t, 2), QString(), QString::number(t)});
        }
        g->EndUpdate();
    };
    fill();
    form.Protocol().RankProtocol();
    ProtocolEditing& e = form.Editing();

    int row = 1;
    const double clear = MedianMs(21, [&] {
        g->GoToCell(Col::Platz, row++, false);
        e.Zeitloschen1Click();
    });
    const double correct = MedianMs(21, [&] {
        g->GoToCell(Col::Zeit, row, false);
        g->SetCell(Col::Zeit, row++, TimeToText(1800000 + static_cast<int>(rng() % 1800000), 2));
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
        bool handled = false;
        e.SortGrid1KeyDown(&enter, handled);
    });
    const double copy = MedianMs(21, [&] { e.mCopyAllClick(); });
    const double ranking = MedianMs(21, [&] { form.Protocol().RankProtocol(); });
    const double backups = MedianMs(21, [&] { form.WriteBackups(); });

    std::printf("%d rows, AutoSort, backups included (medians of 21):\n", kRows);
    std::printf("  Zeit loeschen: %.2f ms\n  time correction (Enter in Zeit): %.2f ms\n  Ctrl+A copy: %.2f ms\n", clear,
                correct, copy);
    std::printf("  baseline ranking alone: %.2f ms, both backups alone: %.2f ms\n", ranking, backups);
    std::printf("  Zeit loeschen / (ranking + backups) = %.2f\n", clear / (ranking + backups));
    return 0;
}

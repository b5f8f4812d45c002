#include "BenchUtil.h"
#include "ui/widgets/TSortGrid.h"

#include <QApplication>
#include <QFont>
#include <cstdio>
#include <memory>

// Painting one screen of a 10 000-row protocol and scrolling it row by row,
// against the same for a 20-row grid: painting only the visible rows keeps the
// ratio near 1.
namespace {

std::unique_ptr<TSortGrid> MakeGrid(int rows) {
    auto grid = std::make_unique<TSortGrid>();
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(13);
    grid->setFont(font);
    grid->SetDefaultRowHeight(18);
    grid->BeginUpdate();
    grid->SetColCount(13);
    grid->SetRowCount(rows);
    for (int r = 1; r < rows; ++r) {
        grid->SetRows(r,
                      {QString::number(r), QString::number(r + 100), QStringLiteral("Vorname"),
                       QStringLiteral("Nachname %1").arg(r), QStringLiteral("1990"), QStringLiteral("Verein"),
                       QStringLiteral("Klasse"), QString(), QStringLiteral("9:00:00,00"), QStringLiteral("9:30:00,00"),
                       QStringLiteral("30:00,00"), QStringLiteral("+1,00"), QString::number(r * 1000)});
    }
    grid->EndUpdate();
    for (int c = 0; c < 13; ++c)
        grid->SetColWidths(c, c == 12 ? -1 : 56);
    grid->resize(760, 520);
    grid->show();
    QApplication::processEvents();
    return grid;
}

struct Figures {
    double screen = 0;
    double scroll = 0;
};

Figures Measure(TSortGrid& grid) {
    Figures f;
    f.screen = MedianMs(51, [&] { grid.viewport()->repaint(); });
    const int steps = std::max(1, std::min(10, grid.Data().MaxTopRow() - 1));
    f.scroll = MedianMs(51,
                        [&] {
                            for (int i = 0; i < steps; ++i) {
                                grid.SetTopRow(grid.TopRow() + 1);
                                grid.viewport()->repaint();
                            }
                            grid.SetTopRow(1);
                            grid.viewport()->repaint();
                        }) /
               (steps + 1);
    return f;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    auto large = MakeGrid(10000);
    auto small = MakeGrid(20);
    // One round each first, so that font caches are warm for both.
    Measure(*large);
    Measure(*small);
    const Figures big = Measure(*large);
    const Figures base = Measure(*small);
    std::printf("10000-row grid: one screen %.3f ms, one scroll step %.3f ms (median)\n", big.screen, big.scroll);
    std::printf("20-row grid (baseline): one screen %.3f ms, one scroll step %.3f ms (median)\n", base.screen,
                base.scroll);
    std::printf("ratio 10000/20 rows: screen %.2f, scroll %.2f\n", big.screen / base.screen, big.scroll / base.scroll);
    return 0;
}

// Start lists and protocol backups as text: reading must survive anything, never
// fill the raw column, and a written backup must read back to the same file.

#include "FuzzUtil.h"
#include "core/files/GridTextFile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QString input = ScratchFile(".txt");
    static const QString first = ScratchFile("-1.txt");
    static const QString second = ScratchFile("-2.txt");
    WriteScratch(input, data, size);

    SortGridData grid;
    MakeFuzzProtocol(grid);
    if (!LoadProtocolText(grid, input, FuzzCaptions()))
        std::abort();
    for (int r = 0; r < grid.RowCount(); ++r)
        if (!grid.Cell(12, r).isEmpty())
            std::abort();

    // After one write and read the text is settled: writing and reading it again
    // must give the same file. (The first round may still drop rows, for example
    // blank-only finish rows, which the finish reader skips.)
    const QString files[2] = {first, second};
    QByteArray previous;
    for (int round = 0; round < 3; ++round) {
        if (round > 0) {
            SortGridData next;
            MakeFuzzProtocol(next);
            if (!LoadProtocolText(next, files[(round - 1) % 2], FuzzCaptions()))
                std::abort();
            grid.SetRowCount(next.RowCount());
            for (int r = 0; r < next.RowCount(); ++r)
                grid.SetRows(r, next.Rows(r));
        }
        const QString& out = files[round % 2];
        if (!WriteGridText(grid, out))
            std::abort();
        const QByteArray bytes = ReadScratch(out);
        // A file that happens to start with the bytes of a byte order mark reads as UTF-8.
        if (bytes.startsWith("\xEF\xBB\xBF"))
            return 0;
        if (round == 2 && bytes != previous)
            std::abort();
        previous = bytes;
    }
    return 0;
}

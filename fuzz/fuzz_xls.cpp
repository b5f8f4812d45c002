// .xls start lists: any bytes give a table or a German message, never a crash.

#include "FuzzUtil.h"
#include "core/files/SpreadsheetReader.h"

#include <QCoreApplication>

#include <cstdlib>

// The reader starts kadenzor-xls-reader through QProcess, which wants an application object.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QString input = ScratchFile(".xls");
    WriteScratch(input, data, size);
    SortGridData grid;
    MakeFuzzProtocol(grid);
    QString error;
    if (!LoadStartListSpreadsheet(grid, input, FuzzCaptions(), &error)) {
        if (!error.startsWith(QStringLiteral("Die Datei »")))
            std::abort();
        return 0;
    }
    for (int r = 0; r < grid.RowCount(); ++r)
        if (!grid.Cell(12, r).isEmpty())
            std::abort();
    return 0;
}

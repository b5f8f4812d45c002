// .xlsx start lists: any bytes give a table or a German message, never a crash.

#include "FuzzUtil.h"
#include "core/files/SpreadsheetReader.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    SheetTexts sheet;
    QString reason;
    if (!ReadXlsxSheet(bytes, sheet, &reason)) {
        if (reason.isEmpty())
            std::abort();
        return 0;
    }
    SortGridData grid;
    MakeFuzzProtocol(grid);
    ApplyStartListSheet(grid, sheet, FuzzCaptions());
    for (int r = 0; r < grid.RowCount(); ++r)
        if (!grid.Cell(12, r).isEmpty())
            std::abort();
    return 0;
}

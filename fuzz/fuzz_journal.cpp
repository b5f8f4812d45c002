// The journal after a power cut or a damaged disk: the replay must survive any bytes,
// and every line it reads back must be written again as the same line.

#include "FuzzUtil.h"
#include "core/race/JournalEntry.h"
#include "core/race/JournalReplay.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    SortGridData protocol;
    MakeFuzzProtocol(protocol);
    SortGridData finish(4, 2);
    finish.SetRows(0, {"", "Kontakt", "Nr", ""});
    const JournalReplayResult result = ReplayJournal(bytes, protocol, finish);
    if (result.skipped < 0 || protocol.ColCount() != 13 || finish.ColCount() != 4)
        std::abort();

    for (const QByteArray& line : bytes.split('\n')) {
        JournalEntry entry;
        if (!ParseJournalLine(line, entry))
            continue;
        // A line that reads is written back the same way; its second reading is settled.
        JournalEntry again;
        const QByteArray written = FormatJournalLine(entry);
        if (!written.endsWith("\r\n") || !ParseJournalLine(written.chopped(2), again))
            std::abort();
        if (FormatJournalLine(again) != written)
            std::abort();
    }
    return 0;
}

#include "core/race/DuplicateNumbers.h"

#include "core/grid/SortGridData.h"
#include "core/race/ProtocolColumns.h"

#include <QHash>

QString TimesText(int count) {
    static const char* const words[] = {"zweimal",   "dreimal", "viermal", "fünfmal", "sechsmal",
                                        "siebenmal", "achtmal", "neunmal", "zehnmal"};
    if (count >= 2 && count <= 10)
        return QString::fromUtf8(words[count - 2]);
    return QStringLiteral("%1-mal").arg(count);
}

QStringList DuplicateNumberTexts(const SortGridData& protocol) {
    QHash<QString, int> counts;
    QStringList order;
    for (int row = 1; row < protocol.RowCount(); ++row) {
        const QString number = protocol.Cell(Col::StNr, row).trimmed();
        if (number.isEmpty())
            continue;
        if (counts[number]++ == 0)
            order << number;
    }
    QStringList lines;
    for (const QString& number : order)
        if (counts[number] > 1)
            lines << QStringLiteral("Startnummer %1 kommt %2 vor").arg(number, TimesText(counts[number]));
    return lines;
}

#include "core/race/ProtocolEdits.h"

#include "core/grid/SortGridData.h"
#include "core/race/ProtocolColumns.h"

namespace ProtocolEdits {

namespace {

bool AllDigits(QStringView s) {
    for (const QChar c : s)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return !s.isEmpty();
}

QString Example(int fractionDigits) {
    switch (fractionDigits) {
    case 0:
        return QStringLiteral("10:05");
    case 1:
        return QStringLiteral("10:05,2");
    default:
        return QStringLiteral("10:05,23");
    }
}

TimeValue ClockValue(const QString& clock, int fractionDigits) {
    return TextToTime(clock.trimmed(), fractionDigits);
}

} // namespace

bool ReadTypedTime(const QString& text, int fractionDigits, TimeValue& value) {
    const QString t = text.trimmed();
    if (t.isEmpty() || t.count(QLatin1Char(',')) > 1)
        return false;
    const qsizetype comma = t.indexOf(QLatin1Char(','));
    const QStringView whole = comma < 0 ? QStringView(t) : QStringView(t).left(comma);
    const QStringView fraction = comma < 0 ? QStringView() : QStringView(t).mid(comma + 1);
    if (comma >= 0 && (fraction.size() > 2 || !AllDigits(fraction)))
        return false;
    // Without a comma TextToTime would read the last digits as the fraction.
    if (comma < 0 && fractionDigits != 0)
        return false;

    const QList<QStringView> fields = whole.split(QLatin1Char(':'));
    if (fields.size() > 3)
        return false;
    TimeValue computed = 0;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const QStringView f = fields[i];
        if (!AllDigits(f) || f.size() > 2 || (i > 0 && f.size() != 2))
            return false;
        const int v = f.toInt();
        if (i > 0 && v > 59)
            return false;
        computed = computed * 60 + v;
    }
    computed *= 1000;
    if (!fraction.isEmpty() && fractionDigits == 2)
        computed += fraction.size() == 1 ? fraction.toInt() * 100 : fraction.toInt() * 10;
    else if (!fraction.isEmpty() && fractionDigits == 1)
        computed += fraction.left(1).toInt() * 100;

    // The cell is read back with TextToTime later: both readings must agree.
    if (TextToTime(t, fractionDigits) != computed)
        return false;
    value = computed;
    return true;
}

QString DroppedEditText() {
    return QStringLiteral("Bearbeitung verworfen: Zelle wurde vom Programm geändert");
}

QString TypedTimeError(const QString& text, int fractionDigits) {
    return QStringLiteral("Zeit \"%1\" nicht übernommen: keine gültige Zeit (Beispiel %2). Die alte Zeit bleibt.")
        .arg(text, Example(fractionDigits));
}

QString FinishClockText(TimeValue startClock, TimeValue runningTime) {
    const qint64 sum = static_cast<qint64>(startClock) + runningTime;
    const TimeValue clock = static_cast<TimeValue>(((sum % kDay) + kDay) % kDay);
    // Written as every clock text the program records: " 5:41:25,91".
    return ClockText(QTime::fromMSecsSinceStartOfDay(clock));
}

bool RunningTimeFromClocks(const QString& finishClock, const QString& startClock, int fractionDigits,
                           TimeValue& runningTime) {
    if (!HasTimeText(finishClock) || !HasTimeText(startClock))
        return false;
    TimeValue d = ClockValue(finishClock, fractionDigits) - ClockValue(startClock, fractionDigits);
    if (d < 0)
        d += kDay; // finished after midnight
    if (d == 0)
        return false;
    runningTime = d;
    return true;
}

void ClearResults(SortGridData& grid, int row) {
    grid.SetCell(Col::Platz, row, QString());
    for (int col = Col::KlPl; col <= Col::Raw; ++col)
        grid.SetCell(col, row, QString());
}

void ClearAllResults(SortGridData& grid) {
    for (int row = 1; row < grid.RowCount(); ++row)
        ClearResults(grid, row);
}

bool CorrectRunningTime(SortGridData& grid, int row, int fractionDigits, QString& error) {
    const QString typed = grid.Cell(Col::Zeit, row);
    TimeValue t = 0;
    if (!ReadTypedTime(typed, fractionDigits, t)) {
        error = TypedTimeError(typed, fractionDigits);
        return false;
    }
    // Written as every other time, so that the ranking's text order is the time order.
    grid.SetCell(Col::Zeit, row, TimeToText(t, fractionDigits));
    const QString start = grid.Cell(Col::Start, row);
    if (HasTimeText(start))
        grid.SetCell(Col::Stopp, row, FinishClockText(ClockValue(start, fractionDigits), t));
    grid.SetCell(Col::Split, row, QString());
    bool ok = false;
    const qint32 raw = grid.Cell(Col::Raw, row).trimmed().toInt(&ok);
    if (!ok || raw < 0 || TimeToText(raw, fractionDigits) != TimeToText(t, fractionDigits))
        grid.SetCell(Col::Raw, row, QString::number(t));
    return true;
}

bool HasResult(const SortGridData& grid, int row) {
    return HasTimeText(grid.Cell(Col::Zeit, row)) || HasTimeText(grid.Cell(Col::Stopp, row));
}

int FindOtherRow(const SortGridData& grid, const QString& number, int except) {
    for (int row = 1; row < grid.RowCount(); ++row)
        if (row != except && grid.Cell(Col::StNr, row) == number)
            return row;
    return -1;
}

bool PrepareResultMove(const SortGridData& grid, ResultMove& move, int fractionDigits, QString& error) {
    const QString prefix =
        QStringLiteral("Ergebnis nicht zur Startnummer %1 verschoben: ").arg(grid.Cell(Col::StNr, move.to));
    if (!HasTimeText(grid.Cell(Col::Zeit, move.from))) {
        error = prefix + QStringLiteral("die Zeile %1 hat keine Zeit.").arg(move.from);
        return false;
    }
    if (move.massStart)
        return true;

    TimeValue a = 0;
    bool ok = false;
    const qint32 raw = grid.Cell(Col::Raw, move.from).trimmed().toInt(&ok);
    if (ok && raw >= 0) {
        a = raw;
    } else if (!RunningTimeFromClocks(grid.Cell(Col::Stopp, move.from), grid.Cell(Col::Start, move.from),
                                      fractionDigits, a)) {
        error = prefix + QStringLiteral("die Laufzeit der Zeile %1 ist weder als Rohwert noch aus \"Start\" und "
                                        "\"Stopp\" lesbar.")
                             .arg(move.from);
        return false;
    }
    // The start offset of the target row, while it holds one (not yet a gap of a result).
    TimeValue offset = 0;
    const QString split = grid.Cell(Col::Split, move.to).trimmed();
    if (!HasResult(grid, move.to) && HasTimeText(split) && !split.startsWith(QLatin1Char('+')))
        offset = TextToTime(split, fractionDigits);
    if (a - offset < 0) {
        error = prefix + QStringLiteral("die Laufzeit wäre negativ (Startversatz %1 größer als die Zeit %2).")
                             .arg(TimeToText(offset, fractionDigits), TimeToText(a, fractionDigits));
        return false;
    }
    move.runningTime = a - offset;
    return true;
}

void ApplyResultMove(SortGridData& grid, const ResultMove& move, int fractionDigits) {
    const int k = move.from;
    const int r = move.to;
    if (move.massStart) {
        grid.SetCell(Col::Zeit, r, grid.Cell(Col::Zeit, k));
        grid.SetCell(Col::Split, r, grid.Cell(Col::Split, k));
        grid.SetCell(Col::Stopp, r, grid.Cell(Col::Stopp, k));
        grid.SetCell(Col::Raw, r, grid.Cell(Col::Raw, k));
        return;
    }
    const TimeValue t = move.runningTime;
    grid.SetCell(Col::Zeit, r, TimeToText(t, fractionDigits));
    grid.SetCell(Col::Raw, r, QString::number(t));
    grid.SetCell(Col::Split, r, QString());
    // The row keeps clocks that agree with its time, so that it can be corrected or moved
    // again after a restart (the raw column is not in the backups).
    const QString start = grid.Cell(Col::Start, r);
    if (HasTimeText(start)) {
        grid.SetCell(Col::Stopp, r, FinishClockText(ClockValue(start, fractionDigits), t));
    } else {
        grid.SetCell(Col::Start, r, grid.Cell(Col::Start, k));
        grid.SetCell(Col::Stopp, r, grid.Cell(Col::Stopp, k));
    }
}

QString ClipboardText(const SortGridData& grid) {
    QString text;
    const int rows = grid.RowCount();
    const int cols = grid.ColCount();
    text.reserve(rows * cols * 8);
    for (int row = 0; row < rows; ++row) {
        for (int col = 0; col < cols; ++col) {
            if (col > 0)
                text += QLatin1Char('\t');
            const QString cell = grid.Cell(col, row);
            if (cell.contains(QLatin1Char(';')))
                text += QLatin1Char('"') + cell + QLatin1Char('"');
            else
                text += cell;
        }
        text += QLatin1String("\r\n");
    }
    return text;
}

} // namespace ProtocolEdits

#include "core/files/GridTextFile.h"

#include "core/grid/GridCopy.h"

#include "core/base/FolderSync.h"
#include "core/base/WriteFailure.h"

#include "core/grid/CellText.h"

#include "core/grid/SortGridData.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <vector>

namespace {

const QChar Tab = QLatin1Char('\t');
const QChar CellBreak = QLatin1Char('\n');
const QString Blank = QStringLiteral(" ");

QString Quoted(const QString& fileName) {
    return QStringLiteral("»") + QDir::toNativeSeparators(fileName) + QStringLiteral("«");
}

void SetError(QString* error, const QString& text) {
    if (error)
        *error = text;
}

// Blanks and control characters at both ends go, as when a line is tested for a number.
QStringView TrimControls(QStringView s) {
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && s[b].unicode() <= ' ')
        ++b;
    while (e > b && s[e - 1].unicode() <= ' ')
        --e;
    return s.mid(b, e - b);
}

// Decimal integer with an optional sign that fits 32 bits.
bool IsInteger(QStringView s, qint64* value) {
    qsizetype i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-'))) {
        negative = s[i] == QLatin1Char('-');
        ++i;
    }
    if (i == s.size())
        return false;
    qint64 v = 0;
    for (; i < s.size(); ++i) {
        const char16_t c = s[i].unicode();
        if (c < u'0' || c > u'9')
            return false;
        v = v * 10 + (c - u'0');
        if (v > 2147483648LL)
            return false;
    }
    if (negative)
        v = -v;
    if (v > 2147483647LL)
        return false;
    *value = v;
    return true;
}

// One file line made into cell text: runs of TABs collapse to one, then the line's
// separator (TAB when it has one, otherwise ";") becomes the cell break.
QString CellText(QStringView line) {
    const bool hasTab = line.contains(Tab);
    const QChar separator = hasTab ? Tab : QLatin1Char(';');
    QString text;
    text.reserve(line.size());
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == separator) {
            if (hasTab && i > 0 && line[i - 1] == Tab)
                continue;
            text.append(CellBreak);
        } else {
            text.append(c);
        }
    }
    return text;
}

// Fills `row` from column 0 with the pieces of `text` split at cell breaks. A break
// at the very end closes the last piece and opens none, so a line ending with its
// separator has no extra field. Empty pieces become one blank; pieces that would
// reach the last (hidden) column are dropped: a file never writes into it.
void FillRow(QStringList& row, QStringView text) {
    const qsizetype writable = row.size() - 1;
    if (text.isEmpty())
        return;
    if (text.endsWith(CellBreak))
        text.chop(1);
    qsizetype col = 0;
    qsizetype start = 0;
    while (col < writable) {
        const qsizetype end = text.indexOf(CellBreak, start);
        const QStringView piece = end < 0 ? text.mid(start) : text.mid(start, end - start);
        row[col] = piece.isEmpty() ? Blank : SingleLineCellText(piece); // a lone CR stays no break
        ++col;
        if (end < 0)
            break;
        start = end + 1;
    }
}

// Calls `visit` for each line of `text`. CR LF, LF and a lone CR each end a line (lists
// saved on old Macs end lines with CR only); a final line end does not start another line.
template <typename F>
void ForEachLine(const QString& text, F&& visit) {
    const QStringView all(text);
    const qsizetype size = all.size();
    qsizetype start = 0;
    while (start < size) {
        qsizetype end = start;
        while (end < size && all[end] != QLatin1Char('\n') && all[end] != QLatin1Char('\r'))
            ++end;
        visit(all.mid(start, end - start));
        if (end + 1 < size && all[end] == QLatin1Char('\r') && all[end + 1] == QLatin1Char('\n'))
            ++end;
        start = end + 1;
    }
}

QStringList EmptyRow(int colCount) {
    return QStringList(qMax(colCount, 0), QString());
}

} // namespace

QString ProtocolBackupName(const QString& folder) {
    return folder + QStringLiteral("Kadenzor") + QStringLiteral("-Sicherungsdatei-P.txt");
}

QString FinishBackupName(const QString& folder) {
    return folder + QStringLiteral("Kadenzor") + QStringLiteral("-Sicherungsdatei-F.txt");
}

QString ReadErrorText(const QString& fileName, const QString& reason) {
    return QStringLiteral("Die Datei %1 kann nicht gelesen werden: %2").arg(Quoted(fileName), reason);
}

bool ReadTextFileBytes(const QString& fileName, QByteArray& data, QString* error) {
    const QFileInfo info(fileName);
    if (fileName.isEmpty() || !info.exists()) {
        SetError(error, ReadErrorText(fileName, QStringLiteral("Die Datei existiert nicht.")));
        return false;
    }
    if (info.isDir()) {
        SetError(error, ReadErrorText(fileName, QStringLiteral("Das ist ein Ordner.")));
        return false;
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        const QString reason = info.isReadable()
                                   ? QStringLiteral("Die Datei lässt sich nicht öffnen (%1).").arg(file.errorString())
                                   : QStringLiteral("Keine Leseberechtigung.");
        SetError(error, ReadErrorText(fileName, reason));
        return false;
    }
    if (file.size() > MaxTextFileSize) {
        SetError(error, ReadErrorText(fileName, QStringLiteral("Die Datei ist zu groß.")));
        return false;
    }
    // Read in chunks until the end: the size of a device or a growing file is no promise.
    QByteArray result;
    qint64 chunk = file.isSequential() ? 64 * 1024 : file.size() + 1;
    for (;;) {
        const qsizetype before = result.size();
        result.resize(before + chunk);
        const qint64 got = file.read(result.data() + before, chunk);
        if (got < 0) {
            SetError(error, ReadErrorText(fileName, QStringLiteral("Lesefehler (%1).").arg(file.errorString())));
            return false;
        }
        result.resize(before + got);
        if (got == 0)
            break;
        if (result.size() > MaxTextFileSize) {
            SetError(error, ReadErrorText(fileName, QStringLiteral("Die Datei ist zu groß.")));
            return false;
        }
        chunk = 64 * 1024;
    }
    data = result;
    return true;
}

bool ReadTextFile(const QString& fileName, QString& text, QString* error) {
    QByteArray bytes;
    if (!ReadTextFileBytes(fileName, bytes, error))
        return false;
    if (LooksBinary(bytes)) {
        SetError(error, ReadErrorText(fileName, QStringLiteral("Das ist keine Textdatei (sie enthält Null- oder "
                                                               "Steuerzeichen); eine Startliste ist Text mit "
                                                               "Tabulatoren oder Semikolons.")));
        return false;
    }
    text = DecodeWindowsText(bytes);
    return true;
}

namespace {

// The grid itself or a copy of it: both read the same way.
template <typename Grid>
bool WriteGridTextOf(const Grid& grid, const QString& fileName, QString* error) {
    const int cols = grid.ColCount() - 1; // the last column is never written
    const int rows = grid.RowCount();
    QString text;
    for (int r = 0; r < rows && cols > 0; ++r) {
        bool write = false;
        if (r == 0) {
            // The protocol's header ("Platz", ...) is written, the finish table's empty one is not.
            write = !grid.Cell(0, 0).isEmpty();
        } else {
            for (int c = 0; c < cols && !write; ++c)
                write = !grid.Cell(c, r).isEmpty();
        }
        if (!write)
            continue;
        for (int c = 0; c < cols; ++c) {
            const QString cell = grid.Cell(c, r);
            text += cell.isEmpty() ? Blank : cell;
            text += Tab;
        }
        text += QLatin1String("\r\n");
    }

    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        SetError(error, WriteFailureText(fileName, errno));
        return false;
    }
    const QByteArray bytes = EncodeWindows1252(text);
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        SetError(error, WriteFailureText(fileName, errno));
        file.cancelWriting();
        return false;
    }
    // The rename into place must survive a power cut too.
    SyncFolderOf(fileName);
    return true;
}

} // namespace

bool WriteGridText(const SortGridData& grid, const QString& fileName, QString* error) {
    return WriteGridTextOf(grid, fileName, error);
}

bool WriteGridText(const GridCopy& grid, const QString& fileName, QString* error) {
    return WriteGridTextOf(grid, fileName, error);
}

bool LoadProtocolText(SortGridData& grid, const QString& fileName, const QStringList& defaultCaptions, QString* error) {
    QString text;
    if (!ReadTextFile(fileName, text, error))
        return false;

    const int colCount = grid.ColCount();
    QStringList header; // filled only when the file has a header line
    bool hasHeader = false;
    std::vector<QStringList> rows; // rows[k] is grid row k + 1
    int i = 0;                     // target row
    bool platz = true;             // the file's columns start at "Platz"

    ForEachLine(text, [&](QStringView line) {
        QString cells = CellText(line);
        // A first line that is a single number is no header but the first athlete.
        qint64 number = 0;
        if (i == 0 && IsInteger(TrimControls(cells), &number) && number != 0)
            i = 1;
        if (i == 0 && !line.contains(QLatin1String("Platz"))) {
            // A list without "Platz" starts at "St.Nr.": every line moves one column right.
            cells.prepend(QStringLiteral("Platz\n"));
            platz = false;
        } else if (i > 0 && !platz) {
            cells.prepend(CellBreak);
        }
        if (i == 0) {
            hasHeader = true;
            header = EmptyRow(colCount);
            FillRow(header, cells);
        } else {
            rows.push_back(EmptyRow(colCount));
            FillRow(rows.back(), cells);
        }
        ++i;
    });

    // Every load starts from the default captions: the texts of an earlier, broken file
    // never outlive it.
    QStringList captions = grid.Rows(0);
    for (qsizetype c = 0; c + 1 < captions.size() && c < defaultCaptions.size(); ++c)
        captions[c] = defaultCaptions[c];
    grid.ClearGrid(); // has its own update bracket, which does not nest
    grid.BeginUpdate();
    grid.SetRowCount(qMax(2, static_cast<int>(rows.size()) + 1));
    if (hasHeader) {
        for (qsizetype c = 0; c < header.size() && c < captions.size(); ++c)
            if (!header[c].isNull())
                captions[c] = header[c];
    }
    for (qsizetype c = 0; c + 1 < captions.size() && c < defaultCaptions.size(); ++c)
        if (TrimControls(captions[c]).isEmpty())
            captions[c] = defaultCaptions[c];
    grid.SetRows(0, captions);
    for (size_t k = 0; k < rows.size(); ++k)
        grid.SetRows(static_cast<int>(k) + 1, rows[k]);
    grid.EndUpdate();
    return true;
}

bool LoadFinishText(SortGridData& grid, const QString& fileName, QString* error) {
    QString text;
    if (!ReadTextFile(fileName, text, error))
        return false;

    const int colCount = grid.ColCount();
    std::vector<QStringList> rows;
    ForEachLine(text, [&](QStringView line) {
        if (TrimControls(line).isEmpty())
            return;
        rows.push_back(EmptyRow(colCount));
        FillRow(rows.back(), CellText(line));
    });

    const QStringList captions = grid.Rows(0);
    grid.ClearGrid(); // has its own update bracket, which does not nest
    grid.BeginUpdate();
    grid.SetRowCount(qMax(2, static_cast<int>(rows.size()) + 1));
    grid.SetRows(0, captions);
    for (size_t k = 0; k < rows.size(); ++k)
        grid.SetRows(static_cast<int>(k) + 1, rows[k]);
    grid.EndUpdate();
    return true;
}

// Loading a 10 000-row start list as text, .xlsx and .xls (when LibreOffice is
// installed to make one), and restoring both backups of a 10 000-row protocol.
// Baseline: reading the same text file and splitting it into fields, no grid.

#include "BenchUtil.h"
#include "core/files/GridTextFile.h"
#include "core/files/SpreadsheetReader.h"
#include "protocol/GridTestUtil.h"
#include "protocol/XlsxMaker.h"

#include <QCoreApplication>
#include <QLocale>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int Rows = 10000;
constexpr int Runs = 15;

SheetRows Athletes() {
    SheetRows rows{{"St.Nr.", "Vorname", "Nachname", "JG", "Verein", "Klasse"}};
    for (int i = 1; i <= Rows; ++i)
        rows.append({"n:" + QString::number(i), "Vorname" + QString::number(i), "M\u00FCller-" + QString::number(i),
                     "n:" + QString::number(1950 + i % 60), "Verein " + QString::number(i % 97), i % 2 ? "M" : "W"});
    return rows;
}

QByteArray AthletesText(const SheetRows& rows) {
    QString text;
    for (const QStringList& row : rows) {
        QStringList cells;
        for (const QString& c : row)
            cells.append(c.startsWith("n:") ? c.mid(2) : c);
        text += cells.join('\t') + "\r\n";
    }
    return EncodeWindows1252(text);
}

void Report(const char* what, double ms, double baseline) {
    std::printf("%-38s median %8.2f ms   ratio to baseline %6.1f\n", what, ms, ms / baseline);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;

    const SheetRows rows = Athletes();
    const QString textName = dir.filePath("Startlist.txt");
    WriteBytes(textName, AthletesText(rows));
    const QString xlsxName = dir.filePath("Startlist.xlsx");
    WriteXlsx(xlsxName, rows);

    const double baseline = MedianMs(Runs, [&] {
        QByteArray bytes;
        ReadTextFileBytes(textName, bytes, nullptr);
        qsizetype fields = 0;
        for (const QString& line : DecodeWindowsText(bytes).split("\r\n"))
            fields += line.split('\t').size();
        if (fields == 0)
            std::puts("?");
    });
    std::printf("%-38s median %8.2f ms\n", "baseline: read and split the text", baseline);

    SortGridData grid;
    MakeProtocolGrid(grid);
    Report("start list, text (10 000 rows)",
           MedianMs(Runs, [&] { LoadProtocolText(grid, textName, DefaultCaptions()); }), baseline);
    Report("start list, xlsx (10 000 rows)",
           MedianMs(Runs, [&] { LoadStartListSpreadsheet(grid, xlsxName, DefaultCaptions()); }), baseline);

    // The .xls needs LibreOffice to be made; the program itself never does.
    const QString office = QStandardPaths::findExecutable("soffice");
    if (office.isEmpty()) {
        std::printf("%-38s not measured: LibreOffice (soffice) is needed to make the file\n",
                    "start list, xls (10 000 rows)");
    } else {
        QProcess convert;
        convert.start(office, {"-env:UserInstallation=file://" + dir.filePath("profile"), "--headless", "--convert-to",
                               "xls:MS Excel 97", "--outdir", dir.path(), xlsxName});
        convert.waitForFinished(120000);
        const QString xlsName = dir.filePath("Startlist.xls");
        if (QFile::exists(xlsName))
            Report("start list, xls (10 000 rows)",
                   MedianMs(Runs, [&] { LoadStartListSpreadsheet(grid, xlsName, DefaultCaptions()); }), baseline);
        else
            std::printf("%-38s not measured: LibreOffice did not convert the file\n", "start list, xls (10 000 rows)");
    }

    // Both backups of a 10 000-row protocol, every athlete finished.
    SortGridData protocol;
    MakeProtocolGrid(protocol);
    protocol.SetRowCount(Rows + 1);
    for (int r = 1; r <= Rows; ++r)
        protocol.SetRows(r, {QString::number(r), QString::number(r), "Vorname", "M\u00FCller", "1990", "Verein", "M",
                             QString::number(r / 2 + 1), " 9:00:00,00", " 9:10:05,23", "10:05,23", "0,00", "605230"});
    SortGridData finish;
    MakeFinishGrid(finish);
    finish.SetRowCount(101);
    for (int r = 1; r <= 100; ++r)
        finish.SetRows(r, {QString::number(r) + ".", "10:05,23", "", "605230"});
    const QString pName = ProtocolBackupName(dir.path() + "/");
    const QString fName = FinishBackupName(dir.path() + "/");
    Report("writing both backups",
           MedianMs(Runs,
                    [&] {
                        WriteGridText(protocol, pName);
                        WriteGridText(finish, fName);
                    }),
           baseline);
    SortGridData restoredP;
    MakeProtocolGrid(restoredP);
    SortGridData restoredF;
    MakeFinishGrid(restoredF);
    Report("restoring both backups",
           MedianMs(Runs,
                    [&] {
                        LoadProtocolText(restoredP, pName, DefaultCaptions());
                        LoadFinishText(restoredF, fName);
                    }),
           baseline);
    return 0;
}

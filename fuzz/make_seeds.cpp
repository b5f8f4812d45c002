// Writes seed workbooks for the fuzz targets: make_seeds <folder>.

#include "protocol/XlsxMaker.h"

#include <QDir>

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    const bool a =
        WriteXlsx(dir.filePath("startlist.xlsx"), {{"St.Nr.", "Vorname", "Nachname", "JG", "Verein", "Klasse"},
                                                   {"n:17", "Anna", "M\u00FCller", "n:1990", "SC", "W"},
                                                   {"n:18", "Ben", "Ott", "n:1985.5", "b:1", "M"},
                                                   {},
                                                   {"", "", "", "nach dem Ende"}});
    const bool b = WriteXlsx(dir.filePath("inline.xlsx"), {{"Platz", "St.Nr."}, {"n:1", "n:17"}}, true);
    return a && b ? 0 : 1;
}

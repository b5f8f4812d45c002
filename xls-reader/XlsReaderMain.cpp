// kadenzor-xls-reader FILE COLUMNS: reads the first worksheet of an .xls workbook
// and writes the answer (see XlsWorkbook.h) to its standard output. Kadenzor starts
// it for every .xls start list; a crash of the library here ends only this program.
#include "xls-reader/XlsWorkbook.h"

#include <QFile>
#include <QString>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: kadenzor-xls-reader FILE COLUMNS\n", stderr);
        return 2;
    }
    bool ok = false;
    const int columns = QString::fromLocal8Bit(argv[2]).toInt(&ok);
    if (!ok || columns < 0 || columns > 256)
        return 2;
    const QByteArray answer = EncodeXlsAnswer(ReadXlsWorkbook(QFile::decodeName(argv[1]), columns));
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly, QFileDevice::DontCloseHandle))
        return 1;
    if (out.write(answer) != answer.size() || !out.flush())
        return 1;
    return 0;
}

#include "core/files/ClassesFile.h"

#include "core/files/GridTextFile.h"

QStringList ReadClassesFile(const QString& fileName, bool* ok, QString* error) {
    QString text;
    const bool read = ReadTextFile(fileName, text, error);
    if (ok)
        *ok = read;
    if (!read)
        return {};
    QStringList names;
    qsizetype start = 0;
    const qsizetype size = text.size();
    while (start < size) {
        qsizetype end = start;
        while (end < size && text[end] != QLatin1Char('\r') && text[end] != QLatin1Char('\n'))
            ++end;
        names.append(text.mid(start, end - start));
        if (end < size && text[end] == QLatin1Char('\r') && end + 1 < size && text[end + 1] == QLatin1Char('\n'))
            ++end;
        start = end + 1;
    }
    return names;
}

#include "core/grid/CellText.h"

namespace {

bool IsCellBreak(QChar c) {
    return c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QLatin1Char('\t');
}

} // namespace

bool HasCellBreak(QStringView text) {
    for (const QChar c : text)
        if (IsCellBreak(c))
            return true;
    return false;
}

QString SingleLineCellText(QStringView text) {
    QString out = text.toString();
    if (!HasCellBreak(text))
        return out;
    for (QChar& c : out)
        if (IsCellBreak(c))
            c = QLatin1Char(' ');
    return out;
}

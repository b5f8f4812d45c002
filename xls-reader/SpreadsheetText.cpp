#include "xls-reader/SpreadsheetText.h"

#include <QLocale>

#include <cmath>

QString DamagedWorkbookText(const QString& detail) {
    return QStringLiteral("Die Arbeitsmappe ist beschädigt (%1).").arg(detail);
}

QString WorkbookTooLargeText(qint64 limit) {
    return QStringLiteral("Die Arbeitsmappe ist zu groß (mehr als %1 MB entpackt).").arg(limit / (1024 * 1024));
}

void SetReasonText(QString* target, const QString& text) {
    if (target)
        *target = text;
}

QString CellNumberText(double value) {
    if (!std::isfinite(value))
        return QString();
    if (value == std::floor(value) && std::fabs(value) < 1e15)
        return QString::number(static_cast<qint64>(value));
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'g', 15);
}

QString CellBoolText(bool value) {
    return value ? QStringLiteral("WAHR") : QStringLiteral("FALSCH");
}

#include "core/base/WriteFailure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

QString Quoted(const QString& path) {
    return QStringLiteral("»") + QDir::toNativeSeparators(path) + QStringLiteral("«");
}

QString ErrorNumberReason(int errorNumber) {
    switch (errorNumber) {
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("Das Laufwerk ist voll.");
    case EROFS:
        return QStringLiteral("Das Laufwerk ist schreibgeschützt.");
    case EACCES:
    case EPERM:
        return QStringLiteral("Keine Schreibberechtigung.");
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("Der Ordner existiert nicht.");
    case EISDIR:
        return QStringLiteral("Dort steht ein Ordner dieses Namens.");
    case ENAMETOOLONG:
        return QStringLiteral("Der Name ist zu lang.");
    case EIO:
        return QStringLiteral("Das Laufwerk meldet einen Ein-/Ausgabefehler (Stick oder Netzlaufwerk getrennt?).");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("Zu viele offene Dateien.");
    case EBUSY:
    case ETXTBSY:
        return QStringLiteral("Die Datei ist gerade in Gebrauch.");
    case 0:
        return QStringLiteral("Der Schreibvorgang ist gescheitert.");
    default:
        return QStringLiteral("Der Schreibvorgang ist gescheitert (Systemfehler %1).").arg(errorNumber);
    }
}

} // namespace

QString WriteFailureReason(const QString& fileName, int errorNumber) {
    if (fileName.isEmpty())
        return QStringLiteral("Es ist kein Dateiname angegeben.");
    const QFileInfo info(fileName);
    const QString folder = info.absolutePath();
    if (!QFileInfo(folder).isDir())
        return QStringLiteral("Der Ordner %1 existiert nicht.").arg(Quoted(folder));
    if (info.isDir())
        return QStringLiteral("Dort steht ein Ordner dieses Namens.");
    const QByteArray native = QFile::encodeName(folder);
    struct statvfs fs {};
    if (::statvfs(native.constData(), &fs) == 0) {
        if (fs.f_flag & ST_RDONLY)
            return QStringLiteral("Das Laufwerk ist schreibgeschützt.");
        if (fs.f_bavail == 0)
            return QStringLiteral("Das Laufwerk ist voll.");
    }
    if (::access(native.constData(), W_OK | X_OK) != 0 && errno == EACCES)
        return QStringLiteral("Keine Schreibberechtigung im Ordner %1.").arg(Quoted(folder));
    return ErrorNumberReason(errorNumber);
}

QString WriteFailureText(const QString& fileName, const QString& reason) {
    QString text = QStringLiteral("Die Datei %1 kann nicht geschrieben werden").arg(Quoted(fileName));
    if (!reason.isEmpty())
        text += QStringLiteral(": ") + reason;
    if (!text.endsWith(QLatin1Char('.')) && !text.endsWith(QLatin1Char(')')))
        text += QLatin1Char('.');
    return text;
}

QString WriteFailureText(const QString& fileName, int errorNumber) {
    return WriteFailureText(fileName, WriteFailureReason(fileName, errorNumber));
}

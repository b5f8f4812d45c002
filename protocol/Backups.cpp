#include "protocol/Backups.h"

#include "protocol/GridTextFile.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

bool Backups::WriteBackups(const SortGridData& protocol, const SortGridData& finish, QString& error) const {
    QString protocolError;
    QString finishError;
    const bool protocolOk = WriteGridText(protocol, ProtocolBackupName(m_folder), &protocolError);
    const bool finishOk = WriteGridText(finish, FinishBackupName(m_folder), &finishError);
    error = !protocolOk ? protocolError : finishError;
    return protocolOk && finishOk;
}

QString DefaultBackupFolder(const QString& programFolder) {
    const QFileInfo info(programFolder);
    if (!programFolder.isEmpty() && info.isDir() && info.isWritable())
        return programFolder;
    QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(data);
    if (!data.endsWith(QLatin1Char('/')))
        data += QLatin1Char('/');
    return data;
}

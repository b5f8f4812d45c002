#include "core/race/Backups.h"

#include "core/base/WriteFailure.h"

#include "core/base/FolderSync.h"
#include "core/files/GridTextFile.h"
#include "core/grid/GridCopy.h"
#include "core/race/RunState.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#include <QStandardPaths>
#include <cerrno>

namespace {

template <typename Grid>
bool WriteBoth(const QString& folder, const Grid& protocol, const Grid& finish, QString& error) {
    QString protocolError;
    QString finishError;
    const bool protocolOk = WriteGridText(protocol, ProtocolBackupName(folder), &protocolError);
    const bool finishOk = WriteGridText(finish, FinishBackupName(folder), &finishError);
    error = !protocolOk ? protocolError : finishError;
    return protocolOk && finishOk;
}

} // namespace

bool Backups::WriteBackups(const SortGridData& protocol, const SortGridData& finish, QString& error) const {
    return WriteBoth(m_folder, protocol, finish, error);
}

bool Backups::WriteBackups(const GridCopy& protocol, const GridCopy& finish, QString& error) const {
    return WriteBoth(m_folder, protocol, finish, error);
}

namespace {
const QLatin1String kMassStart("Massenstart=");
const QLatin1String kFirstFinish("ErsterZieleinlauf=");
const QLatin1String kFirstStartStamp("ErsterStartZeitpunkt=");
const QLatin1String kMassStartStamp("MassenstartZeitpunkt=");
const QLatin1String kFirstFinishStamp("ErsterZieleinlaufZeitpunkt=");
const QLatin1String kPlaceholder("Platzhalter=");
const QLatin1String kStart("Start=");
const QLatin1String kQueued("Ziel=");

// "number;time text;stamp" of a start or a queued finish.
QByteArray KeyedLine(QLatin1String key, const QString& mapKey, const Stamp& stamp) {
    QString k = mapKey;
    k.replace(QLatin1Char('|'), QLatin1Char(';'));
    return (key + k + QLatin1Char(';') + stamp.ToText()).toLatin1() + "\r\n";
}

// The map key and stamp of such a line: the stamp is its last three fields.
bool ReadKeyedLine(const QString& value, QString& mapKey, Stamp& stamp) {
    const QStringList parts = value.split(QLatin1Char(';'));
    if (parts.size() != 5)
        return false;
    const auto s = Stamp::FromText(parts.mid(2).join(QLatin1Char(';')));
    if (!s)
        return false;
    mapKey = StampKey(parts[0], parts[1]);
    stamp = *s;
    return true;
}
} // namespace

QString RunStateBackupName(const QString& folder) {
    return folder + QStringLiteral("Kadenzor") + QStringLiteral("-Sicherungsdatei-L.txt");
}

bool Backups::WriteRunState(const RunState& state, QString& error) const {
    QByteArray text;
    if (!state.massStartClock.isEmpty())
        text += (kMassStart + state.massStartClock).toLatin1() + "\r\n";
    if (!state.firstFinishClock.isEmpty())
        text += (kFirstFinish + state.firstFinishClock).toLatin1() + "\r\n";
    for (const auto& [key, stamp] :
         {std::pair{kFirstStartStamp, &state.firstStartStamp}, std::pair{kMassStartStamp, &state.massStartStamp},
          std::pair{kFirstFinishStamp, &state.firstFinishStamp}})
        if (*stamp)
            text += (key + (*stamp)->ToText()).toLatin1() + "\r\n";
    if (state.highestPlaceholder > 0)
        text += (kPlaceholder + QString::number(state.highestPlaceholder)).toLatin1() + "\r\n";
    for (auto it = state.starts.cbegin(); it != state.starts.cend(); ++it)
        text += KeyedLine(kStart, it.key(), it.value());
    for (auto it = state.queued.cbegin(); it != state.queued.cend(); ++it)
        text += KeyedLine(kQueued, it.key(), it.value());
    const QString name = RunStateBackupName(m_folder);
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        error = WriteFailureText(name, errno);
        file.cancelWriting();
        return false;
    }
    SyncFolderOf(name);
    return true;
}

void Backups::ReadRunState(RunState& state) const {
    QFile file(RunStateBackupName(m_folder));
    if (!file.open(QIODevice::ReadOnly))
        return;
    // Clock texts only (" 9:05:03,07"): anything else in the file is ignored.
    static const QRegularExpression clockText(QStringLiteral("^[ 0-9][0-9]:[0-5][0-9]:[0-5][0-9],[0-9][0-9]$"));
    // A start and a finish for each of a few thousand athletes, with room to spare.
    const QList<QByteArray> lines = file.read(16 * 1024 * 1024).split('\n');
    for (QByteArray line : lines) {
        const QString text = QString::fromLatin1(line.replace('\r', QByteArray()));
        for (const auto& [key, target] :
             {std::pair{kMassStart, &state.massStartClock}, std::pair{kFirstFinish, &state.firstFinishClock}}) {
            const QString value = text.mid(key.size());
            if (text.startsWith(key) && clockText.match(value).hasMatch())
                *target = value;
        }
        for (const auto& [key, target] :
             {std::pair{kFirstStartStamp, &state.firstStartStamp}, std::pair{kMassStartStamp, &state.massStartStamp},
              std::pair{kFirstFinishStamp, &state.firstFinishStamp}})
            if (text.startsWith(key))
                if (const auto stamp = Stamp::FromText(text.mid(key.size())))
                    *target = stamp;
        bool ok = false;
        if (text.startsWith(kPlaceholder)) {
            const int n = text.mid(kPlaceholder.size()).toInt(&ok);
            if (ok && n > 0)
                state.highestPlaceholder = qMax(state.highestPlaceholder, n);
        }
        QString mapKey;
        Stamp stamp;
        if (text.startsWith(kStart) && ReadKeyedLine(text.mid(kStart.size()), mapKey, stamp))
            state.starts.insert(mapKey, stamp);
        else if (text.startsWith(kQueued) && ReadKeyedLine(text.mid(kQueued.size()), mapKey, stamp))
            state.queued.insert(mapKey, stamp);
    }
}

bool BackupLooksIntact(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly) || file.size() == 0)
        return false;
    while (!file.atEnd())
        if (file.read(64 * 1024).contains('\0'))
            return false;
    return true;
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

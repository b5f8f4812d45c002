#include "core/files/ExportNames.h"

#include <QDir>
#include <QFileInfo>

QString UniqueFileName(const QString& folder, const QString& stem, const QString& suffix) {
    QString name = folder + stem + suffix;
    for (int n = 2; QFileInfo::exists(name) || QFileInfo(name).isSymLink(); ++n)
        name = folder + stem + QStringLiteral("-%1").arg(n) + suffix;
    return name;
}

QStringList ShippedFileNames() {
    return {
        QStringLiteral("Kadenzor"),      QStringLiteral("kadenzor-xls-reader"), QStringLiteral("Kadenzor-Hilfe.html"),
        QStringLiteral("Kadenzor.docx"), QStringLiteral("Ton-start.wav"),       QStringLiteral("Ton-finish.wav"),
        QStringLiteral("Ton-alarm.wav"), QStringLiteral("Image1.jpg"),          QStringLiteral("Image2.jpg"),
        QStringLiteral("kadenzor.png")};
}

namespace {

// The path with links and ".." resolved as far as it exists: a file not yet written
// is named by its resolved folder and its own name.
QString Resolved(const QString& path) {
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    if (!canonical.isEmpty())
        return canonical;
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return QDir::cleanPath((folder.isEmpty() ? info.absolutePath() : folder) + QLatin1Char('/') + info.fileName());
}

} // namespace

bool IsProtectedFile(const QString& programFolder, const QStringList& ownFiles, const QString& fileName) {
    if (fileName.isEmpty())
        return false;
    QStringList protectedFiles = ownFiles;
    if (!programFolder.isEmpty())
        for (const QString& shipped : ShippedFileNames())
            protectedFiles << QDir(programFolder).filePath(shipped);
    const QString target = Resolved(fileName);
    for (const QString& file : protectedFiles)
        if (Resolved(file) == target)
            return true;
    return false;
}

QString ProtectedFileText(const QString& fileName) {
    return QStringLiteral("Die Datei »%1« gehört zum Programm (Hilfe, Vorlage, Töne, Bilder, Sicherung oder "
                          "Journal) und wird nicht überschrieben. Bitte einen anderen Namen oder Ordner wählen.")
        .arg(QDir::toNativeSeparators(fileName));
}

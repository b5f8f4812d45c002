#pragma once

// Shared by the fuzz targets: a scratch file per process and the two grids.

#include "core/grid/SortGridData.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <unistd.h>

inline QString ScratchFile(const char* suffix) {
    return QDir::tempPath() + QStringLiteral("/kadenzor-fuzz-%1%2").arg(getpid()).arg(QLatin1String(suffix));
}

inline void WriteScratch(const QString& name, const uint8_t* data, size_t size) {
    QFile f(name);
    if (f.open(QIODevice::WriteOnly))
        f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
}

inline QByteArray ReadScratch(const QString& name) {
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline QStringList FuzzCaptions() {
    return {"Platz",   "St.Nr.", "Vorname", "Nachname", "JG",    "Verein", "Klasse",
            "Kl.-Pl.", "Start",  "Stopp",   "Zeit",     "Split", ""};
}

inline void MakeFuzzProtocol(SortGridData& grid) {
    grid.SetColCount(13);
    grid.SetRowCount(2);
    grid.SetRows(0, FuzzCaptions());
}

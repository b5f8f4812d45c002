#pragma once

#include "core/settings/RegFormat.h"
#include "core/settings/TSettings.h"

#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariantMap>

// The settings store: TSettings in Kadenzor.reg below the configuration folder
// ($XDG_CONFIG_HOME/Zeitravo/), read once at start and written at the end and
// whenever the settings dialog is confirmed.
class SettingsStore {
public:
    // `fileName` is the store file itself.
    explicit SettingsStore(QString fileName);

    // $XDG_CONFIG_HOME/Zeitravo/Kadenzor.reg, or below `configFolder` when given.
    static QString FileNameIn(const QString& configFolder = QString());
    // "HKEY_CURRENT_USER\Software\Zeitravo\Kadenzor"
    static QString KeyPath();
    // The file format registered with QSettings (registered on first use).
    static QSettings::Format Format();

    const QString& FileName() const { return m_fileName; }

    // LoadSettings: the defaults when there is no store yet; `found` tells whether there was one.
    // `notice` receives, once, what was wrong with the file (empty when nothing was).
    TSettings Load(const QString& programFolder, bool* found = nullptr, QString* notice = nullptr) const;
    // The status bar's sentence for the damaged lines of a read; empty when there are none.
    static QString DamageNotice(const QString& fileName, const RegReadResult& result);
    // SaveSettings: false with the reason when the file could not be written.
    bool Save(const TSettings& settings, QString& error) const;

    // The value names in reading and in writing order.
    static const QStringList& ReadingOrder();
    static const QStringList& WritingOrder();

    // Reads the values in reading order as they stand in `values`: an absent integer
    // ends the reading (an older store), an absent text reads empty, a mistyped or
    // damaged value (a null) keeps its own default and the reading goes on; then the
    // empty backup folder becomes `programFolder` and the forced columns are set.
    static TSettings FromValues(const QVariantMap& values, const QString& programFolder);
    // Every value in writing order, Booleans as 0 or 1.
    static QList<RegValue> ToValues(const TSettings& settings);

private:
    QString m_fileName;
};

#include "core/settings/SettingsStore.h"

#include "core/base/WriteFailure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <functional>

namespace {

struct Field {
    const char* name;
    bool text; // REG_SZ; otherwise a dword
    std::function<void(TSettings&, const QVariant&)> set;
    std::function<QVariant(const TSettings&)> get;
};

template <typename T>
Field Int(const char* name, T TSettings::*member) {
    return {name, false, [member](TSettings& s, const QVariant& v) { s.*member = static_cast<T>(v.toInt()); },
            [member](const TSettings& s) { return QVariant(static_cast<int>(s.*member)); }};
}

Field Bool(const char* name, bool TSettings::*member) {
    return {name, false, [member](TSettings& s, const QVariant& v) { s.*member = v.toInt() != 0; },
            [member](const TSettings& s) { return QVariant(s.*member ? 1 : 0); }};
}

Field Optional(const char* name, std::optional<qint32> TSettings::*member) {
    return {name, false, [member](TSettings& s, const QVariant& v) { s.*member = v.toInt(); },
            [member](const TSettings& s) { return QVariant(static_cast<int>((s.*member).value_or(0))); }};
}

Field Text(const char* name, QString TSettings::*member) {
    return {name, true, [member](TSettings& s, const QVariant& v) { s.*member = v.toString(); },
            [member](const TSettings& s) { return QVariant(s.*member); }};
}

// In reading order.
const std::vector<Field>& Fields() {
    static const std::vector<Field> fields = {
        Int("Port", &TSettings::Port),
        Int("Alg", &TSettings::Alg),
        Optional("Left", &TSettings::Left),
        Optional("Top", &TSettings::Top),
        Int("Width", &TSettings::Width),
        Int("Height", &TSettings::Height),
        Bool("Sound", &TSettings::Sound),
        Int("C1", &TSettings::C1),
        Int("C2", &TSettings::C2),
        Int("C3", &TSettings::C3),
        Int("Acc", &TSettings::Acc),
        Int("C4", &TSettings::C4),
        Int("FilterInd", &TSettings::FilterInd),
        Int("Timer", &TSettings::Timer),
        Bool("cbAuto", &TSettings::cbAuto),
        Int("XX", &TSettings::XX),
        Int("YY", &TSettings::YY),
        Int("StartType", &TSettings::StartType),
        Int("Columns", &TSettings::Columns),
        Bool("Klass", &TSettings::Klass),
        Int("FilterOut", &TSettings::FilterOut),
        Int("WaitStart", &TSettings::WaitStart),
        Text("Title", &TSettings::Title),
        Int("WaitFinish", &TSettings::WaitFinish),
        Text("RezervDir", &TSettings::RezervDir),
        Int("FormatZeit", &TSettings::FormatZeit),
        Bool("AutoSort", &TSettings::AutoSort),
        Int("Debounce", &TSettings::Debounce),
        Int("WebPort", &TSettings::WebPort),
        Text("WebBind", &TSettings::WebBind),
        Text("PublishDir", &TSettings::PublishDir),
        Text("PortPath", &TSettings::PortPath),
        Int("Station", &TSettings::Station),
        Text("Broker", &TSettings::Broker),
        Text("RaceId", &TSettings::RaceId),
        Text("BrokerUser", &TSettings::BrokerUser),
        Text("BrokerPassword", &TSettings::BrokerPassword),
        Bool("BrokerTls", &TSettings::BrokerTls),
    };
    return fields;
}

const Field& FieldNamed(const QString& name) {
    const auto& fields = Fields();
    return *std::find_if(fields.begin(), fields.end(), [&](const Field& f) { return name == QLatin1String(f.name); });
}

// The lines the reader could not take as values ride along in the map under these keys,
// so that writing the store puts them back.
const QString kKeptPrefix = QStringLiteral("#kept-");

bool ReadStore(QIODevice& device, QSettings::SettingsMap& map) {
    const RegReadResult result = RegFormat::Read(device.readAll(), SettingsStore::KeyPath());
    for (const RegValue& value : result.values)
        map.insert(value.name, value.value);
    // A damaged value stands in the map as a null: present, but of no type a field takes.
    for (const QString& name : result.damagedNames)
        if (!map.contains(name))
            map.insert(name, QVariant::fromValue(nullptr));
    for (qsizetype i = 0; i < result.kept.size(); ++i)
        map.insert(kKeptPrefix + QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0')), result.kept[i]);
    // The values around a damaged line count; returning false would drop them all.
    return true;
}

bool WriteStore(QIODevice& device, const QSettings::SettingsMap& map) {
    QList<RegValue> values;
    QStringList kept;
    for (const QString& name : SettingsStore::WritingOrder())
        if (map.contains(name) && map.value(name).typeId() != QMetaType::Nullptr)
            values.append({name, map.value(name)});
    // Values of other program versions or added by hand stay, and so do the lines that
    // could not be read (the map is sorted, so they keep their order).
    for (auto it = map.begin(); it != map.end(); ++it) {
        if (it.key().startsWith(kKeptPrefix))
            kept << it.value().toString();
        else if (it.value().typeId() == QMetaType::Nullptr)
            continue; // its line is among the kept ones

        else if (!SettingsStore::WritingOrder().contains(it.key()))
            values.append({it.key(), it.value()});
    }
    const QByteArray data = RegFormat::Write(values, SettingsStore::KeyPath(), kept);
    return device.write(data) == data.size();
}

} // namespace

SettingsStore::SettingsStore(QString fileName) : m_fileName(std::move(fileName)) {}

QString SettingsStore::FileNameIn(const QString& configFolder) {
    const QString base =
        configFolder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) : configFolder;
    return QDir(base).filePath(QStringLiteral("Zeitravo/Kadenzor.reg"));
}

QString SettingsStore::KeyPath() {
    return QStringLiteral("HKEY_CURRENT_USER\\Software\\Zeitravo\\Kadenzor");
}

QSettings::Format SettingsStore::Format() {
    static const QSettings::Format format =
        QSettings::registerFormat(QStringLiteral("reg"), ReadStore, WriteStore, Qt::CaseSensitive);
    return format;
}

const QStringList& SettingsStore::ReadingOrder() {
    static const QStringList names = [] {
        QStringList list;
        for (const Field& f : Fields())
            list << QLatin1String(f.name);
        return list;
    }();
    return names;
}

const QStringList& SettingsStore::WritingOrder() {
    static const QStringList names = {"Left",       "Top",        "Width",     "Height",    "Sound", "Port",
                                      "Alg",        "C1",         "C2",        "C3",        "Acc",   "C4",
                                      "FilterInd",  "Timer",      "cbAuto",    "XX",        "YY",    "StartType",
                                      "Columns",    "Klass",      "FilterOut", "WaitStart", "Title", "RezervDir",
                                      "WaitFinish", "FormatZeit", "AutoSort",  "Debounce"};

    // Values added since are written after those, in reading order.
    static const QStringList all = [] {
        QStringList list = names;
        for (const Field& f : Fields())
            if (!list.contains(QLatin1String(f.name)))
                list << QLatin1String(f.name);
        return list;
    }();
    return all;
}

TSettings SettingsStore::FromValues(const QVariantMap& values, const QString& programFolder) {
    TSettings s;
    // No value at all (no store, or nothing readable in it): every default stands.
    for (const Field& f : values.isEmpty() ? std::vector<Field>() : Fields()) {
        const auto it = values.find(QLatin1String(f.name));
        if (f.text) {
            // An absent text reads as empty; a text stored as something else keeps its default.
            if (it == values.end()) {
                f.set(s, QString());
                continue;
            }
            if (it->typeId() != QMetaType::QString)
                continue;
        } else if (it == values.end()) {
            break; // a store of an older version ends here: the rest keep their defaults
        } else if (it->typeId() != QMetaType::Int) {
            // Only this value keeps its default: the ones after it are read all the same,
            // or the next save would write defaults over them.
            continue;
        }
        f.set(s, *it);
    }
    // Only a positive lock-out replaces the default interval.
    if (s.WaitStart <= 0)
        s.WaitStart = TSettings().WaitStart;
    if (s.WaitFinish <= 0)
        s.WaitFinish = TSettings().WaitFinish;
    // Values edited by hand must not reach the time texts out of range.
    s.Acc = std::clamp(s.Acc, 0, 2);
    s.Debounce = std::clamp(s.Debounce, 0, 50);
    // A port edited by hand outside the allowed range keeps the server off.
    if (s.WebPort < TSettings::kWebPortMin || s.WebPort > 65535)
        s.WebPort = 0;
    // A station number edited by hand outside the roles keeps the PC alone.
    if (s.Station < 0 || s.Station > 2)
        s.Station = 0;
    if (s.RaceId.trimmed().isEmpty())
        s.RaceId = TSettings().RaceId;
    if (s.RezervDir.isEmpty())
        s.RezervDir = programFolder;
    s.Columns |= TSettings::kForcedColumns;
    return s;
}

QList<RegValue> SettingsStore::ToValues(const TSettings& settings) {
    QList<RegValue> values;
    for (const QString& name : WritingOrder())
        values.append({name, FieldNamed(name).get(settings)});
    return values;
}

QString SettingsStore::DamageNotice(const QString& fileName, const RegReadResult& result) {
    if (result.damagedLines == 0)
        return QString();
    QString text = QStringLiteral("Einstellungsdatei %1, Zeile %2: %3")
                       .arg(QStringLiteral("»") + QDir::toNativeSeparators(fileName) + QStringLiteral("«"))
                       .arg(result.damagedLine)
                       .arg(result.damage);
    if (result.damagedLines > 1)
        text += QStringLiteral(" (und %1 weitere Zeilen)").arg(result.damagedLines - 1);
    return text + QStringLiteral("; gelesen ist, was sich lesen lässt, der Rest bleibt unverändert in der Datei.");
}

TSettings SettingsStore::Load(const QString& programFolder, bool* found, QString* notice) const {
    const bool exists = QFileInfo(m_fileName).isFile();
    if (found)
        *found = exists;
    if (!exists)
        return FromValues({}, programFolder);
    if (notice) {
        QFile file(m_fileName);
        if (file.open(QIODevice::ReadOnly))
            *notice = DamageNotice(m_fileName, RegFormat::Read(file.readAll(), KeyPath()));
        else
            *notice = QStringLiteral("Einstellungsdatei »%1« lässt sich nicht lesen; es gelten die Vorgaben.")
                          .arg(QDir::toNativeSeparators(m_fileName));
    }
    QSettings store(m_fileName, Format());
    QVariantMap values;
    for (const QString& key : store.allKeys())
        values.insert(key, store.value(key));
    return FromValues(values, programFolder);
}

bool SettingsStore::Save(const TSettings& settings, QString& error) const {
    const QFileInfo info(m_fileName);
    if (!QDir().mkpath(info.absolutePath())) {
        error = QStringLiteral("Ordner %1 kann nicht angelegt werden").arg(info.absolutePath());
        return false;
    }
    // A broker password is for the owner's eyes only; the file replacing this one keeps its mode.
    const bool secret = !settings.BrokerPassword.isEmpty();
    const auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    if (secret && info.exists())
        QFile::setPermissions(m_fileName, ownerOnly);
    QSettings store(m_fileName, Format());
    // Every value is set even when an earlier one fails; the file is replaced as a whole.
    for (const RegValue& value : ToValues(settings))
        store.setValue(value.name, value.value);
    store.sync();
    if (secret)
        QFile::setPermissions(m_fileName, ownerOnly);
    if (store.status() != QSettings::NoError) {
        error = WriteFailureText(m_fileName, 0);
        return false;
    }
    return true;
}

// The settings file: reading must survive anything, and what is written must read
// back to the same values and, written again, to the same bytes.

#include "core/settings/RegFormat.h"
#include "core/settings/SettingsStore.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString key = SettingsStore::KeyPath();
    const RegReadResult first =
        RegFormat::Read(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)), key);
    if ((first.damagedLine > 0) == first.damage.isEmpty())
        std::abort();

    QVariantMap map;
    for (const RegValue& v : first.values)
        map.insert(v.name, v.value);
    const TSettings settings = SettingsStore::FromValues(map, QStringLiteral("/p/"));
    if ((settings.Columns & TSettings::kForcedColumns) != TSettings::kForcedColumns || settings.Acc < 0 ||
        settings.Acc > 2)
        std::abort();

    // Names and texts may hold line breaks only through the writer's replacement.
    const QByteArray written = RegFormat::Write(first.values, key);
    const RegReadResult second = RegFormat::Read(written, key);
    if (second.damagedLine != 0 || second.values.size() != first.values.size())
        std::abort();
    const QByteArray again = RegFormat::Write(second.values, key);
    if (again != RegFormat::Write(RegFormat::Read(again, key).values, key))
        std::abort();
    return 0;
}

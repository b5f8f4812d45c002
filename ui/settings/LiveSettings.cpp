#include "ui/settings/LiveSettings.h"

LiveSettings::LiveSettings(const TSettings& initial, QObject* parent) : QObject(parent), m_value(initial) {}

void LiveSettings::Set(const TSettings& next) {
    if (next == m_value)
        return;
    const TSettings before = m_value;
    m_value = next;
    emit changed(before);
}

void LiveSettings::Edit(const SettingsChange& change) {
    TSettings next = m_value;
    change(next);
    Set(next);
}

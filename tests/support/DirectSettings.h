#pragma once

#include "ui/settings/SettingsEditor.h"

// The settings as the live settings hold them, for a controller tested alone: each
// change goes straight into `settings`.
class DirectSettings final : public SettingsEditor {
public:
    explicit DirectSettings(TSettings& settings) : m_settings(settings) {}
    void Edit(const SettingsChange& change) override { change(m_settings); }

private:
    TSettings& m_settings;
};

#pragma once

#include "core/settings/TSettings.h"

#include <functional>

// How a controller changes a setting the operator changed on the window (sound
// buttons, cbAuto, lock-out intervals, dialog type lists): it hands the change to
// the live settings, which compare, store and tell every controller.
using SettingsChange = std::function<void(TSettings&)>;

class SettingsEditor {
public:
    virtual void Edit(const SettingsChange& change) = 0;

protected:
    ~SettingsEditor() = default;
};

#pragma once

#include "core/settings/TSettings.h"
#include "ui/settings/SettingsEditor.h"

#include <QObject>

// The settings in force. Controllers keep a const reference to Value(); every
// change goes through Set or Edit, which emit changed() with the values before
// the change, so that each controller re-applies what differs.
class LiveSettings : public QObject, public SettingsEditor {
    Q_OBJECT
public:
    explicit LiveSettings(const TSettings& initial = TSettings(), QObject* parent = nullptr);

    const TSettings& Value() const { return m_value; }
    // Nothing happens when `next` equals the current value.
    void Set(const TSettings& next);
    void Edit(const SettingsChange& change) override;

signals:
    void changed(const TSettings& before);

private:
    TSettings m_value;
};

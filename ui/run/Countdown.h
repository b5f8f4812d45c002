#pragma once

#include "core/platform/Clock.h"
#include "ui/settings/SettingsEditor.h"

#include <QObject>
#include <QString>

struct RunState;
class QAction;
class QCheckBox;
class QSpinBox;
class QTimer;
class LockOut;
class Sound;
class TBitBtnWithColor;
class TimeDisplay;

// The TIMER countdown, which triggers START when it runs out, and the
// automatic start, which begins the next countdown after each START so that
// athletes leave at a fixed interval.
//
// The remaining time always comes from the tick counter, never from counting
// timer messages, so a late message does not shift the schedule.
class Countdown : public QObject {
    Q_OBJECT
public:
    // An expiry asks for START through StartDue while `state` says START is available, and
    // sets the run's toneAlreadyPlayed, which keeps START silent after the countdown's own tone.
    Countdown(TBitBtnWithColor* bTimer, QAction* mTimer, QSpinBox* seAutoStart, QCheckBox* cbAuto, Clock& clock,
              const TSettings& settings, TimeDisplay& display, LockOut& lockOut, Sound& sound, QString startToneFile,
              RunState& state, QObject* parent = nullptr);
    ~Countdown() override;

    // Countdown period in seconds (the setting Timer).
    int Period() const;
    bool Running() const;
    // Tick at which the running (or last) countdown began.
    Tick StartTick() const { return m_startTick; }

    // START's last step, when cbAuto is checked: begins the next countdown.
    void StartAfterStart(Tick startTick);
    // Every START: the next countdown begins when cbAuto is checked.
    void FollowStart(Tick startTick);
    // START's "stop the countdown timer" and ENDE; either may be used for both.
    void StopTimer();
    void Stop();
    // bTimer shown when the period is above 0; seAutoStart and cbAuto besides
    // only in individual start.
    void ApplyVisibility();
    // The countdown may be started (bTimer, F4): enabled and blue while shown, else grey.
    // Run control closes it with a mass start and opens it again with ENDE.
    void SetTimerAvailable(bool available);
    // cbAuto shows the setting in force.
    void ApplyAutoStart();
    // Timer and cbAuto go to the settings through `writer`; the bounded period at once.
    void SetSettingsWriter(SettingsEditor& editor);
    // After a settings change: period, check box and visibility follow the settings.
    // A new period here leaves the start lock-out as the settings have it.
    void ApplySettings(const TSettings& before);

    QTimer* CountDownTimerObject() const { return m_timer; }

signals:
    // The countdown expired while START is available: START now, through its menu item.
    void StartDue();

public slots:
    void mTimerClick(); // F4, bTimer
    void TimerCountDownTimer();
    void seAutoStartChange(int value);
    void AutoCountDown1Click(); // Ctrl+F4

private:
    void Begin(Tick startTick);

    TBitBtnWithColor* m_bTimer = nullptr;
    QAction* m_mTimer = nullptr;
    QSpinBox* m_seAutoStart = nullptr;
    QCheckBox* m_cbAuto = nullptr;
    Clock& m_clock;
    const TSettings& m_settings;
    SettingsEditor* m_write = nullptr;
    TimeDisplay& m_display;
    LockOut& m_lockOut;
    Sound& m_sound;
    QString m_startToneFile;
    RunState& m_state;
    QTimer* m_timer = nullptr;
    Tick m_startTick = 0;
    // Set while the START triggered by an expiry runs: the tick the expired
    // countdown was due at, from which the next one is measured.
    bool m_inExpiry = false;
    Tick m_dueTick = 0;
};

#pragma once

#include "core/contacts/ContactGate.h"
#include "ui/settings/SettingsEditor.h"

#include <QObject>
#include <QPixmap>
#include <functional>

class QLabel;
class QTimer;
class TImage;
struct RunState;

// The two contact switches (armed or locked) with their icons, and the
// lock-out timers that keep a contact locked for a while after each impulse,
// so that one athlete passing a light barrier gives one event.
//
// An icon's tag is the switch state: 1 armed (impulses accepted), 0 locked.
class LockOut : public QObject, public ContactGate {
    Q_OBJECT
public:
    // `state` tells whether the competition runs (the finish lock-out only re-arms
    // then) and whether START is available (the start contact is never armed while
    // it is not).
    LockOut(TImage* ImageLSstart, TImage* ImageLSstop, const TSettings& settings, const RunState& state,
            QObject* parent = nullptr);
    ~LockOut() override;

    // The icon pictures, 32 x 32: a closed red barrier and an open green one.
    static QPixmap LockedPicture();
    static QPixmap ArmedPicture();

    // Called by START, ENDE and the countdown start; nothing while the icons are hidden.
    void LockStartContact();
    // Called by FINISH and ENDE; nothing while the icons are hidden.
    void LockFinishContact();
    // Row selection: arms the finish contact, locks the start contact.
    void ArmFinishContact();
    void DisarmStartContact();
    // The countdown's stop leaves the start contact as it is.
    void StopStartLockOut();
    // ENDE.
    void StopLockOuts();

    bool StartArmed() const;
    bool FinishArmed() const;
    bool StartLockRunning() const;
    bool FinishLockRunning() const;
    // A contact counts while its switch is on and its lock-out is not running.
    bool StartContactOpen() const override;
    bool FinishContactOpen() const override;

    // Shown while the serial port is open.
    void SetIconsVisible(bool visible);
    bool IconsVisible() const { return m_iconsVisible; }

    // Lock-out times in ms; 0 leaves the contact locked until switched by hand.
    int StartInterval() const;
    int FinishInterval() const;
    void SetStartInterval(int ms);
    void SetFinishInterval(int ms);
    // The intervals go to the settings through `writer`; the ones in force at once.
    void SetSettingsWriter(SettingsEditor& editor);
    // After a settings change: a changed positive WaitStart or WaitFinish becomes the interval.
    void ApplySettings(const TSettings& before);

    TImage* ImageLSstart() const { return m_start; }
    TImage* ImageLSstop() const { return m_stop; }
    QTimer* StartLockTimer() const { return m_timerStart; }
    QTimer* FinishLockTimer() const { return m_timerStop; }

public slots:
    // A click on either icon; everything else toggles a switch through it too.
    void ImageLSClick(QLabel* icon);
    void LockLSstart1Click(); // F11
    void LockLSstop1Click();  // F12
    void TimerGesperrtStartTimer();
    void TimerGesperrtStopTimer();

private:
    void ShowState(TImage* icon);

    TImage* m_start = nullptr;
    TImage* m_stop = nullptr;
    const TSettings& m_settings;
    SettingsEditor* m_write = nullptr;
    const RunState& m_state;
    QTimer* m_timerStart = nullptr;
    QTimer* m_timerStop = nullptr;
    bool m_iconsVisible = false;
};

#include "ui/run/Countdown.h"

#include "core/platform/Prompts.h"
#include "core/platform/Sound.h"
#include "core/race/RunState.h"
#include "core/settings/TSettings.h"
#include "ui/run/LockOut.h"
#include "ui/run/TimeDisplay.h"
#include "ui/widgets/RunColors.h"
#include "ui/widgets/TBitBtnWithColor.h"

#include <QAction>
#include <QCheckBox>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTimer>
#include <algorithm>

namespace {

const QColor kTimerBlue(72, 116, 217);
constexpr int kMaxPeriod = 600;
// A countdown that expired this late was held up by a stall, not by a late
// timer message; its successor starts afresh instead of catching up at once.
constexpr int kMaxScheduleSlipMs = 1000;

} // namespace

Countdown::Countdown(TBitBtnWithColor* bTimer, QAction* mTimer, QSpinBox* seAutoStart, QCheckBox* cbAuto, Clock& clock,
                     const TSettings& settings, TimeDisplay& display, LockOut& lockOut, Sound& sound,
                     QString startToneFile, RunState& state, QObject* parent)
    : QObject(parent), m_bTimer(bTimer), m_mTimer(mTimer), m_seAutoStart(seAutoStart), m_cbAuto(cbAuto), m_clock(clock),
      m_settings(settings), m_display(display), m_lockOut(lockOut), m_sound(sound),
      m_startToneFile(std::move(startToneFile)), m_state(state) {
    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("TimerCountDown"));
    m_timer->setInterval(10);
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, &Countdown::TimerCountDownTimer);

    // Filled before connecting: loading the period must not overwrite the stored start lock-out.
    m_seAutoStart->setRange(0, kMaxPeriod);
    m_seAutoStart->setValue(std::clamp(m_settings.Timer, 0, kMaxPeriod));
    connect(m_seAutoStart, &QSpinBox::valueChanged, this, &Countdown::seAutoStartChange);

    m_cbAuto->setChecked(m_settings.cbAuto);
    connect(m_cbAuto, &QCheckBox::toggled, this, [this](bool on) {
        if (m_write)
            m_write->Edit([on](TSettings& s) { s.cbAuto = on; });
    });
}

Countdown::~Countdown() = default;

int Countdown::Period() const {
    return std::clamp(m_settings.Timer, 0, kMaxPeriod);
}

void Countdown::SetSettingsWriter(SettingsEditor& editor) {
    m_write = &editor;
    if (m_write)
        m_write->Edit([period = Period()](TSettings& s) { s.Timer = period; });
}

void Countdown::ApplySettings(const TSettings& before) {
    if (m_seAutoStart->value() != Period()) {
        const QSignalBlocker quiet(m_seAutoStart);
        m_seAutoStart->setValue(Period());
    }
    ApplyAutoStart();
    if (m_settings.Timer != before.Timer || m_settings.StartType != before.StartType)
        ApplyVisibility();
}

bool Countdown::Running() const {
    return m_timer->isActive();
}

void Countdown::mTimerClick() {
    if (Running()) {
        // The start contact keeps its state until switched by hand or locked again.
        m_timer->stop();
        m_lockOut.StopStartLockOut();
        m_display.ShowLower(Period() * 1000);
        return;
    }
    Begin(m_clock.tick());
}

void Countdown::Begin(Tick startTick) {
    m_state.toneAlreadyPlayed = false;
    m_display.SetLowerLit(kTimerBlue);
    m_display.RepaintWithColorSet();
    m_display.ShowUpper(0);
    m_display.ShowLower(Period() * 1000);
    m_lockOut.LockStartContact();
    m_startTick = startTick;
    m_timer->start();
}

void Countdown::TimerCountDownTimer() {
    const Tick due = m_startTick + static_cast<Tick>(Period() * 1000);
    qint32 remaining = TickDiff(due, m_clock.tick());
    if (remaining < 1) {
        m_timer->stop();
        // The tone marks the expiry even when START is unavailable (running mass start).
        if (!m_startToneFile.isEmpty() && m_settings.Sound)
            m_sound.play(m_startToneFile);
        m_state.toneAlreadyPlayed = true;
        if (m_state.StartAvailable()) {
            m_inExpiry = true;
            m_dueTick = due;
            emit StartDue();
            m_inExpiry = false;
        }
        remaining = m_settings.massStart() ? 0 : Period() * 1000;
    }
    m_display.ShowLower(remaining);
}

void Countdown::FollowStart(Tick startTick) {
    if (m_cbAuto->isChecked())
        StartAfterStart(startTick);
}

void Countdown::StartAfterStart(Tick startTick) {
    // Without a period the automatic start would start an athlete every timer message.
    if (Period() <= 0)
        return;
    Tick base = startTick;
    if (m_inExpiry) {
        // Measured from when the last countdown was due, so late timer messages do not add up.
        const qint32 late = TickDiff(startTick, m_dueTick);
        if (late >= 0 && late < std::min(kMaxScheduleSlipMs, Period() * 500))
            base = m_dueTick;
    }
    Begin(base);
}

void Countdown::StopTimer() {
    m_timer->stop();
}

void Countdown::Stop() {
    m_timer->stop();
}

void Countdown::seAutoStartChange(int value) {
    if (m_write)
        m_write->Edit([value](TSettings& s) { s.Timer = value; });
    // Re-arm the start contact one second before the next automatic start.
    if (value > 0)
        m_lockOut.SetStartInterval((value - 1) * 1000);
}

void Countdown::AutoCountDown1Click() {
    m_cbAuto->setChecked(!m_cbAuto->isChecked());
}

void Countdown::ApplyAutoStart() {
    if (m_cbAuto->isChecked() != m_settings.cbAuto)
        m_cbAuto->setChecked(m_settings.cbAuto);
}

void Countdown::SetTimerAvailable(bool available) {
    const bool enabled = available && !m_bTimer->isHidden();
    m_bTimer->setEnabled(enabled);
    m_mTimer->setEnabled(enabled);
    m_bTimer->SetColor(enabled ? RunColors::Blue : RunColors::ButtonFace());
}

void Countdown::ApplyVisibility() {
    const bool shown = Period() > 0;
    const bool individual = !m_settings.massStart();
    m_bTimer->setVisible(shown);
    m_seAutoStart->setVisible(shown && individual);
    m_cbAuto->setVisible(shown && individual);
}

#include "ui/run/LockOut.h"

#include "core/race/RunState.h"
#include "core/settings/TSettings.h"
#include "ui/widgets/TImage.h"

#include <QPainter>
#include <QTimer>
#include <algorithm>

namespace {

constexpr int kDefaultWaitStart = 4000;
constexpr int kDefaultWaitFinish = 200;

// A light barrier seen from above: two posts, the beam between them.
QPixmap BarrierPicture(bool armed) {
    QPixmap pix(32, 32);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor post(70, 70, 70);
    p.setPen(Qt::NoPen);
    p.setBrush(post);
    p.drawRect(1, 4, 6, 24);
    p.drawRect(25, 4, 6, 24);
    if (armed) {
        // Open: a thin green beam and a green lamp.
        p.setPen(QPen(QColor(0, 200, 0), 2, Qt::DashLine));
        p.drawLine(8, 16, 24, 16);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 230, 0));
        p.drawEllipse(QPoint(4, 9), 3, 3);
    } else {
        // Closed: a solid red bar across and a red lamp.
        p.setBrush(QColor(220, 0, 0));
        p.drawRoundedRect(6, 12, 20, 8, 2, 2);
        p.setBrush(Qt::white);
        p.drawRect(11, 15, 10, 2);
        p.setBrush(QColor(255, 0, 0));
        p.drawEllipse(QPoint(4, 9), 3, 3);
    }
    return pix;
}

void SetUpIcon(TImage* icon, const char* name, const char* hint) {
    if (icon->objectName().isEmpty())
        icon->setObjectName(QString::fromLatin1(name));
    icon->setToolTip(QString::fromLatin1(hint));
    icon->resize(32, 32);
    icon->SetTag(0);
    icon->hide();
}

QTimer* MakeLockTimer(QObject* parent, const char* name, int interval) {
    auto* t = new QTimer(parent);
    t->setObjectName(QString::fromLatin1(name));
    t->setSingleShot(true);
    // A coarse timer may re-arm up to 5 % late; the lock-out is part of the timing.
    t->setTimerType(Qt::PreciseTimer);
    t->setInterval(interval);
    return t;
}

} // namespace

LockOut::LockOut(TImage* ImageLSstart, TImage* ImageLSstop, const TSettings& settings, const RunState& state,
                 QObject* parent)
    : QObject(parent), m_start(ImageLSstart), m_stop(ImageLSstop), m_settings(settings), m_state(state) {
    SetUpIcon(m_start, "ImageLSstart", "[F11] Start contact on/off");
    SetUpIcon(m_stop, "ImageLSstop", "[F12] Finish light barrier on/off");
    ShowState(m_start);
    ShowState(m_stop);
    connect(m_start, &TImage::Clicked, this, [this] { ImageLSClick(m_start); });
    connect(m_stop, &TImage::Clicked, this, [this] { ImageLSClick(m_stop); });

    // A stored value of 0 or below keeps the default.
    m_timerStart =
        MakeLockTimer(this, "TimerGesperrtStart", m_settings.WaitStart > 0 ? m_settings.WaitStart : kDefaultWaitStart);
    m_timerStop = MakeLockTimer(this, "TimerGesperrtStop",
                                m_settings.WaitFinish > 0 ? m_settings.WaitFinish : kDefaultWaitFinish);
    connect(m_timerStart, &QTimer::timeout, this, &LockOut::TimerGesperrtStartTimer);
    connect(m_timerStop, &QTimer::timeout, this, &LockOut::TimerGesperrtStopTimer);
}

LockOut::~LockOut() = default;

QPixmap LockOut::LockedPicture() {
    return BarrierPicture(false);
}

QPixmap LockOut::ArmedPicture() {
    return BarrierPicture(true);
}

void LockOut::ShowState(TImage* icon) {
    icon->setPixmap(icon->Tag() == 1 ? ArmedPicture() : LockedPicture());
    icon->update();
}

void LockOut::ImageLSClick(QLabel* icon) {
    auto* image = icon == m_start ? m_start : icon == m_stop ? m_stop : nullptr;
    if (!image)
        return;
    // The start contact cannot be armed while START is unavailable.
    if (image == m_start && !StartArmed() && !m_state.StartAvailable())
        return;
    image->SetTag(image->Tag() == 1 ? 0 : 1);
    ShowState(image);
}

void LockOut::LockStartContact() {
    if (!m_iconsVisible)
        return;
    if (StartArmed())
        ImageLSClick(m_start);
    // A lock-out already under way keeps its end time.
    if (m_timerStart->interval() != 0 && !m_timerStart->isActive())
        m_timerStart->start();
}

void LockOut::LockFinishContact() {
    if (!m_iconsVisible)
        return;
    if (FinishArmed())
        ImageLSClick(m_stop);
    if (m_timerStop->interval() != 0 && m_state.Started() && !m_timerStop->isActive())
        m_timerStop->start();
}

void LockOut::ArmFinishContact() {
    if (!FinishArmed())
        ImageLSClick(m_stop);
}

void LockOut::DisarmStartContact() {
    if (StartArmed())
        ImageLSClick(m_start);
}

void LockOut::StopStartLockOut() {
    m_timerStart->stop();
}

void LockOut::StopLockOuts() {
    m_timerStart->stop();
    m_timerStop->stop();
}

void LockOut::TimerGesperrtStartTimer() {
    m_timerStart->stop();
    if (!StartArmed())
        ImageLSClick(m_start);
}

void LockOut::TimerGesperrtStopTimer() {
    m_timerStop->stop();
    if (!FinishArmed())
        ImageLSClick(m_stop);
}

void LockOut::LockLSstart1Click() {
    m_timerStart->stop();
    ImageLSClick(m_start);
}

void LockOut::LockLSstop1Click() {
    m_timerStop->stop();
    ImageLSClick(m_stop);
}

bool LockOut::StartArmed() const {
    return m_start->Tag() == 1;
}

bool LockOut::FinishArmed() const {
    return m_stop->Tag() == 1;
}

bool LockOut::StartLockRunning() const {
    return m_timerStart->isActive();
}

bool LockOut::FinishLockRunning() const {
    return m_timerStop->isActive();
}

void LockOut::SetIconsVisible(bool visible) {
    m_iconsVisible = visible;
    m_start->setVisible(visible);
    m_stop->setVisible(visible);
}

int LockOut::StartInterval() const {
    return m_timerStart->interval();
}

int LockOut::FinishInterval() const {
    return m_timerStop->interval();
}

// A running lock-out restarts with the new time; with 0 it ends and the contact stays locked.
void LockOut::SetStartInterval(int ms) {
    m_timerStart->setInterval(std::max(ms, 0));
    if (m_timerStart->interval() == 0)
        m_timerStart->stop();
    if (m_write)
        m_write->Edit([ms = m_timerStart->interval()](TSettings& s) { s.WaitStart = ms; });
}

void LockOut::SetFinishInterval(int ms) {
    m_timerStop->setInterval(std::max(ms, 0));
    if (m_timerStop->interval() == 0)
        m_timerStop->stop();
    if (m_write)
        m_write->Edit([ms = m_timerStop->interval()](TSettings& s) { s.WaitFinish = ms; });
}

void LockOut::SetSettingsWriter(SettingsEditor& editor) {
    m_write = &editor;
    if (m_write)
        m_write->Edit([start = m_timerStart->interval(), stop = m_timerStop->interval()](TSettings& s) {
            s.WaitStart = start;
            s.WaitFinish = stop;
        });
}

void LockOut::ApplySettings(const TSettings& before) {
    if (m_settings.WaitStart != before.WaitStart && m_settings.WaitStart > 0 &&
        m_settings.WaitStart != m_timerStart->interval())
        SetStartInterval(m_settings.WaitStart);
    if (m_settings.WaitFinish != before.WaitFinish && m_settings.WaitFinish > 0 &&
        m_settings.WaitFinish != m_timerStop->interval())
        SetFinishInterval(m_settings.WaitFinish);
}

bool LockOut::StartContactOpen() const {
    return !StartLockRunning() && StartArmed();
}

bool LockOut::FinishContactOpen() const {
    return !FinishLockRunning() && FinishArmed();
}

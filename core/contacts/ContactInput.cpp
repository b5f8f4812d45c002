#include "core/contacts/ContactInput.h"

#include "core/contacts/ComErrors.h"
#include "core/contacts/ContactLogic.h"
#include "core/contacts/PortProbe.h"
#include "core/platform/SerialDevices.h"

#include <cerrno>

ContactInput::ContactInput(SerialDevices& devices, const Clock& clock, const ContactGate& gate, QObject* parent)
    : QObject(parent), m_gate(gate), m_devices(devices), m_comPort(devices, clock) {
    m_comPort.SetPort(0);
    m_comPort.SetBaudRate(TComPort::br9600);
    m_comPort.SetBaudRateUser(28800);
    m_comPort.SetFlowControl(TComPort::fcRtsCts);
    m_comPort.SetEnableDTR(true);
    m_comPort.SetEvents(TComPort::evRing | TComPort::evCTS | TComPort::evDSR | TComPort::evRLSD);
    m_comPort.SetReadBufSize(64);
    m_comPort.SetWriteBufSize(64);
    connect(&m_comPort, &TComPort::OnOpen, this, &ContactInput::ComPortOpen);
    connect(&m_comPort, &TComPort::OnClose, this, &ContactInput::ComPortClose);
    connect(&m_comPort, &TComPort::OnModemChange, this, &ContactInput::ComPortHard);
    connect(&m_comPort, &TComPort::OnLost, this, &ContactInput::ComPortLost);
    connect(&m_comPort, &TComPort::OnPolling, this, &ContactInput::ComPortPolling);
    m_reconnect.setInterval(kReconnectMs);
    connect(&m_reconnect, &QTimer::timeout, this, &ContactInput::TryReconnect);
}

ContactInput::~ContactInput() {
    m_reconnect.stop();
    disconnect(&m_comPort, nullptr, this, nullptr);
    m_comPort.Close();
}

namespace {

bool Missing(int error) {
    return error == ENOENT || error == ENODEV || error == ENXIO;
}

} // namespace

void ContactInput::OpenPort(int n, int alg, const QString& path) {
    StopAwaiting();
    m_comPort.Close();
    m_comPort.SetPort(n);
    m_comPort.SetDeviceName(path);
    m_comPort.SetTag(alg);
    if (n == 0 && path.isEmpty()) {
        ShowStatus(QString(), false);
        return;
    }
    m_comPort.Open();
    ShowOpen(OpenText());
}

bool ContactInput::OpenPortAtStart(int n, int alg, const QString& path) {
    try {
        OpenPort(n, alg, path);
    } catch (const EComError& e) {
        // The operator must not believe the light barriers work.
        ShowStatus(QStringLiteral("Lichtschranke %1 nicht geöffnet").arg(PortLabel(n, path)), true);
        emit MessageWanted(e.Text());
        if (Missing(e.Error()))
            AwaitDevice(m_comPort.DevicePath());
        return false;
    }
    return m_comPort.Connected();
}

QString ContactInput::ApplySettings(int oldPort, int newPort, int alg) {
    return ApplySettings(oldPort, QString(), newPort, QString(), alg);
}

QString ContactInput::ApplySettings(int oldPort, const QString& oldPath, int newPort, const QString& newPath, int alg) {
    const bool same = newPort == oldPort && newPath == oldPath;
    if (!same) {
        StopAwaiting();
        m_comPort.Close();
    }
    if (newPort == 0 && newPath.isEmpty()) {
        ShowStatus(QString(), false);
        return QString();
    }
    m_comPort.SetPort(newPort);
    m_comPort.SetTag(alg);
    // The same choice reopens a port that failed at start or was unplugged since.
    if (same && m_comPort.Connected())
        return QString();
    StopAwaiting();
    m_comPort.SetDeviceName(newPath);
    try {
        m_comPort.Open();
    } catch (const EComError& e) {
        ShowStatus(QStringLiteral("Lichtschranke %1 nicht geöffnet").arg(PortLabel(newPort, newPath)), true);
        return e.Text();
    }
    ShowOpen(OpenText());
    return QString();
}

void ContactInput::ClosePort() {
    StopAwaiting();
    m_comPort.Close();
}

QString ContactInput::OpenText() const {
    return QStringLiteral("Lichtschranke %1").arg(PortLabel());
}

QString ContactInput::PortLabel() const {
    return PortLabel(m_comPort.Port(), m_comPort.DeviceName());
}

void ContactInput::ShowOpen(const QString& text) {
    m_openText = text;
    ShowStatus(text, false);
}

QString ContactInput::PortLabel(int n, const QString& path) const {
    if (n != 0 || path.isEmpty())
        return PortName(n);
    return AdapterName(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1));
}

void ContactInput::ShowStatus(const QString& text, bool alarm) {
    emit StatusChanged(text, alarm);
}

void ContactInput::AwaitDevice(const QString& path) {
    m_awaited = path;
    m_reconnect.start();
}

void ContactInput::StopAwaiting() {
    m_reconnect.stop();
    m_awaited.clear();
}

void ContactInput::TryReconnect() {
    // Only the device node is looked at each second: no extra dependency, no
    // opening attempts while nothing is there.
    if (m_awaited.isEmpty() || !m_devices.isCharDevice(m_awaited))
        return;
    m_comPort.SetDeviceName(m_awaited);
    try {
        m_comPort.Open(); // the contact logic and the quiet time stay as they were
    } catch (const EComError&) {
        return; // udev may not have set the permissions yet: try again next second
    }
    StopAwaiting();
    ShowOpen(QStringLiteral("Lichtschranke wieder verbunden"));
}

void ContactInput::ComPortOpen() {
    emit IconsShown(true);
}

void ContactInput::ComPortClose() {
    emit IconsShown(false);
}

void ContactInput::ComPortHard(const ComEvent& event) {
    // Decided on what the watcher captured, and timed with its tick and clock of
    // day: a busy GUI thread neither loses a short pulse nor delays a recorded time.
    quint32 status = event.status;
    quint32 pulsed = event.pulsedLines;
    if (m_comPort.RingTrailingEdge()) {
        // The 16550 wakes the watcher only when RI goes off. For contacts open
        // at rest that counted edge is the impulse and RI's level tells no time;
        // for contacts closed at rest ("Aus") RI going off is a change of level
        // like any other, and "all on" needs RI's level.
        if (m_comPort.Tag() == 1)
            pulsed &= ~kStatusRi;
        else
            status &= ~kStatusRi;
    }
    const QList<ContactLine> lines =
        ContactTriggers(m_comPort.Tag(), status, pulsed, m_lastModemStatus, m_comPort.WatchedLines());
    for (ContactLine line : lines) {
        // START and FINISH lock their contact at once, so a second line of the
        // same kind in this word finds it locked.
        if (IsStartLine(line)) {
            if (m_gate.StartContactOpen())
                emit StartImpulse(event.At());
        } else {
            if (m_gate.FinishContactOpen())
                emit FinishImpulse(event.At());
        }
    }
}

void ContactInput::ComPortLost(int) {
    // The port is closed already and the icons are hidden; the run goes on by
    // keyboard, and the adapter is reopened as soon as it is back, under
    // whatever ttyUSBn it gets: its stable name is what is watched.
    const QString stable = m_comPort.StableName();
    AwaitDevice(stable.isEmpty() ? m_comPort.DevicePath() : stable);
    ShowStatus(QStringLiteral("Lichtschranke getrennt"), true);
    emit AlarmWanted();
}

void ContactInput::ComPortPolling(bool polling) {
    ShowStatus(polling ? m_openText + QStringLiteral(": Abfrage alle 1 ms") : m_openText, false);
}
